#include "db/Tconnection.h"

#include "db/Ibclient.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

using namespace IBClient;

namespace {

std::string IsoTime(ISC_TIME time)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u.%04u", time / 36000000u, time / 600000u % 60u,
                  time / 10000u % 60u, time % 10000u);
    return text;
}

}  // namespace

bool TSqlTypeInfo::IsText() const { return type == SQL_TEXT || type == SQL_VARYING; }
bool TSqlTypeInfo::IsBlob() const { return type == SQL_BLOB; }
bool TSqlTypeInfo::IsFloat() const { return type == SQL_FLOAT || type == SQL_DOUBLE || type == SQL_D_FLOAT; }

StatementError::StatementError(const std::string& libraryMessage, const std::string& sql)
    : SQLError(libraryMessage, nullptr, sql), LibraryMessage(libraryMessage)
{
}

// ---------------------------------------------------------------- TConnection

TConnection::TConnection(const std::string& aLocation, const std::string& user, const std::string& password,
                         const std::string& aCharacterSet)
    : location(aLocation), characterSet(aCharacterSet), database(std::make_unique<TIBDatabase>())
{
    database->DatabaseName = location;
    database->SetParam(isc_dpb_user_name, user);
    database->SetParam(isc_dpb_password, password);
    database->SetParam(isc_dpb_lc_ctype, characterSet);
    try {
        database->Open();
    } catch (const EIBError& error) {
        throw ConnectError(error.Message, location);
    }
}

TConnection::~TConnection() = default;

unsigned short TConnection::Dialect() const { return database->Dialect(); }

void TConnection::Cancel() noexcept { CancelOperation(database->HandleValue()); }

// ---------------------------------------------------------------- TDBTransaction

TDBTransaction::TDBTransaction(TConnection& aConnection, TTransactionMode mode)
    : connection(aConnection), transaction(std::make_unique<TIBTransaction>())
{
    transaction->AddParam(isc_tpb_concurrency);
    transaction->AddParam(isc_tpb_nowait);
    if (mode == TTransactionMode::Read) {
        transaction->AddParam(isc_tpb_read);
    } else {
        transaction->AddParam(isc_tpb_write);
        transaction->AddParam(isc_tpb_no_auto_undo);
    }
    try {
        transaction->Start(*connection.database);
    } catch (const EIBError& error) {
        if (error.ConnectionLost())
            throw ConnectionLostError(error.Message, nullptr, "start transaction");
        throw TranError(error.Message);
    }
}

TDBTransaction::~TDBTransaction() = default;  // the handle rolls back

bool TDBTransaction::Active() const { return transaction->Active(); }

void TDBTransaction::Commit()
{
    try {
        transaction->Commit();
    } catch (const EIBError& error) {
        // What the commit could not end is rolled back, or let go.
        try {
            transaction->Rollback();
        } catch (const EIBError&) {
        }
        if (error.ConnectionLost())
            throw ConnectionLostError(error.Message, nullptr, "commit");
        throw TranError(error.Message);
    }
}

void TDBTransaction::Rollback()
{
    try {
        transaction->Rollback();
    } catch (const EIBError& error) {
        if (error.ConnectionLost())
            throw ConnectionLostError(error.Message, nullptr, "rollback");
        throw TranError(error.Message);
    }
}

// ---------------------------------------------------------------- TDBStatement

TDBStatement::TDBStatement(TDBTransaction& aTransaction, const std::string& aSql)
    : transaction(aTransaction), sql(aSql)
{
    TIBDatabase& database = *transaction.connection.database;
    cursor = std::make_unique<TCursor>(database.Handle(), transaction.transaction->Handle(), database.Dialect());
    try {
        cursor->Prepare(sql);
    } catch (const EIBError& error) {
        Raise(error);
    }
    query = cursor->IsQuery();
    TSqlda& input = cursor->Input();
    for (short i = 0; i < input.Count(); ++i) {
        const XSQLVAR& var = input[i];
        params.push_back({var.sqltype & ~1, var.sqlscale, var.sqlsubtype, var.sqllen});
    }
    values.resize(params.size());
    for (int i = 0; i < ParamCount(); ++i)
        SetNull(i);
}

