/* An ordinary day on Firebird's example database, made through its own
   procedures and triggers, with the change log installed. UTF-8 here; the
   test sends it as Windows-1251. */

/* Raises: SAVE_SALARY_CHANGE writes a SALARY_HISTORY row for each. */
update employee set salary = salary * 1.05 where emp_no in (2, 4);
commit;

/* Hires: SET_EMP_NO numbers them. */
insert into employee (first_name, last_name, phone_ext, hire_date, dept_no, job_code, job_grade, job_country, salary)
    values ('Анна', 'O''Neil', '250', '2024-05-06 09:15:30.1234', '600', 'Eng', 2, 'USA', 70000);
insert into employee (first_name, last_name, hire_date, dept_no, job_code, job_grade, job_country, salary)
    values ('Пётр', 'Иванов', '2024-05-06 13:00:00', '130', 'Eng', 3, 'USA', 60000.5);
commit;

/* A fired employee: the procedure deletes the history and the projects too. */
execute procedure delete_employee 8;
commit;

/* A new department and a closed one; budgets. */
insert into department (dept_no, department, head_dept, budget, location, phone_no)
    values ('700', 'Отдел «Север»', '000', 150000.25, 'Мурманск', '+7 815 000');
delete from department where dept_no = '116';
update department set budget = budget + 12345.67 where dept_no = '600';
update proj_dept_budget set projected_budget = 123456.78
    where fiscal_year = 1994 and proj_id = 'GUIDE' and dept_no = '100';

/* Key changes on composite keys. */
update proj_dept_budget set fiscal_year = 1995 where fiscal_year = 1994 and proj_id = 'GUIDE' and dept_no = '671';
update employee_project set proj_id = 'VBASE' where emp_no = 144 and proj_id = 'DGPII';

/* Discounts. */
update sales set discount = 0.15 where po_number = 'V92E0340';
update sales set discount = 0.333 where po_number = 'V92J1003';
commit;

/* A job requirement of 280 characters and a project description longer than
   32767 bytes. */
update job set job_requirement = 'Требования: опыт от 5 лет; знание SQL, C++ и ''Firebird''.
Experience with "real" databases, O''Reilly books read; английский B2.
Готовность к командировкам; водительские права категории B; умение писать
понятные отчёты и документацию; работа в команде; ответственность и
внимательность к деталям. No 42 -- not a comment; /* nor this */ end.'
    where job_code = 'Eng' and job_grade = 3 and job_country = 'USA';
update project set proj_desc = cast(rpad('', 30000, 'Строка: O''Brien; ') as blob sub_type text)
    || rpad('', 6000, ' ещё; конец') where proj_id = 'VBASE';
commit;

/* Values to null and back, apostrophes, Cyrillic. */
update customer set address_line2 = null, phone_no = null where cust_no = 1003;
update customer set phone_no = '(617) 555-0000' where cust_no = 1003;
update customer set customer = 'ООО ''Рога и копыта''' where cust_no = 1001;

/* Every type. */
insert into all_types values (2, 32767, -9223372036854775808, 0.0001, -9999999999.99, 0.333, 2.5e-300,
    '0001-01-01', '00:00:00.0001', '9999-12-31 23:59:59.9999', true,
    'Ёж ''x''', 'Текст; -- с апострофом '' и "кавычками"', 'Заметка', x'FF000D0A5C27');
update all_types set sm = null, big = null, num = null, amount = null, fl = null, dbl = null, d = null, t = null,
    ts = null, ok = null, ch = null, memo = null, pic = null where id = 1;
update all_types set sm = 7, num = 1.5, d = '2024-05-06', t = '12:34:56.7891', ok = true,
    pic = x'89504E470D0A1A0A0000' where id = 1;
update all_types set vc = rpad('', 1500, 'Длинный текст '), memo = rpad('', 3000, 'ещё ') where id = 2;
delete from all_types where id = 3;
commit;
