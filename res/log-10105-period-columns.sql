select
    rf.rdb$relation_name, rf.rdb$field_name, f.rdb$field_type, f.rdb$field_sub_type, f.rdb$dimensions
from
    (select distinct lt.table_name
     from ibe$log_tables lt
     where lt.date_time >= :BEGD and lt.date_time < :ENDD) t
inner join rdb$relation_fields rf on
    rf.rdb$relation_name = t.table_name
inner join rdb$fields f on
    f.rdb$field_name = rf.rdb$field_source
