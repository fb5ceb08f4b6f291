// The database manager on the real engine: each case runs on the embedded
// engine and against the server on 127.0.0.1.
#include "FbTestUtil.h"

#include "core/Resfuncs.h"
#include "db/Tdbmanager.h"
#include "locale/Messages.h"
#include "res/TextIds.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class DBManager : public FbEngineTest {
protected:
    void SetUp() override
    {
        FbEngineTest::SetUp();
        TFormatSettings fixed;  // day.month.year, 24-hour time
        SetFormatSettings(&fixed);
        // The diagnosis follows the catalogue: these cases read the Russian one.
        LoadMessagesFromText(LoadResourceText(BuiltinTexts::kLocaleRussian, "LOCALE"));
    }
    void TearDown() override
    {
        SetFormatSettings(nullptr);
        ResetMessages();
    }

    TDBManager& manager = TDBManager::GetInstance();

    // Connects to the database and starts the transaction.
    void Begin(const TestDatabase& db)
    {
        manager.Connect(db.Location(), db.User(), db.Password());
        manager.StartTransaction();
    }

    // The whole message of the error that the call raises, or "no error".
    template <class Error, class Call>
    static std::string MessageOf(Call call)
    {
        try {
            call();
        } catch (const Error& error) {
            return error.Message;
        }
        return "no error";
    }

    // A database name that no server nor file answers to.
    std::string Missing(const TestDatabase& db) const
    {
        return db.Location().substr(0, db.Location().rfind('/') + 1) + "missing.fdb";
    }

    // The first column of every row, as text.
    static std::string Column(TDataSet& set, const std::string& name)
    {
        std::string texts;
        for (set.First(); !set.Eof(); set.Next())
            texts += set.FindField(name)->AsString() + ";";
        return texts;
    }
};

const std::string kConnectFailed = Cp1251("Ошибка при попытке подключения к базе данных:") + "\n";
const std::string kLocation = "\n" + Cp1251("Расположение базы данных:") + "\n";

}  // namespace

TEST_P(DBManager, StateChecksRefuseWhatTheStateForbids)
{
    TestDatabase db(Engine());
    // A failed connection leaves the manager disconnected, whatever came before.
    EXPECT_THROW(manager.Connect(Missing(db), db.User(), db.Password()), ConnectError);
    ASSERT_EQ(manager.GetState(), dbsDisconnected);

    const std::string startDisconnected =
        Cp1251("Попытка стартовать транзакцию в состоянии отключения от базы данных");
    EXPECT_EQ(MessageOf<TranError>([&] { manager.StartTransaction(); }), startDisconnected);
    EXPECT_EQ(MessageOf<TranError>([&] { manager.CheckState(dboStartTransaction); }), startDisconnected);
    EXPECT_NO_THROW(manager.CheckState(dboConnect));
    EXPECT_NO_THROW(manager.CheckState(dboEndTransaction));
    // The check lets a roll-back through when disconnected; the roll-back itself fails.
    EXPECT_EQ(MessageOf<TranError>([&] { manager.Rollback(); }),
              Cp1251("Не удался откат транзакции:") + "\n" +
                  "invalid transaction handle (expecting explicit transaction start)");
    const std::string noTransaction = Cp1251("Невозможно выполнить запрос, так как отсутствует активная транзакция");
    EXPECT_EQ(MessageOf<TranError>([&] { manager.OpenQuery("select 1 from rdb$database"); }), noTransaction);

    manager.Connect(db.Location(), db.User(), db.Password());
    ASSERT_EQ(manager.GetState(), dbsConnected);
    EXPECT_FALSE(manager.IsTransactionActive());
    EXPECT_EQ(MessageOf<TranError>([&] { manager.Rollback(); }),
              Cp1251("Попытка завершить транзакцию, когда она еще не начата"));
    EXPECT_NO_THROW(manager.CheckState(dboConnect));
    EXPECT_NO_THROW(manager.CheckState(dboStartTransaction));
    // Checked before any query object is made: even a too short text gets this error.
    EXPECT_EQ(MessageOf<TranError>([&] { manager.OpenQuery("x"); }), noTransaction);

    manager.StartTransaction();
    ASSERT_EQ(manager.GetState(), dbsInTransaction);
    EXPECT_TRUE(manager.IsTransactionActive());
    EXPECT_EQ(MessageOf<TranError>([&] { manager.StartTransaction(); }),
              Cp1251("Попытка стартовать новую транзакцию, не завершив предыдущую"));
    EXPECT_EQ(MessageOf<TranError>([&] { manager.Connect(db.Location(), db.User(), db.Password()); }),
              Cp1251("Попытка отключения/подключения к базе данных, не завершив транзакцию"));
    EXPECT_NO_THROW(manager.CheckState(dboEndTransaction));
    // The refused Connect left connection and transaction as they were.
    EXPECT_EQ(manager.GetState(), dbsInTransaction);
    EXPECT_EQ(manager.OpenQuery("select 1 as one from rdb$database")->FindField("ONE")->AsInteger(), 1);

    manager.Rollback();
    EXPECT_EQ(manager.GetState(), dbsConnected);
}

