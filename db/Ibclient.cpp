#include "db/Ibclient.h"

#include "db/Tservercall.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

namespace IBClient {

// ---------------------------------------------------------------- status

std::string TStatus::Text() const
{
    std::string text;
    char line[1024];
    const ISC_STATUS* cluster = vector;
    while (fb_interpret(line, sizeof line, &cluster) > 0) {
        if (!text.empty())
            text += '\n';
        text += line;
    }
    return text;
}

std::vector<ISC_STATUS> TStatus::Codes() const
{
    // Clusters of an argument type and its value (two words, three for
    // isc_arg_cstring), up to isc_arg_end; the engine's codes are the values
    // of the isc_arg_gds clusters.
    std::vector<ISC_STATUS> codes;
    size_t i = 0;
    const size_t size = sizeof vector / sizeof vector[0];
    while (i + 1 < size && vector[i] != isc_arg_end) {
        if (vector[i] == isc_arg_gds && vector[i + 1] != 0)
            codes.push_back(vector[i + 1]);
        i += vector[i] == isc_arg_cstring ? 3 : 2;
    }
    return codes;
}

void TStatus::Raise() const { throw EIBError(Text(), Codes()); }

bool EIBError::Reports(ISC_STATUS code) const
{
    for (ISC_STATUS reported : Codes)
        if (reported == code)
            return true;
    return false;
}

bool EIBError::ConnectionLost() const
{
    for (ISC_STATUS lost : {isc_network_error, isc_net_read_err, isc_net_write_err, isc_lost_db_connection,
                            isc_conn_lost, isc_att_shutdown, isc_shutdown})
        if (Reports(lost))
            return true;
    return false;
}

// ---------------------------------------------------------------- handles

void TAttachmentTraits::Release(FB_API_HANDLE& handle) noexcept
{
    const TServerCall call;
    TStatus status;
    isc_detach_database(status.get(), &handle);
}

void TTransactionTraits::Release(FB_API_HANDLE& handle) noexcept
{
    const TServerCall call;
    TStatus status;
    isc_rollback_transaction(status.get(), &handle);
}

void TStatementTraits::Release(FB_API_HANDLE& handle) noexcept
{
    const TServerCall call;
    TStatus status;
    isc_dsql_free_statement(status.get(), &handle, DSQL_drop);
}

void TBlobTraits::Release(FB_API_HANDLE& handle) noexcept
{
    const TServerCall call;
    TStatus status;
    isc_close_blob(status.get(), &handle);
}

// ---------------------------------------------------------------- XSQLDA

TSqlda::TSqlda(short capacity) { Reserve(capacity); }

void TSqlda::Reserve(short capacity)
{
    if (capacity < 1)
        capacity = 1;
    // make_unique<char[]> zeroes the block, and a char array from new is
    // aligned for any object that fits in it.
    block = std::make_unique<char[]>(XSQLDA_LENGTH(capacity));
    get()->version = SQLDA_VERSION1;
    get()->sqln = capacity;
    data.clear();
    indicators.clear();
}

void TSqlda::AllocateBuffers()
{
    const short count = Count();
    std::vector<size_t> offsets(count);
    size_t total = 0;
    for (short i = 0; i < count; ++i) {
        const XSQLVAR& var = get()->sqlvar[i];
        size_t size = static_cast<size_t>(var.sqllen);
        if ((var.sqltype & ~1) == SQL_VARYING)
            size += sizeof(short);  // the length word before the text
        // At least eight bytes, so that a parameter can be sent as a 64-bit
        // integer or a timestamp whatever type the server described for it.
        if (size < 8)
            size = 8;
        offsets[i] = total;
        total += (size + 7) & ~size_t{7};
    }
    data.assign(total, 0);
    indicators.assign(count, 0);
    for (short i = 0; i < count; ++i) {
        XSQLVAR& var = get()->sqlvar[i];
        var.sqldata = data.data() + offsets[i];
        var.sqlind = &indicators[i];
    }
}

// ---------------------------------------------------------------- SQL text

namespace {

bool IsNameChar(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || c >= 0x80;
}

char ClosingQuote(char open)
{
    switch (open) {
    case '(': return ')';
    case '[': return ']';
    case '{': return '}';
    case '<': return '>';
    default: return open;
    }
}

}  // namespace

TParsedSQL ParseParamMarkers(const std::string& sql)
{
    TParsedSQL parsed;
    parsed.text.reserve(sql.size());
    const size_t n = sql.size();
    // Copies sql[i, end) as it stands and moves on.
    auto keep = [&](size_t& i, size_t end) {
        if (end == std::string::npos || end > n)
            end = n;
        parsed.text.append(sql, i, end - i);
        i = end;
    };
    size_t i = 0;
    while (i < n) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            // A doubled quote inside closes and reopens: the same skip works.
            const size_t close = sql.find(c, i + 1);
            keep(i, close == std::string::npos ? n : close + 1);
        } else if ((c == 'q' || c == 'Q') && i + 2 < n && sql[i + 1] == '\'' &&
                   (i == 0 || !IsNameChar(static_cast<unsigned char>(sql[i - 1])))) {
            // q'{...}': a literal with a delimiter of its own choice.
            const char close[] = {ClosingQuote(sql[i + 2]), '\'', 0};
            const size_t end = sql.find(close, i + 3);
            keep(i, end == std::string::npos ? n : end + 2);
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            keep(i, sql.find('\n', i));
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            const size_t end = sql.find("*/", i + 2);
            keep(i, end == std::string::npos ? n : end + 2);
        } else if (c == ':' && i + 1 < n && sql[i + 1] == '"' && sql.find('"', i + 2) != std::string::npos) {
            const size_t end = sql.find('"', i + 2);
            parsed.names.push_back(sql.substr(i + 2, end - i - 2));
            parsed.text += '?';
            i = end + 1;
        } else if (c == ':' && i + 1 < n && IsNameChar(static_cast<unsigned char>(sql[i + 1]))) {
            size_t end = i + 1;
            while (end < n && IsNameChar(static_cast<unsigned char>(sql[end])))
                ++end;
            parsed.names.push_back(sql.substr(i + 1, end - i - 1));
            parsed.text += '?';
            i = end;
        } else {
            parsed.text += c;
            ++i;
        }
    }
    return parsed;
}

