select
    fk.rdb$relation_name as child_table, fk.rdb$constraint_name,
    rc.rdb$update_rule, rc.rdb$delete_rule,
    pk.rdb$relation_name as parent_table,
    cs.rdb$field_name as child_field, ps.rdb$field_name as parent_field
from
    rdb$ref_constraints rc
inner join rdb$relation_constraints fk on
    fk.rdb$constraint_name = rc.rdb$constraint_name
inner join rdb$relation_constraints pk on
    pk.rdb$constraint_name = rc.rdb$const_name_uq
inner join rdb$index_segments cs on
    cs.rdb$index_name = fk.rdb$index_name
inner join rdb$index_segments ps on
    ps.rdb$index_name = pk.rdb$index_name and
    ps.rdb$field_position = cs.rdb$field_position
order by
    fk.rdb$relation_name, fk.rdb$constraint_name, cs.rdb$field_position
