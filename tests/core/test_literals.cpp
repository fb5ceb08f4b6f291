// Logged values are arbitrary user data, and the scripts run against
// production databases. Whatever bytes a CHAR or VARCHAR value holds, the
// literal the engine writes for it must read back from the database as
// exactly those bytes, and never as SQL. Thousands of seeded random
// Windows-1251 texts go through the engine's value lists into
// "select ... from rdb$database"; then a whole log of such values is turned
// into scripts that isql-fb runs both ways on a real table.
//
// What "the original bytes" are:
// - a literal is read back as a CHAR of its own length, so for the select
//   the bytes must come back exactly, for the CHAR type code as for VARCHAR;
// - a CHAR(n) column pads with blanks: after a script has stored a value
//   there, the column holds the value followed by blanks up to n. A value's
//   own trailing blanks are indistinguishable from that padding, as in any
//   CHAR column.
//
// isql reads a script line by line as C strings: ValuesIsqlReadsDifferently
// holds the values that shows up most plainly (CR LF, NUL).
#include "FbTestUtil.h"
#include "LogRows.h"
#include "RecordBuilders.h"

#include "db/Tdbmanager.h"
#include "engine/Clogreader.h"
#include "engine/Cnorvane.h"
#include "locale/Messages.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using NorvaneImpl::CLogRecord;
using NorvaneImpl::TFieldList;
using namespace RecordBuilders;

namespace {

constexpr int kChar = 14;
constexpr int kVarchar = 37;
constexpr std::size_t kLogValueLength = 255;  // IBE$LOG_FIELDS values are VARCHAR(255)

// Pieces that mean something to SQL, to isql or to a line-based reader.
const char* const kTrickyPieces[] = {
    "'",    "''",   "'''", ";",     "--",       "/*",   "*/",       "\r",         "\n",
    "\r\n", "\"",   "`",   "\\",    "\\'",      "?",    ":ID",      "||",         " ",
    "\t",   "^",    "$$",  "set term ^;", "commit;", "'); drop table T; --", "\x1A", "\x7F",
};

// A seeded random Windows-1251 text of 0 to 255 bytes: tricky pieces,
// Cyrillic letters, control characters and any other byte, NUL included.
std::string RandomText(std::mt19937& rng)
{
    auto below = [&rng](unsigned n) { return static_cast<unsigned>(rng() % n); };
    std::size_t length = 0;
    switch (below(10)) {
    case 0: length = 0; break;
    case 1: length = kLogValueLength; break;
    case 2: case 3: length = 1 + below(kLogValueLength); break;
    default: length = 1 + below(24); break;
    }
    std::string text;
    while (text.size() < length) {
        switch (below(8)) {
        case 0:
        case 1:
            text += kTrickyPieces[below(sizeof kTrickyPieces / sizeof *kTrickyPieces)];
            break;
        case 2:
        case 3:
            text += static_cast<char>(0xC0 + below(64));  // А..я
            break;
        case 4:
            text += static_cast<char>(below(32));  // control characters
            break;
        default:
            text += static_cast<char>(below(256));  // any byte
            break;
        }
    }
    text.resize(length);
    return text;
}

std::vector<std::string> RandomTexts(std::uint32_t seed, int count)
{
    std::mt19937 rng(seed);
    std::vector<std::string> texts;
    texts.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        texts.push_back(RandomText(rng));
    return texts;
}

// The value list of the insert statement the engine writes for an entry whose
// fields F0, F1, ... take the texts as values of the type: exactly what the
// script holds between "values (" and the closing parenthesis.
std::string ValueList(const std::vector<std::string>& texts, std::size_t first, std::size_t count, int type)
{
    TFieldList fields;
    for (std::size_t i = first; i < first + count; ++i)
        fields.push_back(Field("F" + std::to_string(i - first), type, V(texts[i]), Null()));
    const CLogRecord record('I', false, "T", "SYSDBA", "", {}, std::move(fields));
    const std::string insert = record.GetReproducingStatement();
    // The column names come first and hold no such mark.
    const std::string mark = "\nvalues (";
    const std::size_t at = insert.find(mark);
    if (at == std::string::npos || insert.back() != ')')
        throw std::runtime_error("not an insert statement: " + insert);
    return insert.substr(at + mark.size(), insert.size() - at - mark.size() - 1);
}

// Printable form of a text for failure messages.
std::string Shown(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

// Hexadecimal binary-string literal: lets a test script put any bytes into a
// table without the quoting under test.
std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out = "x'";
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out + "'";
}

class Literals : public FbEngineTest {
protected:
    // Runs the texts through the engine's value lists for the type, many
    // literals to a select, and expects each column to read back as its text.
    void ExpectReadBack(const std::vector<std::string>& texts, int type)
    {
        TDBManager& manager = TDBManager::GetInstance();
        manager.StartTransaction();
        // A select of at most 120 columns stays well inside the limits of a
        // statement's text (64 KB) and of a row (64 KB), even when every
        // text is 255 apostrophes.
        const std::size_t batch = 120;
        int failures = 0;
        for (std::size_t first = 0; first < texts.size(); first += batch) {
            const std::size_t count = std::min(batch, texts.size() - first);
            const std::string select = "select " + ValueList(texts, first, count, type) + " from rdb$database";
            std::unique_ptr<TDataSet> row;
            try {
                row = manager.OpenQuery(select);
            } catch (const Exception& e) {
                ADD_FAILURE() << "the database refused the literals of texts " << first << " to "
                              << first + count - 1 << ":\n" << e.Message;
                ++failures;
                continue;
            }
            ASSERT_EQ(row->FieldCount(), count);
            for (std::size_t i = 0; i < count; ++i) {
                const std::string back = row->Fields(i).AsString();
                if (back != texts[first + i] && ++failures <= 5)
                    ADD_FAILURE() << "text " << first + i << " (type " << type << ")\n  logged:    "
                                  << Shown(texts[first + i]) << "\n  read back: " << Shown(back);
            }
        }
        manager.Rollback();
        EXPECT_EQ(failures, 0);
    }
};

}  // namespace

