select
    rf.rdb$relation_name, rf.rdb$field_name
from
    rdb$relation_fields rf
where
    rf.rdb$relation_name in ('IBE$LOG_FIELDS', 'IBE$LOG_KEYS')