TEST_P(DBManager, RefusedConnectionsCarryLibraryTextAndLocation)
{
    TestDatabase db(Engine());
    const std::string missing = Missing(db);
    const std::string message = MessageOf<ConnectError>([&] { manager.Connect(missing, db.User(), db.Password()); });
    EXPECT_EQ(message, kConnectFailed + "I/O error during \"open\" operation for file \"" +
                           missing.substr(missing.find('/')) + "\"\nError while trying to open file\n" +
                           "No such file or directory" + kLocation + missing);
    EXPECT_EQ(manager.GetState(), dbsDisconnected);

    // Nothing listens on port 1.
    const std::string closedPort = "127.0.0.1/1:" + db.Path();
    EXPECT_EQ(MessageOf<ConnectError>([&] { manager.Connect(closedPort, db.User(), db.Password()); }),
              kConnectFailed + "Unable to complete network request to host \"127.0.0.1\".\n" +
                  "Failed to establish a connection." + kLocation + closedPort);
    EXPECT_EQ(manager.GetState(), dbsDisconnected);

    // After a failure a correct Connect succeeds.
    manager.Connect(db.Location(), db.User(), db.Password());
    EXPECT_EQ(manager.GetState(), dbsConnected);
    // Connecting again to the same database disconnects and connects.
    manager.Connect(db.Location(), db.User(), db.Password());
    EXPECT_EQ(manager.GetState(), dbsConnected);
}

// The embedded engine checks no password: these run on the server alone.
class DBManagerOnServer : public DBManager {};

TEST_P(DBManagerOnServer, ChecksThePasswordAndGetsNoneWhenEmpty)
{
    TestDatabase db(Engine());
    const std::string notDefined =
        "Your user name and password are not defined. Ask your database administrator to set up a Firebird login.";
    EXPECT_EQ(MessageOf<ConnectError>([&] { manager.Connect(db.Location(), db.User(), db.Password() + "x"); }),
              kConnectFailed + notDefined + kLocation + db.Location());

    // No password item after one with a password: the login fails. The client
    // library would take the environment's password instead of an item.
    manager.Connect(db.Location(), db.User(), db.Password());
    unsetenv("ISC_PASSWORD");
    EXPECT_EQ(MessageOf<ConnectError>([&] { manager.Connect(db.Location(), db.User(), ""); }),
              kConnectFailed + notDefined + kLocation + db.Location());
    manager.Connect(db.Location(), db.User(), db.Password());
    EXPECT_EQ(manager.GetState(), dbsConnected);
}