TEST_P(Literals, RandomTextsReadBackAsTheirBytes)
{
    TestDatabase db(Engine());
    TDBManager::GetInstance().Connect(db.Location(), db.User(), db.Password());

    const std::vector<std::string> texts = RandomTexts(20240917u, 3000);
    // The seed still draws what the test is about.
    int longest = 0, apostrophes = 0, semicolons = 0, comments = 0, breaks = 0, cyrillic = 0, empty = 0;
    for (const std::string& t : texts) {
        longest += t.size() == kLogValueLength;
        apostrophes += t.find('\'') != std::string::npos;
        semicolons += t.find(';') != std::string::npos;
        comments += t.find("--") != std::string::npos || t.find("/*") != std::string::npos;
        breaks += t.find_first_of("\r\n") != std::string::npos;
        cyrillic += std::any_of(t.begin(), t.end(), [](char c) { return static_cast<unsigned char>(c) >= 0xC0; });
        empty += t.empty();
    }
    EXPECT_GT(longest, 100);
    EXPECT_GT(apostrophes, 1000);
    EXPECT_GT(semicolons, 500);
    EXPECT_GT(comments, 500);
    EXPECT_GT(breaks, 500);
    EXPECT_GT(cyrillic, 100);
    EXPECT_GT(empty, 100);

    ExpectReadBack(texts, kVarchar);
    ExpectReadBack(texts, kChar);
}

TEST_P(Literals, EveryByteReadsBack)
{
    TestDatabase db(Engine());
    TDBManager::GetInstance().Connect(db.Location(), db.User(), db.Password());

    // Each byte alone, each between two apostrophes, and all but NUL in one
    // value of the log's full length. 0x98, which the code page leaves
    // unassigned, is among them: the WIN1251 connection passes it through.
    std::vector<std::string> texts;
    std::string all;
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        texts.push_back(std::string(1, c));
        texts.push_back(std::string("'") + c + "'");
        if (b != 0)
            all += c;
    }
    texts.push_back(all);
    ASSERT_EQ(all.size(), kLogValueLength);
    ExpectReadBack(texts, kVarchar);
    ExpectReadBack(texts, kChar);
}

INSTANTIATE_TEST_SUITE_P(Engines, Literals, FbEngines(), FbEngineName);

namespace {

// A random history of one table's rows, as the log records it.
class History {
public:
    struct Row {
        std::optional<std::string> v;  // VARCHAR(255)
        std::optional<std::string> c;  // CHAR(255), as logged: unpadded
    };
    using Rows = std::map<int, Row>;

    explicit History(std::uint32_t seed) : rng(seed) {}

