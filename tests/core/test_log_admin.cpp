// The change log looked after by norvane-cli itself, on both engines: the
// real executable installs, reports on, purges and removes the log of real
// databases, and whatever it refuses leaves the database as it was.
#include "FbTestUtil.h"

#include "db/Tsqlscript.h"
#include "engine/Clogadmin.h"
#include "tests/support/Process.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <functional>
#include <stdexcept>

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

// norvane-cli with the arguments, from the build (or the program given).
Result Cli(const std::vector<std::string>& args, const std::string& program = NORVANE_BINARY_DIR "/norvane-cli")
{
    NorvaneTest::TTempFolder folder("norvane-log-");
    std::vector<std::string> command = {program};
    command.insert(command.end(), args.begin(), args.end());
    const NorvaneTest::TProcessResult done = NorvaneTest::RunProcess(
        command, {folder.Path() / "out", folder.Path() / "err", {"LC_ALL=C", "ISC_USER=", "ISC_PASSWORD="}});
    return {done.ExitStatus(), done.output, done.errors};
}

std::vector<std::string> Login(const TestDatabase& db, const std::vector<std::string>& more = {})
{
    std::vector<std::string> args = {"-d", db.Location(), "-u", db.User(), "-p", db.Password()};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

std::vector<std::string> Command(const std::vector<std::string>& words, const TestDatabase& db,
                                 const std::vector<std::string>& more = {})
{
    std::vector<std::string> args = Login(db, more);
    args.insert(args.begin(), words.begin(), words.end());
    return args;
}

// The user's rows: every table but the log's.
std::string Rows(TestDatabase& db)
{
    return db.Exec("set list on;\nselect * from goods order by id;\nselect * from customers order by id;\n");
}

// The one value a query of one row and one column gives.
std::string Value(TestDatabase& db, const std::string& query)
{
    const std::string out = db.Exec("set list on;\n" + query + ";\n");
    const std::size_t line = out.find_first_not_of('\n');
    const std::size_t end = out.find('\n', line);
    const std::size_t value = out.find_first_not_of(' ', out.find(' ', line));
    return out.substr(value, end - value);
}

class LogCommands : public FbEngineTest { };

}  // namespace

// The script splitter cuts as isql: at the terminator that set term names,
// not inside literals, quoted names or comments.
TEST(IsqlScript, CutsAsIsqlDoes)
{
    const std::string script = "/* a; b */ create table t (a varchar(5) default ';');\r\n"
                               "-- x;\ninsert into \"T;\" values ('it''s;');\nset term ^ ;\n"
                               "execute block as begin insert into t values (1); end^\nset term ;^\ncommit;";
    EXPECT_EQ(
        SplitIsqlScript(script),
        (std::vector<std::string>{"create table t (a varchar(5) default ';')", "insert into \"T;\" values ('it''s;')",
                                  "execute block as begin insert into t values (1); end", "commit"}));
    EXPECT_EQ(LeadingWords("/* x */ create  \"Odd \"\"One\"\" \" table", 3),
              (std::vector<std::string>{"CREATE", "Odd \"One\" ", "TABLE"}));
}

