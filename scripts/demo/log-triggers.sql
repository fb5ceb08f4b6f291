/* Installs the change-log triggers on every user table of the database (all
   but the system tables, views and the IBE$ log tables), in the shape the
   IBExpert Log Manager gives them: AFTER INSERT, UPDATE and DELETE at
   position 32767. Each writes a header row with a new log id, the table
   name, the letter I, U or D, the moment and the user; one key row per
   primary-key column (the new value for an insert, the old one for an
   update or a delete); and the column values: an insert its non-null
   columns, an update the columns whose value changed, a delete every column
   with its old value. The values go in raw, cast to VARCHAR(255) by the
   engine. Run it again after adding tables: existing triggers are
   replaced. Needs ibe$log_tables_gen and the log tables (log-tables.sql). */

set term ^ ;

execute block
as
    declare lf char(1);
    declare tab varchar(31);
    declare tab_id integer;
    declare tab_lit varchar(80);
    declare tab_ident varchar(80);
    declare col varchar(31);
    declare col_lit varchar(80);
    declare col_ident varchar(80);
    declare trg_base varchar(31);
    declare keys_new varchar(16000);
    declare keys_old varchar(16000);
    declare ins_fields varchar(32000);
    declare upd_fields varchar(32000);
    declare del_fields varchar(32000);
    declare head varchar(1000);
begin
    lf = ascii_char(10);
    for select trim(r.rdb$relation_name), r.rdb$relation_id
        from rdb$relations r
        where coalesce(r.rdb$system_flag, 0) = 0
          and r.rdb$view_blr is null
          and r.rdb$relation_name not starting with 'IBE$'
        order by r.rdb$relation_name
        into :tab, :tab_id
    do
    begin
        tab_lit = '''' || replace(tab, '''', '''''') || '''';
        tab_ident = '"' || replace(tab, '"', '""') || '"';
        /* Trigger names stay within the 31 characters a name may have. */
        if (char_length(tab) <= 24) then
            trg_base = 'IBE$' || tab;
        else
            trg_base = 'IBE$LOG_' || tab_id;

        keys_new = '';
        keys_old = '';
        for select trim(s.rdb$field_name)
            from rdb$relation_constraints c
            join rdb$index_segments s on s.rdb$index_name = c.rdb$index_name
            where c.rdb$relation_name = :tab
              and c.rdb$constraint_type = 'PRIMARY KEY'
            order by s.rdb$field_position
            into :col
        do
        begin
            col_lit = '''' || replace(col, '''', '''''') || '''';
            col_ident = '"' || replace(col, '"', '""') || '"';
            keys_new = keys_new || '    insert into ibe$log_keys (log_tables_id, key_field, key_value)' || lf
                || '        values (:tid, ' || col_lit || ', new.' || col_ident || ');' || lf;
            keys_old = keys_old || '    insert into ibe$log_keys (log_tables_id, key_field, key_value)' || lf
                || '        values (:tid, ' || col_lit || ', old.' || col_ident || ');' || lf;
        end

        ins_fields = '';
        upd_fields = '';
        del_fields = '';
        for select trim(rf.rdb$field_name)
            from rdb$relation_fields rf
            join rdb$fields f on f.rdb$field_name = rf.rdb$field_source
            where rf.rdb$relation_name = :tab
              and f.rdb$computed_blr is null
            order by rf.rdb$field_position
            into :col
        do
        begin
            col_lit = '''' || replace(col, '''', '''''') || '''';
            col_ident = '"' || replace(col, '"', '""') || '"';
            ins_fields = ins_fields || '    if (new.' || col_ident || ' is not null) then' || lf
                || '        insert into ibe$log_fields (log_tables_id, field_name, new_value)' || lf
                || '            values (:tid, ' || col_lit || ', new.' || col_ident || ');' || lf;
            upd_fields = upd_fields || '    if (new.' || col_ident || ' is distinct from old.' || col_ident || ') then' || lf
                || '        insert into ibe$log_fields (log_tables_id, field_name, old_value, new_value)' || lf
                || '            values (:tid, ' || col_lit || ', old.' || col_ident || ', new.' || col_ident || ');' || lf;
            del_fields = del_fields
                || '    insert into ibe$log_fields (log_tables_id, field_name, old_value)' || lf
                || '        values (:tid, ' || col_lit || ', old.' || col_ident || ');' || lf;
        end

        head = 'declare variable tid numeric(18,0);' || lf
            || 'begin' || lf
            || '    tid = gen_id(ibe$log_tables_gen, 1);' || lf
            || '    insert into ibe$log_tables (id, table_name, operation, date_time, user_name)' || lf
            || '        values (:tid, ' || tab_lit || ', ';

        execute statement
            'create or alter trigger "' || trg_base || '_AI" for ' || tab_ident || lf
            || 'active after insert position 32767 as' || lf
            || head || '''I'', ''NOW'', user);' || lf
            || keys_new || ins_fields || 'end';
        execute statement
            'create or alter trigger "' || trg_base || '_AU" for ' || tab_ident || lf
            || 'active after update position 32767 as' || lf
            || head || '''U'', ''NOW'', user);' || lf
            || keys_old || upd_fields || 'end';
        execute statement
            'create or alter trigger "' || trg_base || '_AD" for ' || tab_ident || lf
            || 'active after delete position 32767 as' || lf
            || head || '''D'', ''NOW'', user);' || lf
            || keys_old || del_fields || 'end';
    end
end^

set term ; ^

commit;
