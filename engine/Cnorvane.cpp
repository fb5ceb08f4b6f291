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

// Built-in query texts, by their numbers among the "LOG" texts.
constexpr int kLogQuery = 10100;
constexpr int kFieldsQuery = 10101;
constexpr int kKeysQuery = 10102;
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

    TParams params;
    params.CreateParam(ftDateTime, "BEGD").SetAsDateTime(periodBegin);
    params.CreateParam(ftDateTime, "ENDD").SetAsDateTime(periodEnd);
    std::unique_ptr<TDataSet> log = db.OpenQuery(LoadResourceText(kLogQuery, "LOG"), &params);

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
    BuildXMLLog();
}

// The values of one log entry from the keys or the fields query: the name,
// the column's type code and the new value, and the old value when the query
// has one (a key has none).
static TFieldList ReadValues(int query, long long logId, const char* nameColumn, const char* newColumn,
                             const char* oldColumn)
{
    TParams params;
    params.CreateParam(ftInteger, "ID").SetAsInteger(logId);
    std::unique_ptr<TDataSet> data = TDBManager::GetInstance().OpenQuery(LoadResourceText(query, "LOG"), &params);
    TFieldList list;
    if (data->Eof())
        return list;
    TField& type = Column(*data, "RDB$FIELD_TYPE");
    TField& name = Column(*data, nameColumn);
    TField& newValue = Column(*data, newColumn);
    TField* oldValue = oldColumn ? &Column(*data, oldColumn) : nullptr;
    for (; !data->Eof(); data->Next())
        list.push_back(std::make_unique<CFieldValue>(static_cast<int>(type.AsInteger() & 0xFF), Snapshot(newValue),
                                                     oldValue ? Snapshot(*oldValue) : nullptr, name.AsString()));
    return list;
}

TFieldList CNorvane::ReadKeys(long long logId)
{
    return ReadValues(kKeysQuery, logId, "KEY_FIELD", "KEY_VALUE", nullptr);
}

TFieldList CNorvane::ReadFields(long long logId)
{
    return ReadValues(kFieldsQuery, logId, "FIELD_NAME", "NEW_VALUE", "OLD_VALUE");
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