TDBStatement::~TDBStatement() = default;

void TDBStatement::Raise(const EIBError& error) const
{
    if (error.ConnectionLost())
        throw ConnectionLostError(error.Message, nullptr, sql);
    throw StatementError(error.Message, sql);
}

int TDBStatement::ParamCount() const { return static_cast<int>(params.size()); }

void TDBStatement::SetValue(int index, int type, int length, const void* data, int subType)
{
    XSQLVAR& var = cursor->Input()[static_cast<short>(index)];
    std::vector<char>& value = values[static_cast<size_t>(index)];
    const size_t size = type == SQL_VARYING ? sizeof(short) + static_cast<size_t>(length) : static_cast<size_t>(length);
    value.assign(size < 8 ? 8 : size, 0);
    if (type == SQL_VARYING) {
        const short prefix = static_cast<short>(length);
        std::memcpy(value.data(), &prefix, sizeof prefix);
        std::memcpy(value.data() + sizeof prefix, data, static_cast<size_t>(length));
    } else {
        std::memcpy(value.data(), data, static_cast<size_t>(length));
    }
    var.sqltype = static_cast<short>(type | 1);
    var.sqllen = static_cast<short>(length);
    var.sqlscale = 0;
    var.sqlsubtype = static_cast<short>(subType);
    var.sqldata = value.data();
    *var.sqlind = 0;
}

void TDBStatement::SetNull(int index)
{
    XSQLVAR& var = cursor->Input()[static_cast<short>(index)];
    const TSqlTypeInfo& described = params[static_cast<size_t>(index)];
    // A null of the described type: the server need not convert anything.
    std::vector<char>& value = values[static_cast<size_t>(index)];
    value.assign(static_cast<size_t>(described.length) + sizeof(short) + 8, 0);
    var.sqltype = static_cast<short>(described.type | 1);
    var.sqllen = static_cast<short>(described.length);
    var.sqlscale = static_cast<short>(described.scale);
    var.sqlsubtype = static_cast<short>(described.subType);
    var.sqldata = value.data();
    *var.sqlind = -1;
}

void TDBStatement::SetText(int index, std::string_view bytes, int charsetId)
{
    // A VARCHAR's length is a 16-bit word; no text column holds more.
    if (bytes.size() > 32767)
        throw StatementError("A text of " + std::to_string(bytes.size()) +
                                 " bytes is longer than any text column holds (32767 bytes)",
                             sql);
    // The character set of a text sent in an XSQLVAR is in its sub-type.
    SetValue(index, SQL_VARYING, static_cast<int>(bytes.size()), bytes.data(), charsetId);
}

void TDBStatement::SetDouble(int index, double value) { SetValue(index, SQL_DOUBLE, sizeof value, &value); }

void TDBStatement::SetInteger(int index, long long value)
{
    const ISC_INT64 integer = value;
    SetValue(index, SQL_INT64, sizeof integer, &integer);
}

void TDBStatement::SetBlob(int index, std::string_view bytes, int charsetId)
{
    const TSqlTypeInfo& described = params[static_cast<size_t>(index)];
    // A text BLOB is written through the server's filter from the text's
    // set into the column's (in the described scale), as a text value would
    // be converted; any other BLOB as its bytes.
    std::string bpb;
    if (described.type == SQL_BLOB && described.subType == isc_blob_text) {
        bpb = {static_cast<char>(isc_bpb_version1),
               static_cast<char>(isc_bpb_source_type), 1, static_cast<char>(isc_blob_text),
               static_cast<char>(isc_bpb_source_interp), 1, static_cast<char>(charsetId),
               static_cast<char>(isc_bpb_target_type), 1, static_cast<char>(isc_blob_text),
               static_cast<char>(isc_bpb_target_interp), 1, static_cast<char>(described.scale)};
    }
    ISC_QUAD id = {};
    try {
        id = cursor->WriteBlob(bytes.data(), bytes.size(), bpb);
    } catch (const EIBError& error) {
        Raise(error);
    }
    SetValue(index, SQL_BLOB, sizeof id, &id, described.type == SQL_BLOB ? described.subType : 0);
}

