select
    lt.id, lt.operation, lt.table_name, lt.date_time, lt.user_name
from
    ibe$log_tables lt
where
    lt.date_time >= :BEGD and lt.date_time < :ENDD
order by
    lt.id