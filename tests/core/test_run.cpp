// The run object on real databases: a log written row by row into the IBE$
// tables, read on the embedded engine and through the server.
#include "FbTestUtil.h"
#include "LogRows.h"

#include "db/Tdbmanager.h"
#include "engine/Clogreader.h"
#include "engine/Cnorvane.h"
#include "engine/Failure.h"
#include "locale/Messages.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using Norvane::CNorvane;
using namespace LogRows;

namespace {

// The log tables, a table with a key, a key-less table and an array column.
std::string Schema()
{
    return ReadSource("scripts/demo/log-tables.sql") +
           "create table GOODS (ID integer not null primary key, TITLE varchar(40), PRICE numeric(9,2),"
           " GRID integer[2]);\n"
           "create table NOTES (TXT varchar(40), N smallint);\n"
           "create table GONE (ID integer);\n";
}

class Run : public FbFixedFormatsTest {
protected:
    // The period of whole days from..to as the window and the command line pass it.
    static void ReadDays(CNorvane& engine, const TestDatabase& db, TDateTime from, TDateTime to,
                         bool comments = true)
    {
        engine.ReadLog(db.Location(), db.User(), db.Password(), from, to + 1.0, comments);
    }
};

}  // namespace

TEST_P(Run, ScriptsInLogOrderBothWays)
{
    TestDatabase db(Engine());
    db.Exec(Schema() +
            Entry(1, "GOODS", "I", "2003-02-01 10:15:00") + Key(1, "ID", "'7'") +
            Field(1, "ID", "null", "'7'") + Field(1, "TITLE", "null", "'Tea ''green'''") +
            Field(1, "PRICE", "null", "'10.00'") +
            Entry(2, "GOODS", "U", "2003-02-01 10:16:00", "OLGA") + Key(2, "ID", "'7'") +
            Field(2, "PRICE", "'10.00'", "'12.00'") +
            Entry(3, "NOTES", "D", "2003-02-02 00:00:00") + Field(3, "TXT", "'a;b'", "null") +
            Field(3, "N", "null", "null"));
    CNorvane engine;
    ReadDays(engine, db, EncodeDate(2003, 2, 1), EncodeDate(2003, 2, 2));
    ASSERT_EQ(engine.Records().size(), 3u);
    EXPECT_EQ(engine.GetReproducingScript(),
              "/* 01.02.2003 10:15:00   Login: SYSDBA */\n"
              "insert into GOODS\n(ID, TITLE, PRICE)\nvalues (7, 'Tea ''green''', 10.00);\n\n"
              "/* 01.02.2003 10:16:00   Login: OLGA */\n"
              "update GOODS\nset PRICE = 12.00\nwhere ID = 7;\n\n"
              "/* 02.02.2003   Login: SYSDBA */\n"
              "delete from NOTES\nwhere TXT = 'a;b' AND N is null\nrows 1;\n\n");
    EXPECT_EQ(engine.GetUndoScript(),
              "/* 02.02.2003   Login: SYSDBA */\n"
              "insert into NOTES\n(TXT, N)\nvalues ('a;b', null);\n\n"
              "/* 01.02.2003 10:16:00   Login: OLGA */\n"
              "update GOODS\nset PRICE = 10.00\nwhere ID = 7;\n\n"
              "/* 01.02.2003 10:15:00   Login: SYSDBA */\n"
              "delete from GOODS\nwhere ID = 7;\n\n");

    // The XML log holds the records in log order whichever script is asked for.
    std::string xml = engine.GetXMLLog();
    EXPECT_NE(xml.find("encoding=\"Windows-1251\""), std::string::npos);
    size_t first = xml.find("Action=\"I\"");
    size_t second = xml.find("Action=\"U\"");
    size_t third = xml.find("Action=\"D\"");
    EXPECT_TRUE(first < second && second < third) << xml;

    // A second run on the same object replaces the records.
    ReadDays(engine, db, EncodeDate(2003, 2, 2), EncodeDate(2003, 2, 2), false);
    ASSERT_EQ(engine.Records().size(), 1u);
    EXPECT_EQ(engine.GetReproducingScript(), "delete from NOTES\nwhere TXT = 'a;b' AND N is null\nrows 1;\n\n");
    EXPECT_EQ(engine.GetXMLLog().find("Action=\"I\""), std::string::npos);
    // The run let go of its transaction and its connection.
    EXPECT_EQ(TDBManager::GetInstance().GetState(), dbsDisconnected);
}

