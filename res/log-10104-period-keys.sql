select
    lk.log_tables_id, lk.rdb$db_key,
    lk.key_field, lk.key_value
from
    ibe$log_keys lk
where
    lk.log_tables_id >= :FIRSTID and lk.log_tables_id <= :LASTID
order by
    lk.log_tables_id
