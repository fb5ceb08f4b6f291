#pragma once
// The database manager's own small layer over the InterBase C API of the
// Firebird client library (ibase.h): status vectors, owned handles, XSQLDA
// buffers, the connection and the transaction, and one prepared statement.
// Only the database access code and its tests include this header; the rest
// of the system sees TDBManager alone.
#include "core/Exception.h"
#include "locale/Regional.h"

#include <ibase.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace IBClient {

// A failure reported by the client library; the message is the library's own
// text, and the codes are the engine's: the gds codes of the status vector
// (isc_transliteration_failed and the like), in their order, empty for a
// failure the library did not report. It never leaves the database manager,
// which turns it into one of its errors with the context added.
class EIBError : public Exception {
public:
    explicit EIBError(const std::string& message, std::vector<ISC_STATUS> codes = {})
        : Exception(message), Codes(std::move(codes))
    {
    }
    // Whether the engine reported the code anywhere in the vector.
    bool Reports(ISC_STATUS code) const;
    // Whether it says the connection is gone: the network failed, or the
    // server or the database was shut down.
    bool ConnectionLost() const;
    std::vector<ISC_STATUS> Codes;
};

// A status vector: the client library fills it on every call. Element 1 is
// non-zero after a failure, and fb_interpret reads the clusters that follow
// one message line at a time.
class TStatus {
public:
    ISC_STATUS* get() { return vector; }
    // The library's text of the failure, its lines joined by line feeds.
    std::string Text() const;
    // The gds codes of the failure, in the order the vector holds them.
    std::vector<ISC_STATUS> Codes() const;
    // The one place where a failed call becomes an error.
    [[noreturn]] void Raise() const;

private:
    ISC_STATUS_ARRAY vector = {};
};

// An owned handle of the client library: freed when the owner goes, without
// throwing (a destructor has no one to tell), and never committing anything.
template <class Traits>
class THandle {
public:
    THandle() = default;
    ~THandle() { Release(); }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    THandle(THandle&& other) noexcept : handle(std::exchange(other.handle, 0)) {}
    THandle& operator=(THandle&& other) noexcept
    {
        if (this != &other) {
            Release();
            handle = std::exchange(other.handle, 0);
        }
        return *this;
    }

    FB_API_HANDLE* Ptr() { return &handle; }
    FB_API_HANDLE Value() const { return handle; }
    explicit operator bool() const { return handle != 0; }
    // Frees the handle, ignoring a failure: the library has let it go by then
    // or never will, and either way it is of no more use.
    void Release() noexcept
    {
        if (handle) {
            Traits::Release(handle);
            handle = 0;
        }
    }

private:
    FB_API_HANDLE handle = 0;
};

struct TAttachmentTraits {
    static void Release(FB_API_HANDLE& handle) noexcept;  // detaches
};
struct TTransactionTraits {
    static void Release(FB_API_HANDLE& handle) noexcept;  // rolls back
};
struct TStatementTraits {
    static void Release(FB_API_HANDLE& handle) noexcept;  // drops the statement
};
struct TBlobTraits {
    static void Release(FB_API_HANDLE& handle) noexcept;  // closes the blob
};
using TAttachment = THandle<TAttachmentTraits>;
using TTransaction = THandle<TTransactionTraits>;
using TStatement = THandle<TStatementTraits>;
using TBlob = THandle<TBlobTraits>;

// An XSQLDA with room for a number of columns or parameters, and the data and
// null-indicator buffers its XSQLVARs point into once described.
class TSqlda {
public:
    explicit TSqlda(short capacity);
    XSQLDA* get() { return reinterpret_cast<XSQLDA*>(block.get()); }
    const XSQLDA* get() const { return reinterpret_cast<const XSQLDA*>(block.get()); }
    short Count() const { return get()->sqld; }
    XSQLVAR& operator[](short i) { return get()->sqlvar[i]; }
    // Whether every described variable found room (sqld <= sqln).
    bool Fits() const { return get()->sqld <= get()->sqln; }
    // Room for the given number of variables; what was described is lost.
    void Reserve(short capacity);
    // Points each described variable at a buffer of its size and an indicator.
    void AllocateBuffers();

private:
    std::unique_ptr<char[]> block;
    std::vector<char> data;
    std::vector<short> indicators;
};

// A query text with its :NAME markers turned into positional '?' markers, and
// the names in the order they stand. Markers inside string literals, quoted
// names and comments are text, not parameters.
struct TParsedSQL {
    std::string text;
    std::vector<std::string> names;
};
TParsedSQL ParseParamMarkers(const std::string& sql);