    // Starting rows, as a script of hexadecimal literals.
    std::string Initial(int count)
    {
        std::string sql;
        for (int i = 0; i < count; ++i) {
            const int id = nextId++;
            rows[id] = RandomRow();
            sql += "insert into T (ID, V, C) values (" + std::to_string(id) + ", " + Lit(rows[id].v) + ", " +
                   Lit(rows[id].c) + ");\n";
        }
        initial = rows;
        return sql;
    }

    // Log entries of `count` changes (inserts, updates of one or both text
    // columns, also to and from null, and deletes, some of them logged
    // without their key), applied to the picture of the rows.
    std::string Changes(int count)
    {
        std::string sql;
        for (int n = 0; n < count; ++n) {
            const int entry = ++entries;
            const unsigned kind = rows.size() < 3 ? 0 : rng() % 4;
            if (kind == 0) {
                const int id = nextId++;
                const Row row = RandomRow();
                sql += Header(entry, 'I') + KeyOf(entry, id) + FieldOf(entry, "ID", std::nullopt, std::to_string(id)) +
                       FieldOf(entry, "V", std::nullopt, row.v) + FieldOf(entry, "C", std::nullopt, row.c);
                rows[id] = row;
                ++inserts;
            } else if (kind == 1 || kind == 2) {
                const int id = AnyId();
                Row& row = rows[id];
                const Row changed = RandomRow();
                const unsigned which = 1 + rng() % 3;  // V, C or both
                sql += Header(entry, 'U') + KeyOf(entry, id);
                if (which & 1) {
                    sql += FieldOf(entry, "V", row.v, changed.v);
                    row.v = changed.v;
                }
                if (which & 2) {
                    sql += FieldOf(entry, "C", row.c, changed.c);
                    row.c = changed.c;
                }
                ++updates;
            } else {
                const int id = AnyId();
                const Row& row = rows[id];
                // Without its key the entry is matched by every logged value.
                const bool keyed = rng() % 2 == 0;
                sql += Header(entry, 'D') + (keyed ? KeyOf(entry, id) : std::string()) +
                       FieldOf(entry, "ID", std::to_string(id), std::nullopt) + FieldOf(entry, "V", row.v, std::nullopt) +
                       FieldOf(entry, "C", row.c, std::nullopt);
                rows.erase(id);
                ++deletes;
                unkeyedDeletes += !keyed;
            }
        }
        return sql;
    }

    const Rows& Current() const { return rows; }
    const Rows& Start() const { return initial; }
    int inserts = 0, updates = 0, deletes = 0, unkeyedDeletes = 0;

private:
    Row RandomRow()
    {
        Row row;
        if (rng() % 8 != 0)
            row.v = RandomText(rng);
        if (rng() % 8 != 0)
            row.c = RandomText(rng);
        return row;
    }
    int AnyId()
    {
        auto it = rows.begin();
        std::advance(it, static_cast<long>(rng() % rows.size()));
        return it->first;
    }
    static std::string Lit(const std::optional<std::string>& value) { return value ? Hex(*value) : "null"; }
    std::string Header(int entry, char letter)
    {
        return "insert into IBE$LOG_TABLES (ID, TABLE_NAME, OPERATION, DATE_TIME, USER_NAME) values (" +
               std::to_string(entry) + ", 'T', '" + letter + "', '2024-05-01 10:00:00', 'SYSDBA');\n";
    }
    static std::string KeyOf(int entry, int id)
    {
        return LogRows::Key(entry, "ID", "'" + std::to_string(id) + "'");
    }
    static std::string FieldOf(int entry, const char* name, const std::optional<std::string>& oldValue,
                               const std::optional<std::string>& newValue)
    {
        return "insert into IBE$LOG_FIELDS (LOG_TABLES_ID, FIELD_NAME, OLD_VALUE, NEW_VALUE) values (" +
               std::to_string(entry) + ", '" + name + "', " + Lit(oldValue) + ", " + Lit(newValue) + ");\n";
    }

