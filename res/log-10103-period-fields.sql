select
    lf.log_tables_id, rf.rdb$field_source, f.rdb$field_type,
    lf.field_name, lf.new_value, lf.old_value
from
    ibe$log_fields lf
inner join ibe$log_tables lt on
    lt.id = lf.log_tables_id
inner join rdb$relation_fields rf on
    rf.rdb$field_name = lf.field_name and
    rf.rdb$relation_name = lt.table_name
inner join rdb$fields f on
    f.rdb$field_name = rf.rdb$field_source
where
    lt.date_time >= :BEGD and lt.date_time <= :ENDD
order by
    lf.log_tables_id,
    substring(lf.rdb$db_key from 3 for 1),
    reverse(substring(lf.rdb$db_key from 5 for 4))
