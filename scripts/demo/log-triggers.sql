/* Installs the change-log triggers on every user table of the database (all
   but the system tables, views, the IBE$ log tables and the NORVANE$
   bookkeeping of norvane-cli apply), in the shape the
   IBExpert Log Manager gives them: AFTER INSERT, UPDATE and DELETE at
   position 32767. Each writes a header row with a new log id, the table
   name, the letter I, U or D, the moment and the user; one key row per
   primary-key column (the new value for an insert, the old one for an
   update or a delete); and the column values: an insert its non-null
   columns, an update the columns whose value changed, a delete every column
   with its old value.

   Where each value goes (log-tables.sql): a text of up to 1000 bytes and
   every number, date, time and boolean into the VARCHAR value columns, as
   the engine casts it (a FLOAT through DOUBLE PRECISION, whose text reads
   back to the same FLOAT); a longer text into the text BLOB columns; a
   binary BLOB into the binary BLOB columns. Logging never makes the user's
   write fail: a value that cannot be logged whole (an array, a text that
   the database's default character set cannot hold) is written as a row
   marked INCOMPLETE instead. Run it again after adding tables: existing
   triggers are replaced. Needs ibe$log_tables_gen and the log tables
   (log-tables.sql). */

set term ^ ;

execute block
as
    declare lf char(1);
    declare quoting boolean;
    declare db_charset smallint;
    declare tab varchar(63);
    declare tab_id integer;
    declare tab_lit varchar(200);
    declare tab_ident varchar(200);
    declare col varchar(63);
    declare col_lit varchar(200);
    declare col_ident varchar(200);
    declare col_type smallint;
    declare col_subtype smallint;
    declare col_charset smallint;
    declare col_bytes integer;
    declare col_dims smallint;
    declare kind char(1);
    declare guarded boolean;
    declare trg_base varchar(63);
    declare keys_new blob sub_type text;
    declare keys_old blob sub_type text;
    declare ins_fields blob sub_type text;
    declare upd_fields blob sub_type text;
    declare del_fields blob sub_type text;
    declare head varchar(1000);

    /* An identifier as a statement names it: in double quotes, where the
       dialect has them. */
    declare function ident(name varchar(63), quoting boolean) returns varchar(200)
    as
    begin
        if (quoting) then
            return '"' || replace(name, '"', '""') || '"';
        return name;
    end

    /* The statement that logs one column's values, old_x and new_x (either
       may be null: not logged). kind: P a value that always fits the
       VARCHAR columns, F a FLOAT, L a text that may not fit them, B a
       binary BLOB, A an array. A guarded statement that fails logs the
       column as incomplete instead. */
    declare function field_row(kind char(1), guarded boolean, col_lit varchar(200),
                               old_x varchar(300), new_x varchar(300)) returns varchar(4000)
    as
        declare cols varchar(200) = '';
        declare vals varchar(3000) = '';
        declare stmt varchar(4000);
    begin
        if (kind = 'A') then
        begin
            cols = ', incomplete';
            vals = ', iif(' || coalesce(old_x || ' is null', 'true') || ' and '
                || coalesce(new_x || ' is null', 'true') || ', null, ''Y'')';
        end
        else
        begin
            if (old_x is not null) then
            begin
                if (kind = 'F') then
                    old_x = 'cast(' || old_x || ' as double precision)';
                if (kind = 'B') then
                    cols = cols || ', old_bytes';
                else
                    cols = cols || ', old_value';
                if (kind = 'L') then
                    vals = vals || ', iif(octet_length(' || old_x || ') <= 1000, ' || old_x || ', null)';
                else
                    vals = vals || ', ' || old_x;
                if (kind = 'L') then
                begin
                    cols = cols || ', old_text';
                    vals = vals || ', iif(octet_length(' || old_x || ') > 1000, ' || old_x || ', null)';
                end
            end
            if (new_x is not null) then
            begin
                if (kind = 'F') then
                    new_x = 'cast(' || new_x || ' as double precision)';
                if (kind = 'B') then
                    cols = cols || ', new_bytes';
                else
                    cols = cols || ', new_value';
                if (kind = 'L') then
                    vals = vals || ', iif(octet_length(' || new_x || ') <= 1000, ' || new_x || ', null)';
                else
                    vals = vals || ', ' || new_x;
                if (kind = 'L') then
                begin
                    cols = cols || ', new_text';
                    vals = vals || ', iif(octet_length(' || new_x || ') > 1000, ' || new_x || ', null)';
                end
            end
        end
        stmt = 'insert into ibe$log_fields (log_tables_id, field_name' || cols || ')' || ascii_char(10)
            || '            values (:tid, ' || col_lit || vals || ');';
        if (guarded) then
            stmt = 'begin' || ascii_char(10) || '        ' || stmt || ascii_char(10)
                || '        when any do' || ascii_char(10)
                || '            insert into ibe$log_fields (log_tables_id, field_name, incomplete)'
                || ' values (:tid, ' || col_lit || ', ''Y'');' || ascii_char(10)
                || '    end';
        return stmt;
    end

    /* The statement that logs one key value. */
    declare function key_row(kind char(1), guarded boolean, col_lit varchar(200), x varchar(300))
        returns varchar(2000)
    as
        declare stmt varchar(2000);
    begin
        if (kind = 'F') then
            x = 'cast(' || x || ' as double precision)';
        stmt = 'insert into ibe$log_keys (log_tables_id, key_field, key_value) values (:tid, '
            || col_lit || ', ' || x || ');';
        if (guarded or kind = 'L') then
            stmt = 'begin' || ascii_char(10) || '        ' || stmt || ascii_char(10)
                || '        when any do' || ascii_char(10)
                || '            insert into ibe$log_keys (log_tables_id, key_field, incomplete)'
                || ' values (:tid, ' || col_lit || ', ''Y'');' || ascii_char(10)
                || '    end';
        return '    ' || stmt || ascii_char(10);
    end
