// The proof of the scripts: changes made through the logging triggers on one
// database are replayed on its untouched twin by the reproducing script, and
// cancelled on the changed database by the undo script, so that every table
// ends equal row by row. isql-fb runs the scripts, as a user would.
#include "FbTestUtil.h"
#include "RoundTripMix.h"

#include "core/Charset.h"
#include "db/Tdbmanager.h"
#include "engine/Capplier.h"
#include "engine/Cnorvane.h"
#include "locale/Regional.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The demo shop's tables with their change log, as scripts/demo-db.sh makes
// them, holding `rows` without any log entries; every later change is logged.
void MakeShop(TestDatabase& db, const std::string& initialRows)
{
    db.Exec(ReadSource("scripts/demo/log-tables.sql") + ReadSource("scripts/demo/schema.sql") + initialRows +
            "commit;\n" + ReadSource("scripts/demo/log-triggers.sql"));
}

// Every row of every user table, in key order, as isql lists them: the
// image two databases are compared by. The log tables are left out: the
// replay and the undo are logged too.
std::string Dump(TestDatabase& db)
{
    return db.Exec("set list on;\n"
                   "select 'CUSTOMERS' as tab, t.* from customers t order by id;\n"
                   "select 'GOODS' as tab, t.* from goods t order by id;\n"
                   "select 'ORDERS' as tab, t.* from orders t order by id;\n"
                   "select 'ORDER_LINES' as tab, t.* from order_lines t order by order_id, line_no;\n");
}

// The rows of a dump, each beginning with its table's name (a value may hold
// empty lines, so rows are cut at the TAB column; no value of the mix ends
// with a line break).
std::vector<std::string> Rows(const std::string& dump)
{
    std::vector<std::string> rows;
    const std::string mark = "\nTAB ";
    for (std::size_t at = dump.find(mark); at != std::string::npos;) {
        const std::size_t next = dump.find(mark, at + 1);
        std::string row = dump.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
        // The blank lines that isql puts after a table belong to no row.
        while (!row.empty() && row.back() == '\n')
            row.pop_back();
        rows.push_back(row + '\n');
        at = next;
    }
    return rows;
}

// Empty when the two dumps hold the same rows; otherwise the rows each holds
// alone, a few of them.
std::string Difference(const std::string& expected, const std::string& actual)
{
    std::vector<std::string> a = Rows(expected), b = Rows(actual);
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    std::vector<std::string> onlyA, onlyB;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(onlyA));
    std::set_difference(b.begin(), b.end(), a.begin(), a.end(), std::back_inserter(onlyB));
    if (onlyA.empty() && onlyB.empty() && expected == actual)
        return {};
    std::string text = std::to_string(onlyA.size()) + " rows only in the expected tables, " +
                       std::to_string(onlyB.size()) + " only in the actual ones\n";
    for (std::size_t i = 0; i < onlyA.size() && i < 3; ++i)
        text += "expected:\n" + onlyA[i];
    for (std::size_t i = 0; i < onlyB.size() && i < 3; ++i)
        text += "actual:\n" + onlyB[i];
    return text;
}

// Empty when the texts are equal; otherwise where they first part, with a
// little of each from there.
std::string FirstDifference(const std::string& expected, const std::string& actual)
{
    if (expected == actual)
        return {};
    std::size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at])
        ++at;
    const std::size_t from = at < 80 ? 0 : at - 80;
    return "the texts part at byte " + std::to_string(at) + " (sizes " + std::to_string(expected.size()) + " and " +
           std::to_string(actual.size()) + ")\nexpected: ..." + expected.substr(from, 240) + "\nactual:   ..." +
           actual.substr(from, 240);
}

// The scripts of one run over the whole log of a database.
struct Scripts {
    std::string reproducing;
    std::string undo;
};

Scripts ReadScripts(const TestDatabase& db, bool includeComments, const std::string& charset = "WIN1251",
                    std::string* xmlLog = nullptr, bool disableTriggers = false, bool syncGenerators = false)
{
    std::vector<std::string> shown;
    Norvane::CNorvane engine({}, [&shown](const std::string& text) { shown.push_back(text); });
    engine.SetDisableTriggers(disableTriggers);
    engine.SetSyncGenerators(syncGenerators);
    engine.ReadLog(db.Location(), db.User(), db.Password(), EncodeDate(1901, 1, 1), Date() + 2.0,
                   includeComments, charset);
    Scripts scripts{engine.GetReproducingScript(), engine.GetUndoScript()};
    if (xmlLog)
        *xmlLog = engine.GetXMLLog();
    EXPECT_TRUE(shown.empty()) << shown.front();
    return scripts;
}

// isql commits only on request.
std::string Committed(const std::string& script) { return script + "commit;\n"; }

// norvane-cli apply in this process: the whole log of the source to the
// target, or undone in the source itself when there is no target. The
// database manager stays connected to the source.
std::size_t ApplyLog(const TestDatabase& source, const TestDatabase* target, const std::string& charset = "WIN1251")
{
    Norvane::TApplyOptions options;
    options.source = source.Location();
    options.user = source.User();
    options.password = source.Password();
    options.charset = charset;
    options.undo = !target;
    if (target) {
        options.target = target->Location();
        options.targetUser = target->User();
        options.targetPassword = target->Password();
        options.targetCharset = charset;
    }
    options.periodBegin = EncodeDate(1901, 1, 1);
    options.periodEnd = Date() + 2.0;
    return Norvane::CApplier(options).Run().entries;
}

