#include "engine/Capplier.h"

#include "db/Tconnection.h"
#include "db/Tdbmanager.h"
#include "db/Tsignalwatch.h"
#include "engine/Cfieldvalue.h"
#include "engine/Clogreader.h"
#include "engine/Cscriptwriter.h"
#include "engine/Cselection.h"
#include "locale/Messages.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <unordered_map>

namespace Norvane {

using namespace NorvaneImpl;

namespace {

// The name an undo keeps its record of undone entries under, in the
// database itself; the parentheses keep it apart from the file names that
// name sources by default.
const char kUndoSource[] = "(undo)";

// The bookkeeping tables, in both dialects: NUMERIC(18,0) is a BIGINT in
// dialect 3 and a DOUBLE PRECISION, exact for ids up to 2^53, in dialect 1.
// Source names are kept as the bytes they were given in (NONE).
const char* const kBookTables[][2] = {
    {"NORVANE$SOURCES",
     "create table NORVANE$SOURCES (\n"
     "    SOURCE_NAME varchar(250) character set NONE not null primary key,\n"
     "    FLOOR_ID numeric(18,0),\n"
     "    FINAL_ID numeric(18,0),\n"
     "    PROMISED_ID numeric(18,0),\n"
     "    PROMISED_BELOW numeric(18,0),\n"
     "    RECEIVED numeric(18,0),\n"
     "    LAST_LOCATION varchar(1000) character set NONE,\n"
     "    LAST_RUN timestamp)"},
    {"NORVANE$RECEIVED",
     "create table NORVANE$RECEIVED (\n"
     "    SOURCE_NAME varchar(250) character set NONE not null,\n"
     "    FIRST_ID numeric(18,0) not null,\n"
     "    LAST_ID numeric(18,0) not null,\n"
     "    primary key (SOURCE_NAME, FIRST_ID))"},
    {"NORVANE$TRIGGERS",
     "create table NORVANE$TRIGGERS (\n"
     "    TRIGGER_NAME varchar(63) character set UNICODE_FSS not null primary key,\n"
     "    ATTACHMENT_ID numeric(18,0) not null)"},
};

// Which of the triggers in NORVANE$TRIGGERS a restore takes.
const char kOurs[] = "t.ATTACHMENT_ID = current_connection";
const char kLeftOver[] =
    "not exists (select 1 from mon$attachments a where a.mon$attachment_id = t.ATTACHMENT_ID)";
const char kAll[] = "1 = 1";


// A value of the log, or of the target, as a message shows it: a literal of
// the column's type, cut short when long.
std::string Shown(const CFieldValue& field, const CFieldCast& value)
{
    constexpr std::size_t kLongest = 120;
    const bool cut = value.value.size() > kLongest;
    const CFieldCast shown(value.isNull, cut ? value.value.substr(0, kLongest) : value.value);
    std::string text;
    try {
        text = field.GetSQL(shown);
    } catch (const CEUnknownIBType&) {
        text = Quoted(shown.value);
    }
    if (cut)
        text += ScriptMessage(msgCutShort, {std::to_string(value.value.size())});
    return Printable(text);
}

// The library's text of a failure on one line: its lines joined by "; ".
std::string OneLine(std::string text)
{
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at))
        text.replace(at, 1, "; ");
    return Printable(text);
}

// What an operation letter did to the table, for messages: "an update of
// GOODS".
std::string Doing(char action, const std::string& table)
{
    switch (action) {
    case 'I': return ScriptMessage(msgDoingInsert, {table});
    case 'U': return ScriptMessage(msgDoingUpdate, {table});
    case 'D': return ScriptMessage(msgDoingDelete, {table});
    default: return ScriptMessage(msgDoingChange, {table});
    }
}

std::string Quote(const std::string& name, bool quoteNames) { return SQLName(Trimmed(name), quoteNames); }

// Does a piece of the program's own work on the target: a statement the
// target refuses there is no log's doing, and the message (with the
// server's reason for "%1") says what was being done.
template <class Work>
auto OnTarget(const std::string& message, Work work)
{
    try {
        return work();
    } catch (const StatementError& e) {
        throw CETargetRefused(ScriptMessage(message, {OneLine(e.LibraryMessage)}));
    }
}

long long Scalar(TDBTransaction& transaction, const std::string& sql)
{
    TDBStatement statement(transaction, sql);
    statement.Execute();
    return statement.Fetch() ? statement.Integer(0) : 0;
}

// ---------------------------------------------------------------- the target's bookkeeping

