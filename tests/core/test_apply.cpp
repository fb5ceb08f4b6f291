// Applying a log to a sister database and undoing it in place, on real
// databases of both engines: every row checked, nothing half done, each
// entry once whatever commits when. The round trips of test_roundtrip.cpp
// prove the rows come out equal; these prove the rest.
#include "FbTestUtil.h"

#include "db/Tconnection.h"
#include "db/Tdbmanager.h"
#include "engine/Capplier.h"
#include "engine/Cselection.h"

#include <gtest/gtest.h>

#include <functional>

using NorvaneImpl::TReceivedLog;

namespace {

const char kRows[] = "insert into GOODS (ID, TITLE, PRICE, STOCK) values (1, 'Tea', 10.00, 5);\n"
                     "insert into GOODS (ID, TITLE, PRICE, STOCK) values (2, 'Coffee', 20.00, 7);\n";

// The demo shop with two goods and the change log (or other tables and rows).
void MakeShop(TestDatabase& db, const std::string& tables = ReadSource("scripts/demo/schema.sql"),
              const std::string& rows = kRows)
{
    db.Exec(ReadSource("scripts/demo/log-tables.sql") + tables + rows + "commit;\n" +
            ReadSource("scripts/demo/log-triggers.sql"));
}

class Apply : public FbEngineTest {
protected:
    // Applies the source's log of the period, its end excluded, to the
    // target, or undoes it in place without one; returns the number of
    // entries.
    std::size_t Run(const TestDatabase& source, const TestDatabase* target, bool keyOnly = false,
                    TDateTime from = EncodeDate(1901, 1, 1), TDateTime end = Date() + 2.0,
                    const NorvaneImpl::TEntryFilter& filter = {})
    {
        Norvane::TApplyOptions options;
        options.source = source.Location();
        options.user = options.targetUser = source.User();
        options.password = options.targetPassword = source.Password();
        options.undo = !target;
        options.target = target ? target->Location() : std::string();
        options.keyOnly = keyOnly;
        options.periodBegin = from;
        options.periodEnd = end;
        options.filter = filter;
        options.confirm = confirm;
        // The manager lets go of the source afterwards, for isql.
        struct TRelease {
            TestDatabase& park;
            ~TRelease() { TDBManager::GetInstance().Connect(park.Location(), "SYSDBA", ""); }
        } release{park};
        return Norvane::CApplier(options).Run().entries;
    }

    // What the conflict says.
    std::string Conflict(const TestDatabase& source, const TestDatabase* target, TDateTime from = EncodeDate(1901, 1, 1),
                         TDateTime end = Date() + 2.0, const NorvaneImpl::TEntryFilter& filter = {})
    {
        try {
            Run(source, target, false, from, end, filter);
        } catch (const Norvane::CEConflict& e) {
            return e.what();
        }
        return "no conflict";
    }

    // The goods, whether the triggers are on, and how many changes the
    // database's own log holds.
    std::string State(TestDatabase& db)
    {
        return db.Exec("set list on;\n"
                       "select ID, TITLE, PRICE, STOCK from GOODS order by ID;\n"
                       "select count(*) as INACTIVE from RDB$TRIGGERS where RDB$TRIGGER_INACTIVE = 1;\n"
                       "select count(*) as LOGGED from IBE$LOG_TABLES;\n");
    }