// ---------------------------------------------------------------- dates

// ISC_TIME counts ten-thousandths of a second; TDateTime keeps milliseconds,
// and the digit below them is dropped rather than rounded into the next second.
TDateTime FromIscDate(ISC_DATE date) { return static_cast<TDateTime>(date - kIscDateOffset); }

TDateTime FromIscTime(ISC_TIME time) { return static_cast<TDateTime>(time / 10) / 86400000.0; }

TDateTime FromIscTimestamp(const ISC_TIMESTAMP& timestamp)
{
    return FromIscDate(timestamp.timestamp_date) + FromIscTime(timestamp.timestamp_time);
}

ISC_TIMESTAMP ToIscTimestamp(TDateTime value)
{
    double days = std::floor(value);
    long long ms = std::llround((value - days) * 86400000.0);
    if (ms >= 86400000) {
        ms -= 86400000;
        days += 1;
    }
    ISC_TIMESTAMP timestamp;
    timestamp.timestamp_date = static_cast<ISC_DATE>(days) + kIscDateOffset;
    timestamp.timestamp_time = static_cast<ISC_TIME>(ms * 10);
    return timestamp;
}

// ---------------------------------------------------------------- connection

void TIBDatabase::SetParam(char code, const std::string& value)
{
    for (auto it = params.begin(); it != params.end(); ++it) {
        if (it->first == code) {
            if (value.empty())
                params.erase(it);
            else
                it->second = value;
            return;
        }
    }
    if (!value.empty())
        params.emplace_back(code, value);
}

std::string TIBDatabase::ParameterBlock() const
{
    std::string block(1, static_cast<char>(isc_dpb_version1));
    for (const auto& [code, value] : params) {
        const size_t length = value.size() < 255 ? value.size() : 255;
        block += code;
        block += static_cast<char>(length);
        block.append(value, 0, length);
    }
    return block;
}

void TIBDatabase::Open()
{
    const std::string block = ParameterBlock();
    const TServerCall call;
    TStatus status;
    // A name too long for the length word goes as a terminated string.
    const short nameLength = DatabaseName.size() < 32768 ? static_cast<short>(DatabaseName.size()) : 0;
    if (isc_attach_database(status.get(), nameLength, DatabaseName.c_str(), attachment.Ptr(),
                            static_cast<short>(block.size()), block.data()))
        status.Raise();

    dialect = SQL_DIALECT_V6;
    const char items[] = {isc_info_db_sql_dialect, isc_info_end};
    char result[32] = {};
    if (!isc_database_info(status.get(), attachment.Ptr(), sizeof items, items, sizeof result, result) &&
        result[0] == isc_info_db_sql_dialect) {
        const short length = static_cast<short>(isc_vax_integer(result + 1, 2));
        dialect = static_cast<unsigned short>(isc_vax_integer(result + 3, length));
    }
}