class TBook {
public:
    // Makes the bookkeeping tables the target lacks.
    explicit TBook(TConnection& aTarget) : target(aTarget)
    {
        TDBTransaction transaction(target, TTransactionMode::Write);
        bool made = false;
        for (const auto& [name, create] : kBookTables) {
            if (Scalar(transaction, std::string("select count(*) from rdb$relations where rdb$relation_name = '") +
                                        name + "'") == 0) {
                TDBStatement(transaction, create).Execute();
                made = true;
            }
        }
        if (made)
            transaction.Commit();
    }

    // Switches on the triggers of NORVANE$TRIGGERS that the condition
    // takes; returns how many.
    std::size_t Restore(const char* which)
    {
        TDBTransaction transaction(target, TTransactionMode::Write);
        const long long count =
            Scalar(transaction, std::string("select count(*) from NORVANE$TRIGGERS t where ") + which);
        if (count == 0)
            return 0;
        TDBStatement(transaction,
                     std::string("execute block as\n"
                                 "    declare name varchar(63);\n"
                                 "begin\n"
                                 "    for select t.TRIGGER_NAME from NORVANE$TRIGGERS t where ") +
                         which +
                         " into :name do\n"
                         "    begin\n"
                         "        if (exists (select 1 from rdb$triggers r where r.rdb$trigger_name = :name)) then\n"
                         "            execute statement 'alter trigger ' || " + kTriggerName + " || ' active';\n"
                         "        delete from NORVANE$TRIGGERS t where t.TRIGGER_NAME = :name;\n"
                         "    end\n"
                         "end")
            .Execute();
        transaction.Commit();
        return static_cast<std::size_t>(count);
    }

    // Switches off the active triggers of the tables (but the system's, and
    // but the change log's own when keepLog), noting each; returns how many.
    std::size_t SwitchOff(const std::vector<std::string>& tables, bool keepLog)
    {
        TDBTransaction transaction(target, TTransactionMode::Write);
        std::size_t count = 0;
        // A list of literals holds at most 1500 items.
        constexpr std::size_t kPerBlock = 500;
        for (std::size_t from = 0; from < tables.size(); from += kPerBlock) {
            std::string list;
            for (std::size_t i = from; i < tables.size() && i < from + kPerBlock; ++i)
                list += (list.empty() ? "" : ", ") + Quoted(Trimmed(tables[i]));
            const std::string which =
                "from rdb$triggers t where t.rdb$relation_name in (" + list +
                ") and coalesce(t.rdb$system_flag, 0) = 0 and coalesce(t.rdb$trigger_inactive, 0) = 0" +
                (keepLog ? " and not exists (select 1 from rdb$dependencies d where d.rdb$dependent_name ="
                           " t.rdb$trigger_name and d.rdb$depended_on_name = 'IBE$LOG_TABLES')"
                         : "");
            const long long found = Scalar(transaction, "select count(*) " + which);
            if (found == 0)
                continue;
            count += static_cast<std::size_t>(found);
            TDBStatement(transaction, "execute block as\n"
                                      "    declare name varchar(63);\n"
                                      "begin\n"
                                      "    for select trim(trailing from t.rdb$trigger_name) " +
                                          which +
                                          " into :name do\n"
                                          "    begin\n"
                                          "        insert into NORVANE$TRIGGERS (TRIGGER_NAME, ATTACHMENT_ID)"
                                          " values (:name, current_connection);\n"
                                          "        execute statement 'alter trigger ' || " + kTriggerName +
                                          " || ' inactive';\n"
                                          "    end\n"
                                          "end")
                .Execute();
        }
        if (count > 0)
            transaction.Commit();
        return count;
    }

