/* Installs the change-log triggers on every user table of the database (all
   but the system tables, views, the IBE$ log tables and the NORVANE$
   bookkeeping of norvane-cli apply), in the shape the
   IBExpert Log Manager gives them: AFTER INSERT, UPDATE and DELETE at
   position 32767. Each writes a header row with a new log id, the table
   name, the letter I, U or D, the moment and the user; one key row per
   column of the table's key (the new value for an insert, the old one for
   an update or a delete); and the column values: an insert its non-null
   columns, an update the columns whose value changed, a delete every column
   with its old value. The key is the primary key; for a table without one,
   its first unique constraint by name whose columns are all not null, as
   the engine that reads the log takes it. A table without either logs
   every column on insert (null ones too) and on update (the unchanged ones
   with their old value as the new), so that its row is found by all its
   values.

   Where each value goes (log-tables.sql): a text of up to 1000 bytes and
   every number, date, time and boolean into the VARCHAR value columns, as
   the engine casts it, except a floating point number (DOUBLE PRECISION,
   FLOAT, and a dialect 1 NUMERIC or DECIMAL above 9 digits, which is stored
   as a DOUBLE PRECISION), whose cast keeps 16 digits (in dialect 1 only the
   declared scale): ibe$log_double writes it with 17, which read back as the
   very number; a longer text into the text BLOB columns; a binary BLOB,
   and a text of the character set OCTETS (bytes such as a GUID, which are
   no text of the database's set), byte for byte into the binary BLOB
   columns (a key into KEY_BYTES). Logging never makes the user's
   write fail: a value that cannot be logged whole (an array, a text that
   the database's default character set cannot hold) is written as a row
   marked INCOMPLETE instead. Run it again after adding tables: existing
   triggers are replaced. Needs ibe$log_tables_gen and the log tables
   (log-tables.sql). */

set term ^ ;

/* A floating point number as 17 significant digits (the fewest that tell
   every double from its neighbours), trailing zeros left out: written out
   up to 16 places before or 5 after the point, else as d.ddde-300; '-0'
   for minus zero. The digits are those of x * 10^k rounded, k chosen so
   that they are 17: x is scaled by 2^k exactly, then by 5^k in steps of at
   most 5^22 (each exact as a double) carried as the unevaluated sum of two
   doubles h + l, whose error products are split exactly (Dekker), so that
   the integer of 17 digits comes out exact. Written for both dialects:
   dialect 1 has no 64-bit integer, so the 17 digits are made of two
   integers of 8 and 9 digits. */
create or alter function ibe$log_double (x double precision) returns varchar(32)
as
    declare ax double precision;
    declare k integer;
    declare n integer;
    declare j integer;
    declare h double precision;
    declare l double precision;
    declare c double precision;
    declare p double precision;
    declare e double precision;
    declare t double precision;
    declare ah double precision;
    declare al double precision;
    declare ch double precision;
    declare cl double precision;
    declare q double precision;
    declare a double precision;
    declare r double precision;
    declare digits varchar(32);
    declare len integer;
begin
    if (x is null) then
        return null;
    if (x = 0) then
        return iif(atan2(x, -1) < 0, '-0', '0');
    ax = abs(x);
    k = 16 - floor(log10(ax));
    /* log10 may miss by one near a power of ten: then k moves by one. */
    while (1 = 1) do
    begin
        h = ax;
        n = k;
        while (n >= 8) do
        begin
            h = h * 256;
            n = n - 8;
        end
        while (n <= -8) do
        begin
            h = h / 256;
            n = n + 8;
        end
        while (n > 0) do
        begin
            h = h * 2;
            n = n - 1;
        end
        while (n < 0) do
        begin
            h = h / 2;
            n = n + 1;
        end
        l = 0;
        n = abs(k);
        while (n > 0) do
        begin
            j = iif(n > 22, 22, n);
            n = n - j;
            c = 1;
            while (j >= 4) do
            begin
                c = c * 625;
                j = j - 4;
            end
            while (j > 0) do
            begin
                c = c * 5;
                j = j - 1;
            end
            t = 134217729e0 * c;
            ch = t - (t - c);
            cl = c - ch;
            if (k > 0) then
            begin
                /* (h + l) * c, the product's rounding error exact */
                p = h * c;
                t = 134217729e0 * h;
                ah = t - (t - h);
                al = h - ah;
                e = ((ah * ch - p) + ah * cl + al * ch) + al * cl + l * c;
                h = p + e;
                l = e - (h - p);
            end
            else
            begin
                /* (h + l) / c, the quotient's remainder exact */
                q = h / c;
                p = q * c;
                t = 134217729e0 * q;
                ah = t - (t - q);
                al = q - ah;
                e = ((ah * ch - p) + ah * cl + al * ch) + al * cl;
                t = ((h - p) - e + l) / c;
                h = q + t;
                l = t - (h - q);
            end
        end
        if (h < 1e16) then
            k = k + 1;
        else if (h >= 1e17) then
            k = k - 1;
        else
            leave;
    end
    /* h is a whole number above 2^53: its first 8 digits a, the 9 after
       them r, each exact as a double; l rounds the last. */
    a = floor(h / 1e9);
    r = (h - a * 1e9) + floor(l + 0.5);
    if (r < 0) then
    begin
        a = a - 1;
        r = r + 1e9;
    end
    if (r >= 1e9) then
    begin
        a = a + 1;
        r = r - 1e9;
    end
    if (a >= 1e8) then
    begin
        a = 1e7;
        r = 0;
        k = k - 1;
    end
    digits = trim(trailing '0' from cast(cast(a as integer) as varchar(8))
        || lpad(cast(cast(r as integer) as varchar(9)), 9, '0'));
    len = char_length(digits);
    k = 16 - k;
    if (k >= 0 and k <= 16) then
    begin
        if (len <= k + 1) then
            digits = digits || rpad('', k + 1 - len, '0');
        else
            digits = substring(digits from 1 for k + 1) || '.' || substring(digits from k + 2);
    end
    else if (k < 0 and k >= -5) then
        digits = '0.' || rpad('', -k - 1, '0') || digits;
    else
        digits = substring(digits from 1 for 1) || iif(len > 1, '.' || substring(digits from 2), '') || 'e' || k;
    return iif(x < 0, '-' || digits, digits);
