// How a run reads the log: the records, both scripts and the XML text of a
// log with composite keys, nulls, a dropped table, entries on both sides of
// the period and an entry committed between two runs, compared byte for byte
// with the texts kept in tests/core/data/log-reading. Those texts were made by
// reading each entry's keys and fields with queries of its own, the way the
// program first read the log; reading the whole period at once must not
// change a byte. And a run prepares the same number of statements whatever
// the number of entries. The merging of the period's rows is tested on plain
// rows too.
//
// NORVANE_UPDATE_EXPECTED=1 rewrites the kept texts instead of comparing.
#include "FbTestUtil.h"
#include "LogRows.h"

#include "db/Tdbmanager.h"
#include "engine/Clogreader.h"
#include "engine/Cnorvane.h"
#include "locale/Messages.h"

#include <ibase.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

using Norvane::CNorvane;
using namespace LogRows;
using NorvaneImpl::CFieldCast;
using NorvaneImpl::CFieldValue;
using NorvaneImpl::CLogRecord;

namespace {

const std::string kExpectedDir = std::string(NORVANE_SOURCE_DIR) + "/tests/core/data/log-reading/";

// A log whose rows are stored out of entry order: the rows of one entry are
// written between those of others, so only storage order within an entry
// keeps the keys and fields as each entry's own query returned them.
std::string MixedLog()
{
    std::string sql = ReadSource("scripts/demo/log-tables.sql") +
                      "create table GOODS (ID integer not null, SHOP char(4) not null, TITLE varchar(40),"
                      " PRICE numeric(9,2), STAMP timestamp, primary key (ID, SHOP));\n"
                      "create table NOTES (TXT varchar(60), N smallint);\n"
                      "create table GONE (ID integer);\n";
    // Outside the period on both sides, and ids out of date order.
    sql += Entry(1, "GOODS", "I", "2003-01-31 23:59:59") + Key(1, "ID", "'1'") + Key(1, "SHOP", "'A'") +
           Field(1, "ID", "null", "'1'") + Field(1, "SHOP", "null", "'A'");
    sql += Entry(2, "GOODS", "I", "2003-02-01 00:00:00") + Key(2, "ID", "'7'") +
           Field(2, "TITLE", "null", "'" + Cp1251("Чай ''зелёный''") + "'") + Field(2, "ID", "null", "'7'");
    sql += Entry(3, "GOODS", "U", "2003-02-01 10:00:00", "OLGA") + Key(3, "SHOP", "'B'") +
           Field(3, "TITLE", "'" + Cp1251("Чай ''зелёный''") + "'", "'Tea'");
    // Rows of entry 2 written after some of entry 3, and entry 3's key after
    // its first field.
    sql += Key(2, "SHOP", "'B'") + Field(2, "SHOP", "null", "'B'") + Field(2, "PRICE", "null", "'10.50'") +
           Field(2, "STAMP", "null", "null") + Key(3, "ID", "'7'") +
           Field(3, "PRICE", "'10.50'", "null") + Field(3, "OBSOLETE", "'x'", "'y'");
    sql += Entry(4, "NOTES", "D", "2003-02-02 00:00:00") + Field(4, "TXT", "'a;b -- c /* d */ ''e'''", "null") +
           Field(4, "N", "null", "null");
    sql += Entry(5, "GONE", "U", "2003-02-02 08:00:00") + Key(5, "ID", "'1'") + Field(5, "ID", "'1'", "'2'");
    sql += Entry(6, "NO_SUCH_TABLE", "D", "2003-02-02 09:00:00") + Key(6, "ID", "'1'");
    // A key change, and a key whose logged value is null.
    sql += Entry(7, "GOODS", "U", "2003-02-02 09:30:00") + Field(7, "ID", "'7'", "'8'") + Key(7, "ID", "'8'") +
           Key(7, "SHOP", "null") + Field(7, "STAMP", "null", "'2003-02-02 09:30:15'");
    sql += Entry(8, "NOTES", "I", "2003-02-04 00:00:00") + Field(8, "N", "null", "'4'");
    sql += Entry(9, "NOTES", "I", "2003-02-04 00:00:01") + Field(9, "N", "null", "'5'");
    sql += Entry(10, "NOTES", "U", "2003-01-15 12:00:00") + Field(10, "N", "'1'", "'2'");
    sql += Entry(11, "NOTES", "I", "2003-02-03 12:00:00", "IVAN") + Field(11, "TXT", "null", "'late\nline'");
    // Rows of an entry the log does not have.
    sql += Key(999, "ID", "'9'") + Field(999, "ID", "'9'", "'10'");
    // Forty entries whose rows are written in reverse, interleaved.
    for (int id = 20; id < 60; ++id) {
        const std::string day = id % 3 == 0 ? "2003-02-05" : "2003-02-0" + std::to_string(1 + id % 3);
        sql += Entry(id, id % 2 ? "GOODS" : "NOTES", id % 4 == 0 ? "D" : id % 4 == 1 ? "I" : "U",
                     day + " 1" + std::to_string(id % 10) + ":00:00", id % 5 ? "SYSDBA" : "PETR");
    }
    for (int id = 59; id >= 20; --id) {
        const std::string n = std::to_string(id);
        if (id % 2) {
            sql += Key(id, "SHOP", "'S" + n + "'") + Field(id, "PRICE", "'" + n + ".25'", "'" + n + ".75'") +
                   Key(id, "ID", "'" + n + "'");
            sql += Field(id, "TITLE", id % 7 ? "'t" + n + "'" : "null", "'T" + n + "'");
        } else {
            sql += Field(id, "N", "'" + n + "'", id % 6 ? "'" + std::to_string(id + 1) + "'" : "null") +
                   Field(id, "TXT", "'x" + n + "'", "'y" + n + "'");
        }
    }
    sql += "drop table GONE;\n";
    return sql;
}

// The entry committed by someone else while the run's connection stays.
const char* const kLateEntry[] = {
    "insert into IBE$LOG_TABLES (ID, TABLE_NAME, OPERATION, DATE_TIME, USER_NAME)"
    " values (100, 'GOODS', 'D', '2003-02-01 23:00:00', 'ANNA')",
    "insert into IBE$LOG_KEYS (LOG_TABLES_ID, KEY_FIELD, KEY_VALUE) values (100, 'ID', '8')",
    "insert into IBE$LOG_FIELDS (LOG_TABLES_ID, FIELD_NAME, OLD_VALUE, NEW_VALUE) values (100, 'ID', '8', null)",
    "insert into IBE$LOG_KEYS (LOG_TABLES_ID, KEY_FIELD, KEY_VALUE) values (100, 'SHOP', 'B')",
    "insert into IBE$LOG_FIELDS (LOG_TABLES_ID, FIELD_NAME, OLD_VALUE, NEW_VALUE) values (100, 'TITLE', 'Tea', null)",
};

// Runs the statements in a transaction of a connection of its own, in this
// process (the embedded engine lets no other process open the file), and
// commits.
void CommitElsewhere(const TestDatabase& db, const std::vector<std::string>& statements)
{
    ISC_STATUS_ARRAY status{};
    std::string dpb(1, static_cast<char>(isc_dpb_version1));
    auto add = [&dpb](char item, const std::string& value) {
        dpb += item;
        dpb += static_cast<char>(value.size());
        dpb += value;
    };
    add(isc_dpb_user_name, db.User());
    if (!db.Password().empty())
        add(isc_dpb_password, db.Password());
    add(isc_dpb_lc_ctype, "WIN1251");
    isc_db_handle handle = 0;
    isc_tr_handle transaction = 0;
    auto check = [&status](ISC_STATUS result, const char* what) {
        if (result) {
            char text[512];
            const ISC_STATUS* vector = status;
            std::string message = what;
            while (fb_interpret(text, sizeof text, &vector))
                message += std::string(": ") + text;
            throw std::runtime_error(message);
        }
    };
    check(isc_attach_database(status, 0, db.Location().c_str(), &handle, static_cast<short>(dpb.size()),
                              dpb.data()),
          "attach");
    try {
        check(isc_start_transaction(status, &transaction, 1, &handle, 0, nullptr), "start");
        for (const std::string& statement : statements)
            check(isc_dsql_execute_immediate(status, &handle, &transaction, 0, statement.c_str(), SQL_DIALECT_V6,
                                             nullptr),
                  statement.c_str());
        check(isc_commit_transaction(status, &transaction), "commit");
    } catch (...) {
        if (transaction)
            isc_rollback_transaction(status, &transaction);
        isc_detach_database(status, &handle);
        throw;
    }
    isc_detach_database(status, &handle);
}

std::string Value(const CFieldCast* value)
{
    if (!value)
        return "-";
    return value->isNull ? "null" : "[" + value->value + "]";
}

// Everything a run hands to the records, one line per record and value.
std::string Dump(const CNorvane& engine)
{
    std::string text;
    for (const auto& record : engine.Records()) {
        text += std::string("record ") + record->GetAction() + " " + record->GetTableName() + " by " +
                record->GetUserName() + " at " + record->GetDateTime() + "\n";
        for (const auto& key : record->GetKeys())
            text += "  key " + key->GetName() + " " + std::to_string(key->GetType()) + " " +
                    Value(key->GetNewValue()) + " " + Value(key->GetOldValue()) + "\n";
        for (const auto& field : record->GetFields())
            text += "  field " + field->GetName() + " " + std::to_string(field->GetType()) + " new " +
                    Value(field->GetNewValue()) + " old " + Value(field->GetOldValue()) + "\n";
    }
    return text;
}

class LogReading : public FbFixedFormatsTest {
protected:
    // The records, both scripts and the XML text of the run, each against
    // its kept text.
    void ExpectKept(CNorvane& engine, const std::string& run)
    {
        const std::pair<std::string, std::string> texts[] = {
            {run + ".records.txt", Dump(engine)},
            {run + ".reproducing.sql", engine.GetReproducingScript()},
            {run + ".undo.sql", engine.GetUndoScript()},
            {run + ".log.xml", engine.GetXMLLog()},
        };
        const char* update = std::getenv("NORVANE_UPDATE_EXPECTED");
        for (const auto& [name, actual] : texts) {
            if (update && *update == '1' && Engine() == TestEngine::Embedded) {
                std::ofstream(kExpectedDir + name, std::ios::binary) << actual;
                continue;
            }
            EXPECT_EQ(actual, ReadSource("tests/core/data/log-reading/" + name)) << name;
        }
    }
};

}  // namespace

