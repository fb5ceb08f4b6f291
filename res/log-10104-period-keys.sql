select
    lk.log_tables_id, rf.rdb$field_source, f.rdb$field_type,
    lk.key_field, lk.key_value
from
    ibe$log_keys lk
inner join ibe$log_tables lt on
    lt.id = lk.log_tables_id
inner join rdb$relation_fields rf on
    rf.rdb$field_name = lk.key_field and
    rf.rdb$relation_name = lt.table_name
inner join rdb$fields f on
    f.rdb$field_name = rf.rdb$field_source
where
    lt.date_time >= :BEGD and lt.date_time <= :ENDD
order by
    lk.log_tables_id,
    substring(lk.rdb$db_key from 3 for 1),
    reverse(substring(lk.rdb$db_key from 5 for 4))