begin
    lf = ascii_char(10);
    select d.mon$sql_dialect > 1 from mon$database d into :quoting;
    select coalesce(max(cs.rdb$character_set_id), 0)
        from rdb$database d
        join rdb$character_sets cs on cs.rdb$character_set_name = d.rdb$character_set_name
        into :db_charset;

    for select trim(r.rdb$relation_name), r.rdb$relation_id
        from rdb$relations r
        where coalesce(r.rdb$system_flag, 0) = 0
          and r.rdb$view_blr is null
          and r.rdb$relation_name not starting with 'IBE$'
          and r.rdb$relation_name not starting with 'NORVANE$'
        order by r.rdb$relation_name
        into :tab, :tab_id
    do
    begin
        tab_lit = '''' || replace(tab, '''', '''''') || '''';
        tab_ident = ident(tab, quoting);
        /* Trigger names stay within the 31 characters a name may have. */
        if (char_length(tab) <= 24) then
            trg_base = 'IBE$' || tab;
        else
            trg_base = 'IBE$LOG_' || tab_id;

        keys_new = '';
        keys_old = '';
        ins_fields = '';
        upd_fields = '';
        del_fields = '';
        /* The key rows come before the field rows, in key order. */
        for select trim(s.rdb$field_name), f.rdb$field_type, coalesce(f.rdb$character_set_id, 0),
                   coalesce(f.rdb$field_length, 0)
            from rdb$relation_constraints c
            join rdb$index_segments s on s.rdb$index_name = c.rdb$index_name
            join rdb$relation_fields rf on rf.rdb$relation_name = c.rdb$relation_name
                                       and rf.rdb$field_name = s.rdb$field_name
            join rdb$fields f on f.rdb$field_name = rf.rdb$field_source
            where c.rdb$relation_name = :tab
              and c.rdb$constraint_type = 'PRIMARY KEY'
            order by s.rdb$field_position
            into :col, :col_type, :col_charset, :col_bytes
        do
        begin
            col_lit = '''' || replace(col, '''', '''''') || '''';
            col_ident = ident(col, quoting);
            if (col_type = 10) then
                kind = 'F';
            else if (col_type in (14, 37, 40) and col_bytes > 1000) then
                kind = 'L';
            else
                kind = 'P';
            guarded = col_type in (14, 37, 40) and db_charset <> 0 and col_charset <> db_charset;
            keys_new = keys_new || key_row(kind, guarded, col_lit, 'new.' || col_ident);
            keys_old = keys_old || key_row(kind, guarded, col_lit, 'old.' || col_ident);
        end

        for select trim(rf.rdb$field_name), f.rdb$field_type, coalesce(f.rdb$field_sub_type, 0),
                   coalesce(f.rdb$character_set_id, 0), coalesce(f.rdb$field_length, 0), f.rdb$dimensions
            from rdb$relation_fields rf
            join rdb$fields f on f.rdb$field_name = rf.rdb$field_source
            where rf.rdb$relation_name = :tab
              and f.rdb$computed_blr is null
            order by rf.rdb$field_position
            into :col, :col_type, :col_subtype, :col_charset, :col_bytes, :col_dims
        do
        begin
            col_lit = '''' || replace(col, '''', '''''') || '''';
            col_ident = ident(col, quoting);
            /* How the column's values are logged; guarded: whether that can
               fail on a value, by a text's character set. */
            if (col_dims is not null) then
                kind = 'A';
            else if (col_type = 10) then
                kind = 'F';
            else if (col_type = 261 and col_subtype <> 1) then
                kind = 'B';
            else if (col_type = 261 or (col_type in (14, 37, 40) and col_bytes > 1000)) then
                kind = 'L';
            else
                kind = 'P';
            if (kind = 'B') then
                guarded = col_subtype <> 0;
            else
                guarded = (col_type = 261 or col_type in (14, 37, 40))
                    and db_charset <> 0 and col_charset <> db_charset;

            if (kind = 'A') then
            begin
                ins_fields = ins_fields || '    if (new.' || col_ident || ' is not null) then' || lf
                    || '        ' || field_row(kind, guarded, col_lit, null, 'new.' || col_ident) || lf;
                upd_fields = upd_fields || '    if (new.' || col_ident || ' is not null or old.' || col_ident
                    || ' is not null) then' || lf
                    || '        ' || field_row(kind, guarded, col_lit, 'old.' || col_ident, 'new.' || col_ident) || lf;
            end
            else
            begin
                ins_fields = ins_fields || '    if (new.' || col_ident || ' is not null) then' || lf
                    || '        ' || field_row(kind, guarded, col_lit, null, 'new.' || col_ident) || lf;
                upd_fields = upd_fields || '    if (new.' || col_ident || ' is distinct from old.' || col_ident
                    || ') then' || lf
                    || '        ' || field_row(kind, guarded, col_lit, 'old.' || col_ident, 'new.' || col_ident) || lf;
            end
            del_fields = del_fields || '    ' || field_row(kind, guarded, col_lit, 'old.' || col_ident, null) || lf;
        end

        head = 'declare variable tid numeric(18,0);' || lf
            || 'begin' || lf
            || '    tid = gen_id(ibe$log_tables_gen, 1);' || lf
            || '    insert into ibe$log_tables (id, table_name, operation, date_time, user_name)' || lf
            || '        values (:tid, ' || tab_lit || ', ';

        execute statement
            'create or alter trigger ' || ident(trg_base || '_AI', quoting) || ' for ' || tab_ident || lf
            || 'active after insert position 32767 as' || lf
            || head || '''I'', ''NOW'', user);' || lf
            || keys_new || ins_fields || 'end';
        execute statement
            'create or alter trigger ' || ident(trg_base || '_AU', quoting) || ' for ' || tab_ident || lf
            || 'active after update position 32767 as' || lf
            || head || '''U'', ''NOW'', user);' || lf
            || keys_old || upd_fields || 'end';
        execute statement
            'create or alter trigger ' || ident(trg_base || '_AD', quoting) || ' for ' || tab_ident || lf
            || 'active after delete position 32767 as' || lf
            || head || '''D'', ''NOW'', user);' || lf
            || keys_old || del_fields || 'end';
    end
end^

set term ; ^

commit;