TEST_P(DBManager, ConnectionAndTransactionAsTheSystemAsksForThem)
{
    TestDatabase db(Engine());
    Begin(db);
    // Character set 52 is WIN1251. Isolation 1 is a snapshot; a lock timeout
    // of 0 is nowait; the transaction only reads.
    auto set = manager.OpenQuery(
        "select a.mon$character_set_id as charset, trim(a.mon$user) as login, t.mon$isolation_mode as isolation,\n"
        "    t.mon$lock_timeout as timeout, t.mon$read_only as readonly\n"
        "from mon$attachments a join mon$transactions t on t.mon$attachment_id = a.mon$attachment_id\n"
        "where a.mon$attachment_id = current_connection and t.mon$transaction_id = current_transaction");
    ASSERT_FALSE(set->Eof());
    EXPECT_EQ(set->FindField("CHARSET")->AsInteger(), 52);
    EXPECT_EQ(set->FindField("login")->AsString(), "SYSDBA");
    EXPECT_EQ(set->FindField("ISOLATION")->AsInteger(), 1);
    EXPECT_EQ(set->FindField("TIMEOUT")->AsInteger(), 0);
    EXPECT_EQ(set->FindField("READONLY")->AsInteger(), 1);
}

TEST_P(DBManager, DataSetFetchesLazilyAndKeepsItsRows)
{
    TestDatabase db(Engine());
    db.Exec("create table t (id integer, name varchar(10));\n"
            "insert into t values (1, 'one');\n"
            "insert into t values (2, 'two');\n"
            "insert into t values (3, 'three');\n");
    Begin(db);

    auto set = manager.OpenQuery("select id, name from t order by id");
    EXPECT_FALSE(set->Eof());
    EXPECT_EQ(set->RecordCount(), 1);  // positioned on the first row, nothing more fetched
    EXPECT_EQ(set->FindField("Name")->AsString(), "one");
    EXPECT_EQ(set->FindField("NOSUCH"), nullptr);
    set->Next();
    EXPECT_EQ(set->RecordCount(), 2);
    set->Last();
    EXPECT_TRUE(set->Eof());
    EXPECT_EQ(set->RecordCount(), 3);
    EXPECT_EQ(set->FindField("ID")->AsInteger(), 3);  // on the last row
    set->First();
    EXPECT_FALSE(set->Eof());
    EXPECT_EQ(Column(*set, "NAME"), "one;two;three;");
    // Past the last row the last row stays current.
    EXPECT_TRUE(set->Eof());
    EXPECT_EQ(set->FindField("ID")->AsInteger(), 3);

    auto walked = manager.OpenQuery("select id from t order by id");
    int rows = 0;
    for (; !walked->Eof(); walked->Next())
        ++rows;
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(walked->RecordCount(), 3);

    auto empty = manager.OpenQuery("select id, name from t where id < 0");
    EXPECT_TRUE(empty->Eof());
    EXPECT_EQ(empty->RecordCount(), 0);
    EXPECT_TRUE(empty->FindField("ID")->IsNull());
    EXPECT_EQ(empty->FindField("NAME")->AsString(), "");
    empty->Last();
    empty->First();
    EXPECT_TRUE(empty->Eof());
}

