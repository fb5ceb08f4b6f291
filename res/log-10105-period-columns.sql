select
    c.entries, c.first_id, c.last_id, rf.rdb$relation_name, rf.rdb$field_name,
    f.rdb$field_type, f.rdb$field_sub_type, f.rdb$dimensions,
    f.rdb$character_set_id
from
    (select count(*) as entries, min(lt.id) as first_id, max(lt.id) as last_id
     from ibe$log_tables lt
     where lt.date_time >= :BEGD and lt.date_time < :ENDD) c
left join rdb$relation_fields rf on
    1 = 1
left join rdb$fields f on
    f.rdb$field_name = rf.rdb$field_source