end^

set term ; ^

grant execute on function ibe$log_double to public;

/* The triggers are made in a transaction that sees the function. */
commit;

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
    declare key_index varchar(63);
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
       VARCHAR columns, F a floating point number, L a text that may not fit
       them, B a binary BLOB, A an array. A guarded statement that fails logs the
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
                    old_x = 'ibe$log_double(' || old_x || ')';
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
                    new_x = 'ibe$log_double(' || new_x || ')';
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

    /* The statement that logs one key value (kind as for a column). */
    declare function key_row(kind char(1), guarded boolean, col_lit varchar(200), x varchar(300))
        returns varchar(2000)
    as
        declare stmt varchar(2000);
    begin
        if (kind = 'F') then
            x = 'ibe$log_double(' || x || ')';
        stmt = 'insert into ibe$log_keys (log_tables_id, key_field, '
            || iif(kind = 'B', 'key_bytes', 'key_value') || ') values (:tid, ' || col_lit || ', ' || x || ');';
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
        /* The table's key, as the engine that reads the log knows it: its
           primary key; else its first unique constraint by name whose
           columns are all not null (by the column or by its domain); else
           none, and a row is found by the values of all its columns. */
        key_index = null;
        select first 1 c.rdb$index_name
            from rdb$relation_constraints c
            where c.rdb$relation_name = :tab
              and (c.rdb$constraint_type = 'PRIMARY KEY'
                   or (c.rdb$constraint_type = 'UNIQUE'
                       and not exists (select 1
                           from rdb$index_segments s
                           join rdb$relation_fields rf on rf.rdb$relation_name = c.rdb$relation_name
                                                      and rf.rdb$field_name = s.rdb$field_name
                           join rdb$fields f on f.rdb$field_name = rf.rdb$field_source
                           where s.rdb$index_name = c.rdb$index_name
                             and coalesce(rf.rdb$null_flag, 0) = 0
                             and coalesce(f.rdb$null_flag, 0) = 0)))
            order by iif(c.rdb$constraint_type = 'PRIMARY KEY', 0, 1), c.rdb$constraint_name
            into :key_index;
        /* The key rows come before the field rows, in key order. */
        for select trim(s.rdb$field_name), f.rdb$field_type, coalesce(f.rdb$character_set_id, 0),
                   coalesce(f.rdb$field_length, 0)
            from rdb$index_segments s
            join rdb$relation_fields rf on rf.rdb$relation_name = :tab
                                       and rf.rdb$field_name = s.rdb$field_name
            join rdb$fields f on f.rdb$field_name = rf.rdb$field_source
            where s.rdb$index_name = :key_index
            order by s.rdb$field_position
            into :col, :col_type, :col_charset, :col_bytes
        do
        begin
            col_lit = '''' || replace(col, '''', '''''') || '''';
            col_ident = ident(col, quoting);
            if (col_type in (10, 27)) then
                kind = 'F';
            else if (col_type in (14, 37, 40) and col_charset = 1) then
                kind = 'B';
            else if (col_type in (14, 37, 40) and col_bytes > 1000) then
                kind = 'L';
            else
                kind = 'P';
            guarded = kind <> 'B' and col_type in (14, 37, 40) and db_charset <> 0 and col_charset <> db_charset;
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
               fail on a value, by a text's character set. A text of the set
               OCTETS is bytes, logged as a binary BLOB is. */
            if (col_dims is not null) then
                kind = 'A';
            else if (col_type in (10, 27)) then
                kind = 'F';
            else if ((col_type = 261 and col_subtype <> 1) or (col_type in (14, 37, 40, 261) and col_charset = 1)) then
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

            if (key_index is null) then
            begin
                /* Without a key a row is found by all its values: an insert
                   logs every column, null ones too, and an update every
                   column with its old and new value, the unchanged ones
                   equal. */
                ins_fields = ins_fields || '    ' || field_row(kind, guarded, col_lit, null, 'new.' || col_ident) || lf;
                upd_fields = upd_fields || '    '
                    || field_row(kind, guarded, col_lit, 'old.' || col_ident, 'new.' || col_ident) || lf;
            end
            else if (kind = 'A') then
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
                /* A comparison ignores trailing blanks (NUL bytes in OCTETS):
                   a VARCHAR or BLOB that gains or loses them changes too. */
                upd_fields = upd_fields || '    if (new.' || col_ident || ' is distinct from old.' || col_ident
                    || iif(col_type in (37, 261), ' or octet_length(new.' || col_ident
                           || ') is distinct from octet_length(old.' || col_ident || ')', '')
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