TEST_P(DBManager, ColumnTextsOfEveryType)
{
    TestDatabase db(Engine());
    db.Exec("create table v (\n"
            "  s smallint, i integer, b bigint, id numeric(18,0), n numeric(18,2), m numeric(9,3),\n"
            "  f float, d double precision, dt date, tm time, ts timestamp, midnight timestamp,\n"
            "  c char(5), vc varchar(20), tb blob sub_type text, bb blob sub_type binary, yes boolean,\n"
            "  nothing integer);\n"
            "insert into v values (-32768, 2147483647, -9223372036854775808, 9007199254740993, -0.05, 1234.5,\n"
            "  0.1, 0.1, '2003-02-01', '10:15:00', '2003-02-01 10:15:00.1234', '2003-02-01 00:00:00',\n"
            "  'ab', 'a''b', 'long text', x'00FF41', true, null);\n");
    Begin(db);
    auto set = manager.OpenQuery("select v.*, 1e300 as big, cast(1 as double precision) / 3 as third,\n"
                                 "    null as untyped from v");
    auto text = [&](const char* name) { return set->FindField(name)->AsString(); };
    EXPECT_EQ(text("S"), "-32768");
    EXPECT_EQ(text("I"), "2147483647");
    EXPECT_EQ(text("B"), "-9223372036854775808");
    EXPECT_EQ(text("ID"), "9007199254740993");
    EXPECT_EQ(text("N"), "-0.05");
    EXPECT_EQ(text("M"), "1234.500");
    EXPECT_EQ(text("F"), "0.1");
    EXPECT_EQ(text("D"), "0.1");
    EXPECT_EQ(text("BIG"), "1e+300");
    EXPECT_EQ(text("THIRD"), "0.3333333333333333");
    EXPECT_EQ(text("DT"), "01.02.2003");
    EXPECT_EQ(text("TM"), "10:15:00");
    EXPECT_EQ(text("TS"), "01.02.2003 10:15:00");
    EXPECT_EQ(text("MIDNIGHT"), "01.02.2003");
    EXPECT_EQ(text("C"), "ab   ");
    EXPECT_EQ(text("VC"), "a'b");
    EXPECT_EQ(text("TB"), "long text");
    EXPECT_EQ(text("BB"), std::string("\x00\xFF\x41", 3));
    EXPECT_EQ(text("YES"), "True");
    EXPECT_EQ(text("NOTHING"), "");
    EXPECT_TRUE(set->FindField("NOTHING")->IsNull());
    EXPECT_TRUE(set->FindField("UNTYPED")->IsNull());
    EXPECT_FALSE(set->FindField("I")->IsNull());

    auto integer = [&](const char* name) { return set->FindField(name)->AsInteger(); };
    EXPECT_EQ(integer("S"), -32768);
    EXPECT_EQ(integer("I"), 2147483647);
    EXPECT_EQ(integer("B"), INT64_MIN);
    EXPECT_EQ(integer("ID"), 9007199254740993LL);  // a log id beyond what a double holds exactly
    EXPECT_EQ(integer("NOTHING"), 0);
    EXPECT_THROW(integer("DT"), Exception);
    EXPECT_THROW(integer("VC"), Exception);
}

TEST_P(DBManager, CyrillicTextsComeBackByteForByte)
{
    // Stored as UTF-8: the connection's WIN1251 makes the server hand back
    // Windows-1251 bytes.
    TestDatabase db(Engine(), "UTF8");
    const std::string value = Cp1251("Съешь же ещё этих мягких французских булок, да выпей чаю. ЁЖ №1");
    db.Exec("create table t (name varchar(100), note blob sub_type text);\n"
            "insert into t values ('" + value + "', '" + value + "');\n"
            "insert into t values ('emoji', _UTF8 x'F09F9880');\n");
    Begin(db);
    auto set = manager.OpenQuery("select name, note from t where name = '" + value + "'");
    ASSERT_FALSE(set->Eof());
    EXPECT_EQ(set->FindField("NAME")->AsString(), value);
    EXPECT_EQ(set->FindField("NOTE")->AsString(), value);

    // A character Windows-1251 lacks, in a BLOB or a later row, told by the engine's code.
    for (const char* sql : {"select note from t where name = 'emoji'",
                            "select cast(note as varchar(100)) from t order by name desc"})
        EXPECT_THROW(manager.OpenQuery(sql)->Last(), CharsetError) << sql;
}