// Install on a fresh database, again after tables came and went, status,
// purge in batches and for targets of apply, remove: the user's rows stay
// as they were throughout.
TEST_P(LogCommands, InstallStatusPurgeRemove)
{
    TestDatabase db(Engine()), target(Engine());
    db.Exec(ReadSource("scripts/demo/schema.sql") + "insert into goods values (1, 'Tea', 2.5, 0.25, 'kg', 3);\n");
    const Result none = Cli(Command({"log", "status"}, db));
    EXPECT_EQ(none.status, 20) << none.err;

    // A user without rights changes nothing; nor does a database not there.
    std::string olga = "OLGA";
    if (Engine() == TestEngine::Server) {
        olga = "NORVANE_OLGA_" + std::to_string(::getpid());
        db.Exec("create or alter user " + olga + " password 'olga';");
    }
    const std::unique_ptr<TestDatabase, std::function<void(TestDatabase*)>> dropUser(
        Engine() == TestEngine::Server ? &db : nullptr,
        [olga](TestDatabase* d) { d->Exec("drop user " + olga + ";"); });
    for (const std::vector<std::string>& action :
         {std::vector<std::string>{"log", "install"}, {"log", "purge", "--before", "2999-01-01"}, {"log", "remove"}}) {
        std::vector<std::string> args = action;
        args.insert(args.end(), {"-d", db.Location(), "-u", olga, "-p", "olga"});
        const Result refused = Cli(args);
        EXPECT_EQ(refused.status, 21) << refused.err;
        EXPECT_NE(refused.err.find(olga + " may not "), std::string::npos) << refused.err;
    }
    EXPECT_EQ(Cli({"log", "install", "-d", db.Location() + ".missing", "-u", db.User(), "-p", db.Password()}).status,
              3);
    const std::string untouched = Rows(db);

    const Result installed = Cli(Command({"log", "install"}, db));
    ASSERT_EQ(installed.status, 0) << installed.err;
    EXPECT_NE(installed.out.find("Change log installed on " + db.Location() + " (character set WIN1251)"),
              std::string::npos);
    EXPECT_NE(installed.out.find("Tables logged (4): CUSTOMERS, GOODS, ORDERS, ORDER_LINES\n"), std::string::npos);
    EXPECT_EQ(Rows(db), untouched);

    // Run again: the same log, triggers for a table made since, none on a
    // table the triggers text leaves alone.
    db.Exec("create table NOTES (ID integer not null primary key, T varchar(20));\n"
            "insert into goods values (2, 'Milk', 1, 1, 'l', 9);\nupdate goods set stock = 4 where id = 1;\n"
            "insert into notes values (1, 'new');\ncreate table IBE$NOTES (N integer);\ncommit;\nset term ^ ;\n"
            "create trigger IBE$IBE$NOTES_AI for IBE$NOTES after insert as\n"
            "begin insert into ibe$log_tables (id) values (0); end^\nset term ; ^\n");
    const std::string rows = Rows(db);
    const Result again = Cli(Command({"log", "install"}, db));
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.out.find("brought up to date"), std::string::npos);
    EXPECT_NE(again.out.find("Newly logged (1): NOTES\n"), std::string::npos) << again.out;
    EXPECT_NE(again.out.find("dropped (1): IBE$IBE$NOTES_AI\n"), std::string::npos) << again.out;
    EXPECT_EQ(Rows(db), rows);
    db.Exec("delete from notes;\ninsert into customers (id, name) values (1, 'Olga');\n");

    const Result status = Cli(Command({"log", "status"}, db));
    ASSERT_EQ(status.status, 0) << status.err;
    EXPECT_NE(status.out.find("Tables logged (5): CUSTOMERS, GOODS, NOTES, ORDERS, ORDER_LINES\n"
                              "Tables not logged: none\nEntries: 4, from "),
              std::string::npos)
        << status.out;
    EXPECT_NE(status.out.find("Incomplete entries: 0\nLog tables: IBE$LOG_TABLES 4 rows, "), std::string::npos);
    EXPECT_EQ(status.out.find("size is not known"), std::string::npos) << status.out;
    // One language at a time: nothing but ASCII in English, the report in
    // Russian (UTF-8, as the log commands write) with --language ru.
    EXPECT_TRUE(std::all_of(status.out.begin(), status.out.end(), [](char c) { return c > 0; })) << status.out;
    const Result russian = Cli(Command({"log", "status"}, db, {"--language", "ru"}));
    EXPECT_NE(russian.out.find("Журналируемые таблицы (5): CUSTOMERS, GOODS, NOTES, ORDERS, ORDER_LINES\n"
                               "Нежурналируемые таблицы: нет\nЗаписей: 4, с "),
              std::string::npos)
        << russian.out;
    EXPECT_NE(russian.out.find("Неполных записей: 0\nТаблицы журнала: IBE$LOG_TABLES: строк 4, "), std::string::npos);

    // A target that received nothing from this source holds the purge back.
    const std::vector<std::string> purge = {"log", "purge", "--before", "2999-01-01"};
    const Result notApplied = Cli(Command(purge, db, {"--applied", target.Location()}));
    EXPECT_EQ(notApplied.status, 23) << notApplied.err;
    // Received: ids up to 1 and 3; a batch of two commits, and a stop after
    // it keeps it.
    const std::string source = db.Location().substr(db.Location().rfind('/') + 1);
    target.Exec("create table NORVANE$SOURCES (SOURCE_NAME varchar(250) character set NONE not null primary key,\n"
                "  FLOOR_ID numeric(18,0));\n"
                "create table NORVANE$RECEIVED (SOURCE_NAME varchar(250) character set NONE not null,\n"
                "  FIRST_ID numeric(18,0) not null, LAST_ID numeric(18,0) not null);\ncommit;\n"
                "insert into NORVANE$SOURCES values ('" +
                source +
                "', 1);\n"
                "insert into NORVANE$RECEIVED values ('" +
                source + "', 3, 3);\n");
    Norvane::TPurgeRequest request{
        EncodeDate(2999, 1, 1), {{target.Location(), target.User(), target.Password()}}, "", 1};
    std::vector<long long> progress;
    EXPECT_THROW(Norvane::PurgeLog({db.Location(), db.User(), db.Password()}, request,
                                   [&](long long done, long long total) {
                                       progress.push_back(done * 10 + total);
                                       throw std::runtime_error("stop");
                                   }),
                 std::runtime_error);
    EXPECT_EQ(progress, std::vector<long long>{12});
    const Result applied = Cli(Command(purge, db, {"--applied", target.Location()}));
    ASSERT_EQ(applied.status, 0) << applied.err;
    EXPECT_NE(applied.out.find("Purged 1 log entries stamped before 2999-01-01"), std::string::npos) << applied.out;
    EXPECT_NE(applied.out.find("Kept 2 entries"), std::string::npos) << applied.out;
    EXPECT_EQ(Value(db, "select cast(list(id) as varchar(99)) from (select id from ibe$log_tables order by id)"),
              "2,4");
    EXPECT_EQ(Value(db, "select count(*) from ibe$log_keys k where not exists\n"
                        "  (select 1 from ibe$log_tables t where t.id = k.log_tables_id)"),
              "0");
    EXPECT_NE(Cli(Command(purge, db)).out.find("Purged 2 log entries"), std::string::npos);

    const std::string last = Rows(db);
    const Result removed = Cli(Command({"log", "remove"}, db));
    ASSERT_EQ(removed.status, 0) << removed.err;
    EXPECT_NE(removed.out.find("Triggers dropped (15): IBE$CUSTOMERS_AD, "), std::string::npos);
    EXPECT_EQ(Cli(Command({"log", "remove"}, db)).status, 20);
    EXPECT_EQ(Cli(Command({"log", "remove"}, db, {"--drop-data"})).status, 0);
    EXPECT_EQ(Cli(Command({"log", "status"}, db)).status, 20);
    EXPECT_EQ(Rows(db), last);
}