TEST_P(LogReading, SameTextsAsReadingEachEntryAlone)
{
    TestDatabase db(Engine());
    db.Exec(MixedLog());
    std::vector<std::pair<int, int>> calls;
    CNorvane engine([&](int& total, int& done) { calls.emplace_back(total, done); });

    // The entries of a dropped table and of one that never was are left out.
    engine.SetSkipInvalid(true);
    engine.ReadLog(db.Location(), db.User(), db.Password(), EncodeDate(2003, 2, 1), EncodeDate(2003, 2, 4), true);
    EXPECT_EQ(engine.Skipped().first,
              (std::vector<std::string>{
                  "Log entry 5, table 'GONE': the database has no table of that name, so no statement is made of it",
                  "Log entry 6, table 'NO_SUCH_TABLE': the database has no table of that name, so no statement is "
                  "made of it"}));
    // The entry stamped at the period's end belongs to the next period.
    ASSERT_EQ(engine.Records().size(), 32u);
    ExpectKept(engine, "period");
    // Progress counts the entries read, those left out too: it ends whole.
    ASSERT_EQ(calls.size(), 32u);
    EXPECT_EQ(calls.front(), std::make_pair(34, 1));
    EXPECT_EQ(calls.back(), std::make_pair(34, 34));

    // Someone commits one more entry while the connection stays; the next run
    // on the same object reads it with the rest.
    CommitElsewhere(db, std::vector<std::string>(std::begin(kLateEntry), std::end(kLateEntry)));
    engine.ReadLog(db.Location(), db.User(), db.Password(), EncodeDate(2003, 2, 1), EncodeDate(2003, 2, 4), true);
    ExpectKept(engine, "period-again");

    // Everything the log has, without comments.
    engine.ReadLog(db.Location(), db.User(), db.Password(), EncodeDate(1901, 1, 1), EncodeDate(2100, 1, 1), false);
    ExpectKept(engine, "everything");
    engine.Clear();
}