    // The source's received log; with lock, its row is held until the
    // transaction ends (made when missing), so that a second run for the
    // same source waits for none and fails at once.
    TReceivedLog Load(TDBTransaction& transaction, const std::string& source, bool lock)
    {
        TReceivedLog log;
        TDBStatement row(transaction, std::string("select FLOOR_ID, FINAL_ID, PROMISED_ID, PROMISED_BELOW from "
                                                  "NORVANE$SOURCES where SOURCE_NAME = ?") +
                                          (lock ? " with lock" : ""));
        row.SetText(0, source, kNoCharset);
        try {
            row.Execute();
            if (!row.Fetch()) {
                if (lock) {
                    TDBStatement made(transaction, "insert into NORVANE$SOURCES (SOURCE_NAME, RECEIVED) values (?, 0)");
                    made.SetText(0, source, kNoCharset);
                    made.Execute();
                }
                return log;
            }
        } catch (const StatementError& e) {
            if (!lock)
                throw;
            throw CEBookkeeping(ScriptMessage(msgAnotherRun, {Printable(source), OneLine(e.LibraryMessage)}));
        }
        auto id = [&row](int column) { return row.IsNull(column) ? TReceivedLog::kNone : row.Integer(column); };
        const long long floor = id(0), finalId = id(1);
        const long long promisedId = row.IsNull(2) ? 0 : row.Integer(2);
        const long long promisedBelow = row.IsNull(3) ? 0 : row.Integer(3);
        std::vector<TReceivedLog::TRange> ranges;
        TDBStatement received(transaction,
                              "select FIRST_ID, LAST_ID from NORVANE$RECEIVED where SOURCE_NAME = ? order by FIRST_ID");
        received.SetText(0, source, kNoCharset);
        received.Execute();
        while (received.Fetch())
            ranges.push_back({received.Integer(0), received.Integer(1)});
        log.Restore(floor, std::move(ranges), finalId, promisedId, promisedBelow);
        return log;
    }

    void Save(TDBTransaction& transaction, const std::string& source, const TReceivedLog& log,
              const std::string& location, std::size_t received)
    {
        TDBStatement row(transaction,
                         "update NORVANE$SOURCES set FLOOR_ID = ?, FINAL_ID = ?, PROMISED_ID = ?, PROMISED_BELOW = ?,"
                         " RECEIVED = coalesce(RECEIVED, 0) + ?, LAST_LOCATION = ?, LAST_RUN = current_timestamp"
                         " where SOURCE_NAME = ?");
        auto id = [&row](int index, long long value) {
            if (value == TReceivedLog::kNone)
                row.SetNull(index);
            else
                row.SetInteger(index, value);
        };
        id(0, log.Floor());
        id(1, log.FinalId());
        row.SetInteger(2, log.PromisedId());
        row.SetInteger(3, log.PromisedBelow());
        row.SetInteger(4, static_cast<long long>(received));
        row.SetText(5, location, kNoCharset);
        row.SetText(6, source, kNoCharset);
        row.Execute();
        TDBStatement clear(transaction, "delete from NORVANE$RECEIVED where SOURCE_NAME = ?");
        clear.SetText(0, source, kNoCharset);
        clear.Execute();
        TDBStatement range(transaction, "insert into NORVANE$RECEIVED (SOURCE_NAME, FIRST_ID, LAST_ID) values (?, ?, ?)");
        for (const TReceivedLog::TRange& r : log.Ranges()) {
            range.SetText(0, source, kNoCharset);
            range.SetInteger(1, r.first);
            range.SetInteger(2, r.last);
            range.Execute();
        }
    }

private:
    TConnection& target;
};

// ---------------------------------------------------------------- the changes

// Makes logged changes on the target, each checked, with one prepared
// statement per table and shape.
class TChanges {
public:
    // Names the later change that stands in the way of an undo.
    using TBlocker = std::function<std::string(const CLogRecord& record, long long logId, const TRowMatch& match)>;

    TChanges(TDBTransaction& aWork, bool aReproducing, bool aCheckValues, int aSourceCharset,
             std::string aSourceCharsetName, bool aQuoteNames, TBlocker aBlocker)
        : work(aWork),
          reproducing(aReproducing),
          checkValues(aCheckValues),
          sourceCharset(aSourceCharset),
          sourceCharsetName(std::move(aSourceCharsetName)),
          quoteNames(aQuoteNames),
          blocker(std::move(aBlocker))
    {
    }

