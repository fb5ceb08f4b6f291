select
    lf.log_tables_id, lf.rdb$db_key,
    lf.field_name, lf.new_value, lf.old_value
from
    ibe$log_fields lf
where
    lf.log_tables_id >= :FIRSTID and lf.log_tables_id <= :LASTID
order by
    lf.log_tables_id
