#include "engine/Cnorvane.h"

#include "app/core/Resfuncs.h"
#include "db/Tdbmanager.h"
#include "engine/Cstringaccumulator.h"
#include "locale/Messages.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

using NorvaneImpl::CFieldCast;
using NorvaneImpl::CFieldValue;
using NorvaneImpl::CLogRecord;
using NorvaneImpl::TFieldList;

namespace Norvane {

namespace {

// Built-in query texts, by their numbers among the "LOG" texts: the log of
// the period, the fields and the keys of all its entries, and the columns of
// the tables it names.
constexpr int kLogQuery = 10100;
constexpr int kPeriodFieldsQuery = 10103;
constexpr int kPeriodKeysQuery = 10104;
constexpr int kPeriodColumnsQuery = 10105;
constexpr int kLogColumnsQuery = 10106;
constexpr int kXMLTemplate = 10130;

TField& Column(TDataSet& data, const char* name)
{
    TField* field = data.FindField(name);
    if (!field)
        throw Exception(std::string("Field '") + name + "' not found");
    return *field;
}

// A logged value from the first of its columns that holds it; null when
// none does.
std::unique_ptr<CFieldCast> Snapshot(const std::vector<TField*>& columns)
{
    for (const TField* field : columns)
        if (!field->IsNull())
            return std::make_unique<CFieldCast>(false, field->AsString());
    return std::make_unique<CFieldCast>(true, std::string());
}

TParams PeriodParams(TDateTime periodBegin, TDateTime periodEnd)
{
    TParams params;
    params.CreateParam(ftDateTime, "BEGD").SetAsDateTime(periodBegin);
    params.CreateParam(ftDateTime, "ENDD").SetAsDateTime(periodEnd);
    return params;
}

// The script with its statements between the switching off and on of the
// target's triggers on the given tables. isql needs another terminator for
// the execute blocks. The blocks find the triggers on the target when the
// script runs there, and quote their names only where the database's
// dialect has quoted names.
std::string WithTriggersDisabled(const std::string& statements, const std::vector<std::string>& tables)
{
    std::string list;
    for (const std::string& table : tables)
        list += (list.empty() ? "" : ", ") + NorvaneImpl::Quoted(table);
    const std::string name =
        "iif((select mon$sql_dialect from mon$database) > 1, '\"' || replace(name, '\"', '\"\"') || '\"', name)";
    return "/* The target's own triggers on the tables below are switched off while the statements run,\n"
           "   and switched on again at the end. */\n"
           "set term ^ ;\n"
           "\n"
           "execute block\n"
           "as\n"
           "    declare name varchar(63);\n"
           "    declare n integer = 0;\n"
           "begin\n"
           "    for select trim(trailing from t.rdb$trigger_name)\n"
           "        from rdb$triggers t\n"
           "        where t.rdb$relation_name in (" + list + ")\n"
           "          and coalesce(t.rdb$system_flag, 0) = 0\n"
           "          and coalesce(t.rdb$trigger_inactive, 0) = 0\n"
           "        order by t.rdb$trigger_name\n"
           "        into :name\n"
           "    do\n"
           "    begin\n"
           "        execute statement 'alter trigger ' || " + name + " || ' inactive';\n"
           "        n = n + 1;\n"
           "        rdb$set_context('USER_SESSION', 'NORVANE_TRIGGER_' || n, name);\n"
           "    end\n"
           "    rdb$set_context('USER_SESSION', 'NORVANE_TRIGGERS', n);\n"
           "end^\n"
           "\n"
           "set term ; ^\n"
           "\n"
           "commit;\n"
           "\n" +
           statements +
           "commit;\n"
           "\n"
           "set term ^ ;\n"
           "\n"
           "execute block\n"
           "as\n"
           "    declare name varchar(63);\n"
           "    declare n integer;\n"
           "begin\n"
           "    n = cast(coalesce(rdb$get_context('USER_SESSION', 'NORVANE_TRIGGERS'), '0') as integer);\n"
           "    while (n > 0) do\n"
           "    begin\n"
           "        name = rdb$get_context('USER_SESSION', 'NORVANE_TRIGGER_' || n);\n"
           "        execute statement 'alter trigger ' || " + name + " || ' active';\n"
           "        rdb$set_context('USER_SESSION', 'NORVANE_TRIGGER_' || n, null);\n"
           "        n = n - 1;\n"
           "    end\n"
           "    rdb$set_context('USER_SESSION', 'NORVANE_TRIGGERS', null);\n"
           "end^\n"
           "\n"
           "set term ; ^\n"
           "\n"
           "commit;\n";
}

}  // namespace

CEIncompleteValue::CEIncompleteValue(long long logId, const std::string& tableName, const std::string& fieldName)
    : std::range_error("Log entry " + std::to_string(logId) + ", table '" + tableName + "', field '" + fieldName +
                       "': the value was not logged completely, so no script can repeat or undo this change")
{
}

CNorvane::CNorvane(TProgressEvent aOnProgress, TShowMessage aShowMessage)
    : document(XMLutil::CreateParser()), onProgress(std::move(aOnProgress)), showMessage(std::move(aShowMessage))
{
}

CNorvane::~CNorvane()
{
    try {
        Clear();
    } catch (...) {
        // A failed roll-back at the end changes nothing: the transaction never
        // committed, and the connection goes with the process.
    }
}

void CNorvane::Clear()
{
    xmlError.clear();
    logRead = false;
    TDBManager& db = TDBManager::GetInstance();
    periodLog.reset();
    if (db.IsTransactionActive())
        db.Rollback();
    records.clear();
}

void CNorvane::ReadLog(const std::string& databaseFile, const std::string& userName, const std::string& password,
                       TDateTime periodBegin, TDateTime periodEnd, bool includeComments,
                       const std::string& characterSet)
{
    const TCharset wanted = CharsetOf(characterSet);
    Clear();
    charset = wanted;
    TDBManager& db = TDBManager::GetInstance();
    db.Connect(databaseFile, userName, password, charset.name);
    db.StartTransaction();

    const TParams period = PeriodParams(periodBegin, periodEnd);
    std::unique_ptr<TDataSet> log = db.OpenQuery(LoadResourceText(kLogQuery, "LOG"), &period);
    // The keys and the fields of the period come with a few more queries,
    // run when the first entry asks for them.
    // Names that need quoting are quoted in dialect 3 only: dialect 1 has no
    // quoted identifiers.
    const bool quoteNames = db.Dialect() >= 3;
    periodLog = std::make_unique<TPeriodLog>(period, quoteNames);

    // Fetch every row first, so the progress handler knows the total from
    // its first call on.
    log->Last();
    int total = log->RecordCount();
    log->First();
    int done = 0;

    TField& operation = Column(*log, "OPERATION");
    TField& tableName = Column(*log, "TABLE_NAME");
    TField& id = Column(*log, "ID");
    TField& dateTime = Column(*log, "DATE_TIME");
    TField& user = Column(*log, "USER_NAME");
    while (!log->Eof()) {
        std::string letter = operation.AsString();
        if (letter.empty())
            throw Exception("Range check error");
        long long logId = id.AsInteger();
        TFieldList keys = ReadKeys(logId);
        TFieldList fields = ReadFields(logId);
        records.push_back(std::make_unique<CLogRecord>(letter[0], includeComments, tableName.AsString(),
                                                       user.AsString(), dateTime.AsString(), std::move(keys),
                                                       std::move(fields), quoteNames));
        if (onProgress) {
            ++done;
            onProgress(total, done);
        }
        log->Next();
    }
    periodLog.reset();
    BuildXMLLog();
    logRead = true;
}

// The keys and the fields of all entries of a period, each read by one query
// when the first entry asks for them, and handed out entry by entry as the
// run walks the log in ascending log id. A log without entries in the period
// never runs them, and a failure comes where the reading of the first
// entry's own keys or fields would have failed.
//
// An entry's values are those whose column its table has, with the column's
// type code: the log's rows are matched here with the columns of the tables
// the period names, which a third query reads, as an inner join of the log
// with RDB$RELATION_FIELDS and RDB$FIELDS on the table and column names
// would match them (names equal up to trailing blanks). Joining in the
// server would cost two index lookups in the system tables for every row.
//
// Each entry gets its rows in the order in which they are stored, which is
// the order in which a query of that entry alone returns them. The rows are
// put in that order here rather than by the server, which would have to sort
// every row at its full declared width: a row's place is its record number,
// which its db_key holds as a high byte (the third) and four low bytes (the
// fifth to the eighth), least significant first, as the server lays them out.
class TPeriodLog {
public:
    TPeriodLog(const TParams& aPeriod, bool aQuoteNames) : period(aPeriod), quoteNames(aQuoteNames) {}

