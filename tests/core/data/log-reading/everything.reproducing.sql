insert into GOODS
(ID, SHOP)
values (1, 'A');

insert into GOODS
(TITLE, ID, SHOP, PRICE, STAMP)
values ('„ай ''зелЄный''', 7, 'B', 10.50, null);

update GOODS
set TITLE = 'Tea', PRICE = null
where SHOP = 'B' AND ID = 7;

delete from NOTES
where TXT = 'a;b -- c /* d */ ''e''' AND N is null
rows 1;

update GOODS
set ID = 8, STAMP = '2003-02-02 09:30:15'
where ID = 7 AND SHOP is null;

insert into NOTES
(N)
values (4);

insert into NOTES
(N)
values (5);

update NOTES
set N = 2
where N = 1
rows 1;

insert into NOTES
(TXT)
values ('late
line');

delete from NOTES
where N = 20 AND TXT = 'x20'
rows 1;

insert into GOODS
(PRICE, TITLE)
values (21.75, 'T21');

update NOTES
set N = 23, TXT = 'y22'
where N = 22 AND TXT = 'x22'
rows 1;

update GOODS
set PRICE = 23.75, TITLE = 'T23'
where SHOP = 'S23' AND ID = 23;

delete from NOTES
where N = 24 AND TXT = 'x24'
rows 1;

insert into GOODS
(PRICE, TITLE)
values (25.75, 'T25');

update NOTES
set N = 27, TXT = 'y26'
where N = 26 AND TXT = 'x26'
rows 1;

update GOODS
set PRICE = 27.75, TITLE = 'T27'
where SHOP = 'S27' AND ID = 27;

delete from NOTES
where N = 28 AND TXT = 'x28'
rows 1;

insert into GOODS
(PRICE, TITLE)
values (29.75, 'T29');

update NOTES
set N = null, TXT = 'y30'
where N = 30 AND TXT = 'x30'
rows 1;

update GOODS
set PRICE = 31.75, TITLE = 'T31'
where SHOP = 'S31' AND ID = 31;

delete from NOTES
where N = 32 AND TXT = 'x32'
rows 1;

insert into GOODS
(PRICE, TITLE)
values (33.75, 'T33');

update NOTES
set N = 35, TXT = 'y34'
where N = 34 AND TXT = 'x34'
rows 1;

update GOODS
set PRICE = 35.75, TITLE = 'T35'
where SHOP = 'S35' AND ID = 35;

delete from NOTES
where N = 36 AND TXT = 'x36'
rows 1;

insert into GOODS
(PRICE, TITLE)
values (37.75, 'T37');

update NOTES
set N = 39, TXT = 'y38'
where N = 38 AND TXT = 'x38'
rows 1;

update GOODS
set PRICE = 39.75, TITLE = 'T39'
where SHOP = 'S39' AND ID = 39;

delete from NOTES
where N = 40 AND TXT = 'x40'
rows 1;

insert into GOODS
(PRICE, TITLE)
values (41.75, 'T41');

update NOTES
set N = null, TXT = 'y42'
where N = 42 AND TXT = 'x42'
rows 1;

update GOODS
set PRICE = 43.75, TITLE = 'T43'
where SHOP = 'S43' AND ID = 43;

delete from NOTES
where N = 44 AND TXT = 'x44'
rows 1;

insert into GOODS
(PRICE, TITLE)
values (45.75, 'T45');

update NOTES
set N = 47, TXT = 'y46'
where N = 46 AND TXT = 'x46'
rows 1;

update GOODS
set PRICE = 47.75, TITLE = 'T47'
where SHOP = 'S47' AND ID = 47;

delete from NOTES
where N = 48 AND TXT = 'x48'
rows 1;

insert into GOODS
(PRICE, TITLE)
values (49.75, 'T49');

update NOTES
set N = 51, TXT = 'y50'
where N = 50 AND TXT = 'x50'
rows 1;

update GOODS
set PRICE = 51.75, TITLE = 'T51'
where SHOP = 'S51' AND ID = 51;

delete from NOTES
where N = 52 AND TXT = 'x52'
rows 1;

insert into GOODS
(PRICE, TITLE)
values (53.75, 'T53');

update NOTES
set N = null, TXT = 'y54'
where N = 54 AND TXT = 'x54'
rows 1;

update GOODS
set PRICE = 55.75, TITLE = 'T55'
where SHOP = 'S55' AND ID = 55;

delete from NOTES
where N = 56 AND TXT = 'x56'
rows 1;

insert into GOODS
(PRICE, TITLE)
values (57.75, 'T57');

update NOTES
set N = 59, TXT = 'y58'
where N = 58 AND TXT = 'x58'
rows 1;

update GOODS
set PRICE = 59.75, TITLE = 'T59'
where SHOP = 'S59' AND ID = 59;

delete from GOODS
where ID = 8 AND SHOP = 'B';

