#include "engine/Cnorvane.h"

#include "app/core/Resfuncs.h"
#include "db/Tdbmanager.h"
#include "engine/Cstringaccumulator.h"
#include "locale/Messages.h"

using NorvaneImpl::CFieldCast;
using NorvaneImpl::CFieldValue;
using NorvaneImpl::CLogRecord;
using NorvaneImpl::TFieldList;

namespace Norvane {

namespace {

// Built-in query texts, by their numbers among the "LOG" texts: the log of
// the period, and the fields and the keys of all its entries.
constexpr int kLogQuery = 10100;
constexpr int kPeriodFieldsQuery = 10103;
constexpr int kPeriodKeysQuery = 10104;
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
    TDBManager& db = TDBManager::GetInstance();
    periodKeys.reset();
    periodFields.reset();
    if (db.IsTransactionActive())
        db.Rollback();
    records.clear();
}

void CNorvane::ReadLog(const std::string& databaseFile, const std::string& userName, const std::string& password,
                       TDateTime periodBegin, TDateTime periodEnd, bool includeComments)
{
    Clear();
    TDBManager& db = TDBManager::GetInstance();
    db.Connect(databaseFile, userName, password);
    db.StartTransaction();

    const TParams period = PeriodParams(periodBegin, periodEnd);
    std::unique_ptr<TDataSet> log = db.OpenQuery(LoadResourceText(kLogQuery, "LOG"), &period);
    // The keys and the fields of the period come with two more queries,
    // opened when the first entry asks for them.
    periodKeys = std::make_unique<TPeriodValues>(kPeriodKeysQuery, period, "KEY_FIELD", "KEY_VALUE", nullptr);
    periodFields =
        std::make_unique<TPeriodValues>(kPeriodFieldsQuery, period, "FIELD_NAME", "NEW_VALUE", "OLD_VALUE");

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
                                                       std::move(fields)));
        if (onProgress) {
            ++done;
            onProgress(total, done);
        }
        log->Next();
    }
    periodKeys.reset();
    periodFields.reset();
    BuildXMLLog();
}

// The keys or the fields of all entries of a period: one query, ordered by
// the log id and, within an entry, by where each row is stored, which is the
// order in which a query of that entry alone returns them. A row's place is
// its record number, which the row's db_key holds as a high byte (the third)
// and four low bytes (the fifth to the eighth) least significant first, as
// the server lays them out; the order puts those bytes most significant
// first. The query is opened when the first entry asks, so that a log
// without entries in the period never runs it, and it fails where the
// reading of that entry's own values would have failed.
class TPeriodValues {
public:
    TPeriodValues(int query, const TParams& period, const char* nameColumn, const char* newColumn,
                  const char* oldColumn)
        : query(query), period(period), nameColumn(nameColumn), newColumn(newColumn), oldColumn(oldColumn)
    {
    }

    // The values of one entry: the name, the column's type code and the
    // new value, and the old value when the query has one (a key has none).
    // Entries are asked for in ascending log id; rows of ids that are not
    // asked for are passed over.
    TFieldList Take(long long logId)
    {
        if (!data)
            Open();
        TFieldList list;
        for (; !data->Eof(); data->Next()) {
            const long long rowId = id->AsInteger();
            if (rowId > logId)
                break;
            if (rowId < logId)
                continue;
            list.push_back(std::make_unique<CFieldValue>(static_cast<int>(type->AsInteger() & 0xFF),
                                                         Snapshot(*newValue),
                                                         oldValue ? Snapshot(*oldValue) : nullptr,
                                                         name->AsString()));
        }
        return list;
    }

private:
    void Open()
    {
        data = TDBManager::GetInstance().OpenQuery(LoadResourceText(query, "LOG"), &period);
        id = &Column(*data, "LOG_TABLES_ID");
        type = &Column(*data, "RDB$FIELD_TYPE");
        name = &Column(*data, nameColumn);
        newValue = &Column(*data, newColumn);
        oldValue = oldColumn ? &Column(*data, oldColumn) : nullptr;
    }

    int query;
    const TParams period;
    const char* nameColumn;
    const char* newColumn;
    const char* oldColumn;
    std::unique_ptr<TDataSet> data;
    TField* id = nullptr;
    TField* type = nullptr;
    TField* name = nullptr;
    TField* newValue = nullptr;
    TField* oldValue = nullptr;
};

TFieldList CNorvane::ReadKeys(long long logId)
{
    return periodKeys->Take(logId);
}

TFieldList CNorvane::ReadFields(long long logId)
{
    return periodFields->Take(logId);
}

void CNorvane::BuildXMLLog()
{
    try {
        XMLutil::LoadFromText(LoadResourceText(kXMLTemplate, "XML"), *document);
        for (const auto& record : records)
            record->AddXMLElement(*document);
    } catch (const XMLutil::CEXMLproblem& e) {
        xmlError = std::string("XML log generation failed with error: ") + e.what();
    }
}

template <class Iterator>
std::string CNorvane::GetScript(Iterator first, Iterator last, std::string (CLogRecord::*statement)() const)
{
    try {
        return StringAccumulator::Accumulate(true, first, last, statement, ";\n\n");
    } catch (const StringAccumulator::CEEmptyStrList&) {
        return msgNoMatchedRecords;
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