// Date and time values of the API: ISC_DATE counts days from 17 November 1858,
// ISC_TIME ten-thousandths of a second since midnight.
constexpr int kIscDateOffset = 15018;  // ISC_DATE of 30 December 1899, TDateTime 0
TDateTime FromIscDate(ISC_DATE date);
TDateTime FromIscTime(ISC_TIME time);
TDateTime FromIscTimestamp(const ISC_TIMESTAMP& timestamp);
ISC_TIMESTAMP ToIscTimestamp(TDateTime value);

// The connection: the database name, the items of its parameter block and the
// attachment.
class TIBDatabase {
public:
    std::string DatabaseName;

    // Sets an item of the parameter block by its code; an empty value removes
    // the item. An item keeps its place when its value is replaced.
    void SetParam(char code, const std::string& value);
    // The parameter block as sent: its version, then each item's code, length
    // and bytes (at most 255 of them).
    std::string ParameterBlock() const;

    bool Connected() const { return static_cast<bool>(attachment); }
    // Attaches; throws EIBError when the library refuses.
    void Open();
    // Detaches; nothing happens when not connected.
    void Close() noexcept { attachment.Release(); }
    isc_db_handle* Handle() { return attachment.Ptr(); }
    // The attachment's handle as a value, 0 when not connected.
    FB_API_HANDLE HandleValue() const { return attachment.Value(); }
    // The SQL dialect of the database, read once attached.
    unsigned short Dialect() const { return dialect; }

private:
    std::vector<std::pair<char, std::string>> params;
    TAttachment attachment;
    unsigned short dialect = SQL_DIALECT_V6;
};

// The transaction: its parameter block items and its handle.
class TIBTransaction {
public:
    // Appends one item to the transaction parameter block.
    void AddParam(char item) { params += item; }
    // The block as sent: version 3, then the items.
    std::string ParameterBlock() const;

    bool Active() const { return static_cast<bool>(transaction); }
    // Starts on the database; throws EIBError when the library refuses.
    void Start(TIBDatabase& database);
    // Rolls back; throws EIBError when the library refuses (an inactive
    // transaction included).
    void Rollback();
    // Commits; throws EIBError when the library refuses. A transaction that
    // cannot commit is still active: roll it back.
    void Commit();
    isc_tr_handle* Handle() { return transaction.Ptr(); }

private:
    std::string params;
    TTransaction transaction;
};

// fb_cancel_raise: makes the call running on the attachment in another
// thread fail with isc_cancelled. fb_cancel_abort: closes the client's side
// of a connection to a server at once, so that a call waiting on a network
// that went silent fails too (a cancel travels to the server and needs its
// answer). Safe to call from any thread at any time.
void CancelOperation(FB_API_HANDLE attachment, int kind = fb_cancel_raise) noexcept;

// One prepared statement on a connection and a transaction, its described
// parameters and columns, and its cursor. The handles it is given must outlive
// it.
class TCursor {
public:
    TCursor(isc_db_handle* database, isc_tr_handle* transaction, unsigned short dialect);

    // Allocates and prepares the statement and describes its columns and
    // parameters. Throws EIBError.
    void Prepare(const std::string& sql);
    TSqlda& Input() { return input; }
    TSqlda& Output() { return output; }
    // Opens a SELECT; any other statement is refused before it runs.
    // Throws EIBError.
    void Execute();
    // Whether the statement gives rows (a SELECT, not an execute block).
    bool IsQuery() const;
    // Runs a statement that is no query, with Input, once; its output, when
    // it returns any (RETURNING), goes into Output. Throws EIBError.
    void Run();
    // How many rows the statement run last inserted, updated and deleted,
    // as the server counts them (isc_info_sql_records). Throws EIBError.
    long long Records();
    // The next row into Output; false at the end, when the statement is freed.
    // Throws EIBError.
    bool Fetch();
    // The whole contents of a BLOB, appended to out. Throws EIBError.
    void ReadBlob(const ISC_QUAD& id, std::vector<char>& out);
    // A new BLOB of the bytes; bpb: its parameter block (sub_type and
    // character sets to convert between), empty for none. Throws EIBError.
    ISC_QUAD WriteBlob(const char* data, size_t size, const std::string& bpb);
    bool Open() const { return static_cast<bool>(statement); }
    // Frees the statement.
    void Close() noexcept { statement.Release(); }

private:
    isc_db_handle* database;
    isc_tr_handle* transaction;
    unsigned short dialect;
    TStatement statement;
    TSqlda input{8};
    TSqlda output{16};
    int type = 0;
    bool executeBlock = false;
};

// A value of the type as the bytes of an XSQLVAR buffer hold it, which need
// not be aligned for the type.
template <class T>
T ReadUnaligned(const char* bytes)
{
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// An integer of a column with the given scale (0 or negative: the number of
// digits after the decimal point), exactly.
std::string ScaledToString(long long value, int scale);

// The shortest decimal text that reads back to the same value.
std::string FloatToString(float value);
std::string FloatToString(double value);

}  // namespace IBClient
