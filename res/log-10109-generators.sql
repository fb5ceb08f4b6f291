select
    trim(trailing from g.rdb$generator_name) as generator_name
from
    rdb$generators g
where
    coalesce(g.rdb$system_flag, 0) = 0 and
    g.rdb$generator_name not starting with 'IBE$' and
    g.rdb$generator_name not starting with 'NORVANE$'
order by
    g.rdb$generator_name