class ScriptRoundTrip : public FbEngineTest {
protected:
    // The round trip on one seeded mix: twin databases A and B with the same
    // starting rows; the mix is made on A; A's reproducing script makes B
    // equal to A; B's own log of that replay gives the same script again;
    // A's undo script brings A back to the starting rows.
    // Another character set: the databases', the run's and isql's.
    void Run(std::uint32_t seed, int initialPerTable, int changes, const std::string& charset = "WIN1251")
    {
        SCOPED_TRACE("random mix seed " + std::to_string(seed) + " in " + charset);
        RoundTrip::RandomMix mix(seed, charset);
        const std::string initialRows = mix.InitialRows(initialPerTable);
        const std::string changeScript = mix.Changes(changes);
        ExpectVariety(mix.Counts());

        TestDatabase a(Engine(), charset), b(Engine(), charset);
        for (TestDatabase* db : {&a, &b}) {
            db->SetExecCharset(charset);
            MakeShop(*db, initialRows);
        }
        const std::string original = Dump(b);
        ASSERT_EQ(Difference(original, Dump(a)), "");

        a.Exec(changeScript);
        const std::string changed = Dump(a);
        ASSERT_NE(Difference(original, changed), "");

        std::string xmlLog;
        const Scripts fromA = ReadScripts(a, true, charset, &xmlLog);
        ExpectEveryPieceIn(xmlLog, mix.TextPieces(), changeScript);
        EXPECT_TRUE(charset == "WIN1251" || fromA.reproducing.find("_" + charset + " x'") != std::string::npos);
        b.Exec(Committed(fromA.reproducing));
        EXPECT_EQ(Difference(changed, Dump(b)), "") << "after the reproducing script";

        // The replay on B went through B's logging triggers: statement for
        // statement the same changes. Reading B's log last also moves the
        // manager's one connection from A to B; the embedded engine lets only
        // one process open a file, and isql needs A next.
        const std::string plainFromA = ReadScripts(a, false, charset).reproducing;
        EXPECT_EQ(FirstDifference(plainFromA, ReadScripts(b, false, charset).reproducing), "");

        // Applied straight to C, the changes make it equal to A, once: a
        // second apply finds nothing left. Undone in place, B's log of the
        // replay brings B back to the start, once.
        TestDatabase c(Engine(), charset), park;
        c.SetExecCharset(charset);
        MakeShop(c, initialRows);
        const std::size_t entries = ApplyLog(a, &c, charset);
        EXPECT_GT(entries, static_cast<std::size_t>(changes) / 2);
        EXPECT_EQ(ApplyLog(a, &c, charset), 0u);
        EXPECT_EQ(ApplyLog(b, nullptr, charset), entries);
        EXPECT_EQ(ApplyLog(b, nullptr, charset), 0u);
        TDBManager::GetInstance().Connect(park.Location(), "SYSDBA", "");
        EXPECT_EQ(Difference(changed, Dump(c)), "") << "after the apply";
        EXPECT_EQ(Difference(original, Dump(b)), "") << "after the undo in place";

        a.Exec(Committed(fromA.undo));
        EXPECT_EQ(Difference(original, Dump(a)), "") << "after the undo script";
    }

    // A seed that stopped making some kind of change would prove less.
    static void ExpectVariety(const RoundTrip::MixCounts& counts)
    {
        EXPECT_GT(counts.inserts, 0);
        EXPECT_GT(counts.updates, 0);
        EXPECT_GT(counts.deletes, 0);
        EXPECT_GT(counts.keyChanges, 0);
        EXPECT_GT(counts.toNull, 0);
        EXPECT_GT(counts.fromNull, 0);
        EXPECT_GT(counts.compositeKeyRows, 0);
        EXPECT_GT(counts.quotedTexts, 0);
        EXPECT_GT(counts.semicolonTexts, 0);
        EXPECT_GT(counts.foreignTexts, 0);
    }

    // The XML log parses, and each piece that the changes hold whole (up to a
    // CR; no apostrophe, which SQL doubles) comes out of it the same.
    static void ExpectEveryPieceIn(const std::string& xmlLog, const std::vector<std::string>& pieces,
                                   const std::string& changes)
    {
        std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> doc(
            xmlReadMemory(xmlLog.data(), static_cast<int>(xmlLog.size()), nullptr, nullptr, XML_PARSE_NONET),
            xmlFreeDoc);
        ASSERT_TRUE(doc) << xmlLog.substr(0, 300);
        xmlChar* content = xmlNodeGetContent(xmlDocGetRootElement(doc.get()));
        const std::string text = reinterpret_cast<const char*>(content);
        xmlFree(content);
        std::size_t found = 0;
        for (const std::string& piece : pieces) {
            std::string utf8;
            if (piece.find('\'') != std::string::npos ||
                changes.find(piece.substr(0, piece.find('\r'))) == std::string::npos ||
                !ToUtf8(piece, reinterpret_cast<const char*>(doc->encoding), utf8))
                continue;
            ++found;
            EXPECT_NE(text.find(utf8), std::string::npos) << utf8;
        }
        EXPECT_GT(found * 2, pieces.size());
        EXPECT_EQ(text.find("\xEF\xBF\xBD"), std::string::npos) << "no character replaced";
    }
};

}  // namespace

TEST_P(ScriptRoundTrip, RandomMix)
{
    Run(20240301u, 15, 250);
}

// Few rows and many changes: the same rows change again and again, keys are
// changed back and forth, deleted keys come back in new rows.
TEST_P(ScriptRoundTrip, RandomMixOnFewRows)
{
    Run(77003u, 4, 400);
}

// A UTF8 database with Cyrillic, Greek, CJK and emoji texts, and a WIN1252
// one with accented Latin, each read in its own character set.
TEST_P(ScriptRoundTrip, RandomMixInUtf8)
{
    Run(5150u, 8, 200, "UTF8");
}

TEST_P(ScriptRoundTrip, RandomMixInWin1252)
{
    Run(1252u, 8, 200, "WIN1252");
}