    // Makes the record's change (or undoes it); false when the record has
    // nothing to change or to find a row by. Throws CEConflict.
    bool Make(const CLogRecord& record, long long logId)
    {
        const char action = record.GetAction();
        const char run = reproducing ? action : action == 'I' ? 'D' : action == 'D' ? 'I' : 'U';
        const TFieldList& fields = record.GetFields();
        // A delete that a referential action made is made again by the
        // target's own action when its source is replayed.
        if (reproducing && action == 'D' && record.GetCascade().sourceDistance > 0)
            return false;
        const TRowMatch match = RowMatch(record, reproducing, checkValues);
        if ((run != 'I' && match.terms.empty()) || (run != 'D' && fields.empty()))
            return false;
        const std::string table = Quote(record.GetTableName(), quoteNames);
        std::vector<std::pair<const CFieldValue*, const CFieldCast*>> values;  // in the order of the markers
        std::string sql;
        if (run == 'I') {
            std::string columns, marks;
            for (const auto& field : fields) {
                columns += (columns.empty() ? "" : ", ") + Quote(field->GetName(), quoteNames);
                marks += (marks.empty() ? "" : ", ") + Marker(*field, Sets(*field));
                values.emplace_back(field.get(), Sets(*field));
            }
            sql = "insert into " + table + " (" + columns + ") values (" + marks + ")";
        } else {
            if (run == 'U') {
                std::string set;
                for (const auto& field : fields) {
                    set += (set.empty() ? "" : ", ") + Quote(field->GetName(), quoteNames) + " = " +
                           Marker(*field, Sets(*field));
                    values.emplace_back(field.get(), Sets(*field));
                }
                sql = "update " + table + " set " + set + " where ";
            } else {
                sql = "delete from " + table + " where ";
            }
            // The row found, if any, says so in the same round trip.
            sql += Where(match) + " returning 1";
            for (const TMatchTerm& term : match.terms)
                values.emplace_back(term.field, term.value);
        }

        // An insert that does not fail has inserted its row.
        bool found = true;
        try {
            TDBStatement& statement = Statement(sql);
            for (std::size_t i = 0; i < values.size(); ++i)
                Bind(statement, static_cast<int>(i), values[i].second);
            statement.Execute();
            if (run != 'I')
                found = statement.Fetch() && !statement.IsNull(0);
        } catch (const StatementError& e) {
            Conflict(record, logId, match, ScriptMessage(msgConflictRefused, {OneLine(e.LibraryMessage)}));
        }
        if (!found)
            Conflict(record, logId, match, Diagnose(record, match));
        return true;
    }

private:
    static const CFieldCast* Null()
    {
        static const CFieldCast null(true, {});
        return &null;
    }

    // The value a column gets: the new one when replaying, the old one when
    // undoing.
    const CFieldCast* Sets(const CFieldValue& field) const
    {
        const CFieldCast* value = reproducing ? field.GetNewValue() : field.GetOldValue();
        return value ? value : Null();
    }

    // A parameter of a text column holds at most 8,191 characters in a UTF8
    // connection: a longer text goes as a text BLOB of the source's set,
    // which the engine converts into the column as it would the text.
    // The marker, or what stands for the value (a column), as the value goes.
    std::string Marker(const CFieldValue& field, const CFieldCast* value, const std::string& what = "?") const
    {
        constexpr std::size_t kLongestTextParameter = 8191;
        const int type = field.GetType();
        if ((type == 14 || type == 37) && !value->isNull && value->value.size() > kLongestTextParameter)
            return "cast(" + what + " as blob sub_type text character set " + sourceCharsetName + ")";
        return what;
    }

    std::string Where(const TRowMatch& match) const
    {
        std::string where;
        for (const TMatchTerm& term : match.terms) {
            // A long text is compared as the text BLOB it is given as.
            const std::string column = Quote(term.field->GetName(), quoteNames);
            where += (where.empty() ? "" : " and ") + Marker(*term.field, term.value, column) +
                     (term.key && match.byKey ? " = " : " is not distinct from ") + Marker(*term.field, term.value);
        }
        // Rows equal in every logged value are one as good as another. A
        // key finds one row at most: more would fail the statement.
        return match.byKey ? where : where + " rows 1";
    }

    TDBStatement& Statement(const std::string& sql)
    {
        std::unique_ptr<TDBStatement>& statement = statements[sql];
        if (!statement) {
            // Shapes beyond this many are rare: past it the cache begins
            // again, so that a log of many shapes holds no more statements.
            constexpr std::size_t kMostStatements = 500;
            if (statements.size() > kMostStatements) {
                statements.clear();
                return Statement(sql);
            }
            statement = std::make_unique<TDBStatement>(work, sql);
        }
        return *statement;
    }

    // Gives a parameter a logged value in the form the server takes exactly:
    // a floating-point number as the double its text reads as, a BLOB as one,
    // a text as bytes of the source's set (or as they are, for a column of
    // NONE or OCTETS), any other value as its text for the server to convert.
    void Bind(TDBStatement& statement, int index, const CFieldCast* value)
    {
        if (!value || value->isNull) {
            statement.SetNull(index);
            return;
        }
        const TSqlTypeInfo& param = statement.Param(index);
        const std::string& text = value->value;
        if (param.IsBlob()) {
            statement.SetBlob(index, text, sourceCharset);
        } else if (param.IsText()) {
            statement.SetText(index, text, param.Charset() <= 1 ? param.Charset() : sourceCharset);
        } else if (double number = 0; param.IsFloat() && ReadDouble(text, number)) {
            statement.SetDouble(index, number);
        } else {
            statement.SetText(index, text, kNoCharset);
        }
    }