    TFieldList TakeKeys(long long logId) { return keys.Take(*this, logId); }
    TFieldList TakeFields(long long logId) { return fields.Take(*this, logId); }

private:
    struct TRow {
        long long logId;
        unsigned long long place;
        std::unique_ptr<const CFieldValue> value;
    };

    // The rows of one of the two queries, in log id and storage order.
    //
    // A value lies in the first of its columns that is not null: the text
    // column the query names, then, in a log made by scripts/demo's
    // triggers, the text BLOB and the binary BLOB that hold what the text
    // column cannot. A log made earlier, with the text column alone, is read
    // as before: the query gets the other columns, and INCOMPLETE, only
    // where the log table has them.
    struct TValues {
        TValues(int aQuery, const char* aTable, const char* aAlias, const char* aNameColumn,
                std::vector<const char*> aNewColumns, std::vector<const char*> aOldColumns)
            : query(aQuery), table(aTable), alias(aAlias), nameColumn(aNameColumn), newColumns(std::move(aNewColumns)),
              oldColumns(std::move(aOldColumns))
        {
        }

        int query;
        const char* table;  // the log table and its alias in the query
        const char* alias;
        const char* nameColumn;
        std::vector<const char*> newColumns;
        std::vector<const char*> oldColumns;  // empty: the query has no old value
        bool read = false;
        std::vector<TRow> rows;
        size_t next = 0;