// ---------------------------------------------------------------- transaction

std::string TIBTransaction::ParameterBlock() const
{
    return std::string(1, static_cast<char>(isc_tpb_version3)) + params;
}

void TIBTransaction::Start(TIBDatabase& database)
{
    const std::string block = ParameterBlock();
    const TServerCall call;
    TStatus status;
    if (isc_start_transaction(status.get(), transaction.Ptr(), 1, database.Handle(),
                              static_cast<unsigned short>(block.size()), block.data())) {
        // A transaction that did not start leaves no handle behind to be
        // rolled back later.
        transaction.Release();
        status.Raise();
    }
}

void TIBTransaction::Rollback()
{
    const TServerCall call;
    TStatus status;
    if (isc_rollback_transaction(status.get(), transaction.Ptr())) {
        // A transaction the library cannot roll back (its connection lost or
        // shut down) is of no more use: it is let go, so that the next one
        // can start, and the failure is still reported.
        transaction.Release();
        status.Raise();
    }
}

void TIBTransaction::Commit()
{
    const TServerCall call;
    TStatus status;
    if (isc_commit_transaction(status.get(), transaction.Ptr()))
        status.Raise();
}

void CancelOperation(FB_API_HANDLE attachment, int kind) noexcept
{
    TStatus status;
    // Nothing to cancel, or a handle no longer valid: either way nothing runs.
    fb_cancel_operation(status.get(), &attachment, static_cast<unsigned short>(kind));
}

// ---------------------------------------------------------------- statement

TCursor::TCursor(isc_db_handle* aDatabase, isc_tr_handle* aTransaction, unsigned short aDialect)
    : database(aDatabase), transaction(aTransaction), dialect(aDialect)
{
}

namespace {

// The first word of a statement, in capitals, past blanks and comments.
std::string FirstWord(const std::string& sql)
{
    size_t i = 0;
    while (i < sql.size()) {
        if (std::isspace(static_cast<unsigned char>(sql[i]))) {
            ++i;
        } else if (sql.compare(i, 2, "--") == 0) {
            i = sql.find('\n', i);
        } else if (sql.compare(i, 2, "/*") == 0) {
            i = sql.find("*/", i + 2);
            i = i == std::string::npos ? i : i + 2;
        } else {
            break;
        }
    }
    std::string word;
    for (; i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i])); ++i)
        word += static_cast<char>(std::toupper(static_cast<unsigned char>(sql[i])));
    return word;
}

}  // namespace

void TCursor::Prepare(const std::string& sql)
{
    // An execute block that returns rows is described as a query, yet it
    // runs statements of its own, an autonomous transaction among them.
    executeBlock = FirstWord(sql) == "EXECUTE";
    const TServerCall call;
    TStatus status;
    if (isc_dsql_allocate_statement(status.get(), database, statement.Ptr()))
        status.Raise();
    const unsigned short length = sql.size() < 65536 ? static_cast<unsigned short>(sql.size()) : 0;
    if (isc_dsql_prepare(status.get(), transaction, statement.Ptr(), length, sql.c_str(), dialect, output.get()))
        status.Raise();
    if (!output.Fits()) {
        output.Reserve(output.Count());
        if (isc_dsql_describe(status.get(), statement.Ptr(), SQLDA_VERSION1, output.get()))
            status.Raise();
    }
    output.AllocateBuffers();

    if (isc_dsql_describe_bind(status.get(), statement.Ptr(), SQLDA_VERSION1, input.get()))
        status.Raise();
    if (!input.Fits()) {
        input.Reserve(input.Count());
        if (isc_dsql_describe_bind(status.get(), statement.Ptr(), SQLDA_VERSION1, input.get()))
            status.Raise();
    }
    input.AllocateBuffers();

    const char items[] = {isc_info_sql_stmt_type};
    char result[16] = {};
    if (isc_dsql_sql_info(status.get(), statement.Ptr(), sizeof items, items, sizeof result, result))
        status.Raise();
    type = 0;
    if (result[0] == isc_info_sql_stmt_type) {
        const short size = static_cast<short>(isc_vax_integer(result + 1, 2));
        type = static_cast<int>(isc_vax_integer(result + 3, size));
    }
}

