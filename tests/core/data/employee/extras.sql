/* Added to Firebird's example database in both twins before the change log
   is installed: a table of every column type that has a literal, and a
   trigger of the kind a user has, which replaying must not fire again, and
   an inactive one, which must stay inactive. */
create table all_types (
    id integer not null primary key,
    sm smallint, big bigint, num numeric(18,4), amount decimal(12,2), fl float, dbl double precision,
    d date, t time, ts timestamp, ok boolean,
    ch char(10), vc varchar(2000), memo blob sub_type text, pic blob sub_type binary
);
create table all_types_audit (id integer not null primary key, changes integer);
insert into all_types_audit values (1, 0);
insert into all_types values (1, -32768, 9223372036854775807, -12345678901234.5678, 0.01, 0.1, 1e300,
    '2024-02-29', '23:59:59.9999', '1901-01-01 00:00:00.0001', false,
    'a', 'short', 'a text BLOB', x'00010203');
insert into all_types (id, vc) values (3, 'deleted today');
commit;
set term ^ ;
create trigger all_types_count for all_types after insert or update or delete as
begin
    update all_types_audit set changes = changes + 1 where id = 1;
end^
create trigger all_types_idle for all_types inactive before insert as
begin
    new.sm = 0;
end^
set term ; ^
commit;
