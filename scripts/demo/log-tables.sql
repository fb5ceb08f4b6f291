/* The change log in the shape of IBExpert's Log Manager: one header row per
   changed row, its key values and its changed column values.

   A value is kept as the text the engine casts it to, in the database's
   default character set, in OLD_VALUE / NEW_VALUE (KEY_VALUE for a key)
   when its text takes at most 1000 bytes. A longer text (a long CHAR or
   VARCHAR, a text BLOB) goes whole into OLD_TEXT / NEW_TEXT instead, and a
   binary BLOB, or a text of the character set OCTETS (bytes such as a
   GUID), byte for byte into OLD_BYTES / NEW_BYTES (KEY_BYTES for a key).
   A value that cannot be logged whole (an array, or a text the database's
   character set cannot hold) is not logged at all: its row says so with
   INCOMPLETE = 'Y', and a run that meets it stops. The triggers of
   log-triggers.sql write these columns; a log made earlier with only the
   VARCHAR(255) value columns is still read. */

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
    old_value varchar(1000),
    new_value varchar(1000),
    old_text blob sub_type text,
    new_text blob sub_type text,
    old_bytes blob sub_type binary,
    new_bytes blob sub_type binary,
    incomplete char(1)
);

create table ibe$log_keys (
    log_tables_id numeric(18,0),
    key_field varchar(67),
    key_value varchar(1000),
    incomplete char(1),
    key_bytes blob sub_type binary
);

create index ibe$log_fields_idx1 on ibe$log_fields (log_tables_id);
create index ibe$log_keys_idx1 on ibe$log_keys (log_tables_id);

/* The logging triggers write here on behalf of whoever changes a table. */
grant usage on generator ibe$log_tables_gen to public;
grant all on ibe$log_tables to public;
grant all on ibe$log_fields to public;
grant all on ibe$log_keys to public;

commit;
