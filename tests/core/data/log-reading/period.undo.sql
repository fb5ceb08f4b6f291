/* 03.02.2003 19:00:00   Login: SYSDBA */
update GOODS
set PRICE = 59.25, TITLE = 't59'
where SHOP = 'S59' AND ID = 59;

/* 02.02.2003 18:00:00   Login: SYSDBA */
update NOTES
set N = 58, TXT = 'x58'
where N = 59 AND TXT = 'y58'
rows 1;

/* 03.02.2003 16:00:00   Login: SYSDBA */
insert into NOTES
(N, TXT)
values (56, 'x56');

/* 02.02.2003 15:00:00   Login: PETR */
update GOODS
set PRICE = 55.25, TITLE = 't55'
where SHOP = 'S55' AND ID = 55;

/* 03.02.2003 13:00:00   Login: SYSDBA */
delete from GOODS
where SHOP = 'S53' AND ID = 53;

/* 02.02.2003 12:00:00   Login: SYSDBA */
insert into NOTES
(N, TXT)
values (52, 'x52');

/* 03.02.2003 10:00:00   Login: PETR */
update NOTES
set N = 50, TXT = 'x50'
where N = 51 AND TXT = 'y50'
rows 1;

/* 02.02.2003 19:00:00   Login: SYSDBA */
delete from GOODS
where SHOP = 'S49' AND ID = 49;

/* 03.02.2003 17:00:00   Login: SYSDBA */
update GOODS
set PRICE = 47.25, TITLE = 't47'
where SHOP = 'S47' AND ID = 47;

/* 02.02.2003 16:00:00   Login: SYSDBA */
update NOTES
set N = 46, TXT = 'x46'
where N = 47 AND TXT = 'y46'
rows 1;

/* 03.02.2003 14:00:00   Login: SYSDBA */
insert into NOTES
(N, TXT)
values (44, 'x44');

/* 02.02.2003 13:00:00   Login: SYSDBA */
update GOODS
set PRICE = 43.25, TITLE = 't43'
where SHOP = 'S43' AND ID = 43;

/* 03.02.2003 11:00:00   Login: SYSDBA */
delete from GOODS
where SHOP = 'S41' AND ID = 41;

/* 02.02.2003 10:00:00   Login: PETR */
insert into NOTES
(N, TXT)
values (40, 'x40');

/* 03.02.2003 18:00:00   Login: SYSDBA */
update NOTES
set N = 38, TXT = 'x38'
where N = 39 AND TXT = 'y38'
rows 1;

/* 02.02.2003 17:00:00   Login: SYSDBA */
delete from GOODS
where SHOP = 'S37' AND ID = 37;

/* 03.02.2003 15:00:00   Login: PETR */
update GOODS
set PRICE = 35.25, TITLE = null
where SHOP = 'S35' AND ID = 35;

/* 02.02.2003 14:00:00   Login: SYSDBA */
update NOTES
set N = 34, TXT = 'x34'
where N = 35 AND TXT = 'y34'
rows 1;

/* 03.02.2003 12:00:00   Login: SYSDBA */
insert into NOTES
(N, TXT)
values (32, 'x32');

/* 02.02.2003 11:00:00   Login: SYSDBA */
update GOODS
set PRICE = 31.25, TITLE = 't31'
where SHOP = 'S31' AND ID = 31;

/* 03.02.2003 19:00:00   Login: SYSDBA */
delete from GOODS
where SHOP = 'S29' AND ID = 29;

/* 02.02.2003 18:00:00   Login: SYSDBA */
insert into NOTES
(N, TXT)
values (28, 'x28');

/* 03.02.2003 16:00:00   Login: SYSDBA */
update NOTES
set N = 26, TXT = 'x26'
where N = 27 AND TXT = 'y26'
rows 1;

/* 02.02.2003 15:00:00   Login: PETR */
delete from GOODS
where SHOP = 'S25' AND ID = 25;

/* 03.02.2003 13:00:00   Login: SYSDBA */
update GOODS
set PRICE = 23.25, TITLE = 't23'
where SHOP = 'S23' AND ID = 23;

/* 02.02.2003 12:00:00   Login: SYSDBA */
update NOTES
set N = 22, TXT = 'x22'
where N = 23 AND TXT = 'y22'
rows 1;

/* 03.02.2003 10:00:00   Login: PETR */
insert into NOTES
(N, TXT)
values (20, 'x20');

/* 03.02.2003 12:00:00   Login: IVAN */
delete from NOTES
where TXT = 'late
line'
rows 1;

/* 02.02.2003 09:30:00   Login: SYSDBA */
update GOODS
set ID = 7, STAMP = null
where ID = 8 AND SHOP is null;

/* 02.02.2003   Login: SYSDBA */
insert into NOTES
(TXT, N)
values ('a;b -- c /* d */ ''e''', null);

/* 01.02.2003 10:00:00   Login: OLGA */
update GOODS
set TITLE = '„ай ''зелЄный''', PRICE = 10.50
where SHOP = 'B' AND ID = 7;

/* 01.02.2003   Login: SYSDBA */
delete from GOODS
where ID = 7 AND SHOP = 'B';

