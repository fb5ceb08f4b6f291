select
    r.rdb$relation_name, coalesce(r.rdb$system_flag, 0) as system_flag,
    iif(r.rdb$view_blr is null, 0, 1) as is_view,
    coalesce(r.rdb$relation_type, 0) as relation_type,
    c.rdb$constraint_type, c.rdb$constraint_name, s.rdb$field_name as key_field,
    iif(coalesce(rf.rdb$null_flag, 0) = 1 or coalesce(f.rdb$null_flag, 0) = 1, 1, 0) as not_null
from
    rdb$relations r
left join rdb$relation_constraints c on
    c.rdb$relation_name = r.rdb$relation_name and
    c.rdb$constraint_type in ('PRIMARY KEY', 'UNIQUE')
left join rdb$index_segments s on
    s.rdb$index_name = c.rdb$index_name
left join rdb$relation_fields rf on
    rf.rdb$relation_name = r.rdb$relation_name and
    rf.rdb$field_name = s.rdb$field_name
left join rdb$fields f on
    f.rdb$field_name = rf.rdb$field_source
order by
    r.rdb$relation_name, c.rdb$constraint_type, c.rdb$constraint_name, s.rdb$field_position