INSTANTIATE_TEST_SUITE_P(Engines, ScriptRoundTrip, FbEngines(), FbEngineName);

namespace {

// The demo database that scripts/demo-db.sh makes for the README's first run.
// Its log gives these scripts, byte for byte (without comments: those carry
// the moment the database was made).
const std::string kDemoReproducing = Cp1251(
    "insert into GOODS\n"
    "(ID, TITLE, PRICE, WEIGHT, UNIT, STOCK)\n"
    "values (1, 'Чай \"Липтон\"; 100 пакетиков', 249.90, 0.25, 'шт ', 120);\n\n"
    "insert into GOODS\n"
    "(ID, TITLE, PRICE, WEIGHT, UNIT, STOCK)\n"
    "values (2, 'Coffee beans, 1 kg', 1299.00, 1, 'kg ', 35);\n\n"
    "insert into GOODS\n"
    "(ID, TITLE, PRICE, WEIGHT, UNIT)\n"
    "values (3, 'Кружка 0,3 л', 150.50, 0.35, 'шт ');\n\n"
    "insert into GOODS\n"
    "(ID, TITLE, PRICE, WEIGHT, UNIT)\n"
    "values (4, 'Baker''s dozen: 13 buns', 89.00, 0.8, 'pk ');\n\n"
    "insert into CUSTOMERS\n"
    "(ID, NAME, CITY, PHONE, DISCOUNT, CREATED)\n"
    "values (1, 'ООО «Ромашка»', 'Москва', '+74951234567', 5, '2024-01-15 09:30:00.0000');\n\n"
    "insert into CUSTOMERS\n"
    "(ID, NAME, CITY, DISCOUNT, CREATED)\n"
    "values (2, 'O''Brien & Sons', 'Dublin', 0, '2024-02-01 14:05:10.0000');\n\n"
    "insert into CUSTOMERS\n"
    "(ID, NAME, PHONE)\n"
    "values (3, 'Иванов И. И.', '8-800-555-35');\n\n"
    "insert into ORDERS\n"
    "(ID, CUSTOMER_ID, ORDERED, TOTAL, NOTE)\n"
    "values (100, 1, '2024-03-01 10:15:00.0000', 800.80, 'Доставка до 18:00; позвонить заранее');\n\n"
    "insert into ORDER_LINES\n"
    "(ORDER_ID, LINE_NO, GOODS_ID, QUANTITY, PRICE)\n"
    "values (100, 1, 1, 2, 249.90);\n\n"
    "insert into ORDER_LINES\n"
    "(ORDER_ID, LINE_NO, GOODS_ID, QUANTITY, PRICE)\n"
    "values (100, 2, 3, 2, 150.50);\n\n"
    "insert into ORDERS\n"
    "(ID, CUSTOMER_ID, ORDERED, TOTAL)\n"
    "values (101, 2, '2024-03-02 16:40:00.0000', 1948.50);\n\n"
    "insert into ORDER_LINES\n"
    "(ORDER_ID, LINE_NO, GOODS_ID, QUANTITY, PRICE)\n"
    "values (101, 1, 2, 1.5, 1299.00);\n\n"
    "update ORDER_LINES\n"
    "set QUANTITY = 3\n"
    "where ORDER_ID = 100 AND LINE_NO = 1;\n\n"
    "delete from ORDER_LINES\n"
    "where ORDER_ID = 100 AND LINE_NO = 2;\n\n"
    "update ORDERS\n"
    "set TOTAL = 749.70, NOTE = 'Клиент просил: ''оставить у двери''; код 1234'\n"
    "where ID = 100;\n\n"
    "update GOODS\n"
    "set TITLE = 'Чай \"Липтон\"; 100 пакетиков (акция)', PRICE = 239.90, STOCK = 117\n"
    "where ID = 1;\n\n"
    "update GOODS\n"
    "set STOCK = 40\n"
    "where ID = 3;\n\n"
    "update GOODS\n"
    "set WEIGHT = null\n"
    "where ID = 4;\n\n"
    "update CUSTOMERS\n"
    "set CITY = 'Санкт-Петербург', DISCOUNT = 7\n"
    "where ID = 1;\n\n"
    "update CUSTOMERS\n"
    "set PHONE = '+35318001234'\n"
    "where ID = 2;\n\n"
    "update CUSTOMERS\n"
    "set CITY = 'Тверь', CREATED = '2024-03-02 12:00:00.0000'\n"
    "where ID = 3;\n\n"
    "update CUSTOMERS\n"
    "set ID = 30\n"
    "where ID = 3;\n\n"
    "delete from GOODS\n"
    "where ID = 2;\n\n");

// Newest first; the undo of the key change finds the row by its new key.
const std::string kDemoUndo = Cp1251(
    "insert into GOODS\n"
    "(ID, TITLE, PRICE, WEIGHT, UNIT, STOCK)\n"
    "values (2, 'Coffee beans, 1 kg', 1299.00, 1, 'kg ', 35);\n\n"
    "update CUSTOMERS\n"
    "set ID = 3\n"
    "where ID = 30;\n\n"
    "update CUSTOMERS\n"
    "set CITY = null, CREATED = null\n"
    "where ID = 3;\n\n"
    "update CUSTOMERS\n"
    "set PHONE = null\n"
    "where ID = 2;\n\n"
    "update CUSTOMERS\n"
    "set CITY = 'Москва', DISCOUNT = 5\n"
    "where ID = 1;\n\n"
    "update GOODS\n"
    "set WEIGHT = 0.8\n"
    "where ID = 4;\n\n"
    "update GOODS\n"
    "set STOCK = null\n"
    "where ID = 3;\n\n"
    "update GOODS\n"
    "set TITLE = 'Чай \"Липтон\"; 100 пакетиков', PRICE = 249.90, STOCK = 120\n"
    "where ID = 1;\n\n"
    "update ORDERS\n"
    "set TOTAL = 800.80, NOTE = 'Доставка до 18:00; позвонить заранее'\n"
    "where ID = 100;\n\n"
    "insert into ORDER_LINES\n"
    "(ORDER_ID, LINE_NO, GOODS_ID, QUANTITY, PRICE)\n"
    "values (100, 2, 3, 2, 150.50);\n\n"
    "update ORDER_LINES\n"
    "set QUANTITY = 2\n"
    "where ORDER_ID = 100 AND LINE_NO = 1;\n\n"
    "delete from ORDER_LINES\n"
    "where ORDER_ID = 101 AND LINE_NO = 1;\n\n"
    "delete from ORDERS\n"
    "where ID = 101;\n\n"
    "delete from ORDER_LINES\n"
    "where ORDER_ID = 100 AND LINE_NO = 2;\n\n"
    "delete from ORDER_LINES\n"
    "where ORDER_ID = 100 AND LINE_NO = 1;\n\n"
    "delete from ORDERS\n"
    "where ID = 100;\n\n"
    "delete from CUSTOMERS\n"
    "where ID = 3;\n\n"
    "delete from CUSTOMERS\n"
    "where ID = 2;\n\n"
    "delete from CUSTOMERS\n"
    "where ID = 1;\n\n"
    "delete from GOODS\n"
    "where ID = 4;\n\n"
    "delete from GOODS\n"
    "where ID = 3;\n\n"
    "delete from GOODS\n"
    "where ID = 2;\n\n"
    "delete from GOODS\n"
    "where ID = 1;\n\n");

}  // namespace