TEST_P(LogReading, StatementsDoNotGrowWithEntries)
{
    auto preparedFor = [this](int entries) {
        TestDatabase db(Engine());
        std::string sql = ReadSource("scripts/demo/log-tables.sql") + "create table NOTES (N smallint);\n";
        for (int id = 1; id <= entries; ++id)
            sql += Entry(id, "NOTES", "I", "2003-02-01 10:00:00") + Field(id, "N", "null", "'1'");
        db.Exec(sql);
        CNorvane engine;
        const std::size_t before = TDBManager::GetInstance().PreparedStatements();
        engine.ReadLog(db.Location(), db.User(), db.Password(), EncodeDate(2003, 2, 1), EncodeDate(2003, 2, 2),
                       false);
        const std::size_t prepared = TDBManager::GetInstance().PreparedStatements() - before;
        EXPECT_EQ(engine.Records().size(), static_cast<std::size_t>(entries));
        engine.Clear();
        return prepared;
    };
    const std::size_t few = preparedFor(2);
    EXPECT_EQ(preparedFor(50), few);
    EXPECT_LE(few, 7u);  // the log, the columns, the tables, the foreign keys, the log tables' columns, keys, fields
}

// Two entries whose rows alternate over many pages: each entry's values come
// in the order they were stored, past every page and every byte boundary of
// the record numbers.
TEST_P(LogReading, StorageOrderWithinEntriesOverManyPages)
{
    TestDatabase db(Engine());
    // Sixteen key columns (as many as a key may have) and 750 more.
    const int keys = 16, columns = 750;
    std::string table = "create table WIDE (";
    for (int k = 0; k < keys; ++k)
        table += "K" + std::to_string(k) + " integer not null, ";
    for (int c = 0; c < columns; ++c)
        table += "C" + std::to_string(c) + " integer, ";
    table += "primary key (K0";
    for (int k = 1; k < keys; ++k)
        table += ", K" + std::to_string(k);
    std::string sql = ReadSource("scripts/demo/log-tables.sql") + table + "));\n" +
                      Entry(1, "WIDE", "I", "2003-02-01 10:00:00") + Entry(2, "WIDE", "I", "2003-02-01 10:00:00");
    // The key rows are spread over the whole run of field rows.
    for (int i = 0; i < 2 * columns; ++i)
        sql += Field(1 + i % 2, "C" + std::to_string(i / 2), "null", "'" + std::to_string(i) + "'") +
               (i % 92 < 2 && i / 92 < keys ? Key(1 + i % 2, "K" + std::to_string(i / 92), "'" + std::to_string(i) + "'")
                                            : std::string());
    db.Exec(sql);
    CNorvane engine;
    engine.ReadLog(db.Location(), db.User(), db.Password(), EncodeDate(2003, 2, 1), EncodeDate(2003, 2, 2), false);
    ASSERT_EQ(engine.Records().size(), 2u);
    for (int entry = 0; entry < 2; ++entry) {
        const auto& fields = engine.Records()[entry]->GetFields();
        ASSERT_EQ(fields.size(), static_cast<std::size_t>(columns));
        for (int i = 0; i < columns; ++i)
            ASSERT_EQ(fields[i]->GetNewValue()->value, std::to_string(2 * i + entry)) << "entry " << entry + 1;
        const auto& keyValues = engine.Records()[entry]->GetKeys();
        ASSERT_EQ(keyValues.size(), static_cast<std::size_t>(keys));
        for (int k = 0; k < keys; ++k)
            ASSERT_EQ(keyValues[k]->GetNewValue()->value, std::to_string(92 * k + entry)) << "entry " << entry + 1;
    }
    engine.Clear();
}

