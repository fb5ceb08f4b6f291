/* A day at the demo shop, made through the logging triggers. Kept in UTF-8;
   demo-db.sh feeds it to the database as Windows-1251. A line
   "-- user: NAME" starts a part that NAME's own connection runs; the part
   before the first such line runs as SYSDBA. */

/* The manager fills the catalogue. */
insert into goods (id, title, price, weight, unit, stock)
    values (1, 'Чай "Липтон"; 100 пакетиков', 249.90, 0.25, 'шт', 120);
insert into goods (id, title, price, weight, unit, stock)
    values (2, 'Coffee beans, 1 kg', 1299.00, 1, 'kg', 35);
insert into goods (id, title, price, weight, unit, stock)
    values (3, 'Кружка 0,3 л', 150.50, 0.35, 'шт', null);
insert into goods (id, title, price, weight, unit)
    values (4, 'Baker''s dozen: 13 buns', 89.00, 0.8, 'pk');

insert into customers (id, name, city, phone, discount, created)
    values (1, 'ООО «Ромашка»', 'Москва', '+74951234567', 5, '2024-01-15 09:30:00');
insert into customers (id, name, city, discount, created)
    values (2, 'O''Brien & Sons', 'Dublin', 0, '2024-02-01 14:05:10');
insert into customers (id, name, phone)
    values (3, 'Иванов И. И.', '8-800-555-35');
commit;

-- user: OLGA
/* Olga takes the orders. */

insert into orders (id, customer_id, ordered, total, note)
    values (100, 1, '2024-03-01 10:15:00', 800.80, 'Доставка до 18:00; позвонить заранее');
insert into order_lines (order_id, line_no, goods_id, quantity, price)
    values (100, 1, 1, 2, 249.90);
insert into order_lines (order_id, line_no, goods_id, quantity, price)
    values (100, 2, 3, 2, 150.50);
insert into orders (id, customer_id, ordered, total)
    values (101, 2, '2024-03-02 16:40:00', 1948.50);
insert into order_lines (order_id, line_no, goods_id, quantity, price)
    values (101, 1, 2, 1.5, 1299.00);

/* The customer asks for more tea and no mugs; a note with quotes. */
update order_lines set quantity = 3 where order_id = 100 and line_no = 1;
delete from order_lines where order_id = 100 and line_no = 2;
update orders set total = 749.70, note = 'Клиент просил: ''оставить у двери''; код 1234'
    where id = 100;
commit;

-- user: SYSDBA
/* The manager again: prices, stock, addresses. */

update goods set price = 239.90, title = 'Чай "Липтон"; 100 пакетиков (акция)', stock = 117
    where id = 1;
update goods set stock = 40 where id = 3;
update goods set weight = null where id = 4;
update customers set city = 'Санкт-Петербург', discount = 7 where id = 1;
update customers set phone = '+35318001234' where id = 2;
update customers set city = 'Тверь', created = '2024-03-02 12:00:00' where id = 3;
/* A customer's number is changed to the one the old system used. */
update customers set id = 30 where id = 3;
delete from goods where id = 2;
commit;