    static bool ReadDouble(const std::string& text, double& number)
    {
        const char* end = text.data() + text.size();
        const char* begin = text.data() + (!text.empty() && text[0] == '+' ? 1 : 0);
        const auto result = std::from_chars(begin, end, number);
        return result.ec == std::errc() && result.ptr == end;
    }

    // What the target holds instead, found by the row's key.
    std::string Diagnose(const CLogRecord& record, const TRowMatch& match)
    {
        if (!match.byKey)
            return ScriptMessage(msgConflictNoMatch);
        std::string select, where;
        std::vector<const TMatchTerm*> checked;
        for (const TMatchTerm& term : match.terms) {
            const std::string name = Quote(term.field->GetName(), quoteNames);
            if (term.key) {
                where += (where.empty() ? "" : " and ") + name + " = ?";
            } else {
                select += "iif(" + name + " is not distinct from ?, 1, 0), " + name + ", ";
                checked.push_back(&term);
            }
        }
        TDBStatement probe(work, "select " + select + "1 from " + Quote(record.GetTableName(), quoteNames) +
                                     " where " + where);
        int index = 0;
        for (const TMatchTerm* term : checked)
            Bind(probe, index++, term->value);
        for (const TMatchTerm& term : match.terms)
            if (term.key)
                Bind(probe, index++, term.value);
        probe.Execute();
        if (!probe.Fetch())
            return ScriptMessage(msgConflictNoRow);
        for (std::size_t i = 0; i < checked.size(); ++i) {
            const int column = static_cast<int>(2 * i);
            if (probe.Integer(column) == 1)
                continue;
            const CFieldValue& field = *checked[i]->field;
            const CFieldCast holds(probe.IsNull(column + 1), probe.Text(column + 1));
            return ScriptMessage(
                reproducing ? msgConflictTargetHolds : msgConflictRowHolds,
                {Quote(field.GetName(), quoteNames), Shown(field, holds), Shown(field, *checked[i]->value)});
        }
        return ScriptMessage(msgConflictNotFound);
    }

    [[noreturn]] void Conflict(const CLogRecord& record, long long logId, const TRowMatch& match,
                               const std::string& what)
    {
        std::string key;
        for (const TMatchTerm& term : match.terms)
            if (term.key)
                key += (key.empty() ? "" : ", ") + Quote(term.field->GetName(), quoteNames) + " = " +
                       Shown(*term.field, *term.value);
        const std::string change =
            Doing(record.GetAction(), Printable(record.GetTableName())) + (key.empty() ? "" : " (" + key + ")");
        throw CEConflict(ScriptMessage(
            reproducing ? msgConflictApply : msgConflictUndo,
            {std::to_string(logId), change, blocker ? what + "; " + blocker(record, logId, match) : what}));
    }

    TDBTransaction& work;
    const bool reproducing;
    const bool checkValues;
    const int sourceCharset;
    const std::string sourceCharsetName;
    const bool quoteNames;
    TBlocker blocker;
    std::unordered_map<std::string, std::unique_ptr<TDBStatement>> statements;
};

// ---------------------------------------------------------------- the source

// The tables that the log's selected entries name, as the log has them.
std::vector<std::string> SelectedTables(const TParams& period)
{
    std::unique_ptr<TDataSet> data = TDBManager::GetInstance().OpenQuery(
        AboveFloor("select distinct lt.table_name from ibe$log_tables lt where lt.date_time >= :BEGD and "
                   "lt.date_time < :ENDD",
                   period),
        &period, false);
    std::vector<std::string> tables;
    for (; !data->Eof(); data->Next())
        if (!data->Fields(0).IsNull())
            tables.push_back(data->Fields(0).AsString());
    return tables;
}

// Moves the target's generators of the same names up to the source's
// values; a generator the target lacks is left alone. Returns how many moved.
std::size_t MoveGeneratorsUp(TConnection& target, const std::vector<TGeneratorValue>& generators)
{
    if (generators.empty())
        return 0;
    const bool quoteNames = target.Dialect() >= 3;
    TDBTransaction transaction(target, TTransactionMode::Write);
    std::vector<std::string> existing;
    TDBStatement names(transaction, "select trim(trailing from rdb$generator_name) from rdb$generators");
    names.Execute();
    while (names.Fetch())
        existing.push_back(names.Text(0));
    std::size_t moved = 0;
    for (const auto& [name, value] : generators) {
        if (std::find(existing.begin(), existing.end(), name) == existing.end())
            continue;
        const std::string generator = SQLName(name, quoteNames);
        const long long current = Scalar(transaction, "select gen_id(" + generator + ", 0) from rdb$database");
        if (current >= value)
            continue;
        // A generator moves outside any transaction, at once.
        Scalar(transaction, "select gen_id(" + generator + ", " + std::to_string(value - current) +
                                ") from rdb$database");
        ++moved;
    }
    transaction.Commit();
    return moved;
}

