select
    rf.rdb$field_source, f.rdb$field_type,
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
    lf.log_tables_id = :ID