// The demo's whole log replayed on empty tables gives the demo's rows; undone
// on the demo itself it leaves every table empty, since every row was made
// through the triggers.
TEST(DemoDatabase, ScriptsReplayAndUndoTheDemoDay)
{
    TestDatabase demo, twin;
    const std::string command = "NORVANE_CLI='" + std::string(NORVANE_BINARY_DIR) + "/norvane-cli' bash '" +
                                std::string(NORVANE_SOURCE_DIR) + "/scripts/demo-db.sh' '" + demo.Path() +
                                "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    MakeShop(twin, "");
    const std::string empty = Dump(twin);
    const std::string demoRows = Dump(demo);
    ASSERT_NE(Difference(empty, demoRows), "");

    const Scripts scripts = ReadScripts(demo, false);
    EXPECT_EQ(FirstDifference(kDemoReproducing, scripts.reproducing), "");
    EXPECT_EQ(FirstDifference(kDemoUndo, scripts.undo), "");

    twin.Exec(Committed(scripts.reproducing));
    EXPECT_EQ(Difference(demoRows, Dump(twin)), "");

    ReadScripts(twin, false);  // the manager lets go of the demo's file
    demo.Exec(Committed(scripts.undo));
    EXPECT_EQ(Difference(empty, Dump(demo)), "");
}

namespace {

// Tables whose changes scripts got wrong once: a key-less table with equal
// rows, names that only quotes keep apart or make valid, values of the
// dialect 3 types, and key changes logged with the old key (as our triggers
// do) or with the new one (as other triggers do).
const char kOddSchema[] =
    "create table PLAIN (STATUS varchar(10), N integer);\n"
    "create table GOODS (ID integer not null primary key, TITLE varchar(20));\n"
    "create table \"goods\" (ID integer not null primary key, TITLE varchar(20));\n"
    "create table \"order\" (\"VALUE\" integer not null primary key, \"Qty\" bigint, \"\xD6\xE5\xED\xE0\" numeric(18,4),"
    " \"MY DAY\" date, \"AT\" time, OK boolean, PRICE decimal(9,2));\n"
    "create table KEYED (ID integer not null, PART char(2) not null, NOTE varchar(20), primary key (ID, PART));\n";

const char kOddRows[] =
    "insert into PLAIN values ('A', 1);\ninsert into PLAIN values ('A', 1);\ninsert into PLAIN values ('A', 1);\n"
    "insert into PLAIN values ('C', 2);\n"
    "insert into GOODS values (1, 'upper');\ninsert into \"goods\" values (1, 'lower');\n"
    "insert into \"order\" values (1, 9000000000, 1.5, '2003-02-01', '10:15:00.1234', true, 10.50);\n"
    "insert into KEYED values (1, 'a', 'one');\ninsert into KEYED values (2, 'b', 'two');\n";

const char kOddChanges[] =
    "update PLAIN set STATUS = 'B' where STATUS = 'A' rows 1;\n"
    "delete from PLAIN where STATUS = 'A' rows 1;\n"
    "insert into PLAIN values ('C', 2);\n"
    "update \"goods\" set TITLE = 'changed' where ID = 1;\n"
    "update \"order\" set \"Qty\" = -9000000001, \"\xD6\xE5\xED\xE0\" = 12345678.0001, \"MY DAY\" = '2024-02-29',"
    " \"AT\" = '23:59:59.9999', OK = false, PRICE = null where \"VALUE\" = 1;\n"
    "insert into \"order\" values (2, null, -0.0001, null, '00:00:00', null, 0);\n"
    "update \"order\" set \"VALUE\" = 3 where \"VALUE\" = 2;\n"
    "update KEYED set ID = 8, NOTE = 'moved' where ID = 1;\n"
    "update KEYED set PART = 'c' where ID = 2;\n"
    "delete from KEYED where ID = 8;\n";

std::string OddDump(TestDatabase& db)
{
    return db.Exec("set list on;\n"
                   "select 'PLAIN' as tab, t.* from PLAIN t order by STATUS, N;\n"
                   "select 'GOODS' as tab, t.* from GOODS t order by ID;\n"
                   "select 'goods' as tab, t.* from \"goods\" t order by ID;\n"
                   "select 'order' as tab, t.* from \"order\" t order by \"VALUE\";\n"
                   "select 'KEYED' as tab, t.* from KEYED t order by ID, PART;\n");
}

}  // namespace

