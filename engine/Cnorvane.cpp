#include "engine/Cnorvane.h"

#include "app/core/Resfuncs.h"
#include "db/Tdbmanager.h"
#include "engine/Cstringaccumulator.h"
#include "locale/Messages.h"

#include <algorithm>
#include <unordered_map>

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
constexpr int kXMLTemplate = 10130;

TField& Column(TDataSet& data, const char* name)
{
    TField* field = data.FindField(name);
    if (!field)
        throw Exception(std::string("Field '") + name + "' not found");
    return *field;
}

std::unique_ptr<CFieldCast> Snapshot(const TField& field)
{
    bool isNull = field.IsNull();
    return std::make_unique<CFieldCast>(isNull, isNull ? std::string() : field.AsString());
}

TParams PeriodParams(TDateTime periodBegin, TDateTime periodEnd)
{
    TParams params;
    params.CreateParam(ftDateTime, "BEGD").SetAsDateTime(periodBegin);
    params.CreateParam(ftDateTime, "ENDD").SetAsDateTime(periodEnd);
    return params;
}

}  // namespace

CNorvane::CNorvane(TProgressEvent onProgress, TShowMessage showMessage)
    : document(XMLutil::CreateParser()), onProgress(std::move(onProgress)), showMessage(std::move(showMessage))
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
    TPeriodLog(const TParams& period, bool quoteNames) : period(period), quoteNames(quoteNames) {}

    TFieldList TakeKeys(long long logId) { return keys.Take(*this, logId); }
    TFieldList TakeFields(long long logId) { return fields.Take(*this, logId); }

private:
    struct TRow {
        long long logId;
        unsigned long long place;
        std::unique_ptr<const CFieldValue> value;
    };

    // The rows of one of the two queries, in log id and storage order.
    struct TValues {
        TValues(int query, const char* nameColumn, const char* newColumn, const char* oldColumn)
            : query(query), nameColumn(nameColumn), newColumn(newColumn), oldColumn(oldColumn)
        {
        }

        int query;
        const char* nameColumn;
        const char* newColumn;
        const char* oldColumn;  // nullptr: the query has no old value
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

    void Read(TValues& values)
    {
        if (!columnsRead)
            ReadColumnTypes();
        std::unique_ptr<TDataSet> data =
            TDBManager::GetInstance().OpenQuery(LoadResourceText(values.query, "LOG"), &period);
        values.read = true;
        if (data->Eof())
            return;
        TField& id = Column(*data, "LOG_TABLES_ID");
        TField& dbKey = Column(*data, "DB_KEY");
        TField& table = Column(*data, "TABLE_NAME");
        TField& name = Column(*data, values.nameColumn);
        TField& newValue = Column(*data, values.newColumn);
        TField* oldValue = values.oldColumn ? &Column(*data, values.oldColumn) : nullptr;
        for (; !data->Eof(); data->Next()) {
            // A null name or table matches no column, as in a join.
            if (name.IsNull() || table.IsNull())
                continue;
            const std::string columnName = name.AsString();
            const auto type = columnTypes.find(ColumnKey(table.AsString(), columnName));
            if (type == columnTypes.end())
                continue;
            values.rows.push_back({id.AsInteger(), Place(dbKey.AsString()),
                                   std::make_unique<CFieldValue>(type->second.code, Snapshot(newValue),
                                                                 oldValue ? Snapshot(*oldValue) : nullptr,
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
    TValues keys{kPeriodKeysQuery, "KEY_FIELD", "KEY_VALUE", nullptr};
    TValues fields{kPeriodFieldsQuery, "FIELD_NAME", "NEW_VALUE", "OLD_VALUE"};
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
        return StringAccumulator::Accumulate(true, first, last, statement, ";\n\n");
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
