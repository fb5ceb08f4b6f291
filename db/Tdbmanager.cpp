#include "db/Tdbmanager.h"

#include "db/Ibclient.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

using namespace IBClient;

namespace {

// The state-check and transaction texts, Windows-1251 bytes.

// "Попытка стартовать транзакцию в состоянии отключения от базы данных"
const char kStartWhileDisconnected[] =
    "\xCF\xEE\xEF\xFB\xF2\xEA\xE0 \xF1\xF2\xE0\xF0\xF2\xEE\xE2\xE0\xF2\xFC \xF2\xF0\xE0\xED\xE7\xE0\xEA\xF6\xE8\xFE "
    "\xE2 \xF1\xEE\xF1\xF2\xEE\xFF\xED\xE8\xE8 \xEE\xF2\xEA\xEB\xFE\xF7\xE5\xED\xE8\xFF \xEE\xF2 \xE1\xE0\xE7\xFB "
    "\xE4\xE0\xED\xED\xFB\xF5";
// "Попытка завершить транзакцию, когда она еще не начата"
const char kEndWithoutTransaction[] =
    "\xCF\xEE\xEF\xFB\xF2\xEA\xE0 \xE7\xE0\xE2\xE5\xF0\xF8\xE8\xF2\xFC \xF2\xF0\xE0\xED\xE7\xE0\xEA\xF6\xE8\xFE, "
    "\xEA\xEE\xE3\xE4\xE0 \xEE\xED\xE0 \xE5\xF9\xE5 \xED\xE5 \xED\xE0\xF7\xE0\xF2\xE0";
// "Попытка отключения/подключения к базе данных, не завершив транзакцию"
const char kConnectInTransaction[] =
    "\xCF\xEE\xEF\xFB\xF2\xEA\xE0 \xEE\xF2\xEA\xEB\xFE\xF7\xE5\xED\xE8\xFF/\xEF\xEE\xE4\xEA\xEB\xFE\xF7\xE5\xED\xE8\xFF "
    "\xEA \xE1\xE0\xE7\xE5 \xE4\xE0\xED\xED\xFB\xF5, \xED\xE5 \xE7\xE0\xE2\xE5\xF0\xF8\xE8\xE2 "
    "\xF2\xF0\xE0\xED\xE7\xE0\xEA\xF6\xE8\xFE";
// "Попытка стартовать новую транзакцию, не завершив предыдущую"
const char kStartInTransaction[] =
    "\xCF\xEE\xEF\xFB\xF2\xEA\xE0 \xF1\xF2\xE0\xF0\xF2\xEE\xE2\xE0\xF2\xFC \xED\xEE\xE2\xF3\xFE "
    "\xF2\xF0\xE0\xED\xE7\xE0\xEA\xF6\xE8\xFE, \xED\xE5 \xE7\xE0\xE2\xE5\xF0\xF8\xE8\xE2 "
    "\xEF\xF0\xE5\xE4\xFB\xE4\xF3\xF9\xF3\xFE";
// "Ошибка при попытке стартовать транзакцию: "
const char kStartFailed[] =
    "\xCE\xF8\xE8\xE1\xEA\xE0 \xEF\xF0\xE8 \xEF\xEE\xEF\xFB\xF2\xEA\xE5 \xF1\xF2\xE0\xF0\xF2\xEE\xE2\xE0\xF2\xFC "
    "\xF2\xF0\xE0\xED\xE7\xE0\xEA\xF6\xE8\xFE: ";
// "Не удался откат транзакции:\n"
const char kRollbackFailed[] = "\xCD\xE5 \xF3\xE4\xE0\xEB\xF1\xFF \xEE\xF2\xEA\xE0\xF2 \xF2\xF0\xE0\xED\xE7\xE0\xEA\xF6\xE8\xE8:\n";


// Names of parameters and columns compare without regard to case (ASCII).
bool SameText(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
               return upper(x) == upper(y);
           });
}