// A logged value belongs to a column when the table and column names equal
// the database's own up to trailing blanks, as the database compares names;
// statements name them as the database does.
TEST_P(LogReading, ColumnsMatchAsTheDatabaseComparesNames)
{
    TestDatabase db(Engine());
    const std::string table = Cp1251("ТОВАР"), column = Cp1251("ЦЕНА");
    db.Exec(ReadSource("scripts/demo/log-tables.sql") + "create table NOTES (N integer not null primary key);\n" +
            "create table \"" + table + "\" (\"" + column + "\" smallint);\n" +
            Entry(1, "NOTES  ", "U", "2003-02-01 10:00:00") + Key(1, "N  ", "'1'") + Field(1, "N ", "'1'", "'2'") +
            Field(1, "n", "'1'", "'2'") +
            Entry(2, table, "I", "2003-02-01 11:00:00") + Field(2, column, "null", "'7'") +
            Field(2, Cp1251("цена"), "null", "'8'"));
    CNorvane engine;
    engine.ReadLog(db.Location(), db.User(), db.Password(), EncodeDate(2003, 2, 1), EncodeDate(2003, 2, 2), false);
    EXPECT_EQ(Dump(engine), "record U NOTES by SYSDBA at 01.02.2003 10:00:00\n"
                            "  key N 8 [1] -\n"
                            "  field N 8 new [2] old [1]\n"
                            "record I " + table + " by SYSDBA at 01.02.2003 11:00:00\n"
                            "  field " + column + " 7 new [7] old null\n");
    EXPECT_EQ(engine.GetReproducingScript(), "update NOTES\nset N = 2\nwhere N = 1;\n\n"
                                             "insert into \"" + table + "\"\n(\"" + column + "\")\nvalues (7);\n\n");
    engine.Clear();
}

