select
    trim(g.rdb$generator_name) as generator_name
from
    rdb$generators g
where
    coalesce(g.rdb$system_flag, 0) = 0 and
    g.rdb$generator_name not starting with 'IBE$'
order by
    g.rdb$generator_name
