select
    lk.log_tables_id, lk.rdb$db_key, lt.table_name,
    lk.key_field, lk.key_value
from
    ibe$log_keys lk
inner join ibe$log_tables lt on
    lt.id = lk.log_tables_id
where
    lt.date_time >= :BEGD and lt.date_time < :ENDD
order by
    lk.log_tables_id