TEST_P(DBManager, DateTimeParametersSelectAtTheBoundarySecond)
{
    TestDatabase db(Engine());
    db.Exec("create table ibe$log_tables (id numeric(18,0), date_time timestamp);\n"
            "insert into ibe$log_tables values (1, '2003-01-31 23:59:59');\n"
            "insert into ibe$log_tables values (2, '2003-02-01 00:00:00');\n"
            "insert into ibe$log_tables values (3, '2003-02-01 12:00:00');\n"
            "insert into ibe$log_tables values (4, '2003-02-02 00:00:00');\n"
            "insert into ibe$log_tables values (5, '2003-02-02 00:00:01');\n");
    Begin(db);
    TParams params;
    params.CreateParam(ftDateTime, "BEGD").SetAsDateTime(EncodeDate(2003, 2, 1));
    params.CreateParam(ftDateTime, "ENDD").SetAsDateTime(EncodeDate(2003, 2, 1) + 1.0);
    auto set = manager.OpenQuery("select lt.id from ibe$log_tables lt\n"
                                 "where lt.date_time >= :BEGD and lt.date_time <= :ENDD order by lt.id",
                                 &params);
    EXPECT_EQ(Column(*set, "ID"), "2;3;4;");

    params[1].SetAsDateTime(EncodeDateTime(2003, 2, 2, 0, 0, 1));
    set = manager.OpenQuery("select lt.id from ibe$log_tables lt\n"
                            "where lt.date_time >= :BEGD and lt.date_time <= :ENDD order by lt.id",
                            &params);
    EXPECT_EQ(Column(*set, "ID"), "2;3;4;5;");
}

TEST_P(DBManager, ParametersAreCopiedByName)
{
    TestDatabase db(Engine());
    db.Exec("create table t (id numeric(18,0), name varchar(10));\n"
            "insert into t values (9007199254740993, 'big');\n"
            "insert into t values (17, 'small');\n"
            "insert into t values (null, 'none');\n");
    Begin(db);

    TParams params;
    params.CreateParam(ftInteger, "UNUSED").SetAsInteger(1);  // not in the text: ignored
    params.CreateParam(ftInteger, "id").SetAsInteger(9007199254740993LL);
    // Markers in literals and comments are text; a name used twice takes one value.
    auto set = manager.OpenQuery("select name, ':ID' as literal from t /* :OTHER */\n"
                                 "where id = :ID or id + 0 = :Id -- :OTHER\n",
                                 &params);
    EXPECT_EQ(Column(*set, "NAME"), "big;");
    set->First();
    EXPECT_EQ(set->FindField("LITERAL")->AsString(), ":ID");

    // A parameter not given stays null: comparing with null selects nothing.
    set = manager.OpenQuery("select name from t where id = :ID or :ID is null and name = :NAME", &params);
    EXPECT_EQ(Column(*set, "NAME"), "big;");
    set = manager.OpenQuery("select name from t where id = :MISSING or :MISSING is null");
    EXPECT_EQ(Column(*set, "NAME"), "big;small;none;");
}

TEST_P(DBManager, FailedQueriesRaiseSQLErrorWithTheirParameters)
{
    TestDatabase db(Engine());
    Begin(db);
    const std::string sql = "select lk.key_field from ibe$log_keys lk where lk.log_tables_id = :ID";
    TParams params;
    params.CreateParam(ftInteger, "ID").SetAsInteger(17);
    params.CreateParam(ftDateTime, "EXTRA");
    EXPECT_EQ(MessageOf<SQLError>([&] { manager.OpenQuery(sql, &params); }),
              Cp1251("Ошибка при попытке выполнения запроса:") + "\n" +
                  "Dynamic SQL Error\nSQL error code = -204\nTable unknown\nIBE$LOG_KEYS\nAt line 1, column 26" +
                  "\n" + Cp1251("Текст запроса:") + "\n" + sql + "\n" + Cp1251("Значения параметров:") + "\n" +
                  "ID = 17\n" + "EXTRA = NULL" + Cp1251(" Нет в запросе") + "\n");
    // The manager stays usable in its transaction.
    EXPECT_EQ(manager.GetState(), dbsInTransaction);
    EXPECT_EQ(manager.OpenQuery("select 2 as two from rdb$database")->FindField("TWO")->AsString(), "2");

    // Four characters never reach the database; five do.
    EXPECT_EQ(MessageOf<TooShortSQLError>([&] { manager.OpenQuery("sele"); }),
              Cp1251("Текст запроса подозрительно короткий") + "\n" + Cp1251("Текст запроса:") + "\nsele");
    const std::string five = MessageOf<SQLError>([&] { manager.OpenQuery("selec"); });
    EXPECT_NE(five.find("Token unknown"), std::string::npos) << five;
}