TEST_P(Run, PeriodBoundariesAndProgress)
{
    TestDatabase db(Engine());
    db.Exec(Schema() +
            Entry(1, "NOTES", "I", "2003-01-31 23:59:59") + Field(1, "N", "null", "'1'") +
            Entry(2, "NOTES", "I", "2003-02-01 00:00:00") + Field(2, "N", "null", "'2'") +
            Entry(3, "NOTES", "I", "2003-02-03 23:59:59.9999") + Field(3, "N", "null", "'3'") +
            Entry(4, "NOTES", "I", "2003-02-04 00:00:00") + Field(4, "N", "null", "'4'") +
            Entry(5, "NOTES", "I", "2003-02-04 00:00:01") + Field(5, "N", "null", "'5'"));
    std::vector<std::pair<int, int>> calls;
    CNorvane engine([&](int& total, int& done) { calls.emplace_back(total, done); });
    ReadDays(engine, db, EncodeDate(2003, 2, 1), EncodeDate(2003, 2, 3), false);
    // The period ends at the midnight after its last day, itself excluded:
    // an entry of that instant belongs to the next day's period only.
    EXPECT_EQ(engine.GetReproducingScript(),
              "insert into NOTES\n(N)\nvalues (2);\n\n"
              "insert into NOTES\n(N)\nvalues (3);\n\n");
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{2, 1}, {2, 2}}));
    ReadDays(engine, db, EncodeDate(2003, 2, 4), EncodeDate(2003, 2, 4), false);
    EXPECT_EQ(engine.GetReproducingScript(),
              "insert into NOTES\n(N)\nvalues (4);\n\n"
              "insert into NOTES\n(N)\nvalues (5);\n\n");

    // A begin after the end selects nothing: no error, no progress, the
    // no-records text for both scripts and the bare template as XML log.
    calls.clear();
    ReadDays(engine, db, EncodeDate(2003, 2, 5), EncodeDate(2003, 2, 1));
    EXPECT_TRUE(engine.Records().empty());
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(engine.GetReproducingScript(), "/* Log has no matched records for specified period */");
    EXPECT_EQ(engine.GetUndoScript(), "/* Log has no matched records for specified period */");
    std::string xml = engine.GetXMLLog();
    EXPECT_EQ(xml.find("<Record"), std::string::npos);
    EXPECT_NE(xml.find("<Log"), std::string::npos);
}

TEST_P(Run, ValuesWithoutSqlForm)
{
    TestDatabase db(Engine());
    db.Exec(Schema() +
            Entry(1, "GOODS", "U", "2003-02-01 10:00:00") + Key(1, "ID", "'1'") +
            Field(1, "GRID", "null", "'0x01'"));
    std::vector<std::string> shown;
    CNorvane engine({}, [&](const std::string& text) { shown.push_back(text); });
    ReadDays(engine, db, EncodeDate(2003, 2, 1), EncodeDate(2003, 2, 1));
    ASSERT_EQ(engine.Records().size(), 1u);

    EXPECT_EQ(engine.GetReproducingScript(), "");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "Unknown field type.\nTable name: 'GOODS'\nField name: 'GRID'\nField type: 9");
    // Undoing sets the old value, null, which has a form whatever the type.
    EXPECT_EQ(engine.GetUndoScript(),
              "/* 01.02.2003 10:00:00   Login: SYSDBA */\nupdate GOODS\nset GRID = null\nwhere ID = 1;\n\n");
    EXPECT_EQ(shown.size(), 1u);
    // The XML log is still built, with the array's code.
    EXPECT_NE(engine.GetXMLLog().find("Name=\"GRID\" Type=\"9\""), std::string::npos);
}