void TCursor::Execute()
{
    TStatus status;
    XSQLDA* in = input.Count() > 0 ? input.get() : nullptr;
    // Anything else may write (an execute block can even commit through an
    // autonomous transaction): only queries are opened.
    if (!IsQuery())
        throw EIBError("Cannot open a non-select statement");
    const TServerCall call;
    if (isc_dsql_execute(status.get(), transaction, statement.Ptr(), SQLDA_VERSION1, in))
        status.Raise();
}

bool TCursor::IsQuery() const
{
    return (type == isc_info_sql_stmt_select || type == isc_info_sql_stmt_select_for_upd) && !executeBlock;
}

void TCursor::Run()
{
    if (IsQuery())
        throw EIBError("Cannot run a select statement");
    TStatus status;
    XSQLDA* in = input.Count() > 0 ? input.get() : nullptr;
    XSQLDA* out = output.Count() > 0 ? output.get() : nullptr;
    const TServerCall call;
    if (isc_dsql_execute2(status.get(), transaction, statement.Ptr(), SQLDA_VERSION1, in, out))
        status.Raise();
}

long long TCursor::Records()
{
    // isc_info_sql_records: a cluster of counts, each an item, a two-byte
    // length and the count, up to isc_info_end.
    const char items[] = {isc_info_sql_records, isc_info_end};
    char result[64] = {};
    TStatus status;
    if (const TServerCall call;
        isc_dsql_sql_info(status.get(), statement.Ptr(), sizeof items, items, sizeof result, result))
        status.Raise();
    if (result[0] != isc_info_sql_records)
        return 0;
    long long rows = 0;
    const char* end = result + 3 + isc_vax_integer(result + 1, 2);
    for (const char* p = result + 3; p < end && p + 3 <= result + sizeof result && *p != isc_info_end;) {
        const char item = *p;
        const short length = static_cast<short>(isc_vax_integer(p + 1, 2));
        if (item == isc_info_req_insert_count || item == isc_info_req_update_count ||
            item == isc_info_req_delete_count)
            rows += isc_vax_integer(p + 3, length);
        p += 3 + length;
    }
    return rows;
}

bool TCursor::Fetch()
{
    if (!statement)
        return false;
    TStatus status;
    const TServerCall call;
    const ISC_STATUS result = isc_dsql_fetch(status.get(), statement.Ptr(), SQLDA_VERSION1, output.get());
    if (result == 100) {
        Close();
        return false;
    }
    if (result)
        status.Raise();
    return true;
}

void TCursor::ReadBlob(const ISC_QUAD& id, std::vector<char>& out)
{
    TStatus status;
    TBlob blob;
    ISC_QUAD blobId = id;
    if (const TServerCall call; isc_open_blob2(status.get(), database, transaction, blob.Ptr(), &blobId, 0, nullptr))
        status.Raise();
    char segment[32768];
    for (;;) {
        unsigned short length = 0;
        const ISC_STATUS result = [&] {
            const TServerCall call;
            return isc_get_segment(status.get(), blob.Ptr(), &length, sizeof segment, segment);
        }();
        if (result == isc_segstr_eof)
            break;
        if (result != 0 && result != isc_segment)
            status.Raise();
        out.insert(out.end(), segment, segment + length);
    }
    if (const TServerCall call; isc_close_blob(status.get(), blob.Ptr()))
        status.Raise();
}

ISC_QUAD TCursor::WriteBlob(const char* data, size_t size, const std::string& bpb)
{
    TStatus status;
    TBlob blob;
    ISC_QUAD id = {};
    if (isc_create_blob2(status.get(), database, transaction, blob.Ptr(), &id, static_cast<short>(bpb.size()),
                         bpb.empty() ? nullptr : bpb.data()))
        status.Raise();
    // A segment's length is an unsigned 16-bit number.
    constexpr size_t kSegment = 32768;
    for (size_t at = 0; at < size; at += kSegment) {
        const unsigned short length = static_cast<unsigned short>(size - at < kSegment ? size - at : kSegment);
        if (isc_put_segment(status.get(), blob.Ptr(), length, data + at))
            status.Raise();
    }
    if (isc_close_blob(status.get(), blob.Ptr()))
        status.Raise();
    return id;
}

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

namespace {

template <class Float>
std::string Shortest(Float value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

}  // namespace

std::string FloatToString(float value) { return Shortest(value); }
std::string FloatToString(double value) { return Shortest(value); }

}  // namespace IBClient
