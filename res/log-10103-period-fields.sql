select
    lf.log_tables_id, lf.rdb$db_key, lt.table_name,
    lf.field_name, lf.new_value, lf.old_value
from
    ibe$log_fields lf
inner join ibe$log_tables lt on
    lt.id = lf.log_tables_id
where
    lt.date_time >= :BEGD and lt.date_time < :ENDD
order by
    lf.log_tables_id
