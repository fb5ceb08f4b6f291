/* The demo tables: a small shop. Every column type the scripts can carry
   (SMALLINT, INTEGER, NUMERIC(9,2), DOUBLE PRECISION, CHAR, VARCHAR,
   TIMESTAMP), a primary key on each table, a composite one on ORDER_LINES.
   Every user may change them; the logging triggers record who did. */

create table customers (
    id integer not null primary key,
    name varchar(60) not null,
    city varchar(40),
    phone char(12),
    discount smallint,
    created timestamp
);

create table goods (
    id integer not null primary key,
    title varchar(80) not null,
    price numeric(9,2),
    weight double precision,
    unit char(3),
    stock smallint
);

create table orders (
    id integer not null primary key,
    customer_id integer,
    ordered timestamp,
    total numeric(9,2),
    note varchar(200)
);

create table order_lines (
    order_id integer not null,
    line_no smallint not null,
    goods_id integer,
    quantity double precision,
    price numeric(9,2),
    primary key (order_id, line_no)
);

grant all on customers to public;
grant all on goods to public;
grant all on orders to public;
grant all on order_lines to public;

commit;