    TestDatabase park;
    std::function<bool(const Norvane::TApplySummary&)> confirm;
};

// A conflict stops everything: the target keeps its rows, its triggers and
// its log as they were, and the message names the entry, the row and what
// differs. Asked to, the apply finds rows by their keys alone.
TEST_P(Apply, ConflictLeavesTheTargetAsItWas)
{
    TestDatabase source(Engine()), target(Engine());
    MakeShop(source);
    MakeShop(target);
    source.Exec("update GOODS set PRICE = 12.00 where ID = 1;\n"
                "update GOODS set STOCK = 8 where ID = 2;\n");
    target.Exec("update GOODS set STOCK = 9 where ID = 2;\n");
    const std::string before = State(target);

    EXPECT_EQ(Conflict(source, &target),
              "Conflict at log entry 2, an update of GOODS (ID = 2): the target's row holds STOCK = 9, where the log "
              "has 7 before the change. Nothing was applied: the target is as it was.");
    EXPECT_EQ(State(target), before);

    EXPECT_EQ(Run(source, &target, true), 2u);
    target.Exec("insert into GOODS (ID, TITLE) values (3, 'Here');\n");
    source.Exec("insert into GOODS (ID, TITLE) values (3, 'New');\n");
    EXPECT_NE(Conflict(source, &target).find("log entry 3, an insert into GOODS (ID = 3): the target refuses it: "
                                             "violation of PRIMARY or UNIQUE KEY constraint"),
              std::string::npos);
    target.Exec("delete from GOODS where ID = 3;\ndelete from GOODS where ID = 1;\n");
    source.Exec("update GOODS set PRICE = 13.00 where ID = 1;\n");
    EXPECT_EQ(Conflict(source, &target),
              "Conflict at log entry 4, an update of GOODS (ID = 1): the target has no such row. Nothing was "
              "applied: the target is as it was.");
    const std::string state = State(target);
    EXPECT_NE(state.find("STOCK                           8\n"), std::string::npos) << state;
    EXPECT_NE(state.find("INACTIVE                        0\n"), std::string::npos) << state;
    EXPECT_NE(state.find("LOGGED                          4\n"), std::string::npos) << state;

    // A table of the bookkeeping's name that this program did not make.
    TestDatabase odd(Engine());
    odd.Exec("create table NORVANE$SOURCES (X integer);\n");
    try {
        Run(source, &odd);
        ADD_FAILURE() << "no failure";
    } catch (const Norvane::CETargetRefused& e) {
        EXPECT_EQ(std::string(e.what()).rfind("The target refuses to read its bookkeeping: Dynamic SQL Error", 0), 0u)
            << e.what();
    }
}

// An entry whose transaction was still open during an apply is applied by
// the next one, and no entry twice; the target's record then holds one
// floor and no ranges.
TEST_P(Apply, LateCommitComesWithTheNextApply)
{
    TestDatabase source(Engine()), target(Engine());
    MakeShop(source);
    MakeShop(target);
    {
        TConnection open(source.Location(), source.User(), source.Password(), "WIN1251");
        TConnection other(source.Location(), source.User(), source.Password(), "WIN1251");
        TDBTransaction late(open, TTransactionMode::Write);
        TDBStatement(late, "insert into GOODS (ID, TITLE) values (3, 'Late')").Execute();
        TDBTransaction meanwhile(other, TTransactionMode::Write);
        TDBStatement update(meanwhile, "update GOODS set PRICE = 11.00 where ID < ?");
        update.SetInteger(0, 2);
        update.Execute();
        EXPECT_EQ(update.Rows(), 1);
        meanwhile.Commit();
        EXPECT_EQ(Run(source, &target), 1u);
        late.Commit();
    }
    EXPECT_EQ(Run(source, &target), 1u);
    EXPECT_EQ(Run(source, &target), 0u);
    {
        TConnection book(target.Location(), target.User(), target.Password(), "WIN1251");
        TDBTransaction look(book, TTransactionMode::Read);
        TDBStatement noted(look, "select s.FLOOR_ID, (select count(*) from NORVANE$RECEIVED) from NORVANE$SOURCES s");
        noted.Execute();
        ASSERT_TRUE(noted.Fetch());
        EXPECT_EQ(noted.Text(0) + " " + noted.Text(1), "2 0");
    }
    const std::string targetState = State(target), sourceState = State(source);
    EXPECT_EQ(targetState.substr(0, targetState.find("INACTIVE")), sourceState.substr(0, sourceState.find("INACTIVE")));
}

// Undone in place, a day gives back the rows before it, leaves a later
// change of other columns, and stops at a later change of the same one,
// naming it.
TEST_P(Apply, UndoInPlaceIsChecked)
{
    TestDatabase db(Engine());
    MakeShop(db);
    const std::string before = State(db);
    db.Exec("update GOODS set PRICE = 12.00 where ID = 1;\n"
            "update GOODS set STOCK = 8 where ID = 2;\n"
            "update GOODS set TITLE = 'Coffee beans' where ID = 2;\n"
            "update GOODS set PRICE = 15.00 where ID = 1;\n"
            "update IBE$LOG_TABLES set DATE_TIME = '2003-02-01 10:00:00' where ID <= 2;\n"
            "update IBE$LOG_TABLES set DATE_TIME = '2003-02-02 11:00:00', USER_NAME = 'OLGA' where ID = 3;\n"
            "update IBE$LOG_TABLES set DATE_TIME = '2003-02-03 12:00:00', USER_NAME = 'OLGA' where ID = 4;\n");
    const TDateTime first = EncodeDate(2003, 2, 1), third = EncodeDate(2003, 2, 3);

    EXPECT_EQ(Conflict(db, nullptr, first, first + 1.0),
              "Conflict undoing log entry 1, an update of GOODS (ID = 1): the row holds PRICE = 15.00, where the "
              "entry left 12.00; the later change that stands in the way is log entry 4, an update of GOODS by "
              "OLGA at 2003-02-03 12:00:00.0000. Nothing was undone: the database is as it was.");
    // With that change undone first, the first day goes back whole; the
    // title of the day between stays.
    EXPECT_EQ(Run(db, nullptr, false, third, third + 1.0), 1u);
    EXPECT_EQ(Run(db, nullptr, false, first, first + 1.0), 2u);
    EXPECT_EQ(Run(db, nullptr, false, first, first + 1.0), 0u);
    std::string expected = before;
    expected.replace(expected.find("Coffee"), 6, "Coffee beans");
    const std::string after = State(db);
    EXPECT_EQ(after.substr(0, after.find("LOGGED")), expected.substr(0, expected.find("LOGGED")));
}

// Undone in place, one user's changes in a time window give back exactly the
// rows before them, and leave everyone else's, and that user's before and
// after the window (the end is excluded); a later change of the same row by
// someone else stops it, named, and changes nothing.
TEST_P(Apply, UndoOfOneUsersTimeWindow)
{
    TestDatabase db(Engine()), expected(Engine());
    MakeShop(db);
    MakeShop(expected);
    // Ten minutes apart from 14:10, by ANNA but for entries 3 and 7.
    db.Exec("update GOODS set PRICE = 11.00 where ID = 1;\n"
            "update GOODS set STOCK = 4 where ID = 1;\n"
            "update GOODS set PRICE = 21.00 where ID = 2;\n"
            "insert into GOODS (ID, TITLE, PRICE) values (3, 'Cocoa', 5.00);\n"
            "delete from GOODS where ID = 2;\n"
            "update GOODS set TITLE = 'Black tea' where ID = 1;\n"
            "insert into GOODS (ID, TITLE) values (4, 'Sugar');\n"
            "update IBE$LOG_TABLES set USER_NAME = iif(ID in (3, 7), 'OLGA', 'ANNA'),\n"
            "    DATE_TIME = dateadd(ID * 10 minute to timestamp '2024-05-06 14:00');\n");
    expected.Exec("update GOODS set PRICE = 11.00, TITLE = 'Black tea' where ID = 1;\n"
                  "update GOODS set PRICE = 21.00 where ID = 2;\n"
                  "insert into GOODS (ID, TITLE) values (4, 'Sugar');\n");
    NorvaneImpl::TEntryFilter anna;
    anna.users = {"ANNA"};
    const TDateTime day = EncodeDate(2024, 5, 6);
    EXPECT_EQ(Run(db, nullptr, false, day + EncodeTime(14, 15, 0), day + EncodeTime(15, 0, 0), anna), 3u);
    const std::string undone = State(db), wanted = State(expected);
    EXPECT_EQ(undone.substr(0, undone.find("LOGGED")), wanted.substr(0, wanted.find("LOGGED")));

    // The next morning OLGA changes a stock after ANNA: the undo of ANNA's
    // change stops at hers. (Entries 8 to 10 are the undo's own.)
    const char last[] = " where ID = (select max(ID) from IBE$LOG_TABLES);\n";
    db.Exec(std::string("update GOODS set STOCK = 2 where ID = 1;\n"
                        "update IBE$LOG_TABLES set USER_NAME = 'ANNA', DATE_TIME = '2024-05-07 09:00'") +
            last + "update GOODS set STOCK = 1 where ID = 1;\n"
                   "update IBE$LOG_TABLES set USER_NAME = 'OLGA', DATE_TIME = '2024-05-07 09:30'" + last);
    const std::string before = State(db);
    EXPECT_EQ(Conflict(db, nullptr, day + 1.0, day + 1.0 + EncodeTime(9, 15, 0), anna),
              "Conflict undoing log entry 11, an update of GOODS (ID = 1): the row holds STOCK = 1, where the entry "
              "left 2; the later change that stands in the way is log entry 12, an update of GOODS by OLGA at "
              "2024-05-07 09:30:00.0000. Nothing was undone: the database is as it was.");
    EXPECT_EQ(State(db), before);
}

// A filtered apply takes the effects of referential actions with their
// source and leaves them out with it, whatever their tables: either half
// alone does not fit the sister. What a filter leaves out is not received,
// and a run without it applies that later, once. Asked first, the apply
// says what it would apply; told no, it changes nothing.
TEST_P(Apply, FiltersKeepEffectsWithTheirSources)
{
    const std::string tables = "create table PARENT (ID integer not null primary key, NAME varchar(20));\n"
                               "create table CHILD (ID integer not null primary key, PARENT_ID integer references\n"
                               "    PARENT on update cascade on delete cascade, QTY integer);\n";
    const std::string rows = "insert into PARENT values (1, 'one');\ninsert into PARENT values (2, 'two');\n"
                             "insert into CHILD values (10, 1, 0);\ninsert into CHILD values (11, 1, 0);\n"
                             "insert into CHILD values (12, 2, 0);\n";
    TestDatabase source(Engine()), target(Engine());
    MakeShop(source, tables, rows);
    MakeShop(target, tables, rows);
    // The first moves children 10 and 11, the last deletes child 12.
    source.Exec("update PARENT set ID = 5 where ID = 1;\n"
                "update CHILD set QTY = 3 where ID = 12;\n"
                "delete from PARENT where ID = 2;\n");
    const std::string image = "set list on;\nselect * from PARENT order by ID;\nselect * from CHILD order by ID;\n";
    const std::string before = target.Exec(image);
    std::vector<std::string> asked;
    bool answer = false;
    confirm = [&](const Norvane::TApplySummary& planned) {
        for (const Norvane::TApplySummary::TTable& table : planned.tables)
            asked.push_back(table.name + " " + std::to_string(table.inserts) + " " + std::to_string(table.updates) +
                            " " + std::to_string(table.deletes));
        return answer;
    };
    NorvaneImpl::TEntryFilter children, parents;
    children.tables = {"CHILD"};
    parents.tables = {"PARENT"};
    EXPECT_EQ(Run(source, &target, false, EncodeDate(1901, 1, 1), Date() + 2.0, children), 0u);
    EXPECT_EQ(asked, std::vector<std::string>{"CHILD 0 1 0"});
    EXPECT_EQ(target.Exec(image), before);
    answer = true;
    EXPECT_EQ(Run(source, &target, false, EncodeDate(1901, 1, 1), Date() + 2.0, children), 1u);
    asked.clear();
    EXPECT_EQ(Run(source, &target, false, EncodeDate(1901, 1, 1), Date() + 2.0, parents), 5u);
    EXPECT_EQ(asked, (std::vector<std::string>{"PARENT 0 1 1", "CHILD 0 2 1"}));
    EXPECT_EQ(Run(source, &target), 0u);
    EXPECT_EQ(target.Exec(image), source.Exec(image));
}

INSTANTIATE_TEST_SUITE_P(Engines, Apply, FbEngines(), FbEngineName);

// The received log: ids join the floor or ranges as they come, gaps proven
// final join them too, and the text of a state file reads back the same.
TEST(ReceivedLog, RangesGapsPromisesAndText)
{
    TReceivedLog log;
    for (long long id : {1, 2, 3, 5, 9, 10, 7})
        log.Add(id);
    EXPECT_EQ(log.Floor(), TReceivedLog::kNone);
    EXPECT_EQ(log.Ranges(), (std::vector<TReceivedLog::TRange>{{1, 3}, {5, 5}, {7, 7}, {9, 10}}));
    EXPECT_TRUE(log.Contains(2) && log.Contains(7) && log.Contains(10));
    EXPECT_FALSE(log.Contains(4) || log.Contains(6) || log.Contains(11));

    // Ids up to 10 are promised final once transaction 40 and all older
    // have ended; then the gaps below join as the log proves them empty.
    log.Begin({true, 10, 12, 40});
    EXPECT_TRUE(log.FinalGaps(10).empty());
    log.Begin({true, 10, 39, 45});
    EXPECT_TRUE(log.FinalGaps(10).empty());
    log.Begin({true, 14, 40, 47});
    EXPECT_EQ(log.FinalId(), 10);
    EXPECT_EQ(log.PromisedId(), 14);
    const std::vector<TReceivedLog::TRange> gaps = log.FinalGaps(10);
    ASSERT_EQ(gaps, (std::vector<TReceivedLog::TRange>{{TReceivedLog::kNone, 0}, {4, 4}, {6, 6}, {8, 8}}));
    log.Fill(gaps[2]);
    EXPECT_EQ(log.Ranges(), (std::vector<TReceivedLog::TRange>{{1, 3}, {5, 7}, {9, 10}}));
    log.Fill(gaps[0]);
    EXPECT_EQ(log.Floor(), 3);
    EXPECT_EQ(TReceivedLog::FromText(log.Text()), log);
    log.Fill(gaps[1]);
    log.Fill(gaps[3]);
    EXPECT_EQ(log.Text(), "floor=10\nfinal=10\npromise=14 47\n");
    EXPECT_THROW(TReceivedLog::FromText("floor=7\nreceived=3 4\n"), NorvaneImpl::CEBookkeeping);
    EXPECT_THROW(TReceivedLog::FromText("floor=x\n"), NorvaneImpl::CEBookkeeping);
    // A generator below ids received: the log began again.
    EXPECT_THROW(log.Begin({true, 8, 50, 60}), NorvaneImpl::CEBookkeeping);

    EXPECT_EQ(NorvaneImpl::DefaultSourceName("server/3051:/data/shop.fdb"), "shop.fdb");
    EXPECT_EQ(NorvaneImpl::DefaultSourceName("C:\\data\\Shop.FDB"), "Shop.FDB");
    EXPECT_EQ(NorvaneImpl::DefaultSourceName("localhost:employee"), "employee");
}

}  // namespace