template <class T>
T Read(const char* bytes)
{
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// An integer of a column with the given scale (0 or negative: the number of
// digits after the decimal point), exactly.
std::string ScaledToString(long long value, int scale)
{
    const bool negative = value < 0;
    unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(value)
                                            : static_cast<unsigned long long>(value);
    std::string digits = std::to_string(magnitude);
    if (scale < 0) {
        const size_t decimals = static_cast<size_t>(-scale);
        if (digits.size() <= decimals)
            digits.insert(0, decimals - digits.size() + 1, '0');
        digits.insert(digits.size() - decimals, 1, '.');
    } else if (scale > 0) {
        digits.append(static_cast<size_t>(scale), '0');
    }
    return negative ? "-" + digits : digits;
}

// Rounds a scaled integer to a whole number, halves away from zero.
long long ScaledToInteger(long long value, int scale)
{
    for (; scale > 0; --scale)
        value *= 10;
    if (scale == 0)
        return value;
    long long divisor = 1;
    for (; scale < 0 && divisor <= 1000000000000000000LL / 10; ++scale)
        divisor *= 10;
    if (scale < 0)
        return 0;  // more decimals than a 64-bit integer holds digits
    const long long quotient = value / divisor;
    const long long remainder = value % divisor;
    if ((remainder < 0 ? -remainder : remainder) * 2 >= divisor)
        return quotient + (value < 0 ? -1 : 1);
    return quotient;
}

// The shortest decimal text that reads back to the same value.
template <class Float>
std::string FloatToString(Float value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

}  // namespace

// ---------------------------------------------------------------- TParam

void TParam::SetAsInteger(long long value)
{
    DataType = ftInteger;
    integer = value;
    null = false;
}

void TParam::SetAsDateTime(TDateTime value)
{
    DataType = ftDateTime;
    dateTime = value;
    null = false;
}

long long TParam::AsInteger() const
{
    if (null)
        return 0;
    return DataType == ftDateTime ? static_cast<long long>(dateTime) : integer;
}

TDateTime TParam::AsDateTime() const
{
    if (null)
        return 0;
    return DataType == ftDateTime ? dateTime : static_cast<TDateTime>(integer);
}

std::string TParam::AsString() const
{
    if (null)
        return {};
    return DataType == ftDateTime ? DateTimeToStr(dateTime) : std::to_string(integer);
}

void TParam::Clear()
{
    null = true;
    integer = 0;
    dateTime = 0;
}

void TParam::Assign(const TParam& source)
{
    DataType = source.DataType;
    null = source.null;
    integer = source.integer;
    dateTime = source.dateTime;
}

// ---------------------------------------------------------------- TParams

TParam& TParams::CreateParam(TFieldType type, const std::string& name) { return items.emplace_back(type, name); }

TParam* TParams::FindParam(const std::string& name)
{
    for (TParam& param : items)
        if (SameText(param.Name, name))
            return &param;
    return nullptr;
}

const TParam* TParams::FindParam(const std::string& name) const
{
    return const_cast<TParams*>(this)->FindParam(name);
}

// ---------------------------------------------------------------- TField

TField::TField(const TDataSet& dataSet, size_t index, std::string name, int sqlType, int sqlScale)
    : dataSet(&dataSet), index(index), name(std::move(name)), sqlType(sqlType), sqlScale(sqlScale)
{
}

bool TField::IsNull() const
{
    const TDataSet::TCell* cell = dataSet->Cell(index);
    return !cell || cell->null;
}

std::string TField::AsString() const
{
    const TDataSet::TCell* cell = dataSet->Cell(index);
    if (!cell || cell->null)
        return {};
    const char* bytes = dataSet->store.data() + cell->offset;
    switch (sqlType) {
    case SQL_TEXT:
    case SQL_VARYING:
    case SQL_BLOB:
        return std::string(bytes, cell->length);
    case SQL_SHORT:
        return ScaledToString(Read<ISC_SHORT>(bytes), sqlScale);
    case SQL_LONG:
        return ScaledToString(Read<ISC_LONG>(bytes), sqlScale);
    case SQL_INT64:
        return ScaledToString(Read<ISC_INT64>(bytes), sqlScale);
    case SQL_FLOAT:
        return FloatToString(Read<float>(bytes));
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return FloatToString(Read<double>(bytes));
    case SQL_TIMESTAMP:
        return DateTimeToStr(FromIscTimestamp(Read<ISC_TIMESTAMP>(bytes)));
    case SQL_TYPE_DATE:
        return DateToStr(FromIscDate(Read<ISC_DATE>(bytes)));
    case SQL_TYPE_TIME:
        return TimeToStr(FromIscTime(Read<ISC_TIME>(bytes)));
    case SQL_BOOLEAN:
        return bytes[0] ? "True" : "False";
    case SQL_ARRAY:
        return "(Array)";
    default:
        return {};
    }
}

long long TField::AsInteger() const
{
    const TDataSet::TCell* cell = dataSet->Cell(index);
    if (!cell || cell->null)
        return 0;
    const char* bytes = dataSet->store.data() + cell->offset;
    switch (sqlType) {
    case SQL_SHORT:
        return ScaledToInteger(Read<ISC_SHORT>(bytes), sqlScale);
    case SQL_LONG:
        return ScaledToInteger(Read<ISC_LONG>(bytes), sqlScale);
    case SQL_INT64:
        return ScaledToInteger(Read<ISC_INT64>(bytes), sqlScale);
    case SQL_FLOAT:
        return std::llround(Read<float>(bytes));
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return std::llround(Read<double>(bytes));
    case SQL_BOOLEAN:
        return bytes[0] ? 1 : 0;
    case SQL_TEXT:
    case SQL_VARYING:
    case SQL_BLOB: {
        const std::string text(bytes, cell->length);
        size_t first = text.find_first_not_of(' ');
        size_t last = text.find_last_not_of(' ');
        if (first != std::string::npos && text[first] == '+')
            ++first;
        long long value = 0;
        if (first != std::string::npos && first <= last) {
            const auto result = std::from_chars(text.data() + first, text.data() + last + 1, value);
            if (result.ec == std::errc() && result.ptr == text.data() + last + 1)
                return value;
        }
        throw Exception("'" + text + "' is not a valid integer value");
    }
    default:
        throw Exception("Cannot access field '" + name + "' as type Integer");
    }
}

// ---------------------------------------------------------------- TDataSet

TDataSet::TDataSet() = default;

TDataSet::~TDataSet() { CloseCursor(); }

void TDataSet::SetSQL(const std::string& text)
{
    CloseCursor();
    fields.clear();
    store.clear();
    cells.clear();
    rowCount = 0;
    current = 0;
    eof = true;

    sql = text;
    TParsedSQL parsed = ParseParamMarkers(text);
    statementText = std::move(parsed.text);
    markers = std::move(parsed.names);
    params = TParams();
    for (const std::string& name : markers)
        if (!params.FindParam(name))
            params.CreateParam(ftUnknown, name);
}

void TDataSet::Open(TDBManager& owner, TIBDatabase& database, TIBTransaction& transaction)
{
    CloseCursor();
    cursor = std::make_unique<TCursor>(database.Handle(), transaction.Handle(), database.Dialect());
    manager = &owner;
    owner.Register(this);
    ++owner.preparedStatements;
    cursor->Prepare(statementText);

    // Each marker sends its parameter's value as a 64-bit integer or a
    // timestamp, whatever type the server described; the server converts.
    // A parameter without a value goes as null of the described type.
    TSqlda& input = cursor->Input();
    for (short i = 0; i < input.Count(); ++i) {
        XSQLVAR& var = input[i];
        const size_t marker = static_cast<size_t>(i);
        const TParam* param = marker < markers.size() ? params.FindParam(markers[marker]) : nullptr;
        if (!param || param->IsNull() || param->DataType == ftUnknown) {
            var.sqltype |= 1;
            *var.sqlind = -1;
            continue;
        }
        *var.sqlind = 0;
        var.sqlscale = 0;
        var.sqlsubtype = 0;
        if (param->DataType == ftDateTime) {
            const ISC_TIMESTAMP value = ToIscTimestamp(param->AsDateTime());
            var.sqltype = SQL_TIMESTAMP | 1;
            var.sqllen = sizeof value;
            std::memcpy(var.sqldata, &value, sizeof value);
        } else {
            const ISC_INT64 value = param->AsInteger();
            var.sqltype = SQL_INT64 | 1;
            var.sqllen = sizeof value;
            std::memcpy(var.sqldata, &value, sizeof value);
        }
    }
    cursor->Execute();

    TSqlda& output = cursor->Output();
    fields.reserve(static_cast<size_t>(output.Count()));
    for (short i = 0; i < output.Count(); ++i) {
        const XSQLVAR& var = output[i];
        fields.push_back(TField(*this, static_cast<size_t>(i), std::string(var.aliasname, var.aliasname_length),
                                var.sqltype & ~1, var.sqlscale));
    }
    eof = !FetchRow();
}

bool TDataSet::FetchRow()
{
    if (!cursor)
        return false;
    const size_t storeSize = store.size();
    try {
        if (!cursor->Fetch()) {
            CloseCursor();
            return false;
        }
        if (!keepRows && rowCount > 0) {
            store.clear();
            cells.clear();
            rowCount = 0;
        }
        StoreRow();
        return true;
    } catch (...) {
        // Leave no part of a row behind.
        store.resize(storeSize);
        cells.resize(rowCount * fields.size());
        CloseCursor();
        throw;
    }
}

void TDataSet::StoreRow()
{
    TSqlda& output = cursor->Output();
    for (short i = 0; i < output.Count(); ++i) {
        const XSQLVAR& var = output[i];
        const int type = var.sqltype & ~1;
        TCell cell;
        if (((var.sqltype & 1) && *var.sqlind < 0) || type == SQL_NULL) {
            cells.push_back(cell);
            continue;
        }
        cell.null = false;
        cell.offset = store.size();
        if (type == SQL_VARYING) {
            const auto length = static_cast<unsigned short>(Read<short>(var.sqldata));
            store.insert(store.end(), var.sqldata + sizeof(short), var.sqldata + sizeof(short) + length);
        } else if (type == SQL_BLOB) {
            // The contents are read now: a BLOB id means nothing once the
            // transaction has ended.
            cursor->ReadBlob(Read<ISC_QUAD>(var.sqldata), store);
        } else {
            store.insert(store.end(), var.sqldata, var.sqldata + var.sqllen);
        }
        cell.length = store.size() - cell.offset;
        cells.push_back(cell);
    }
    ++rowCount;
}

void TDataSet::CloseCursor() noexcept
{
    cursor.reset();
    if (manager) {
        manager->Unregister(this);
        manager = nullptr;
    }
}

const TDataSet::TCell* TDataSet::Cell(size_t column) const
{
    if (rowCount == 0)
        return nullptr;
    return &cells[current * fields.size() + column];
}

namespace {

// Fetches one more row for Next and Last; a failure of the library there is
// a failed query like one at opening.
template <class Fetch>
bool FetchOrRaise(Fetch fetch, const TParams& params, const std::string& sql)
{
    try {
        return fetch();
    } catch (const EIBError& error) {
        TDBManager::RaiseQueryError(error, &params, sql);
    }
}

}  // namespace

void TDataSet::First()
{
    if (!keepRows)
        return;
    current = 0;
    eof = rowCount == 0;
}

void TDataSet::Next()
{
    if (eof)
        return;
    if (current + 1 < rowCount) {
        ++current;
        return;
    }
    if (FetchOrRaise([this] { return FetchRow(); }, params, sql))
        current = rowCount - 1;
    else
        eof = true;
}

void TDataSet::Last()
{
    while (FetchOrRaise([this] { return FetchRow(); }, params, sql)) {
    }
    current = rowCount ? rowCount - 1 : 0;
    eof = true;
}

TField* TDataSet::FindField(const std::string& name)
{
    for (TField& field : fields)
        if (SameText(field.FieldName(), name))
            return &field;
    return nullptr;
}

// ---------------------------------------------------------------- TDBManager

TDBManager& TDBManager::GetInstance()
{
    static TDBManager instance;
    return instance;
}

TDBManager::TDBManager()
    : database(std::make_unique<TIBDatabase>()), transaction(std::make_unique<TIBTransaction>())
{
    // A lock conflict fails at once; the transaction sees what others have
    // committed, reading the latest committed version of a record. No access
    // mode is given.
    transaction->AddParam(isc_tpb_nowait);
    transaction->AddParam(isc_tpb_read_committed);
    transaction->AddParam(isc_tpb_rec_version);
}

TDBManager::~TDBManager()
{
    CloseDataSets();
    transaction.reset();  // rolls back
    database.reset();     // detaches
}

unsigned short TDBManager::Dialect() const
{
    return database->Connected() ? database->Dialect() : SQL_DIALECT_V6;
}

TDBManagerState TDBManager::GetState() const
{
    if (!database->Connected())
        return dbsDisconnected;
    return transaction->Active() ? dbsInTransaction : dbsConnected;
}

bool TDBManager::IsTransactionActive() const { return transaction->Active(); }

void TDBManager::CheckState(TDBOperation operation)
{
    switch (GetState()) {
    case dbsDisconnected:
        if (operation == dboStartTransaction)
            throw TranError(kStartWhileDisconnected);
        break;
    case dbsConnected:
        if (operation == dboEndTransaction)
            throw TranError(kEndWithoutTransaction);
        break;
    case dbsInTransaction:
        if (operation == dboConnect)
            throw TranError(kConnectInTransaction);
        if (operation == dboStartTransaction)
            throw TranError(kStartInTransaction);
        break;
    }
}

void TDBManager::Connect(const std::string& databaseName, const std::string& userName, const std::string& password,
                         const std::string& charset)
{
    CheckState(dboConnect);
    Disconnect();
    database->DatabaseName = databaseName;
    database->SetParam(isc_dpb_user_name, userName);
    database->SetParam(isc_dpb_password, password);
    characterSet = charset;
    database->SetParam(isc_dpb_lc_ctype, characterSet);
    try {
        database->Open();
    } catch (const EIBError& error) {
        throw ConnectError(error.Message, databaseName);
    }
}

void TDBManager::Disconnect() noexcept
{
    CloseDataSets();
    database->Close();
}

void TDBManager::StartTransaction()
{
    CheckState(dboStartTransaction);
    try {
        transaction->Start(*database);
    } catch (const EIBError& error) {
        throw TranError(kStartFailed + error.Message);
    }
}

void TDBManager::Rollback()
{
    CheckState(dboEndTransaction);
    CloseDataSets();
    try {
        transaction->Rollback();
    } catch (const EIBError& error) {
        throw TranError(kRollbackFailed + error.Message);
    }
}

std::unique_ptr<TDataSet> TDBManager::OpenQuery(const std::string& sql, const TParams* params, bool keepRows)
{
    if (GetState() != dbsInTransaction)
        throw TranError();
    auto query = std::make_unique<TDataSet>();
    query->keepRows = keepRows;
    PrepareQuery(*query, sql, params);
    try {
        query->Open(*this, *database, *transaction);
    } catch (const EIBError& error) {
        // The query object goes with the error, freeing its statement.
        RaiseQueryError(error, params, sql);
    }
    return query;
}

void TDBManager::RaiseQueryError(const EIBError& error, const TParams* params, const std::string& sql)
{
    // The engine reports a value it cannot give in the connection's set as
    // a failed transliteration, or, for bytes that are no text of their own
    // set, as a malformed string; either may follow a more general code.
    if (error.Reports(isc_transliteration_failed) || error.Reports(isc_malformed_string))
        throw CharsetError(error.Message, params, sql, GetInstance().CharacterSet());
    throw SQLError(error.Message, params, sql);
}

void TDBManager::PrepareQuery(TDataSet& query, const std::string& sql, const TParams* params)
{
    if (sql.size() < 5)
        throw TooShortSQLError(sql);
    query.SetSQL(sql);
    if (!params)
        return;
    for (size_t i = 0; i < params->Count(); ++i) {
        const TParam& given = (*params)[i];
        if (TParam* target = query.params.FindParam(given.Name))
            target->Assign(given);
    }
}

void TDBManager::CloseDataSets() noexcept
{
    std::vector<TDataSet*> open;
    open.swap(openDataSets);
    for (TDataSet* dataSet : open) {
        dataSet->manager = nullptr;
        dataSet->CloseCursor();
    }
}

void TDBManager::Register(TDataSet* dataSet) { openDataSets.push_back(dataSet); }

void TDBManager::Unregister(TDataSet* dataSet) noexcept
{
    const auto it = std::find(openDataSets.begin(), openDataSets.end(), dataSet);
    if (it != openDataSets.end())
        openDataSets.erase(it);
}