TEST_P(ScriptRoundTrip, OddTablesAndBothKeyConventions)
{
    for (const bool newKeys : {false, true}) {
        SCOPED_TRACE(newKeys ? "keys logged with their new values" : "keys logged with their old values");
        TestDatabase a(Engine()), b(Engine());
        const std::string setup = ReadSource("scripts/demo/log-tables.sql") + kOddSchema + "commit;\n" + kOddRows +
                                  "commit;\n" + ReadSource("scripts/demo/log-triggers.sql");
        a.Exec(setup);
        b.Exec(setup);
        const std::string original = OddDump(b);
        a.Exec(kOddChanges);
        if (newKeys)
            a.Exec("update IBE$LOG_KEYS k set KEY_VALUE = (select f.NEW_VALUE from IBE$LOG_FIELDS f"
                   " where f.LOG_TABLES_ID = k.LOG_TABLES_ID and f.FIELD_NAME = k.KEY_FIELD)"
                   " where exists (select 1 from IBE$LOG_FIELDS f join IBE$LOG_TABLES t on t.ID = f.LOG_TABLES_ID"
                   " where f.LOG_TABLES_ID = k.LOG_TABLES_ID and f.FIELD_NAME = k.KEY_FIELD and t.OPERATION = 'U');\n");
        const std::string changed = OddDump(a);
        ASSERT_NE(Difference(original, changed), "");

        const Scripts scripts = ReadScripts(a, true);
        EXPECT_NE(scripts.reproducing.find("update \"goods\""), std::string::npos) << scripts.reproducing;
        b.Exec(Committed(scripts.reproducing));
        EXPECT_EQ(Difference(changed, OddDump(b)), "") << "after the reproducing script\n" << scripts.reproducing;

        // Applied to C as they are; undone in place on B, whose log holds
        // the replay.
        TestDatabase c(Engine());
        c.Exec(setup);
        EXPECT_GT(ApplyLog(a, &c), 0u);
        EXPECT_GT(ApplyLog(b, nullptr), 0u);
        EXPECT_EQ(Difference(changed, OddDump(c)), "") << "after the apply";
        ReadScripts(c, false);  // the manager lets go of B's file
        EXPECT_EQ(Difference(original, OddDump(b)), "") << "after the undo in place";

        a.Exec(Committed(scripts.undo));
        EXPECT_EQ(Difference(original, OddDump(a)), "") << "after the undo script\n" << scripts.undo;
    }
}

namespace {

// A value of the image on one line.
std::string Escaped(const std::string& value)
{
    std::string out;
    for (unsigned char c : value) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        out += c == '\\' ? "\\\\" : c < 0x20 ? hex : std::string(1, static_cast<char>(c));
    }
    return out;
}

// Every row of every user table but the log's, in key order, every column by
// its stored value: numbers as the shortest text that reads back to the same
// number, texts and BLOBs byte for byte, dates and times as the engine writes
// them (to 1/10000 s). In the form that Difference compares.
std::string Image(const TestDatabase& db)
{
    TDBManager& manager = TDBManager::GetInstance();
    // Texts as the database stores them, in whatever set.
    manager.Connect(db.Location(), db.User(), db.Password(), "NONE");
    manager.StartTransaction();
    std::unique_ptr<TDataSet> columns = manager.OpenQuery(
        "select trim(rf.rdb$relation_name), trim(rf.rdb$field_name), f.rdb$field_type,"
        " (select count(*) from rdb$relation_constraints k join rdb$index_segments s on s.rdb$index_name ="
        " k.rdb$index_name where k.rdb$relation_name = rf.rdb$relation_name and s.rdb$field_name ="
        " rf.rdb$field_name and k.rdb$constraint_type = 'PRIMARY KEY')"
        " from rdb$relation_fields rf join rdb$relations r on r.rdb$relation_name = rf.rdb$relation_name"
        " join rdb$fields f on f.rdb$field_name = rf.rdb$field_source where coalesce(r.rdb$system_flag, 0) = 0"
        " and r.rdb$view_blr is null and f.rdb$computed_blr is null and r.rdb$relation_name not starting with"
        " 'IBE$' and r.rdb$relation_name not starting with 'NORVANE$' order by 1, rf.rdb$field_position");
    std::map<std::string, std::pair<std::string, std::string>> selects;  // table: select list, key
    for (; !columns->Eof(); columns->Next()) {
        const std::string name = columns->Fields(1).AsString();
        const long long type = columns->Fields(2).AsInteger();
        auto& [list, key] = selects[columns->Fields(0).AsString()];
        list += (list.empty() ? "" : ", ") +
                (type == 12 || type == 13 || type == 35 ? "cast(" + name + " as varchar(40)) as " + name : name);
        if (columns->Fields(3).AsInteger() > 0)
            key += (key.empty() ? "" : ", ") + name;
    }
    std::string image;
    for (const auto& [table, select] : selects) {
        std::unique_ptr<TDataSet> rows = manager.OpenQuery("select " + select.first + " from " + table +
                                                           " order by " + (select.second.empty() ? "1" : select.second));
        for (; !rows->Eof(); rows->Next()) {
            image += "\nTAB " + table + "\n";
            for (std::size_t i = 0; i < rows->FieldCount(); ++i)
                image += rows->Fields(i).FieldName() + " " +
                         (rows->Fields(i).IsNull() ? "<null>" : Escaped(rows->Fields(i).AsString())) + "\n";
        }
    }
    // And whether each trigger of the user's is active.
    std::unique_ptr<TDataSet> triggers =
        manager.OpenQuery("select trim(rdb$trigger_name), rdb$trigger_inactive from rdb$triggers where"
                          " coalesce(rdb$system_flag, 0) = 0 and rdb$trigger_name not starting with 'IBE$' order by 1");
    for (; !triggers->Eof(); triggers->Next())
        image += "\nTAB RDB$TRIGGERS\n" + triggers->Fields(0).AsString() + " " + triggers->Fields(1).AsString() + "\n";
    manager.Rollback();
    return image;
}