        TFieldList Take(TPeriodLog& log, long long logId)
        {
            if (!read)
                log.Read(*this);
            TFieldList list;
            for (; next < rows.size() && rows[next].logId <= logId; ++next)
                if (rows[next].logId == logId)
                    list.push_back(std::move(rows[next].value));
            return list;
        }
    };

    // A name as SQL compares it: without its trailing blanks.
    static std::string Trimmed(std::string name)
    {
        name.erase(name.find_last_not_of(' ') + 1);
        return name;
    }
    static std::string ColumnKey(const std::string& table, const std::string& column)
    {
        return Trimmed(table) + '\0' + Trimmed(column);
    }

    static unsigned long long Place(const std::string& dbKey)
    {
        if (dbKey.size() != 8)
            throw Exception("Unexpected RDB$DB_KEY of " + std::to_string(dbKey.size()) + " bytes");
        auto byte = [&dbKey](size_t i) {
            return static_cast<unsigned long long>(static_cast<unsigned char>(dbKey[i]));
        };
        return byte(2) << 32 | byte(7) << 24 | byte(6) << 16 | byte(5) << 8 | byte(4);
    }

    // The first column is in every log; the others only where the log has them.
    static std::vector<TField*> ValueColumns(TDataSet& data, const std::vector<const char*>& names)
    {
        std::vector<TField*> columns;
        for (const char* name : names) {
            TField* field = columns.empty() ? &Column(data, name) : data.FindField(name);
            if (field)
                columns.push_back(field);
        }
        return columns;
    }