// The later entry of the log on the same row that stands in the way of an
// undo, in words: the first after the entry on the row's key that this run
// did not undo (the ids undone are given in ascending order). It is looked
// for in the undo's own transaction, which sees the rows as they are
// checked, up to the entries the undo itself has written.
std::string LaterChange(TDBTransaction& work, int sourceCharset, const CLogRecord& record, long long logId,
                        const TRowMatch& match, const std::vector<long long>& undone, long long ownAbove)
{
    if (!match.byKey)
        return ScriptMessage(msgNoKeyForLater);
    std::string sql = "select lt.id, lt.operation, lt.user_name, lt.date_time from ibe$log_tables lt where "
                      "lt.table_name = ? and lt.id > ? and lt.id <= ?";
    for (const TMatchTerm& term : match.terms)
        if (term.key)
            sql += " and exists (select 1 from ibe$log_keys lk where lk.log_tables_id = lt.id and lk.key_field = ?"
                   " and lk.key_value is not distinct from ?)";
    TDBStatement later(work, sql + " order by lt.id");
    int index = 0;
    later.SetText(index++, record.GetTableName(), sourceCharset);
    later.SetInteger(index++, logId);
    later.SetInteger(index++, ownAbove);
    for (const TMatchTerm& term : match.terms) {
        if (!term.key)
            continue;
        later.SetText(index++, term.field->GetName(), sourceCharset);
        if (term.value->isNull)
            later.SetNull(index++);
        else
            later.SetText(index++, term.value->value, sourceCharset);
    }
    later.Execute();
    while (later.Fetch()) {
        const long long id = later.Integer(0);
        if (std::binary_search(undone.begin(), undone.end(), id))
            continue;
        const std::string operation = later.Text(1);
        return ScriptMessage(msgLaterChange,
                             {std::to_string(id),
                              Doing(operation.empty() ? '?' : operation[0], Printable(record.GetTableName())),
                              Printable(later.Text(2)), later.Text(3)});
    }
    return ScriptMessage(msgNoLaterChange);
}

void Count(TApplySummary& summary, const CLogRecord& record)
{
    auto table = std::find_if(summary.tables.begin(), summary.tables.end(),
                              [&record](const TApplySummary::TTable& t) { return t.name == record.GetTableName(); });
    if (table == summary.tables.end())
        table = summary.tables.insert(summary.tables.end(), {record.GetTableName()});
    ++(record.GetAction() == 'I' ? table->inserts : record.GetAction() == 'U' ? table->updates : table->deletes);
    ++summary.entries;
}

}  // namespace

CApplier::CApplier(TApplyOptions aOptions, TProgressEvent aOnProgress)
    : options(std::move(aOptions)), onProgress(std::move(aOnProgress))
{
}

std::size_t CApplier::RestoreTriggers(const std::string& location, const std::string& user,
                                      const std::string& password, const std::string& charset)
{
    TConnection target(location, user, password, charset);
    return TBook(target).Restore(kAll);
}

