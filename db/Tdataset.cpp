#include "db/Tdataset.h"

#include "db/Ibclient.h"
#include "db/Tdbmanager.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

using namespace IBClient;

namespace {

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

}  // namespace

// ---------------------------------------------------------------- TField

struct TField::TValue {
    enum TKind { vNull, vBytes, vScaled, vFloat, vDouble, vTimestamp, vDate, vTime, vBoolean, vArray, vOther };
    TKind kind = vNull;
    std::string_view bytes;  // vBytes: CHAR, VARCHAR and BLOB as they came
    long long integer = 0;   // vScaled: the stored integer; vBoolean: 0 or 1
    int scale = 0;           // vScaled: the column's scale
    double real = 0;         // vFloat (exactly, as a float widens) and vDouble
    TDateTime dateTime = 0;  // vTimestamp, vDate and vTime
};

TField::TField(const TDataSet& aDataSet, size_t aIndex, std::string aName, int aSqlType, int aSqlScale)
    : dataSet(&aDataSet), index(aIndex), name(std::move(aName)), sqlType(aSqlType), sqlScale(aSqlScale)
{
}

TField::TValue TField::Value() const
{
    TValue value;
    const TDataSet::TCell* cell = dataSet->Cell(index);
    if (!cell || cell->null)
        return value;
    const char* bytes = dataSet->store.data() + cell->offset;
    switch (sqlType) {
    case SQL_TEXT:
    case SQL_VARYING:
    case SQL_BLOB:
        value.kind = TValue::vBytes;
        value.bytes = std::string_view(bytes, cell->length);
        break;
    case SQL_SHORT:
        value.kind = TValue::vScaled;
        value.integer = ReadUnaligned<ISC_SHORT>(bytes);
        break;
    case SQL_LONG:
        value.kind = TValue::vScaled;
        value.integer = ReadUnaligned<ISC_LONG>(bytes);
        break;
    case SQL_INT64:
        value.kind = TValue::vScaled;
        value.integer = ReadUnaligned<ISC_INT64>(bytes);
        break;
    case SQL_FLOAT:
        value.kind = TValue::vFloat;
        value.real = ReadUnaligned<float>(bytes);
        break;
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        value.kind = TValue::vDouble;
        value.real = ReadUnaligned<double>(bytes);
        break;
    case SQL_TIMESTAMP:
        value.kind = TValue::vTimestamp;
        value.dateTime = FromIscTimestamp(ReadUnaligned<ISC_TIMESTAMP>(bytes));
        break;
    case SQL_TYPE_DATE:
        value.kind = TValue::vDate;
        value.dateTime = FromIscDate(ReadUnaligned<ISC_DATE>(bytes));
        break;
    case SQL_TYPE_TIME:
        value.kind = TValue::vTime;
        value.dateTime = FromIscTime(ReadUnaligned<ISC_TIME>(bytes));
        break;
    case SQL_BOOLEAN:
        value.kind = TValue::vBoolean;
        value.integer = bytes[0] ? 1 : 0;
        break;
    case SQL_ARRAY:
        value.kind = TValue::vArray;
        break;
    default:
        value.kind = TValue::vOther;
        break;
    }
    value.scale = sqlScale;
    return value;
}

bool TField::IsNull() const
{
    const TDataSet::TCell* cell = dataSet->Cell(index);
    return !cell || cell->null;
}

std::string TField::AsString() const
{
    const TValue value = Value();
    switch (value.kind) {
    case TValue::vBytes: return std::string(value.bytes);
    case TValue::vScaled: return ScaledToString(value.integer, value.scale);
    case TValue::vFloat: return FloatToString(static_cast<float>(value.real));
    case TValue::vDouble: return FloatToString(value.real);
    case TValue::vTimestamp: return DateTimeToStr(value.dateTime);
    case TValue::vDate: return DateToStr(value.dateTime);
    case TValue::vTime: return TimeToStr(value.dateTime);
    case TValue::vBoolean: return value.integer ? "True" : "False";
    case TValue::vArray: return "(Array)";
    case TValue::vNull:
    case TValue::vOther: break;
    }
    return {};
}

long long TField::AsInteger() const
{
    const TValue value = Value();
    switch (value.kind) {
    case TValue::vNull: return 0;
    case TValue::vScaled: return ScaledToInteger(value.integer, value.scale);
    case TValue::vFloat:
    case TValue::vDouble: return std::llround(value.real);
    case TValue::vBoolean: return value.integer;
    case TValue::vBytes: {
        const std::string text(value.bytes);
        size_t first = text.find_first_not_of(' ');
        size_t last = text.find_last_not_of(' ');
        if (first != std::string::npos && text[first] == '+')
            ++first;
        long long integer = 0;
        if (first != std::string::npos && first <= last) {
            const auto result = std::from_chars(text.data() + first, text.data() + last + 1, integer);
            if (result.ec == std::errc() && result.ptr == text.data() + last + 1)
                return integer;
        }
        throw Exception("'" + text + "' is not a valid integer value");
    }
    case TValue::vTimestamp:
    case TValue::vDate:
    case TValue::vTime:
    case TValue::vArray:
    case TValue::vOther: break;
    }
    throw Exception("Cannot access field '" + name + "' as type Integer");
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
            const auto length = static_cast<unsigned short>(ReadUnaligned<short>(var.sqldata));
            store.insert(store.end(), var.sqldata + sizeof(short), var.sqldata + sizeof(short) + length);
        } else if (type == SQL_BLOB) {
            // The contents are read now: a BLOB id means nothing once the
            // transaction has ended.
            cursor->ReadBlob(ReadUnaligned<ISC_QUAD>(var.sqldata), store);
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