    void ReadColumnTypes()
    {
        std::unique_ptr<TDataSet> data =
            TDBManager::GetInstance().OpenQuery(LoadResourceText(kPeriodColumnsQuery, "LOG"), &period);
        columnsRead = true;
        if (data->Eof())
            return;
        TField& table = Column(*data, "RDB$RELATION_NAME");
        TField& column = Column(*data, "RDB$FIELD_NAME");
        TField& type = Column(*data, "RDB$FIELD_TYPE");
        TField& subType = Column(*data, "RDB$FIELD_SUB_TYPE");
        TField& dimensions = Column(*data, "RDB$DIMENSIONS");
        for (; !data->Eof(); data->Next()) {
            // An array column's type is that of its elements; its values are
            // the array's id, which has no literal.
            const int code = dimensions.AsInteger() > 0 ? kArrayType : static_cast<int>(type.AsInteger() & 0xFF);
            columnTypes.emplace(ColumnKey(table.AsString(), column.AsString()),
                                TColumnType{code, static_cast<int>(subType.AsInteger())});
        }
    }

    // The columns the two log tables have.
    void ReadLogColumns()
    {
        std::unique_ptr<TDataSet> data = TDBManager::GetInstance().OpenQuery(LoadResourceText(kLogColumnsQuery, "LOG"));
        if (data->Eof())
            return;
        TField& table = Column(*data, "RDB$RELATION_NAME");
        TField& column = Column(*data, "RDB$FIELD_NAME");
        for (; !data->Eof(); data->Next())
            logColumns.insert(ColumnKey(table.AsString(), column.AsString()));
    }

    // The query of the values with the columns beyond its own that the log
    // table has, added at the end of its select list.
    std::string ValuesQuery(const TValues& values) const
    {
        std::string sql = LoadResourceText(values.query, "LOG");
        std::vector<const char*> optional(values.newColumns.begin() + 1, values.newColumns.end());
        if (!values.oldColumns.empty())
            optional.insert(optional.end(), values.oldColumns.begin() + 1, values.oldColumns.end());
        optional.push_back("INCOMPLETE");
        std::string more;
        for (const char* column : optional)
            if (logColumns.count(ColumnKey(values.table, column)))
                more += std::string(", ") + values.alias + "." + column;
        std::size_t from = sql.find("\nfrom");
        if (more.empty() || from == std::string::npos)
            return sql;
        if (from > 0 && sql[from - 1] == '\r')
            --from;
        return sql.insert(from, more);
    }

    void Read(TValues& values)
    {
        if (!columnsRead) {
            ReadColumnTypes();
            ReadLogColumns();
        }
        std::unique_ptr<TDataSet> data = TDBManager::GetInstance().OpenQuery(ValuesQuery(values), &period);
        values.read = true;
        if (data->Eof())
            return;
        TField& id = Column(*data, "LOG_TABLES_ID");
        TField& dbKey = Column(*data, "DB_KEY");
        TField& table = Column(*data, "TABLE_NAME");
        TField& name = Column(*data, values.nameColumn);
        const std::vector<TField*> newValue = ValueColumns(*data, values.newColumns);
        const std::vector<TField*> oldValue = ValueColumns(*data, values.oldColumns);
        const TField* incomplete = data->FindField("INCOMPLETE");
        for (; !data->Eof(); data->Next()) {
            // A null name or table matches no column, as in a join.
            if (name.IsNull() || table.IsNull())
                continue;
            const std::string columnName = name.AsString();
            const auto type = columnTypes.find(ColumnKey(table.AsString(), columnName));
            if (type == columnTypes.end())
                continue;
            if (incomplete && !incomplete->IsNull())
                throw CEIncompleteValue(id.AsInteger(), Trimmed(table.AsString()), columnName);
            values.rows.push_back({id.AsInteger(), Place(dbKey.AsString()),
                                   std::make_unique<CFieldValue>(type->second.code, Snapshot(newValue),
                                                                 oldValue.empty() ? nullptr : Snapshot(oldValue),
                                                                 columnName, type->second.subType, quoteNames)});
        }
        std::sort(values.rows.begin(), values.rows.end(), [](const TRow& a, const TRow& b) {
            return a.logId != b.logId ? a.logId < b.logId : a.place < b.place;
        });
    }

