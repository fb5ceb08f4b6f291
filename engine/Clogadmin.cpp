#include "engine/Clogadmin.h"

#include "core/Charset.h"
#include "core/Resfuncs.h"
#include "db/Dbmanagererror.h"
#include "db/Tconnection.h"
#include "db/Tdbstats.h"
#include "db/Tsignalwatch.h"
#include "db/Tsqlscript.h"
#include "engine/Cfieldvalue.h"
#include "engine/Cschema.h"
#include "engine/Cselection.h"
#include "locale/Messages.h"
#include "res/TextIds.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>
#include <map>
#include <set>
#include <utility>

namespace Norvane {

namespace {

const std::vector<std::string> kLogTables = {"IBE$LOG_TABLES", "IBE$LOG_FIELDS", "IBE$LOG_KEYS"};
constexpr long long kLowest = std::numeric_limits<long long>::min();
constexpr long long kHighest = std::numeric_limits<long long>::max();

// A name from the system tables as its UTF-8 bytes, whatever the
// connection's character set: metadata is kept in UNICODE_FSS, and OCTETS
// passes bytes without conversion.
std::string Utf8Name(const std::string& column)
{
    return "cast(trim(" + column + ") as varchar(252) character set octets)";
}

// The condition that picks the change log's own triggers out of
// RDB$TRIGGERS (as t): those the texts make and those IBExpert makes have
// names beginning with IBE$ and write IBE$LOG_TABLES.
const char kLogTrigger[] =
    "t.rdb$relation_name is not null and coalesce(t.rdb$system_flag, 0) = 0 "
    "and t.rdb$trigger_name starting with 'IBE$' and t.rdb$trigger_source containing 'IBE$LOG_TABLES'";

// The tables a log is kept of: the user's own, not views, not the log's own
// tables (IBE$) nor norvane's bookkeeping (NORVANE$), as the triggers text
// chooses them.
const char kUserTable[] =
    "coalesce(r.rdb$system_flag, 0) = 0 and r.rdb$view_blr is null "
    "and r.rdb$relation_name not starting with 'IBE$' and r.rdb$relation_name not starting with 'NORVANE$'";

// A message of the catalogue (Windows-1251) in UTF-8, as the log commands
// speak, with "%1", "%2", ... filled in by UTF-8 texts.
std::string Utf8Message(const std::string& message, std::initializer_list<std::string> args = {})
{
    return FormatMessage(Recode(message, "CP1251", "UTF-8"), args);
}

// One row of one column, or empty.
std::string ValueOf(TDBTransaction& transaction, const std::string& sql, const std::string& parameter = {})
{
    TDBStatement query(transaction, sql);
    if (query.ParamCount() > 0)
        query.SetText(0, parameter, kNoCharset);
    query.Execute();
    return query.Fetch() ? query.Text(0) : std::string();
}

std::vector<std::string> Column(TDBTransaction& transaction, const std::string& sql, const std::string& parameter = {})
{
    TDBStatement query(transaction, sql);
    if (query.ParamCount() > 0)
        query.SetText(0, parameter, kNoCharset);
    query.Execute();
    std::vector<std::string> values;
    while (query.Fetch())
        values.push_back(query.Text(0));
    return values;
}

// The database's default character set, NONE when it has none.
std::string DatabaseCharset(TDBTransaction& transaction)
{
    const std::string name =
        NorvaneImpl::Trimmed(ValueOf(transaction, "select rdb$character_set_name from rdb$database"));
    return name.empty() ? "NONE" : name;
}

bool Exists(TDBTransaction& transaction, const std::string& sql, const std::string& name)
{
    return !ValueOf(transaction, sql, name).empty();
}

bool TableExists(TDBTransaction& transaction, const std::string& name)
{
    return Exists(transaction, "select 1 from rdb$relations where rdb$relation_name = ?", name);
}

// Refuses a user who may not change the database's structure. The log's
// tables are granted to everyone (the triggers write them for whoever
// changes a table), so the check is made here, for every command that
// changes the log; the message (%1 the user, %2 the database, %3 who may)
// says what the user may not do.
void CheckRights(TDBTransaction& transaction, const std::string& location, const std::string& message)
{
    TDBStatement who(transaction,
                     "select trim(current_user), trim(current_role), trim(m.mon$owner) from mon$database m");
    who.Execute();
    who.Fetch();
    const std::string user = who.Text(0), role = who.Text(1), owner = who.Text(2);
    if (user == "SYSDBA" || user == owner || role == "RDB$ADMIN")
        return;
    throw CELogAdmin(TLogProblem::NoRights,
                     Utf8Message(message, {user, location,
                                           owner == "SYSDBA" ? Utf8Message(msgRightsSysdba)
                                                             : Utf8Message(msgRightsOwner, {owner})}));
}

// The actions each table's active log triggers fire on: bit 1 insert, 2
// update, 4 delete.
std::map<std::string, int> LogTriggers(TDBTransaction& transaction)
{
    TDBStatement query(transaction, "select " + Utf8Name("t.rdb$relation_name") +
                                        ", t.rdb$trigger_type, coalesce(t.rdb$trigger_inactive, 0) "
                                        "from rdb$triggers t where " +
                                        kLogTrigger);
    query.Execute();
    std::map<std::string, int> tables;
    while (query.Fetch()) {
        const long long type = query.Integer(1);
        int actions = 0;
        // After triggers have even types; a trigger of several actions keeps
        // one in each two-bit slot of type + 1 (1 insert, 2 update, 3 delete).
        if (type > 0 && type < 8192 && type % 2 == 0)
            for (int slot = 1; slot <= 3; ++slot)
                if (const long long action = ((type + 1) >> (slot * 2 - 1)) & 3)
                    actions |= 1 << (action - 1);
        int& table = tables[query.Text(0)];
        if (query.Integer(2) == 0)
            table |= actions;
    }
    return tables;
}

std::vector<std::string> UserTables(TDBTransaction& transaction)
{
    return Column(transaction, "select " + Utf8Name("r.rdb$relation_name") + " from rdb$relations r where " +
                                   kUserTable + " order by r.rdb$relation_name");
}

std::vector<std::string> FullyLogged(TDBTransaction& transaction)
{
    std::vector<std::string> logged;
    for (const auto& [table, actions] : LogTriggers(transaction))
        if (actions == 7)
            logged.push_back(table);
    return logged;
}

// ------------------------------------------------------------ the texts

// The column definitions of a CREATE TABLE statement, by name (in capitals
// unless quoted), in order; constraints of the table are left out.
std::vector<std::pair<std::string, std::string>> ColumnDefinitions(const std::string& statement)
{
    std::vector<std::pair<std::string, std::string>> columns;
    std::size_t at = statement.find('(');
    if (at == std::string::npos)
        return columns;
    int depth = 0;
    std::string item;
    auto finish = [&] {
        const std::vector<std::string> words = LeadingWords(item, 2);
        static const std::set<std::string> constraints = {"CONSTRAINT", "PRIMARY", "UNIQUE", "FOREIGN", "CHECK"};
        if (!words.empty() && !constraints.count(words[0]))
            columns.emplace_back(words[0], item.substr(item.find_first_not_of(" \t\n")));
        item.clear();
    };
    for (++at; at < statement.size(); ++at) {
        const char c = statement[at];
        if (c == '\'' || c == '"') {
            const std::size_t close = statement.find(c, at + 1);
            const std::size_t end = close == std::string::npos ? statement.size() : close + 1;
            item += statement.substr(at, end - at);
            at = end - 1;
        } else if (c == '(') {
            ++depth;
            item += c;
        } else if (c == ')' && depth == 0) {
            finish();
            break;
        } else if (c == ')') {
            --depth;
            item += c;
        } else if (c == ',' && depth == 0) {
            finish();
        } else {
            item += c;
        }
    }
    return columns;
}

// Whether the text holds the words, in capitals, one blank between them.
bool Holds(const std::string& text, const std::string& words)
{
    std::string flat;
    for (const unsigned char c : text) {
        const bool blank = std::isspace(c) != 0;
        if (blank && (flat.empty() || flat.back() == ' '))
            continue;
        flat += blank ? ' ' : static_cast<char>(std::toupper(c));
    }
    return flat.find(words) != std::string::npos;
}

// The kinds of object the texts create, with the query that finds one by
// its name. The log's data is in its tables and generator; its functions
// and procedures are the triggers' code.
struct TKind {
    const char* word;  // as CREATE names it
    const char* name;  // as DROP names it
    const char* exists;
    bool data;
};
const TKind kKinds[] = {
    {"TABLE", "table", "select 1 from rdb$relations where rdb$relation_name = ?", true},
    {"GENERATOR", "generator", "select 1 from rdb$generators where rdb$generator_name = ?", true},
    {"SEQUENCE", "generator", "select 1 from rdb$generators where rdb$generator_name = ?", true},
    {"FUNCTION", "function", "select 1 from rdb$functions where rdb$function_name = ? and rdb$package_name is null",
     false},
    {"PROCEDURE", "procedure", "select 1 from rdb$procedures where rdb$procedure_name = ? and rdb$package_name is null",
     false},
};

struct TTextObject {
    const TKind* kind = nullptr;
    std::string name;
    bool orAlter = false;  // CREATE OR ALTER: made or replaced, whichever is due
};

// What a statement CREATE [OR ALTER] KIND NAME makes; no kind for any other.
TTextObject Creates(const std::string& statement)
{
    std::vector<std::string> words = LeadingWords(statement, 5);
    TTextObject object;
    if (words.empty() || words[0] != "CREATE")
        return object;
    words.erase(words.begin());
    if (words.size() >= 2 && words[0] == "OR" && words[1] == "ALTER") {
        object.orAlter = true;
        words.erase(words.begin(), words.begin() + 2);
    }
    for (const TKind& kind : kKinds)
        if (words.size() >= 2 && words[0] == kind.word) {
            object.kind = &kind;
            object.name = words[1];
        }
    return object;
}

// The objects the two texts create, in their order.
std::vector<TTextObject> TextObjects()
{
    std::vector<TTextObject> objects;
    for (const int text : {BuiltinTexts::kInstallLogTables, BuiltinTexts::kInstallLogTriggers})
        for (const std::string& statement : SplitIsqlScript(LoadResourceText(text, "INSTALL")))
            if (const TTextObject object = Creates(statement); object.kind)
                objects.push_back(object);
    return objects;
}

// Adds to an existing table of the log the columns of its CREATE statement
// that it lacks: a log of an older shape takes the newer one's values.
void AddMissingColumns(TDBTransaction& transaction, const std::string& table, const std::string& statement,
                       TInstallReport& report, const std::string& location)
{
    const std::vector<std::string> had =
        Column(transaction, "select trim(rdb$field_name) from rdb$relation_fields where rdb$relation_name = ?", table);
    for (const auto& [column, definition] : ColumnDefinitions(statement)) {
        if (std::find(had.begin(), had.end(), column) != had.end())
            continue;
        // Rows there already would have no value for it.
        if (Holds(definition, "NOT NULL") || Holds(definition, "PRIMARY KEY"))
            throw CELogAdmin(TLogProblem::Failed, Utf8Message(msgLogOtherShape, {location, table, column}));
        TDBStatement(transaction, "alter table " + table + " add " + definition).Execute();
        report.addedColumns.push_back(table + "." + column);
    }
}

// Runs the statements of a built-in isql text in the transaction. An
// object the text creates that is there already is kept (a table gains the
// columns of the text it lacks); isql's own commands are left out, and so
// is COMMIT: the caller commits once.
void RunText(TDBTransaction& transaction, int text, TInstallReport& report, const std::string& location)
{
    for (const std::string& statement : SplitIsqlScript(LoadResourceText(text, "INSTALL"))) {
        const std::vector<std::string> words = LeadingWords(statement, 6);
        const auto word = [&words](std::size_t i) { return i < words.size() ? words[i] : std::string(); };
        if (word(0) == "COMMIT" || (word(0) == "SET" && word(1) != "GENERATOR" && word(1) != "STATISTICS"))
            continue;
        try {
            const TTextObject object = Creates(statement);
            const auto index = std::find(words.begin(), words.end(), "INDEX");
            if (object.kind && !object.orAlter) {
                if (Exists(transaction, object.kind->exists, object.name)) {
                    if (std::string(object.kind->word) == "TABLE")
                        AddMissingColumns(transaction, object.name, statement, report, location);
                    continue;
                }
                report.created.push_back(std::string(object.kind->name) + " " + object.name);
            } else if (!object.kind && word(0) == "CREATE" && index != words.end() && index + 1 != words.end()) {
                if (Exists(transaction, "select 1 from rdb$indices where rdb$index_name = ?", index[1]))
                    continue;
                report.created.push_back("index " + index[1]);
            }
            TDBStatement(transaction, statement).Execute();
        } catch (const StatementError& e) {
            TCharset charset;
            const std::string encoding =
                FindCharset(transaction.Connection().CharacterSet(), charset) ? charset.encoding : "UTF-8";
            throw CELogAdmin(TLogProblem::Failed, Utf8Message(msgLogNotInstalled, {location}) + "\n" +
                                                      Recode(e.LibraryMessage, encoding, "UTF-8"));
        }
    }
}

// ------------------------------------------------------------ purge

// Log ids, as closed ranges in ascending order.
using TIdRanges = std::vector<std::pair<long long, long long>>;

TIdRanges Intersection(const TIdRanges& a, const TIdRanges& b)
{
    TIdRanges both;
    for (std::size_t i = 0, j = 0; i < a.size() && j < b.size();) {
        const long long first = std::max(a[i].first, b[j].first);
        const long long last = std::min(a[i].second, b[j].second);
        if (first <= last)
            both.emplace_back(first, last);
        (a[i].second < b[j].second ? i : j)++;
    }
    return both;
}

// The log ids a target of apply has received from the source: every id up
// to its floor, and its ranges above it.
TIdRanges Received(const TLogDatabase& target, const std::string& source)
{
    TConnection connection(target.location, target.user, target.password, "UTF8");
    TDBTransaction transaction(connection, TTransactionMode::Read);
    if (!TableExists(transaction, "NORVANE$SOURCES") || !TableExists(transaction, "NORVANE$RECEIVED"))
        throw CELogAdmin(TLogProblem::NotApplied, Utf8Message(msgNoRecordKept, {target.location}));
    TDBStatement floor(transaction, "select FLOOR_ID from NORVANE$SOURCES where SOURCE_NAME = ?");
    floor.SetText(0, source, kNoCharset);
    floor.Execute();
    if (!floor.Fetch())
        throw CELogAdmin(TLogProblem::NotApplied, Utf8Message(msgReceivedNothing, {target.location, source}));
    TIdRanges ranges;
    if (!floor.IsNull(0))
        ranges.emplace_back(kLowest, floor.Integer(0));
    TDBStatement received(transaction,
                          "select FIRST_ID, LAST_ID from NORVANE$RECEIVED where SOURCE_NAME = ? order by FIRST_ID");
    received.SetText(0, source, kNoCharset);
    received.Execute();
    while (received.Fetch()) {
        const long long first = received.Integer(0), last = received.Integer(1);
        if (!ranges.empty() && first <= ranges.back().second + 1)
            ranges.back().second = std::max(ranges.back().second, last);
        else
            ranges.emplace_back(first, last);
    }
    return ranges;
}

// The message (%1 the database, %2 the log table it lacks) says what
// follows for the command.
void CheckLogThere(TDBTransaction& transaction, const std::string& location, const std::string& message)
{
    for (const std::string& table : kLogTables)
        if (!TableExists(transaction, table))
            throw CELogAdmin(TLogProblem::NoLog, Utf8Message(message, {location, table}));
}

}  // namespace

// ------------------------------------------------------------ install

TInstallReport InstallLog(const TLogDatabase& database)
{
    TInstallReport report;
    {
        // The log is made in the database's own character set: the
        // triggers text keeps names and values in variables of it.
        TConnection probe(database.location, database.user, database.password, "NONE");
        TDBTransaction transaction(probe, TTransactionMode::Read);
        report.charset = DatabaseCharset(transaction);
    }
    TConnection connection(database.location, database.user, database.password, report.charset);
    TDBTransaction transaction(connection, TTransactionMode::Write);
    CheckRights(transaction, database.location, msgRightsInstall);
    const std::vector<std::string> before = FullyLogged(transaction);

    RunText(transaction, BuiltinTexts::kInstallLogTables, report, database.location);
    // A log of entries whose generator was made just now, or stands below
    // them, would give a new entry an id taken, and a user's write would
    // fail on the log's key. (A table made in this transaction is empty,
    // and no query sees it before the commit.)
    if (std::find(report.created.begin(), report.created.end(), "table IBE$LOG_TABLES") == report.created.end()) {
        TDBStatement highest(transaction, "select max(id), gen_id(ibe$log_tables_gen, 0) from ibe$log_tables");
        highest.Execute();
        if (highest.Fetch() && !highest.IsNull(0) && highest.Integer(0) > highest.Integer(1)) {
            report.generatorRaisedTo = highest.Integer(0);
            TDBStatement(transaction,
                         "alter sequence ibe$log_tables_gen restart with " + std::to_string(report.generatorRaisedTo))
                .Execute();
        }
    }
    RunText(transaction, BuiltinTexts::kInstallLogTriggers, report, database.location);

    // The triggers text makes or replaces every trigger it wants in this
    // transaction; a log trigger it left alone belongs to a table it no
    // longer logs.
    const std::string stale = std::string(kLogTrigger) + " and t.rdb$record_version <> current_transaction";
    report.droppedTriggers =
        Column(transaction, "select " + Utf8Name("t.rdb$trigger_name") + " from rdb$triggers t where " + stale +
                                " order by t.rdb$trigger_name");
    if (!report.droppedTriggers.empty()) {
        const bool dialect3 = connection.Dialect() >= 3;
        TDBStatement(transaction, "execute block as declare name varchar(63) character set unicode_fss; begin\n"
                                  "    for select trim(t.rdb$trigger_name) from rdb$triggers t where " +
                                      stale + " into :name do\n        execute statement 'drop trigger ' || " +
                                      (dialect3 ? "'\"' || replace(name, '\"', '\"\"') || '\"'" : "name") + ";\nend")
            .Execute();
    }
    report.logged = FullyLogged(transaction);
    for (const std::string& table : report.logged)
        if (std::find(before.begin(), before.end(), table) == before.end())
            report.newlyLogged.push_back(table);
    try {
        transaction.Commit();
    } catch (const TranError& e) {
        throw CELogAdmin(TLogProblem::Failed, Utf8Message(msgLogNotInstalled, {database.location}) + "\n" +
                                                  Recode(e.Message, "CP1251", "UTF-8"));
    }
    return report;
}

// ------------------------------------------------------------ status

namespace {

TLogStatus ReadStatus(const TLogDatabase& database)
{
    TLogStatus status;
    TConnection connection(database.location, database.user, database.password, "UTF8");
    TDBTransaction transaction(connection, TTransactionMode::Read);
    status.dialect = connection.Dialect();
    status.charset = DatabaseCharset(transaction);
    CheckLogThere(transaction, database.location, msgNoLogStatus);

    const std::map<std::string, int> triggers = LogTriggers(transaction);
    for (const std::string& table : UserTables(transaction)) {
        const auto found = triggers.find(table);
        const int active = found == triggers.end() ? 0 : found->second;
        (active == 7 ? status.logged : active ? status.partlyLogged : status.notLogged).push_back(table);
    }

    TDBStatement entries(transaction, "select count(*), min(date_time), max(date_time) from ibe$log_tables");
    entries.Execute();
    entries.Fetch();
    status.entries = entries.Integer(0);
    status.oldest = entries.Text(1).substr(0, 19);
    status.newest = entries.Text(2).substr(0, 19);

    auto hasColumn = [&](const std::string& table, const std::string& column) {
        return Exists(transaction,
                      "select 1 from rdb$relation_fields where rdb$relation_name = ? and rdb$field_name = '" + column +
                          "'",
                      table);
    };
    if (hasColumn("IBE$LOG_FIELDS", "INCOMPLETE") && hasColumn("IBE$LOG_KEYS", "INCOMPLETE"))
        status.incomplete =
            std::stoll(ValueOf(transaction, "select count(*) from (select log_tables_id from ibe$log_fields where "
                                            "incomplete = 'Y' union select log_tables_id from ibe$log_keys where "
                                            "incomplete = 'Y')"));

    // The entries' table was counted above, in the same snapshot.
    for (const std::string& table : kLogTables)
        status.tables.push_back({table,
                                 table == kLogTables[0]
                                     ? status.entries
                                     : std::stoll(ValueOf(transaction, "select count(*) from " + table)),
                                 -1});
    try {
        const TTableStatistics statistics =
            ReadTableStatistics(database.location, database.user, database.password, kLogTables);
        for (TLogStatus::TTableSize& size : status.tables)
            for (const TTablePages& pages : statistics.tables)
                if (pages.table == size.table)
                    size.bytes = pages.pages * statistics.pageSize;
    } catch (const Exception& e) {
        // The database layer words its errors in Windows-1251.
        status.sizeProblem = Recode(e.Message, "CP1251", "UTF-8");
    }
    return status;
}

}  // namespace

TLogStatus ReadLogStatus(const TLogDatabase& database)
{
    try {
        return ReadStatus(database);
    } catch (const StatementError& e) {
        // The log's tables are granted to everyone unless someone revoked it.
        if (e.LibraryMessage.find("no permission") == std::string::npos)
            throw;
        throw CELogAdmin(TLogProblem::NoRights, Utf8Message(msgLogUnreadable, {database.location, e.LibraryMessage}));
    }
}

// ------------------------------------------------------------ purge

TPurgeReport PurgeLog(const TLogDatabase& database, const TPurgeRequest& request, const TPurgeProgress& progress)
{
    TIdRanges ranges = {{kLowest, kHighest}};
    const std::string source =
        request.sourceName.empty() ? NorvaneImpl::DefaultSourceName(database.location) : request.sourceName;
    TConnection connection(database.location, database.user, database.password, "UTF8");
    {
        TDBTransaction transaction(connection, TTransactionMode::Read);
        CheckRights(transaction, database.location, msgRightsPurge);
        CheckLogThere(transaction, database.location, msgNoLogPurge);
    }
    // Each target's record is read before anything is deleted, so that one
    // that cannot be read leaves the log as it was.
    for (const TLogDatabase& target : request.appliedTo)
        ranges = Intersection(ranges, Received(target, source));

    const std::string before = IsoDateTime(request.before);
    const long long batch = std::max(1LL, request.batch);
    TPurgeReport report;
    long long total = 0;
    {
        TDBTransaction transaction(connection, TTransactionMode::Read);
        // A query's statement is freed once its rows have been read: each
        // count prepares its own.
        auto countIn = [&](long long first, long long last) {
            TDBStatement count(transaction,
                               "select count(*) from ibe$log_tables where id between ? and ? and date_time < ?");
            count.SetInteger(0, first);
            count.SetInteger(1, last);
            count.SetText(2, before, kNoCharset);
            count.Execute();
            count.Fetch();
            return count.Integer(0);
        };
        for (const auto& [first, last] : ranges)
            total += countIn(first, last);
        if (!request.appliedTo.empty())
            report.kept = countIn(kLowest, kHighest) - total;
    }

    // Batches of ids: from the first id of a range, as many entries of the
    // period as a batch takes, up to the id of the last of them.
    for (const auto& [first, last] : ranges) {
        for (long long from = first; from <= last && report.entries < total;) {
            TDBTransaction transaction(connection, TTransactionMode::Write);
            long long to = last;
            {
                TDBStatement end(transaction, "select first 1 skip " + std::to_string(batch - 1) +
                                                  " id from ibe$log_tables where id between ? and ? and date_time < ?"
                                                  " order by id");
                end.SetInteger(0, from);
                end.SetInteger(1, last);
                end.SetText(2, before, kNoCharset);
                end.Execute();
                if (end.Fetch())
                    to = end.Integer(0);
            }
            long long* counts[] = {&report.fields, &report.keys};
            const char* values[] = {"ibe$log_fields", "ibe$log_keys"};
            for (int i = 0; i < 2; ++i) {
                TDBStatement remove(transaction, std::string("delete from ") + values[i] +
                                                     " v where v.log_tables_id between ? and ? and exists (select 1 "
                                                     "from ibe$log_tables t where t.id = v.log_tables_id and "
                                                     "t.date_time < ?)");
                remove.SetInteger(0, from);
                remove.SetInteger(1, to);
                remove.SetText(2, before, kNoCharset);
                remove.Execute();
                *counts[i] += remove.Rows();
            }
            TDBStatement entries(transaction, "delete from ibe$log_tables where id between ? and ? and date_time < ?");
            entries.SetInteger(0, from);
            entries.SetInteger(1, to);
            entries.SetText(2, before, kNoCharset);
            entries.Execute();
            const long long deleted = entries.Rows();
            transaction.Commit();
            report.entries += deleted;
            if (progress)
                progress(report.entries, total);
            if (to == last)
                break;
            from = to + 1;
        }
    }
    return report;
}

// ------------------------------------------------------------ remove

TRemoveReport RemoveLog(const TLogDatabase& database, bool dropData)
{
    TRemoveReport report;
    TConnection connection(database.location, database.user, database.password, "UTF8");
    TDBTransaction transaction(connection, TTransactionMode::Write);
    CheckRights(transaction, database.location, msgRightsRemove);
    const bool dialect3 = connection.Dialect() >= 3;
    report.droppedTriggers =
        Column(transaction, "select " + Utf8Name("t.rdb$trigger_name") + " from rdb$triggers t where " + kLogTrigger +
                                " order by t.rdb$trigger_name");
    for (const std::string& trigger : report.droppedTriggers)
        TDBStatement(transaction, "drop trigger " + NorvaneImpl::SQLName(trigger, dialect3)).Execute();
    // The triggers' code goes with them; the data with --drop-data.
    std::vector<TTextObject> objects = TextObjects();
    std::reverse(objects.begin(), objects.end());
    std::stable_partition(objects.begin(), objects.end(), [](const TTextObject& o) { return !o.kind->data; });
    for (const TTextObject& object : objects) {
        if ((object.kind->data && !dropData) || !Exists(transaction, object.kind->exists, object.name))
            continue;
        TDBStatement(transaction,
                     std::string("drop ") + object.kind->name + " " + NorvaneImpl::SQLName(object.name, dialect3))
            .Execute();
        report.droppedObjects.push_back(std::string(object.kind->name) + " " + object.name);
    }
    if (report.droppedTriggers.empty() && report.droppedObjects.empty()) {
        const bool tables = TableExists(transaction, kLogTables[0]);
        throw CELogAdmin(TLogProblem::NoLog,
                         Utf8Message(tables ? msgNoLogRemoveTables : msgNoLogRemove, {database.location}));
    }
    transaction.Commit();
    return report;
}

// ------------------------------------------------------------ in words

namespace {

// "Tables logged (2): A, B", or "Tables logged: none", and a line feed; the
// heading is a message of the catalogue.
std::string Listed(const std::string& heading, const std::vector<std::string>& items)
{
    const std::string what = Utf8Message(heading);
    if (items.empty())
        return what + ": " + Utf8Message(msgNone) + "\n";
    std::string text = what + " (" + std::to_string(items.size()) + "): ";
    for (std::size_t i = 0; i < items.size(); ++i)
        text += (i ? ", " : "") + items[i];
    return text + "\n";
}

// The objects of a report ("table IBE$LOG_KEYS", "index ...") in words.
std::vector<std::string> InWords(const std::vector<std::string>& objects)
{
    static const std::pair<const char*, const std::string*> kinds[] = {
        {"table", &msgObjectTable},         {"generator", &msgObjectGenerator}, {"function", &msgObjectFunction},
        {"procedure", &msgObjectProcedure}, {"index", &msgObjectIndex},
    };
    std::vector<std::string> words;
    for (const std::string& object : objects) {
        const std::size_t blank = object.find(' ');
        std::string said = object;
        for (const auto& [kind, message] : kinds)
            if (blank != std::string::npos && object.compare(0, blank, kind) == 0)
                said = Utf8Message(*message, {object.substr(blank + 1)});
        words.push_back(said);
    }
    return words;
}

// 1234567 as "1,234,567".
std::string Count(long long n)
{
    std::string digits = std::to_string(n < 0 ? -n : n);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return (n < 0 ? "-" : "") + digits;
}

std::string Bytes(long long bytes)
{
    char text[32];
    if (bytes < 1024 * 1024) {
        std::snprintf(text, sizeof text, "%lld", (bytes + 1023) / 1024);
        return Utf8Message(msgSizeKiB, {text});
    }
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return Utf8Message(msgSizeMiB, {text});
}

}  // namespace

std::string InstallText(const TInstallReport& report, const std::string& location)
{
    std::string text =
        Utf8Message(report.created.empty() ? msgLogUpdated : msgLogInstalled, {location, report.charset}) + "\n";
    if (!report.created.empty())
        text += Listed(msgListCreated, InWords(report.created));
    if (!report.addedColumns.empty())
        text += Listed(msgListColumnsAdded, report.addedColumns);
    text += Listed(msgListLogged, report.logged);
    if (!report.newlyLogged.empty() && report.newlyLogged.size() != report.logged.size())
        text += Listed(msgListNewlyLogged, report.newlyLogged);
    if (!report.droppedTriggers.empty())
        text += Listed(msgListStaleTriggers, report.droppedTriggers);
    if (report.generatorRaisedTo > 0)
        text += Utf8Message(msgGeneratorRaised, {std::to_string(report.generatorRaisedTo)}) + "\n";
    return text;
}

std::string StatusText(const TLogStatus& status, const std::string& location)
{
    std::string text = Utf8Message(msgLogStatusOf, {location, status.charset, std::to_string(status.dialect)}) + "\n" +
                       Listed(msgListLogged, status.logged);
    if (!status.partlyLogged.empty())
        text += Listed(msgListPartlyLogged, status.partlyLogged);
    text += Listed(msgListNotLogged, status.notLogged);
    text += (status.entries ? Utf8Message(msgStatusEntriesFrom, {Count(status.entries), status.oldest, status.newest})
                            : Utf8Message(msgStatusEntries, {Count(status.entries)})) +
            "\n";
    text += Utf8Message(msgStatusIncomplete,
                        {status.incomplete < 0 ? Utf8Message(msgIncompleteNotMarked) : Count(status.incomplete)}) +
            "\n";
    std::string sizes;
    for (const TLogStatus::TTableSize& table : status.tables)
        sizes += std::string(sizes.empty() ? "" : "; ") + Utf8Message(msgTableRows, {table.table, Count(table.rows)}) +
                 (table.bytes >= 0 ? ", " + Bytes(table.bytes) : std::string());
    text += Utf8Message(msgStatusLogTables, {sizes}) + "\n";
    if (!status.sizeProblem.empty())
        text += Utf8Message(msgSizeUnknown, {status.sizeProblem}) + "\n";
    return text;
}

std::string PurgeText(const TPurgeReport& report, TDateTime before, const std::string& location)
{
    std::string text = Utf8Message(msgPurged, {Count(report.entries), IsoDate(before), location,
                                               Count(report.keys), Count(report.fields)}) +
                       "\n";
    if (report.kept > 0)
        text += Utf8Message(msgPurgeKept, {Count(report.kept)}) + "\n";
    return text;
}

std::string RemoveText(const TRemoveReport& report, bool dropData, const std::string& location)
{
    std::string text =
        Utf8Message(msgLogRemoved, {location}) + "\n" + Listed(msgListTriggersDropped, report.droppedTriggers);
    if (!report.droppedObjects.empty())
        text += Listed(dropData ? msgListDroppedData : msgListDropped, InWords(report.droppedObjects));
    if (!dropData)
        text += Utf8Message(msgLogDataKept) + "\n";
    return text;
}

// ------------------------------------------------------------ failures

TLogFailure DescribeLogFailure(std::exception_ptr error)
{
    TLogFailure failure;
    // The database layer words its errors in Windows-1251.
    const auto fromCp1251 = [](const std::string& text) { return Recode(text, "CP1251", "UTF-8"); };
    try {
        std::rethrow_exception(error);
    } catch (const CELogAdmin& e) {
        failure.text = e.Message;
        switch (e.Problem) {
        case TLogProblem::NoLog: failure.exitStatus = 20; break;
        case TLogProblem::NoRights: failure.exitStatus = 21; break;
        case TLogProblem::Failed: failure.exitStatus = 22; break;
        case TLogProblem::NotApplied: failure.exitStatus = 23; break;
        }
        return failure;
    } catch (const ConnectError& e) {
        failure.text = fromCp1251(msgNoConnect + "\n" + e.Message);
        failure.exitStatus = 3;
    } catch (const ConnectionLostError& e) {
        failure.text = fromCp1251(e.Message);
        failure.exitStatus = 3;
    } catch (const Exception& e) {
        failure.text = fromCp1251(e.Message);
    } catch (const std::exception& e) {
        failure.text = e.what();
    } catch (...) {
        failure.text = Utf8Message(msgUnforeseen);
    }
    if (const int signal = TSignalWatch::Caught()) {
        failure.text = Utf8Message(msgLogInterrupted);
        failure.exitStatus = 128 + signal;
        failure.interrupted = true;
    }
    return failure;
}

}  // namespace Norvane