// Firebird's example database as Debian's firebird3.0-examples ships it,
// without its own CREATE DATABASE; empty when it is not installed.
std::string EmployeeSql()
{
    const std::string file = "/usr/share/doc/firebird3.0-common-doc/examples/employee.sql.gz";
    std::string text;
    if (FILE* gzip = std::ifstream(file) ? popen(("gzip -dc " + file).c_str(), "r") : nullptr) {
        char buffer[65536];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, gzip)) > 0;)
            text.append(buffer, n);
        pclose(gzip);
    }
    const std::string create = "create database 'employee.fdb';";
    if (text.find(create) != std::string::npos)
        text.erase(text.find(create), create.size());
    return text;
}

// The values of the database's own generators, the log's aside.
std::string Generators(const TestDatabase& db)
{
    TDBManager& manager = TDBManager::GetInstance();
    manager.Connect(db.Location(), db.User(), db.Password());
    manager.StartTransaction();
    std::unique_ptr<TDataSet> names = manager.OpenQuery(
        "select trim(rdb$generator_name) from rdb$generators where coalesce(rdb$system_flag, 0) = 0 and"
        " rdb$generator_name not starting with 'IBE$' order by 1");
    std::string values;
    for (; !names->Eof(); names->Next())
        values += names->Fields(0).AsString() + " " +
                  manager.OpenQuery("select gen_id(" + names->Fields(0).AsString() + ", 0) from rdb$database")
                      ->Fields(0)
                      .AsString() +
                  "\n";
    manager.Rollback();
    return values;
}

class DayRoundTrip : public FbEngineTest {
protected:
    // Triplets A, B and C made by `setup`; the change log installed on A as
    // the README says; the day made on A. With the target's triggers
    // switched off, A's reproducing script run by isql on B makes it equal
    // to A. Applied to C, the day makes it equal to A, generators included,
    // and the undo script then brings C back to the rows of before the day;
    // undone in place, it brings A back. The setup, the day and the scripts
    // are in the run's character set; with generators carried, afterReplay
    // (inserts through them) must then succeed on B.
    void Run(const std::string& setup, const std::string& charset, int dialect, const std::string& day,
             const std::string& runCharset = "WIN1251", const std::string& afterReplay = {})
    {
        TestDatabase a(Engine(), charset, dialect), b(Engine(), charset, dialect), c(Engine(), charset, dialect), park;
        // The embedded engine lets one process at a time open a file.
        const auto release = [&park]() { TDBManager::GetInstance().Connect(park.Location(), "SYSDBA", ""); };
        a.SetExecCharset(runCharset);
        b.SetExecCharset(runCharset);
        c.SetExecCharset(runCharset);
        a.Exec(setup);
        b.Exec(setup);
        c.Exec(setup);
        const std::string original = Image(b);
        ASSERT_EQ(Difference(original, Image(a)), "");

        release();
        a.Exec(ReadSource("scripts/demo/log-tables.sql"));
        a.Exec(ReadSource("scripts/demo/log-triggers.sql"));
        a.Exec(day);
        const std::string changed = Image(a);
        ASSERT_NE(Difference(original, changed), "");

        const Scripts scripts = ReadScripts(a, true, runCharset, nullptr, true, !afterReplay.empty());
        // The run that holds no records writes the same scripts.
        for (const bool undo : {false, true}) {
            Norvane::CNorvane streamed;
            streamed.SetDisableTriggers(true);
            streamed.SetSyncGenerators(!afterReplay.empty());
            std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::tmpfile(), std::fclose);
            streamed.WriteLog(a.Location(), a.User(), a.Password(), EncodeDate(1901, 1, 1), Date() + 2.0, true, undo,
                              file.get(), nullptr, runCharset);
            std::string text(static_cast<std::size_t>(std::ftell(file.get())), '\0');
            std::rewind(file.get());
            EXPECT_EQ(std::fread(&text[0], 1, text.size(), file.get()), text.size());
            EXPECT_EQ(FirstDifference(undo ? scripts.undo : scripts.reproducing, text), "");
        }
        release();
        b.Exec(scripts.reproducing);
        EXPECT_EQ(Difference(changed, Image(b)), "") << "after the reproducing script";
        if (!afterReplay.empty()) {
            release();
            b.Exec(afterReplay);
        }

        // Apply sends values as parameters, which a connection in UTF8 limits
        // to 8,191 characters: it talks to each database in its own set.
        EXPECT_GT(ApplyLog(a, &c, charset), 0u);
        EXPECT_EQ(ApplyLog(a, &c, charset), 0u);
        EXPECT_EQ(Difference(changed, Image(c)), "") << "after the apply";
        EXPECT_EQ(Generators(c), Generators(a));
        release();
        c.Exec(scripts.undo);
        EXPECT_EQ(Difference(original, Image(c)), "") << "after the undo script";
        EXPECT_GT(ApplyLog(a, nullptr, charset), 0u);
        EXPECT_EQ(ApplyLog(a, nullptr, charset), 0u);
        EXPECT_EQ(Difference(original, Image(a)), "") << "after the undo in place";
    }
};

}  // namespace