    struct TColumnType {
        int code;
        int subType;
    };
    // The code of an array's id, given to array columns.
    static constexpr int kArrayType = 9;

    const TParams period;
    const bool quoteNames;
    bool columnsRead = false;
    std::unordered_map<std::string, TColumnType> columnTypes;  // by ColumnKey
    std::unordered_set<std::string> logColumns;                // by ColumnKey
    TValues keys{kPeriodKeysQuery, "IBE$LOG_KEYS", "lk", "KEY_FIELD", {"KEY_VALUE"}, {}};
    TValues fields{kPeriodFieldsQuery, "IBE$LOG_FIELDS", "lf", "FIELD_NAME", {"NEW_VALUE", "NEW_TEXT", "NEW_BYTES"},
                   {"OLD_VALUE", "OLD_TEXT", "OLD_BYTES"}};
};

TFieldList CNorvane::ReadKeys(long long logId)
{
    return periodLog->TakeKeys(logId);
}

TFieldList CNorvane::ReadFields(long long logId)
{
    return periodLog->TakeFields(logId);
}

void CNorvane::BuildXMLLog()
{
    try {
        // The template declares Windows-1251; another run's log declares the
        // encoding of its own character set.
        std::string xmlTemplate = LoadResourceText(kXMLTemplate, "XML");
        if (charset.name != kDefaultCharset) {
            const std::string declared = "encoding=\"Windows-1251\"";
            const size_t at = xmlTemplate.find(declared);
            if (at != std::string::npos && at < xmlTemplate.find("?>"))
                xmlTemplate.replace(at, declared.size(), "encoding=\"" + charset.encoding + "\"");
        }
        document->SetTextEncoding(charset.encoding);
        XMLutil::LoadFromText(xmlTemplate, *document);
        for (const auto& record : records)
            record->AddXMLElement(*document);
    } catch (const XMLutil::CEXMLproblem& e) {
        xmlError = std::string("XML log generation failed with error: ") + e.what();
    }
}

template <class Iterator>
std::string CNorvane::GetScript(Iterator first, Iterator last, std::string (CLogRecord::*statement)() const)
{
    NorvaneImpl::TScriptCharset scriptCharset(charset.name, charset.encoding);
    try {
        std::string script = StringAccumulator::Accumulate(true, first, last, statement, ";\n\n");
        if (!disableTriggers)
            return script;
        std::vector<std::string> tables;
        for (Iterator record = first; record != last; ++record)
            if (std::find(tables.begin(), tables.end(), (*record)->GetTableName()) == tables.end())
                tables.push_back((*record)->GetTableName());
        return WithTriggersDisabled(script, tables);
    } catch (const StringAccumulator::CEEmptyStrList&) {
        return NorvaneImpl::TScriptCharset::ProgramText(msgNoMatchedRecords);
    } catch (const NorvaneImpl::CEUnknownIBType& e) {
        if (showMessage)
            showMessage(e.what());
        return {};
    }
}

std::string CNorvane::GetReproducingScript()
{
    return GetScript(records.begin(), records.end(), &CLogRecord::GetReproducingStatement);
}

std::string CNorvane::GetUndoScript()
{
    return GetScript(records.rbegin(), records.rend(), &CLogRecord::GetUndoStatement);
}

std::string CNorvane::GetXMLLog()
{
    if (!xmlError.empty())
        return xmlError;
    return XMLutil::GetXMLText(*document);
}

void CNorvane::SaveXMLLog(const std::string& fileName)
{
    XMLutil::SaveToFile(fileName, *document);
}

}  // namespace Norvane