// A log of IBExpert's older shape (VARCHAR(255) values, no BLOB columns)
// gains the columns of the current one and keeps its entries; a log the
// triggers cannot be made for leaves nothing behind.
TEST_P(LogCommands, OlderShapeIsBroughtUpToDate)
{
    TestDatabase db(Engine());
    db.Exec("create table IBE$LOG_TABLES (ID numeric(18,0) not null primary key, TABLE_NAME varchar(67),\n"
            "  OPERATION varchar(1), DATE_TIME timestamp, USER_NAME varchar(67));\n"
            "create table IBE$LOG_FIELDS (LOG_TABLES_ID numeric(18,0), FIELD_NAME varchar(67),\n"
            "  OLD_VALUE varchar(255), NEW_VALUE varchar(255));\n"
            "create table IBE$LOG_KEYS (LOG_TABLES_ID numeric(18,0), KEY_FIELD varchar(67), KEY_VALUE varchar(255));\n"
            "create table T (ID integer not null primary key, B blob sub_type text);\ncommit;\n"
            "insert into IBE$LOG_TABLES values (1, 'T', 'I', '2003-02-01 10:15:00', 'SYSDBA');\n");
    const Result installed = Cli(Command({"log", "install"}, db));
    ASSERT_EQ(installed.status, 0) << installed.err;
    EXPECT_NE(installed.out.find("Columns added ("), std::string::npos) << installed.out;
    EXPECT_NE(installed.out.find("IBE$LOG_FIELDS.OLD_TEXT, IBE$LOG_FIELDS.NEW_TEXT, "), std::string::npos);
    EXPECT_NE(installed.out.find("moved up to the log's highest id, 1."), std::string::npos);
    db.Exec("insert into T values (1, 'text');\n");
    EXPECT_NE(Cli(Command({"log", "status"}, db)).out.find("Entries: 2, from 2003-02-01 10:15:00 to "),
              std::string::npos);

    // A key column that cannot be added to rows there already.
    TestDatabase odd(Engine());
    odd.Exec(
        "create table IBE$LOG_TABLES (TABLE_NAME varchar(67));\ncommit;\ninsert into IBE$LOG_TABLES values ('T');\n"
        "create table T (ID integer);\n");
    const Result refused = Cli(Command({"log", "install"}, odd));
    EXPECT_EQ(refused.status, 22) << refused.err;
    EXPECT_NE(refused.err.find("IBE$LOG_TABLES has no column ID"), std::string::npos) << refused.err;
    EXPECT_EQ(Value(odd, "select count(*) from rdb$relations where rdb$relation_name starting with 'IBE$'"), "1");
    EXPECT_EQ(Value(odd, "select count(*) from rdb$generators where rdb$generator_name starting with 'IBE$'"), "0");
}

INSTANTIATE_TEST_SUITE_P(Engines, LogCommands, FbEngines(), FbEngineName);