// Whoever can write a logged table can write the log: a number column's
// logged text that is not a number reaches the script as a text literal,
// which the engine refuses, and nothing of it runs.
TEST_P(Run, LoggedTextsNeverRunAsStatements)
{
    TestDatabase db(Engine());
    db.Exec(Schema() + "insert into GOODS (ID, TITLE) values (1, 'kept');\n" +
            Entry(1, "GOODS", "U", "2003-02-01 10:00:00") + Key(1, "ID", "'1'") +
            Field(1, "PRICE", "'1'", "'2; delete from GOODS'") + Entry(2, "NOTES", "I", "2003-02-01 10:01:00") +
            Field(2, "N", "null", "''"));
    CNorvane engine;
    ReadDays(engine, db, EncodeDate(2003, 2, 1), EncodeDate(2003, 2, 1), false);
    const std::string script = engine.GetReproducingScript();
    EXPECT_EQ(script, "update GOODS\nset PRICE = '2; delete from GOODS'\nwhere ID = 1;\n\n"
                      "insert into NOTES\n(N)\nvalues ('');\n\n");
    engine.Clear();
    TestDatabase park;  // the manager lets go of the file, which isql opens next
    TDBManager::GetInstance().Connect(park.Location(), park.User(), park.Password());
    EXPECT_THROW(db.Exec(script), std::runtime_error);
    EXPECT_NE(db.Exec("select TITLE from GOODS;").find("kept"), std::string::npos);
}

// Whoever can write a logged table can write the log, and the DBA runs its
// script with full rights: an entry that does not fit the database's tables
// is refused, naming the entry, its table and why, or, when asked, left out
// with the others while the rest are scripted.
TEST_P(Run, ForgedEntriesAreRefused)
{
    const std::pair<std::string, std::string> forged[] = {
        {Entry(1, "MON$ATTACHMENTS", "D", "2003-02-01 10:00:00") + Field(1, "MON$STATE", "'0'", "null"),
         "Log entry 1, table 'MON$ATTACHMENTS': it is not a user table of the database (a system table, a view, a "
         "temporary or external table, or the change log's own)"},
        {Entry(2, "IBE$LOG_TABLES", "D", "2003-02-02 10:00:00") + Key(2, "ID", "'1'"),
         "Log entry 2, table 'IBE$LOG_TABLES': it is not a user table of the database (a system table, a view, a "
         "temporary or external table, or the change log's own)"},
        {Entry(3, "CHEAP", "D", "2003-02-03 10:00:00") + Field(3, "ID", "'1'", "null"),
         "Log entry 3, table 'CHEAP': it is not a user table of the database (a system table, a view, a "
         "temporary or external table, or the change log's own)"},
        {Entry(4, "GONE", "U", "2003-02-04 10:00:00") + Key(4, "ID", "'1'") + Field(4, "ID", "'1'", "'2'"),
         "Log entry 4, table 'GONE': the database has no table of that name"},
        {Entry(5, "GOODS", "U", "2003-02-05 10:00:00") + Field(5, "TITLE", "'a'", "'b'"),
         "Log entry 5, table 'GOODS': its key rows do not name every column of the table's key (ID)"},
        {Entry(6, "GOODS", "D", "2003-02-06 10:00:00") + Key(6, "TITLE", "'pk'"),
         "Log entry 6, table 'GOODS': its key field 'TITLE' is not a column of the table's key (ID)"},
        {Entry(7, "GOODS", "D", "2003-02-07 10:00:00") + Key(7, "ID", "'1'") + Key(7, "ID ", "'2'"),
         "Log entry 7, table 'GOODS': its key field 'ID' is logged twice"},
        {Entry(8, "GOODS", "U", "2003-02-08 10:00:00") + Key(8, "ID", "'1'") + Field(8, "TITLE", "'a'", "'b'") +
             Field(8, "TITLE", "'b'", "'c'"),
         "Log entry 8, table 'GOODS': its field 'TITLE' is logged twice"},
        {Entry(9, "NOTES", "D", "2003-02-09 10:00:00") + Key(9, "N", "'1'"),
         "Log entry 9, table 'NOTES': it names a key field, 'N', but the table has no key"},
        {Entry(10, "GOODS", "X", "2003-02-10 10:00:00") + Key(10, "ID", "'1'"),
         "Log entry 10, table 'GOODS': its operation letter 'X' is none of I, U and D"},
        {Entry(11, "GOODS", "", "2003-02-11 10:00:00"), "Log entry 11, table 'GOODS': it has no operation letter"},
        {"insert into IBE$LOG_TABLES values (12, 'GOODS', null, '2003-02-12 10:00:00', 'SYSDBA');\n",
         "Log entry 12, table 'GOODS': it has no operation letter"},
        {"insert into IBE$LOG_TABLES values (13, 'GOODS', 'I', '2003-02-13 10:00:00', 'A' || ascii_char(0));\n" +
             Key(13, "ID", "'1'"),
         "Log entry 13, table 'GOODS': its user name 'A\\x00' holds a control character"},
    };
    TestDatabase db(Engine());
    std::string rows = Schema() + "create view CHEAP as select ID from GOODS;\n";
    for (const auto& [sql, message] : forged)
        rows += sql;
    db.Exec(rows + Entry(14, "NOTES", "I", "2003-02-14 10:00:00") + Field(14, "N", "null", "'7'") + "drop table GONE;\n");
    CNorvane engine;
    for (int day = 1; day <= static_cast<int>(std::size(forged)); ++day) {
        try {
            ReadDays(engine, db, EncodeDate(2003, 2, day), EncodeDate(2003, 2, day));
            ADD_FAILURE() << "entry " << day << " was not refused";
        } catch (const NorvaneImpl::CEInvalidEntry& e) {
            EXPECT_EQ(e.what(), forged[day - 1].second + ", so no statement is made of it");
            EXPECT_EQ(Norvane::DescribeFailure(std::current_exception()).exitStatus, 7);
        }
    }
    engine.SetSkipInvalid(true);
    ReadDays(engine, db, EncodeDate(2003, 2, 1), EncodeDate(2003, 2, 28), false);
    EXPECT_EQ(engine.GetReproducingScript(), "insert into NOTES\n(N)\nvalues (7);\n\n");
    EXPECT_EQ(engine.Skipped().count, std::size(forged));
    ASSERT_EQ(engine.Skipped().first.size(), std::size(forged));
    EXPECT_EQ(engine.Skipped().first[1], forged[1].second + ", so no statement is made of it");
}