// Raises through SAVE_SALARY_CHANGE, hires numbered by SET_EMP_NO,
// DELETE_EMPLOYEE, departments, budgets, discounts, long text BLOBs and
// every type with a literal (tests/core/data/employee).
TEST_P(DayRoundTrip, FirebirdExampleDatabase)
{
    const std::string employee = EmployeeSql();
    if (employee.empty() && std::getenv("CI") == nullptr)
        GTEST_SKIP() << "firebird3.0-examples is not installed (scripts/setup.sh installs it)";
    ASSERT_FALSE(employee.empty());
    Run(employee + ReadSource("tests/core/data/employee/extras.sql"), "NONE", 3,
        Cp1251(ReadSource("tests/core/data/employee/day.sql")));
}

// Dialect 1: DATE is a timestamp, and NUMERIC and DECIMAL of more than 9
// digits are doubles (kept bit for bit, a key among them), whose cast to
// text keeps only the declared scale; UTF8: the log holds texts in it, and
// the run reads them in Windows-1251.
TEST_P(DayRoundTrip, Dialect1)
{
    for (const char* charset : {"UTF8", "WIN1251", "NONE"}) {
        SCOPED_TRACE(charset);
        Run(Cp1251("create table prices (id integer not null primary key, name varchar(40), price numeric(15,2),\n"
                   "    valid_from date, note blob sub_type 1);\n"
                   "create table hits (id integer not null primary key, n integer);\n"
                   "create table hours (day_no integer not null, share numeric(15,4) not null, amount numeric(18,2),\n"
                   "    rate decimal(10,3), primary key (day_no, share));\n"
                   "insert into hits values (1, 0);\n"
                   "insert into prices values (1, 'Чай', 249.9, '15-JAN-2024 09:30:00', 'заметка');\n"
                   "insert into hours values (1, 1/3, 1e15/7, -0.1);\n"
                   "insert into hours values (1, 2/3, -0.1, 2/3);\n"
                   "insert into hours values (2, -0.1, 1/3, 1e15/7);\n"
                   "set term ^ ;\n"
                   "create trigger prices_hits for prices after insert or update or delete as\n"
                   "begin update hits set n = n + 1 where id = 1; end^\n"
                   "set term ; ^\n"),
            charset, 1,
            Cp1251("insert into prices values (2, 'O''Brien', 1234.56, '2024-05-06 10:11:12.3456', null);\n"
                   "update prices set price = 0.1, valid_from = null, note = rpad('', 1200, 'ёж ') where id = 1;\n"
                   "update prices set id = 3, price = null where id = 2;\n"
                   "delete from prices where id = 1;\n"
                   "insert into hours values (3, 1e15/7, 2/3, 1/3);\n"
                   "insert into hours values (4, 53/29, 5/6, null);\n"
                   "update hours set amount = amount / 7, rate = -rate where day_no = 1 and share = 1/3;\n"
                   "update hours set share = share * 3 where day_no = 1 and share = 2/3;\n"
                   "update hours set amount = 53/29, rate = 1e-300 / 1e20 where day_no = 2;\n"
                   "update hours set rate = 0.5 where day_no = 4;\n"
                   "delete from hours where day_no = 1 and share = 1/3;\n"));
    }
}

namespace {

// What real schemas hold beyond the demo's: a table without a key whose
// rows agree on the changed column, one keyed by a unique constraint (its
// numbers, like another table's, drawn from a generator by a BEFORE INSERT
// trigger), GUIDs of OCTETS as keys and values, a text BLOB and a VARCHAR
// longer than a UTF8 literal holds (FB3 gives a UTF8 VARCHAR at most 8,191
// characters; the long one is Windows-1251, read through UTF8).
const char kAnySchema[] =
    "create generator gen_codes;\n"
    "create generator gen_jobs;\n"
    "create table plain (a integer, b integer, note varchar(20));\n"
    "create table codes (id integer not null, code varchar(10) not null, name varchar(40), shelf integer,\n"
    "    constraint uq_codes_a unique (code), constraint uq_codes_b unique (id));\n"
    "create table docs (id char(16) character set octets not null primary key,\n"
    "    parent char(16) character set octets, tag varchar(8) character set octets,\n"
    "    title varchar(20000) character set win1251, utf varchar(8191) character set utf8,\n"
    "    body blob sub_type text);\n"
    "create table jobs (id integer not null primary key, doc char(16) character set octets, state varchar(10));\n"
    "set term ^ ;\n"
    "create trigger codes_bi for codes before insert as\n"
    "begin if (new.id is null) then new.id = gen_id(gen_codes, 1); end^\n"
    "create trigger docs_bi for docs before insert as begin if (new.id is null) then new.id = gen_uuid(); end^\n"
    "create trigger jobs_bi for jobs before insert as\n"
    "begin if (new.id is null) then new.id = gen_id(gen_jobs, 1); end^\n"
    "set term ; ^\n"
    "insert into plain values (1, null, 'one');\n"
    "insert into plain values (2, null, 'two');\n"
    "insert into plain values (3, null, 'same');\n"
    "insert into plain values (3, null, 'same');\n"
    "insert into codes (code, name) values ('A1', 'первый');\n"
    "insert into codes (code, name) values ('B2', 'second');\n"
    "insert into docs (id, title, body) values (x'00112233445566778899AABBCCDDEEFF', 'корень', 'тело');\n"
    "insert into docs (id, title, tag) values (x'0F0E0D0C0B0A09080706050403020100', 'second', x'00');\n"
    "insert into jobs (doc, state) values (x'00112233445566778899AABBCCDDEEFF', 'new');\n";

const char kAnyDay[] =
    "update plain set b = 7 where a = 2;\n"
    "delete from plain where a = 3 rows 1;\n"
    "insert into plain (a) values (4);\n"
    "update codes set name = 'renamed', shelf = 5 where code = 'A1';\n"
    "update codes set code = 'C3' where code = 'B2';\n"
    "insert into codes (code, name) values ('D4', 'четвёртый');\n"
    "delete from codes where code = 'A1';\n"
    "insert into docs (title, utf, tag, body) values (rpad('', 8000, 'жё') || rpad('', 8000, 'ЖЁ') ||\n"
    "    rpad('', 4000, 'я'), rpad('', 8000, 'Юя'), x'00FF',\n"
    "    cast(rpad('', 8000, 'жё') as blob sub_type text) || rpad('', 8000, 'ЁЖ') || rpad('', 4000, 'ю'));\n"
    "update docs set parent = x'00112233445566778899AABBCCDDEEFF', tag = x'0000' where title = 'second';\n"
    "update docs set id = x'FFEEDDCCBBAA99887766554433221100' where id = x'00112233445566778899AABBCCDDEEFF';\n"
    "insert into jobs (doc, state) values ((select id from docs where title = 'second'), 'queued');\n"
    "update jobs set state = 'done' where state = 'new';\n"
    "update docs set title = 'другой ' || substring(title from 1 for 5000) where utf is not null;\n"
    "delete from docs where title = 'second';\n";

}  // namespace