    std::mt19937 rng;
    Rows rows;
    Rows initial;
    int nextId = 1;
    int entries = 0;
};

// Without a primary key, so that an entry may be logged with its unique key
// or without one.
const char kTable[] = "create table T (ID integer not null unique, V varchar(255), C char(255));\n";

// Every row of T as the database holds it, read through the manager. The
// manager then moves to `park`: while it holds an embedded database, isql
// cannot open that one.
History::Rows ReadTable(const TestDatabase& db, const TestDatabase& park)
{
    TDBManager& manager = TDBManager::GetInstance();
    manager.Connect(db.Location(), db.User(), db.Password());
    manager.StartTransaction();
    std::unique_ptr<TDataSet> data = manager.OpenQuery("select ID, V, C from T order by ID");
    History::Rows rows;
    for (; !data->Eof(); data->Next()) {
        History::Row& row = rows[static_cast<int>(data->Fields(0).AsInteger())];
        if (!data->Fields(1).IsNull())
            row.v = data->Fields(1).AsString();
        if (!data->Fields(2).IsNull())
            row.c = data->Fields(2).AsString();
    }
    manager.Rollback();
    manager.Connect(park.Location(), park.User(), park.Password());
    return rows;
}

// Empty when the table holds exactly the rows of the picture, each CHAR
// value padded with blanks to its 255; otherwise the first differences.
std::string Difference(const History::Rows& expected, const History::Rows& actual)
{
    std::string text;
    int shown = 0;
    auto pad = [](const std::optional<std::string>& c) {
        return c ? std::optional<std::string>(*c + std::string(kLogValueLength - c->size(), ' ')) : c;
    };
    auto show = [](const std::optional<std::string>& value) { return value ? "'" + Shown(*value) + "'" : "null"; };
    for (const auto& [id, row] : expected) {
        auto it = actual.find(id);
        if (it == actual.end()) {
            if (shown++ < 5)
                text += "row " + std::to_string(id) + " is missing\n";
        } else if (it->second.v != row.v || it->second.c != pad(row.c)) {
            if (shown++ < 5)
                text += "row " + std::to_string(id) + "\n  expected V " + show(row.v) + "\n  actual   V " +
                        show(it->second.v) + "\n  expected C " + show(pad(row.c)) + "\n  actual   C " +
                        show(it->second.c) + "\n";
        }
    }
    for (const auto& entry : actual)
        if (!expected.count(entry.first) && shown++ < 5)
            text += "row " + std::to_string(entry.first) + " should not be there\n";
    return text;
}

class LiteralScripts : public FbEngineTest {};

}  // namespace

// The log holds the random texts (put there as hexadecimal literals, so that
// the quoting under test has no part in it). The reproducing script, run by
// isql-fb on a twin of the table, makes it hold exactly the logged bytes;
// the undo script then brings back the starting rows.
TEST_P(LiteralScripts, RandomTextsSurviveIsqlBothWays)
{
    History history(7771u);
    const std::string initialRows = history.Initial(40);
    const std::string log = history.Changes(300);
    ASSERT_GT(history.inserts, 50);
    ASSERT_GT(history.updates, 50);
    ASSERT_GT(history.unkeyedDeletes, 10);

    TestDatabase logged(Engine()), twin(Engine());
    logged.Exec(ReadSource("scripts/demo/log-tables.sql") + kTable + "commit;\n" + log);
    twin.Exec(std::string(kTable) + "commit;\n" + initialRows);
    ASSERT_EQ(Difference(history.Start(), ReadTable(twin, logged)), "");

    ResetMessages();
    std::vector<std::string> shown;
    Norvane::CNorvane engine({}, [&shown](const std::string& text) { shown.push_back(text); });
    engine.ReadLog(logged.Location(), logged.User(), logged.Password(), EncodeDate(2024, 5, 1),
                   EncodeDate(2024, 5, 2), true);
    ASSERT_EQ(engine.Records().size(), 300u);
    const std::string reproducing = engine.GetReproducingScript();
    const std::string undo = engine.GetUndoScript();
    engine.Clear();
    ASSERT_TRUE(shown.empty()) << shown.front();

    // isql runs the scripts as a user would, stopping at the first error.
    twin.Exec(reproducing);
    EXPECT_EQ(Difference(history.Current(), ReadTable(twin, logged)), "");
    twin.Exec(undo);
    EXPECT_EQ(Difference(history.Start(), ReadTable(twin, logged)), "");
}