TEST_P(Run, FailuresOfConnectionAndLog)
{
    CNorvane engine;
    TestDatabase noLog(Engine());
    noLog.Exec("create table T (ID integer);\n");
    EXPECT_THROW(ReadDays(engine, noLog, EncodeDate(2003, 2, 1), EncodeDate(2003, 2, 1)), SQLError);
    // A failed run lets go of the database too.
    EXPECT_EQ(TDBManager::GetInstance().GetState(), dbsDisconnected);

    std::string missing = noLog.Location() + ".missing.fdb";
    EXPECT_THROW(engine.ReadLog(missing, noLog.User(), noLog.Password(), 0, 1, true), ConnectError);

    // The object is usable again after both failures.
    TestDatabase db(Engine());
    db.Exec(Schema() + Entry(1, "NOTES", "I", "2003-02-01 10:00:00") + Field(1, "N", "null", "'5'"));
    ReadDays(engine, db, EncodeDate(2003, 2, 1), EncodeDate(2003, 2, 1), false);
    EXPECT_EQ(engine.GetReproducingScript(), "insert into NOTES\n(N)\nvalues (5);\n\n");

    // The server shuts the connection down while the log is read (more
    // entries than one network batch): a lost connection, exit status 3,
    // not a missing change log.
    if (Engine() != TestEngine::Server)
        return;
    TestDatabase big(Engine());
    std::string entries = Schema();
    for (int id = 1; id <= 3000; ++id)
        entries += Entry(id, "NOTES", "I", "2003-02-01 10:00:00") + Field(id, "N", "null", "'5'");
    big.Exec(entries);
    bool cut = false;
    CNorvane reading([&](int&, int&) {
        if (!cut) {
            cut = true;
            big.Exec("delete from mon$attachments where mon$attachment_id <> current_connection;\n");
        }
    });
    try {
        ReadDays(reading, big, EncodeDate(2003, 2, 1), EncodeDate(2003, 2, 1));
        ADD_FAILURE() << "the run went on without its connection";
    } catch (...) {
        const Norvane::TFailure failure = Norvane::DescribeFailure(std::current_exception());
        EXPECT_EQ(failure.kind, Norvane::TFailureKind::NoConnect) << failure.text;
        EXPECT_EQ(failure.exitStatus, 3);
    }
    EXPECT_TRUE(cut);
    // The next run starts afresh: the transaction of the lost connection,
    // which cannot be rolled back, does not stand in its way.
    ReadDays(engine, db, EncodeDate(2003, 2, 1), EncodeDate(2003, 2, 1), false);
    EXPECT_EQ(engine.GetReproducingScript(), "insert into NOTES\n(N)\nvalues (5);\n\n");
}

INSTANTIATE_TEST_SUITE_P(Engines, Run, FbEngines(), FbEngineName);
