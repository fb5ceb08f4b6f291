insert into GOODS
(ID, TITLE)
values (8, 'Tea');

update GOODS
set PRICE = 59.25, TITLE = 't59'
where SHOP = 'S59' AND ID = 59;

update NOTES
set N = 58, TXT = 'x58'
where N = 59 AND TXT = 'y58'
rows 1;

delete from GOODS
where SHOP = 'S57' AND ID = 57;

insert into NOTES
(N, TXT)
values (56, 'x56');

update GOODS
set PRICE = 55.25, TITLE = 't55'
where SHOP = 'S55' AND ID = 55;

update NOTES
set N = 54, TXT = 'x54'
where N is null AND TXT = 'y54'
rows 1;

delete from GOODS
where SHOP = 'S53' AND ID = 53;

insert into NOTES
(N, TXT)
values (52, 'x52');

update GOODS
set PRICE = 51.25, TITLE = 't51'
where SHOP = 'S51' AND ID = 51;

update NOTES
set N = 50, TXT = 'x50'
where N = 51 AND TXT = 'y50'
rows 1;

delete from GOODS
where SHOP = 'S49' AND ID = 49;

insert into NOTES
(N, TXT)
values (48, 'x48');

update GOODS
set PRICE = 47.25, TITLE = 't47'
where SHOP = 'S47' AND ID = 47;

update NOTES
set N = 46, TXT = 'x46'
where N = 47 AND TXT = 'y46'
rows 1;

delete from GOODS
where SHOP = 'S45' AND ID = 45;

insert into NOTES
(N, TXT)
values (44, 'x44');

update GOODS
set PRICE = 43.25, TITLE = 't43'
where SHOP = 'S43' AND ID = 43;

update NOTES
set N = 42, TXT = 'x42'
where N is null AND TXT = 'y42'
rows 1;

delete from GOODS
where SHOP = 'S41' AND ID = 41;

insert into NOTES
(N, TXT)
values (40, 'x40');

update GOODS
set PRICE = 39.25, TITLE = 't39'
where SHOP = 'S39' AND ID = 39;

update NOTES
set N = 38, TXT = 'x38'
where N = 39 AND TXT = 'y38'
rows 1;

delete from GOODS
where SHOP = 'S37' AND ID = 37;

insert into NOTES
(N, TXT)
values (36, 'x36');

update GOODS
set PRICE = 35.25, TITLE = null
where SHOP = 'S35' AND ID = 35;

update NOTES
set N = 34, TXT = 'x34'
where N = 35 AND TXT = 'y34'
rows 1;

delete from GOODS
where SHOP = 'S33' AND ID = 33;

insert into NOTES
(N, TXT)
values (32, 'x32');

update GOODS
set PRICE = 31.25, TITLE = 't31'
where SHOP = 'S31' AND ID = 31;

update NOTES
set N = 30, TXT = 'x30'
where N is null AND TXT = 'y30'
rows 1;

delete from GOODS
where SHOP = 'S29' AND ID = 29;

insert into NOTES
(N, TXT)
values (28, 'x28');

update GOODS
set PRICE = 27.25, TITLE = 't27'
where SHOP = 'S27' AND ID = 27;

update NOTES
set N = 26, TXT = 'x26'
where N = 27 AND TXT = 'y26'
rows 1;

delete from GOODS
where SHOP = 'S25' AND ID = 25;

insert into NOTES
(N, TXT)
values (24, 'x24');

update GOODS
set PRICE = 23.25, TITLE = 't23'
where SHOP = 'S23' AND ID = 23;

update NOTES
set N = 22, TXT = 'x22'
where N = 23 AND TXT = 'y22'
rows 1;

delete from GOODS
where SHOP = 'S21' AND ID = 21;

insert into NOTES
(N, TXT)
values (20, 'x20');

delete from NOTES
where TXT = 'late
line'
rows 1;

update NOTES
set N = 1
where N = 2
rows 1;

delete from NOTES
where N = 5
rows 1;

delete from NOTES
where N = 4
rows 1;

update GOODS
set ID = 7, STAMP = null
where ID = 8 AND SHOP is null;

insert into NOTES
(TXT, N)
values ('a;b -- c /* d */ ''e''', null);

update GOODS
set TITLE = '„ай ''зелЄный''', PRICE = 10.50
where SHOP = 'B' AND ID = 7;

delete from GOODS
where ID = 7 AND SHOP = 'B';

delete from GOODS
where ID = 1 AND SHOP = 'A';