TApplySummary CApplier::Run()
{
    const auto started = std::chrono::steady_clock::now();
    const bool reproducing = !options.undo;
    const TCharset charset = CharsetOf(options.charset);
    TScriptCharset messages(charset.name, charset.encoding);
    TApplySummary summary;
    summary.sourceName = options.undo ? std::string(kUndoSource)
                                      : options.sourceName.empty() ? DefaultSourceName(options.source)
                                                                   : options.sourceName;

    // The target: the sister, or for an undo the database itself through a
    // connection of its own beside the one that reads the log.
    TConnection target(options.undo ? options.source : options.target,
                       options.undo ? options.user : options.targetUser,
                       options.undo ? options.password : options.targetPassword,
                       options.undo ? charset.name : options.targetCharset);
    TBook book = OnTarget(msgRefusesBookTables, [&] { return TBook(target); });
    summary.restored = OnTarget(msgRefusesRestore, [&] { return book.Restore(kLeftOver); });

    TDBManager& db = TDBManager::GetInstance();
    // The source's snapshot only reads: it ends by roll-back on every way
    // out, and the source is let go, as after a script's run.
    const TReleaseDatabase release;
    if (db.IsTransactionActive())
        db.Rollback();
    db.Connect(options.source, options.user, options.password, charset.name);
    const bool sourceQuotes = db.Dialect() >= 3;
    const TSourceMark mark = StartSnapshot();

    // The tables to switch the triggers off on, from where the target's
    // record stood a moment ago: a record that moved on since only means
    // a table more.
    TReceivedLog early;
    {
        TDBTransaction look(target, TTransactionMode::Read);
        early = OnTarget(msgRefusesReadBook, [&] { return book.Load(look, summary.sourceName, false); });
    }
    // Every table of the period, the filter's or not: the effects of
    // referential actions go with their sources whatever their tables.
    const std::vector<std::string> tables = SelectedTables(TEntrySelection{options.periodBegin, options.periodEnd,
                                                                           &early, {}}
                                                               .Params());
    if (options.confirm) {
        TApplySummary planned = summary;
        const TEntrySelection plan{options.periodBegin, options.periodEnd, &early, options.filter};
        CLogReader reader(plan.Params(), sourceQuotes, false, {},
                          [&plan](const TEntryRow& entry) { return plan.Choice(entry); });
        while (std::unique_ptr<CLogRecord> record = reader.Next()) {
            Count(planned, *record);
            TSignalWatch::StopIfCaught();
            if (onProgress) {
                int total = reader.Total(), done = reader.Read();
                onProgress(total, done);
            }
        }
        if (!options.confirm(planned)) {
            summary.declined = true;
            return summary;
        }
    }
    const std::vector<TGeneratorValue> generators =
        reproducing ? ReadGenerators(sourceQuotes) : std::vector<TGeneratorValue>{};

    summary.triggers = OnTarget(msgRefusesSwitchOff, [&] { return book.SwitchOff(tables, options.undo); });
    std::exception_ptr failure;
    try {
        TDBTransaction work(target, TTransactionMode::Write);
        TReceivedLog received = OnTarget(msgRefusesReadBook, [&] { return book.Load(work, summary.sourceName, true); });
        received.Begin(mark);
        // Entries the undo writes to the log itself are no entries to undo
        // later: above the highest id it can see now, the ones it sees at
        // the end are its own.
        const long long highestBefore =
            options.undo ? Scalar(work, "select coalesce(max(id), 0) from ibe$log_tables") : 0;
        const int sourceCharset = static_cast<int>([&] {
            TDBStatement id(work, "select rdb$character_set_id from rdb$character_sets where rdb$character_set_name = ?");
            id.SetText(0, charset.name, kNoCharset);
            id.Execute();
            return id.Fetch() ? id.Integer(0) : kNoCharset;
        }());

        // Chosen by what was received before the run: the log is read in a
        // thread of its own while the entries applied are added.
        const TReceivedLog receivedBefore = received;
        const TEntrySelection selection{options.periodBegin, options.periodEnd, &receivedBefore, options.filter};
        CLogReader reader(selection.Params(), sourceQuotes, false, {},
                          [&selection](const TEntryRow& entry) { return selection.Choice(entry); });
        std::vector<long long> undone;  // the ids read for an undo, ascending
        TChanges changes(work, reproducing, !options.keyOnly, sourceCharset, charset.name, target.Dialect() >= 3,
                         options.undo ? TChanges::TBlocker([&](const CLogRecord& record, long long logId,
                                                               const TRowMatch& match) {
                             return LaterChange(work, sourceCharset, record, logId, match, undone, highestBefore);
                         })
                                      : TChanges::TBlocker());
        int done = 0;
        // How far the run has come: by the entries read (those the filter
        // passes over too), and for an undo's second pass by the records.
        auto advance = [&](int total, int at) {
            TSignalWatch::StopIfCaught();
            done = at;
            if (onProgress)
                onProgress(total, done);
        };
        TRecordStore records;
        records.Start(false, sourceQuotes);
        if (options.undo) {
            while (std::unique_ptr<CLogRecord> record = reader.Next()) {
                records.push_back(*record);
                undone.push_back(reader.Entry().id);
                advance(reader.Total(), reader.Read());
            }
        } else {
            TReadAhead ahead(reader);
            TReadAhead::TItem item;
            while (ahead.Next(item)) {
                changes.Make(*item.record, item.id);
                received.Add(item.id);
                Count(summary, *item.record);
                advance(item.total, item.read);
            }
        }
        if (options.undo) {
            done = 0;
            for (const std::size_t i : UndoOrder(records)) {
                const CLogRecord& record = *records[i];
                changes.Make(record, undone[i]);
                received.Add(undone[i]);
                Count(summary, record);
                advance(static_cast<int>(records.size()), done + 1);
            }
            std::unique_ptr<TDBStatement> own = std::make_unique<TDBStatement>(
                work, "select id from ibe$log_tables where id > " + std::to_string(highestBefore));
            own->Execute();
            while (own->Fetch())
                received.Add(own->Integer(0));
        }
        FillFinalGaps(received);
        OnTarget(msgRefusesWriteBook,
                 [&] { book.Save(work, summary.sourceName, received, options.source, summary.entries); });
        TSignalWatch::StopIfCaught();
        work.Commit();
        summary.generators = OnTarget(msgRefusesGenerators, [&] { return MoveGeneratorsUp(target, generators); });
    } catch (...) {
        failure = std::current_exception();
    }

    // The triggers go back on whatever happened.
    try {
        book.Restore(kOurs);
    } catch (const std::exception& e) {
        std::string text = ScriptMessage(msgTriggersLeftOff, {e.what()});
        if (failure) {
            try {
                std::rethrow_exception(failure);
            } catch (const std::exception& first) {
                text = ScriptMessage(msgTriggersLeftOffAfter, {e.what(), first.what()});
            } catch (...) {
            }
        }
        throw CETriggersLeftOff(text);
    }
    if (failure)
        std::rethrow_exception(failure);
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return summary;
}

}  // namespace Norvane

