/* 01.02.2003   Login: SYSDBA */
insert into GOODS
(TITLE, ID, SHOP, PRICE, STAMP)
values ('„ай ''зелЄный''', 7, 'B', 10.50, null);

/* 01.02.2003 10:00:00   Login: OLGA */
update GOODS
set TITLE = 'Tea', PRICE = null
where SHOP = 'B' AND ID = 7;

/* 02.02.2003   Login: SYSDBA */
delete from NOTES
where TXT = 'a;b -- c /* d */ ''e''' AND N is null
rows 1;

/* 02.02.2003 09:30:00   Login: SYSDBA */
update GOODS
set ID = 8, STAMP = '2003-02-02 09:30:15'
where ID = 7 AND SHOP is null;

/* 03.02.2003 12:00:00   Login: IVAN */
insert into NOTES
(TXT)
values ('late
line');

/* 03.02.2003 10:00:00   Login: PETR */
delete from NOTES
where N = 20 AND TXT = 'x20'
rows 1;

/* 02.02.2003 12:00:00   Login: SYSDBA */
update NOTES
set N = 23, TXT = 'y22'
where N = 22 AND TXT = 'x22'
rows 1;

/* 03.02.2003 13:00:00   Login: SYSDBA */
update GOODS
set PRICE = 23.75, TITLE = 'T23'
where SHOP = 'S23' AND ID = 23;

/* 02.02.2003 15:00:00   Login: PETR */
insert into GOODS
(PRICE, TITLE)
values (25.75, 'T25');

/* 03.02.2003 16:00:00   Login: SYSDBA */
update NOTES
set N = 27, TXT = 'y26'
where N = 26 AND TXT = 'x26'
rows 1;

/* 02.02.2003 18:00:00   Login: SYSDBA */
delete from NOTES
where N = 28 AND TXT = 'x28'
rows 1;

/* 03.02.2003 19:00:00   Login: SYSDBA */
insert into GOODS
(PRICE, TITLE)
values (29.75, 'T29');

/* 02.02.2003 11:00:00   Login: SYSDBA */
update GOODS
set PRICE = 31.75, TITLE = 'T31'
where SHOP = 'S31' AND ID = 31;

/* 03.02.2003 12:00:00   Login: SYSDBA */
delete from NOTES
where N = 32 AND TXT = 'x32'
rows 1;

/* 02.02.2003 14:00:00   Login: SYSDBA */
update NOTES
set N = 35, TXT = 'y34'
where N = 34 AND TXT = 'x34'
rows 1;

/* 03.02.2003 15:00:00   Login: PETR */
update GOODS
set PRICE = 35.75, TITLE = 'T35'
where SHOP = 'S35' AND ID = 35;

/* 02.02.2003 17:00:00   Login: SYSDBA */
insert into GOODS
(PRICE, TITLE)
values (37.75, 'T37');

/* 03.02.2003 18:00:00   Login: SYSDBA */
update NOTES
set N = 39, TXT = 'y38'
where N = 38 AND TXT = 'x38'
rows 1;

/* 02.02.2003 10:00:00   Login: PETR */
delete from NOTES
where N = 40 AND TXT = 'x40'
rows 1;

/* 03.02.2003 11:00:00   Login: SYSDBA */
insert into GOODS
(PRICE, TITLE)
values (41.75, 'T41');

/* 02.02.2003 13:00:00   Login: SYSDBA */
update GOODS
set PRICE = 43.75, TITLE = 'T43'
where SHOP = 'S43' AND ID = 43;

/* 03.02.2003 14:00:00   Login: SYSDBA */
delete from NOTES
where N = 44 AND TXT = 'x44'
rows 1;

/* 02.02.2003 16:00:00   Login: SYSDBA */
update NOTES
set N = 47, TXT = 'y46'
where N = 46 AND TXT = 'x46'
rows 1;

/* 03.02.2003 17:00:00   Login: SYSDBA */
update GOODS
set PRICE = 47.75, TITLE = 'T47'
where SHOP = 'S47' AND ID = 47;

/* 02.02.2003 19:00:00   Login: SYSDBA */
insert into GOODS
(PRICE, TITLE)
values (49.75, 'T49');

/* 03.02.2003 10:00:00   Login: PETR */
update NOTES
set N = 51, TXT = 'y50'
where N = 50 AND TXT = 'x50'
rows 1;

/* 02.02.2003 12:00:00   Login: SYSDBA */
delete from NOTES
where N = 52 AND TXT = 'x52'
rows 1;

/* 03.02.2003 13:00:00   Login: SYSDBA */
insert into GOODS
(PRICE, TITLE)
values (53.75, 'T53');

/* 02.02.2003 15:00:00   Login: PETR */
update GOODS
set PRICE = 55.75, TITLE = 'T55'
where SHOP = 'S55' AND ID = 55;

/* 03.02.2003 16:00:00   Login: SYSDBA */
delete from NOTES
where N = 56 AND TXT = 'x56'
rows 1;

/* 02.02.2003 18:00:00   Login: SYSDBA */
update NOTES
set N = 59, TXT = 'y58'
where N = 58 AND TXT = 'x58'
rows 1;

/* 03.02.2003 19:00:00   Login: SYSDBA */
update GOODS
set PRICE = 59.75, TITLE = 'T59'
where SHOP = 'S59' AND ID = 59;

/* 01.02.2003 23:00:00   Login: ANNA */
delete from GOODS
where ID = 8 AND SHOP = 'B';

