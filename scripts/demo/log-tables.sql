/* The change log as IBExpert's Log Manager installs it: one header row per
   changed row, its key values and its changed column values. Values are kept
   as the text the engine casts them to. */

create generator ibe$log_tables_gen;

create table ibe$log_tables (
    id numeric(18,0) not null primary key,
    table_name varchar(67),
    operation varchar(1),
    date_time timestamp,
    user_name varchar(67)
);

create table ibe$log_fields (
    log_tables_id numeric(18,0),
    field_name varchar(67),
    old_value varchar(255),
    new_value varchar(255)
);

create table ibe$log_keys (
    log_tables_id numeric(18,0),
    key_field varchar(67),
    key_value varchar(255)
);

create index ibe$log_fields_idx1 on ibe$log_fields (log_tables_id);
create index ibe$log_keys_idx1 on ibe$log_keys (log_tables_id);

/* The logging triggers write here on behalf of whoever changes a table. */
grant usage on generator ibe$log_tables_gen to public;
grant all on ibe$log_tables to public;
grant all on ibe$log_fields to public;
grant all on ibe$log_keys to public;

commit;