namespace NorvaneImpl {

TRowMatch RowMatch(const CLogRecord& record, bool reproducing, bool checkValues)
{
    TRowMatch match;
    const char action = record.GetAction();
    const TFieldList& keys = record.GetKeys();
    const TFieldList& fields = record.GetFields();
    const TCascade& cascade = record.GetCascade();
    // The values a column holds where the statement runs: those before the
    // change when replaying it, those after it when undoing it; but a column
    // a referential action changed holds what the action left (TCascade):
    // its new value once the target repeated the action, its old one when
    // the source's undo reversed a CASCADE.
    auto holds = [reproducing, &cascade](const CFieldValue& field) {
        if (std::find(cascade.columns.begin(), cascade.columns.end(), field.GetName()) != cascade.columns.end())
            return reproducing || !cascade.undoneBySource ? field.GetNewValue() : field.GetOldValue();
        return reproducing ? field.GetOldValue() : field.GetNewValue();
    };
    if (keys.empty()) {
        for (const auto& field : fields)
            if (const CFieldCast* value = holds(*field))
                match.terms.push_back({field.get(), value, false});
        return match;
    }
    match.byKey = true;
    for (const auto& key : keys) {
        // A key column that an update changed is found by the value it has
        // there, whichever of the two the logging trigger stored as the key.
        const CFieldCast* value = key->GetNewValue();
        for (const auto& field : fields) {
            if (field->GetName() != key->GetName())
                continue;
            if ((!reproducing && field->GetNewValue()) || (reproducing && action == 'U' && field->GetOldValue()))
                value = holds(*field);
            break;
        }
        match.terms.push_back({key.get(), value, true});
    }
    // An insert replayed, or a delete undone, finds no row.
    if (!checkValues || (reproducing && action == 'I') || (!reproducing && action == 'D'))
        return match;
    for (const auto& field : fields) {
        const bool isKey = std::any_of(keys.begin(), keys.end(),
                                       [&field](const auto& key) { return key->GetName() == field->GetName(); });
        if (!isKey)
            if (const CFieldCast* value = holds(*field))
                match.terms.push_back({field.get(), value, false});
    }
    return match;
}

std::vector<std::size_t> UndoOrder(const TRecordStore& records)
{
    // Newest first, but the effect of a referential action right after its
    // source, which must bring the referred row back first; an effect's own
    // effects after it in turn, the later first.
    std::unordered_map<std::size_t, std::vector<std::size_t>> followers;
    std::vector<bool> follows(records.size(), false);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::size_t distance = records[i]->GetCascade().sourceDistance;
        if (distance > 0 && distance <= i) {
            followers[i - distance].push_back(i);
            follows[i] = true;
        }
    }
    std::vector<std::size_t> order;
    order.reserve(records.size());
    std::vector<std::size_t> pending;
    for (std::size_t i = records.size(); i-- > 0;) {
        if (follows[i])
            continue;
        pending.push_back(i);
        while (!pending.empty()) {
            const std::size_t next = pending.back();
            pending.pop_back();
            order.push_back(next);
            const auto found = followers.find(next);
            if (found != followers.end())
                pending.insert(pending.end(), found->second.begin(), found->second.end());
        }
    }
    return order;
}

}  // namespace NorvaneImpl