void TDBStatement::Execute()
{
    try {
        if (query) {
            cursor->Execute();
        } else {
            cursor->Run();
            returned = cursor->Output().Count() > 0;
        }
    } catch (const EIBError& error) {
        Raise(error);
    }
}

long long TDBStatement::Rows()
{
    try {
        return cursor->Records();
    } catch (const EIBError& error) {
        Raise(error);
    }
}

bool TDBStatement::Fetch()
{
    if (!query)
        return std::exchange(returned, false);
    try {
        return cursor->Fetch();
    } catch (const EIBError& error) {
        Raise(error);
    }
}

int TDBStatement::ColumnCount() const { return cursor->Output().Count(); }

bool TDBStatement::IsNull(int column) const
{
    const XSQLVAR& var = cursor->Output()[static_cast<short>(column)];
    return (var.sqltype & 1) && *var.sqlind < 0;
}

long long TDBStatement::Integer(int column) const
{
    const XSQLVAR& var = cursor->Output()[static_cast<short>(column)];
    if (IsNull(column))
        return 0;
    switch (var.sqltype & ~1) {
    case SQL_SHORT: return ReadUnaligned<ISC_SHORT>(var.sqldata);
    case SQL_LONG: return ReadUnaligned<ISC_LONG>(var.sqldata);
    case SQL_INT64: return ReadUnaligned<ISC_INT64>(var.sqldata);
    case SQL_DOUBLE: return static_cast<long long>(ReadUnaligned<double>(var.sqldata));
    default: return std::atoll(Text(column).c_str());
    }
}

std::string TDBStatement::Text(int column) const
{
    if (IsNull(column))
        return {};
    const XSQLVAR& var = cursor->Output()[static_cast<short>(column)];
    const char* data = var.sqldata;
    switch (var.sqltype & ~1) {
    case SQL_TEXT: return std::string(data, static_cast<size_t>(var.sqllen));
    case SQL_VARYING: return std::string(data + sizeof(short), static_cast<unsigned short>(ReadUnaligned<short>(data)));
    case SQL_SHORT: return ScaledToString(ReadUnaligned<ISC_SHORT>(data), var.sqlscale);
    case SQL_LONG: return ScaledToString(ReadUnaligned<ISC_LONG>(data), var.sqlscale);
    case SQL_INT64: return ScaledToString(ReadUnaligned<ISC_INT64>(data), var.sqlscale);
    case SQL_FLOAT: return FloatToString(ReadUnaligned<float>(data));
    case SQL_DOUBLE:
    case SQL_D_FLOAT: return FloatToString(ReadUnaligned<double>(data));
    case SQL_TYPE_DATE: return IsoDate(FromIscDate(ReadUnaligned<ISC_DATE>(data)));
    case SQL_TYPE_TIME: return IsoTime(ReadUnaligned<ISC_TIME>(data));
    case SQL_TIMESTAMP: {
        const ISC_TIMESTAMP stamp = ReadUnaligned<ISC_TIMESTAMP>(data);
        return IsoDate(FromIscDate(stamp.timestamp_date)) + " " + IsoTime(stamp.timestamp_time);
    }
    case SQL_BOOLEAN: return data[0] ? "TRUE" : "FALSE";
    case SQL_BLOB: {
        std::vector<char> bytes;
        try {
            cursor->ReadBlob(ReadUnaligned<ISC_QUAD>(data), bytes);
        } catch (const EIBError& error) {
            Raise(error);
        }
        return std::string(bytes.begin(), bytes.end());
    }
    default: return "?";
    }
}