TEST_P(DBManager, RollbackLeavesTheDataAsItWas)
{
    TestDatabase db(Engine());
    db.Exec("create table counter (n integer);\n"
            "insert into counter values (1);\n"
            "set term ^;\n"
            "create procedure bump returns (n integer) as\n"
            "begin\n"
            "  update counter set n = n + 1;\n"
            "  select n from counter into :n;\n"
            "  suspend;\n"
            "end^\n"
            "set term ;^\n");
    Begin(db);
    // The transaction only reads: not even a selectable procedure writes.
    const std::string refused = MessageOf<SQLError>([&] { manager.OpenQuery("select n from bump"); });
    EXPECT_NE(refused.find("read-only transaction"), std::string::npos) << refused;
    EXPECT_THROW(manager.OpenQuery("update counter set n = 10"), SQLError);
    // Nothing but a query runs, not even one that returns rows: an autonomous
    // transaction would commit past the roll-back.
    for (const char* sql : {" /* rows */ execute block returns (n integer) as begin in autonomous transaction do "
                            "insert into counter values (100); n = 1; suspend; end",
                            "execute block as begin in autonomous transaction do insert into counter values (100); end",
                            "execute procedure bump", "insert into counter values (5) returning n"}) {
        const std::string message = MessageOf<SQLError>([&] { manager.OpenQuery(sql); });
        EXPECT_NE(message.find("Cannot open a non-select statement"), std::string::npos) << message;
    }
    manager.Rollback();
    manager.StartTransaction();
    EXPECT_EQ(Column(*manager.OpenQuery("select n from counter"), "N"), "1;");
}

TEST_P(DBManager, DataSetsOutliveTheirTransactionAndConnection)
{
    TestDatabase db(Engine());
    db.Exec("create table t (id integer, note blob sub_type text);\n"
            "insert into t values (1, 'first');\n"
            "insert into t values (2, 'second');\n"
            "insert into t values (3, 'third');\n");
    Begin(db);
    auto partly = manager.OpenQuery("select id, note from t order by id");
    auto whole = manager.OpenQuery("select id, note from t order by id");
    whole->Last();
    manager.Rollback();

    // The rows fetched stay; those not fetched are never fetched.
    EXPECT_EQ(partly->FindField("NOTE")->AsString(), "first");
    partly->Next();
    EXPECT_TRUE(partly->Eof());
    EXPECT_EQ(partly->RecordCount(), 1);
    EXPECT_EQ(Column(*whole, "NOTE"), "first;second;third;");

    manager.StartTransaction();
    auto open = manager.OpenQuery("select id from t order by id");
    manager.Rollback();
    manager.Connect(db.Location(), db.User(), db.Password());  // the statement is freed before detaching
    EXPECT_EQ(open->FindField("ID")->AsInteger(), 1);
    open.reset();
    partly.reset();
    manager.StartTransaction();
    EXPECT_EQ(Column(*manager.OpenQuery("select id from t order by id"), "ID"), "1;2;3;");
}

INSTANTIATE_TEST_SUITE_P(Engines, DBManager, FbEngines(), FbEngineName);
INSTANTIATE_TEST_SUITE_P(Engines, DBManagerOnServer, ::testing::Values(TestEngine::Server), FbEngineName);