// In a UTF8 and in a Windows-1251 database, read through UTF8: the replay
// switches the target's triggers off and carries the generators, so that
// an insert through each succeeds after it.
TEST_P(DayRoundTrip, AnySchema)
{
    for (const char* charset : {"UTF8", "WIN1251"}) {
        SCOPED_TRACE(charset);
        Run(kAnySchema, charset, 3, kAnyDay, "UTF8",
            "insert into codes (code, name) values ('E5', 'after');\ninsert into jobs (state) values ('after');\n");
    }
}

// Referential actions: the log holds a parent's change and then each change
// its foreign keys' actions made. Replayed, the parent's statement makes the
// target repeat them; undone, a child row can refer to its parent only once
// the parent is back. Update and delete cascades into a child whose key holds
// the parent's key and on into a grandchild, SET NULL, SET DEFAULT, a
// key-less child, and a trigger that stamps the child's rows.
TEST_P(DayRoundTrip, ReferentialActions)
{
    Run("create table ACTOR (ACTOR_ID integer not null primary key, NAME varchar(40));\n"
        "create table FILM (FILM_ID integer not null primary key, TITLE varchar(40));\n"
        "create table FILM_ACTOR (ACTOR_ID integer not null references ACTOR on update cascade on delete cascade,\n"
        "    FILM_ID integer not null references FILM on update cascade on delete cascade, LAST_UPDATE timestamp,\n"
        "    primary key (ACTOR_ID, FILM_ID));\n"
        "create table SCENE (ID integer not null primary key, ACTOR_ID integer not null, FILM_ID integer not null,\n"
        "    foreign key (ACTOR_ID, FILM_ID) references FILM_ACTOR on update cascade on delete cascade);\n"
        "create table NOTE (ID integer not null primary key, ACTOR_ID integer references ACTOR\n"
        "    on update set null on delete set null, TXT varchar(20));\n"
        "create table SHELF (ID integer not null primary key, FILM_ID integer default 0 references FILM\n"
        "    on update set default on delete set default);\n"
        "create table FAN (ACTOR_ID integer references ACTOR on update cascade on delete cascade, N integer);\n"
        "set term ^ ;\n"
        "create trigger FILM_ACTOR_STAMP for FILM_ACTOR before update as\n"
        "begin new.LAST_UPDATE = dateadd(1 day to coalesce(old.LAST_UPDATE, timestamp '2024-01-01 00:00')); end^\n"
        "set term ; ^\n"
        "insert into ACTOR values (1, 'Ann');\ninsert into ACTOR values (2, 'Bob');\n"
        "insert into ACTOR values (3, 'Cy');\n"
        "insert into FILM values (0, 'none');\ninsert into FILM values (1, 'One');\n"
        "insert into FILM values (2, 'Two');\n"
        "insert into FILM_ACTOR values (1, 1, null);\ninsert into FILM_ACTOR values (1, 2, null);\n"
        "insert into FILM_ACTOR values (2, 1, null);\ninsert into FILM_ACTOR values (3, 2, null);\n"
        "insert into SCENE values (1, 1, 1);\ninsert into SCENE values (2, 2, 1);\n"
        "insert into SCENE values (3, 1, 2);\n"
        "insert into NOTE values (1, 1, 'a');\ninsert into NOTE values (2, 2, 'b');\n"
        "insert into SHELF values (1, 1);\ninsert into SHELF values (2, 2);\n"
        "insert into FAN values (1, 5);\ninsert into FAN values (1, 5);\ninsert into FAN values (2, 6);\n",
        "WIN1251", 3,
        "update ACTOR set ACTOR_ID = 250 where ACTOR_ID = 1;\n"
        "update FILM set FILM_ID = 7 where FILM_ID = 1;\n"
        "update FILM_ACTOR set FILM_ID = 2 where ACTOR_ID = 2 and FILM_ID = 7;\n"
        "delete from ACTOR where ACTOR_ID = 2;\n"
        "delete from FILM where FILM_ID = 2;\n"
        "update ACTOR set NAME = 'Ann B.' where ACTOR_ID = 250;\n"
        "insert into ACTOR values (1, 'New Ann');\n"
        "update NOTE set ACTOR_ID = 1 where ID = 2;\n");
}

INSTANTIATE_TEST_SUITE_P(Engines, DayRoundTrip, FbEngines(), FbEngineName);