// A run reads one snapshot of the log: the entries that others commit while
// it reads, however far it has got, are not in its script; the next run
// has them.
TEST_P(LogReading, OneSnapshotWhileOthersCommit)
{
    TestDatabase db(Engine());
    std::string sql = ReadSource("scripts/demo/log-tables.sql") + "create table NOTES (N integer);\n";
    for (int id = 1; id <= 500; ++id)
        sql += Entry(id, "NOTES", "I", "2003-02-01 10:00:00") + Field(id, "N", "null", "'1'");
    db.Exec(sql);
    std::vector<std::string> late;
    for (int id = 501; id <= 1500; ++id) {
        late.push_back(Entry(id, "NOTES", "I", "2003-02-01 10:00:00"));
        late.push_back(Field(id, "N", "null", "'2'"));
        for (std::string& statement : {std::ref(late.end()[-2]), std::ref(late.back())})
            statement.erase(statement.find(";\n"));
    }
    bool committed = false;
    CNorvane engine([&](int&, int& done) {
        if (done == 2 && !committed) {
            committed = true;
            CommitElsewhere(db, late);
        }
    });
    engine.ReadLog(db.Location(), db.User(), db.Password(), EncodeDate(2003, 2, 1), EncodeDate(2003, 2, 2), false);
    EXPECT_TRUE(committed);
    EXPECT_EQ(engine.Records().size(), 500u);
    engine.ReadLog(db.Location(), db.User(), db.Password(), EncodeDate(2003, 2, 1), EncodeDate(2003, 2, 2), false);
    EXPECT_EQ(engine.Records().size(), 1500u);
    engine.Clear();
}

INSTANTIATE_TEST_SUITE_P(Engines, LogReading, FbEngines(), FbEngineName);

// The merging of the period's rows on plain rows: each entry gets the rows
// of its own id in storage order, rows of ids without an entry are passed
// over, and a period without entries never asks for a value row.
TEST(LogMerging, EntriesGetTheirOwnRowsInStorageOrder)
{
    using NorvaneImpl::TEntryRow;
    using NorvaneImpl::TValueRow;
    auto source = [](std::vector<std::pair<long long, unsigned long long>> rows, int* asked = nullptr) {
        return [rows, asked, next = std::size_t(0)](TValueRow& row) mutable {
            if (asked)
                ++*asked;
            if (next == rows.size())
                return false;
            row.logId = rows[next].first;
            row.place = rows[next].second;
            row.name = std::to_string(rows[next].first) + ":" + std::to_string(rows[next].second);
            ++next;
            return true;
        };
    };
    auto entries = [](std::vector<long long> ids) {
        return [ids, next = std::size_t(0)](TEntryRow& row) mutable {
            if (next == ids.size())
                return false;
            row.id = ids[next++];
            return true;
        };
    };
    auto names = [](const std::vector<TValueRow>& rows) {
        std::string text;
        for (const TValueRow& row : rows)
            text += row.name + " ";
        return text;
    };

    NorvaneImpl::TLogMerger merger(entries({1, 2, 3, 7}), source({{0, 1}, {1, 9}, {1, 2}, {3, 5}, {4, 1}, {8, 1}}),
                                   source({{1, 3}, {2, 0x100000001}, {2, 7}, {2, 0xFFFFFFFF}, {5, 1}, {7, 2}}));
    TEntryRow entry;
    std::vector<TValueRow> keys, fields;
    std::vector<std::string> seen;
    while (merger.Next(entry, keys, fields))
        seen.push_back(std::to_string(entry.id) + " keys " + names(keys) + "fields " + names(fields));
    EXPECT_EQ(seen, (std::vector<std::string>{"1 keys 1:2 1:9 fields 1:3 ", "2 keys fields 2:7 2:4294967295 2:4294967297 ",
                                              "3 keys 3:5 fields ", "7 keys fields 7:2 "}));

    int asked = 0;
    NorvaneImpl::TLogMerger empty(entries({}), source({{1, 1}}, &asked), source({{1, 1}}, &asked));
    EXPECT_FALSE(empty.Next(entry, keys, fields));
    EXPECT_EQ(asked, 0);
}
