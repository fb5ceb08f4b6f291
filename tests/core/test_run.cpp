// The run object on real databases: a log written row by row into the IBE$
// tables, read on the embedded engine and through the server.
#include "FbTestUtil.h"
#include "LogRows.h"

#include "db/Tdbmanager.h"
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
    EXPECT_TRUE(TDBManager::GetInstance().IsTransactionActive());
    engine.Clear();
    EXPECT_FALSE(TDBManager::GetInstance().IsTransactionActive());
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

TEST_P(Run, ValuesWithoutSqlFormAndOddEntries)
{
    TestDatabase db(Engine());
    db.Exec(Schema() +
            Entry(1, "GOODS", "U", "2003-02-01 10:00:00") + Key(1, "ID", "'1'") +
            Field(1, "GRID", "null", "'0x01'") +
            Entry(2, "GONE", "U", "2003-02-01 11:00:00") + Key(2, "ID", "'1'") + Field(2, "ID", "'1'", "'2'") +
            "drop table GONE;\n");
    std::vector<std::string> shown;
    CNorvane engine({}, [&](const std::string& text) { shown.push_back(text); });
    ReadDays(engine, db, EncodeDate(2003, 2, 1), EncodeDate(2003, 2, 1));
    ASSERT_EQ(engine.Records().size(), 2u);
    // The entry of the dropped table lost its keys and fields to the joins.
    EXPECT_TRUE(engine.Records()[1]->GetKeys().empty());
    EXPECT_TRUE(engine.Records()[1]->GetFields().empty());

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

TEST_P(Run, UnknownLetterAndEmptyOperation)
{
    TestDatabase db(Engine());
    db.Exec(Schema() + Entry(1, "NOTES", "X", "2003-02-01 10:00:00") + Field(1, "N", "'1'", "'2'"));
    CNorvane engine;
    ReadDays(engine, db, EncodeDate(2003, 2, 1), EncodeDate(2003, 2, 1));
    try {
        engine.GetReproducingScript();
        FAIL();
    } catch (const CEUnknownActionLetter& e) {
        EXPECT_STREQ(e.what(), "Unknown operation symbol: X");
    }
    EXPECT_NE(engine.GetXMLLog().find("Action=\"X\""), std::string::npos);

    engine.Clear();
    TestDatabase empty(Engine());
    empty.Exec(Schema() + Entry(1, "NOTES", "", "2003-02-01 10:00:00"));
    try {
        ReadDays(engine, empty, EncodeDate(2003, 2, 1), EncodeDate(2003, 2, 1));
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Range check error");
    }
}

TEST_P(Run, FailuresOfConnectionAndLog)
{
    CNorvane engine;
    TestDatabase noLog(Engine());
    noLog.Exec("create table T (ID integer);\n");
    EXPECT_THROW(ReadDays(engine, noLog, EncodeDate(2003, 2, 1), EncodeDate(2003, 2, 1)), SQLError);

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
