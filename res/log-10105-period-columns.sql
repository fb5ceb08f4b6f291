select
    t.table_name, t.entries,
    rf.rdb$field_name, f.rdb$field_type, f.rdb$field_sub_type, f.rdb$dimensions
from
    (select lt.table_name, count(*) as entries
     from ibe$log_tables lt
     where lt.date_time >= :BEGD and lt.date_time < :ENDD
     group by lt.table_name) t
left join rdb$relation_fields rf on
    rf.rdb$relation_name = t.table_name
left join rdb$fields f on
    f.rdb$field_name = rf.rdb$field_source