// isql reads a script file line by line: it drops the carriage returns that
// end a line and stops a line at a NUL. A value holding a line break as CR LF
// or a NUL byte must still reach the table as it was logged.
TEST_P(LiteralScripts, ValuesIsqlReadsDifferently)
{
    const std::vector<std::string> values = {
        "a\r\nb", "a\r\r\nb", "\r\n", "a\r", "\ra\r\n", "line 1\r\nline 2\r\n", std::string("a\0b", 3),
        std::string(1, '\0'), std::string("'\0';\r\n--", 8),
    };
    std::string log;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::string entry = std::to_string(i + 1);
        log += "insert into IBE$LOG_TABLES (ID, TABLE_NAME, OPERATION, DATE_TIME, USER_NAME) values (" + entry +
               ", 'T', 'I', '2024-05-01 10:00:00', 'SYSDBA');\n" +
               LogRows::Key(int(i + 1), "ID", "'" + entry + "'") +
               LogRows::Field(int(i + 1), "ID", "null", "'" + entry + "'") +
               LogRows::Field(int(i + 1), "V", "null", Hex(values[i])) +
               LogRows::Field(int(i + 1), "C", "null", Hex(values[i]));
    }
    TestDatabase logged(Engine()), twin(Engine());
    logged.Exec(ReadSource("scripts/demo/log-tables.sql") + kTable + "commit;\n" + log);
    twin.Exec(std::string(kTable) + "commit;\n");

    Norvane::CNorvane engine;
    engine.ReadLog(logged.Location(), logged.User(), logged.Password(), EncodeDate(2024, 5, 1),
                   EncodeDate(2024, 5, 2), false);
    const std::string reproducing = engine.GetReproducingScript();
    engine.Clear();
    twin.Exec(reproducing);

    History::Rows expected;
    for (std::size_t i = 0; i < values.size(); ++i)
        expected[static_cast<int>(i + 1)] = {values[i], values[i]};
    EXPECT_EQ(Difference(expected, ReadTable(twin, logged)), "");
}

// The comment line before a statement holds the logged user name, which the
// log keeps as any other text. A name holding "*/" must not end the comment
// and turn the rest of the name into statements. A name holding a NUL, at
// which isql ends the line and so loses the comment's end, until a "*/" in
// a value closes it and the rest of the value runs, is refused.
TEST_P(LiteralScripts, UserNamesStayInTheirComments)
{
    const NorvaneTest::TTempFolder folder("norvane-canary-");
    const std::string canary = (folder.Path() / "shell-ran").string();
    const std::vector<std::string> users = {"X */ delete from T; /*", "*/", "a*/b", "/* nested */ */ commit; --",
                                            std::string("A\0", 2)};
    std::string log;
    for (std::size_t i = 0; i < users.size(); ++i) {
        const std::string entry = std::to_string(i + 1);
        log += "insert into IBE$LOG_TABLES (ID, TABLE_NAME, OPERATION, DATE_TIME, USER_NAME) values (" + entry +
               ", 'T', 'I', '2024-05-01 10:00:00', " + Hex(users[i]) + ");\n" +
               LogRows::Key(int(i + 1), "ID", "'" + entry + "'") +
               LogRows::Field(int(i + 1), "ID", "null", "'" + entry + "'") +
               LogRows::Field(int(i + 1), "V", "null", Hex("*/ shell touch " + canary + "; drop table T; /*"));
    }
    TestDatabase logged(Engine()), twin(Engine());
    logged.Exec(ReadSource("scripts/demo/log-tables.sql") + kTable + "commit;\n" + log);
    // A row the names would delete.
    twin.Exec(std::string(kTable) + "commit;\ninsert into T (ID, V) values (100, 'kept');\n");

    Norvane::CNorvane engine;
    EXPECT_THROW(engine.ReadLog(logged.Location(), logged.User(), logged.Password(), EncodeDate(2024, 5, 1),
                                EncodeDate(2024, 5, 2), true),
                 NorvaneImpl::CEInvalidEntry);
    engine.SetSkipInvalid(true);
    engine.ReadLog(logged.Location(), logged.User(), logged.Password(), EncodeDate(2024, 5, 1),
                   EncodeDate(2024, 5, 2), true);
    EXPECT_EQ(engine.Skipped().count, 1u);
    const std::string reproducing = engine.GetReproducingScript();
    engine.Clear();
    try {
        twin.Exec(reproducing);
    } catch (const std::exception& e) {
        FAIL() << e.what();
    }

    History::Rows expected;
    expected[100] = {std::string("kept"), std::nullopt};
    for (std::size_t i = 0; i + 1 < users.size(); ++i)
        expected[static_cast<int>(i + 1)] = {"*/ shell touch " + canary + "; drop table T; /*", std::nullopt};
    EXPECT_EQ(Difference(expected, ReadTable(twin, logged)), "");
    EXPECT_FALSE(std::filesystem::exists(canary));
}

INSTANTIATE_TEST_SUITE_P(Engines, LiteralScripts, FbEngines(), FbEngineName);
