#pragma once
// A connection of its own, beside the database manager: for work that reads
// one database and writes another at the same time. The database manager
// stays the one door that reads a run's log; a TConnection is attached,
// given transactions and statements, and let go by its owner. Each piece is
// a handle: a transaction not committed is rolled back when it goes, a
// statement is dropped, the connection is detached. A transaction must go
// before its connection, a statement before its transaction.
//
//   TConnection target(location, user, password, "UTF8");
//   TDBTransaction transaction(target, TTransactionMode::Write);
//   TDBStatement update(transaction, "update T set NAME = ? where ID = ?");
//   update.SetText(0, "Anna", charsetId);
//   update.SetText(1, "7", charsetId);
//   update.Execute();
//   if (update.Rows() != 1) ...
//   transaction.Commit();
#include "db/Dbmanagererror.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace IBClient {
class EIBError;
class TIBDatabase;
class TIBTransaction;
class TCursor;
}  // namespace IBClient

// The id of the character set NONE: a text parameter's bytes taken as they
// are, for ASCII names and numbers.
constexpr int kNoCharset = 0;

// A statement the library refused to prepare or run: SQLError's message
// (the library's text and the statement) and the library's text alone, for
// callers that put it into words of their own.
class StatementError : public SQLError {
public:
    StatementError(const std::string& libraryMessage, const std::string& sql);
    std::string LibraryMessage;
};

class TConnection {
public:
    // Attaches with the user's name and password (an empty one is not sent)
    // and the character set, in which texts are then exchanged. Throws
    // ConnectError.
    TConnection(const std::string& location, const std::string& user, const std::string& password,
                const std::string& characterSet);
    ~TConnection();
    TConnection(const TConnection&) = delete;
    TConnection& operator=(const TConnection&) = delete;

    const std::string& Location() const { return location; }
    const std::string& CharacterSet() const { return characterSet; }
    // The database's SQL dialect.
    unsigned short Dialect() const;
    // Makes the call running on this connection in another thread fail at
    // once; safe from any thread.
    void Cancel() noexcept;

private:
    friend class TDBTransaction;
    friend class TDBStatement;
    std::string location;
    std::string characterSet;
    std::unique_ptr<IBClient::TIBDatabase> database;
};

enum class TTransactionMode {
    // One snapshot, as the database stood when the transaction started; it
    // only reads.
    Read,
    // One snapshot that writes; a row another transaction holds fails at
    // once instead of waiting. It keeps no undo log of its own: a roll-back
    // leaves its changes to the garbage collector, dead, and a long run of
    // changes costs no memory for undoing them.
    Write,
};

class TDBTransaction {
public:
    // Starts; throws TranError.
    TDBTransaction(TConnection& connection, TTransactionMode mode);
    // Rolls back when still active, without throwing.
    ~TDBTransaction();
    TDBTransaction(const TDBTransaction&) = delete;
    TDBTransaction& operator=(const TDBTransaction&) = delete;

    bool Active() const;
    // Throws TranError, or ConnectionLostError when the connection is gone;
    // the transaction is over either way.
    void Commit();
    void Rollback();
    TConnection& Connection() { return connection; }

private:
    friend class TDBStatement;
    TConnection& connection;
    std::unique_ptr<IBClient::TIBTransaction> transaction;
};

// What the server says a parameter or a column is: its SQL type without the
// null flag, scale, sub-type (a text's character set, a BLOB's sub_type)
// and length in bytes. A BLOB's character set, for a text BLOB, is in scale.
struct TSqlTypeInfo {
    int type = 0;
    int scale = 0;
    int subType = 0;
    int length = 0;

    bool IsText() const;   // CHAR or VARCHAR
    bool IsBlob() const;
    bool IsFloat() const;  // FLOAT or DOUBLE PRECISION
    // A text's character set (RDB$CHARACTER_SET_ID), without its collation.
    int Charset() const { return subType & 0xFF; }
};

// One prepared statement with positional parameters ('?'), run as often as
// needed with new values.
class TDBStatement {
public:
    // Prepares; throws StatementError, or ConnectionLostError.
    TDBStatement(TDBTransaction& transaction, const std::string& sql);
    ~TDBStatement();
    TDBStatement(const TDBStatement&) = delete;
    TDBStatement& operator=(const TDBStatement&) = delete;

    const std::string& SQL() const { return sql; }
    int ParamCount() const;
    const TSqlTypeInfo& Param(int index) const { return params[static_cast<size_t>(index)]; }

    // A parameter's next value. A text goes as bytes of the character set
    // of the given id (RDB$CHARACTER_SET_ID), converted by the server to the
    // parameter's own type: a number, a date or a text of another set; one
    // longer than a text column can be is refused (StatementError).
    void SetNull(int index);
    void SetText(int index, std::string_view bytes, int charsetId);
    void SetDouble(int index, double value);
    void SetInteger(int index, long long value);
    // A BLOB made of the bytes. A text BLOB's bytes are text of the set of
    // the given id, which the server converts to the parameter's own.
    void SetBlob(int index, std::string_view bytes, int charsetId);

    // Runs the statement with the values set. A query is opened (Fetch reads
    // its rows); any other statement runs, and what it returns (RETURNING)
    // is its one row. Throws StatementError, or ConnectionLostError.
    void Execute();
    // How many rows the statement inserted, updated or deleted when it ran
    // last (isc_info_sql_records: a round trip of its own on a server).
    long long Rows();
    // The next row of an opened query; false after the last. A statement
    // that is no query has its one row after Execute without it.
    bool Fetch();
    int ColumnCount() const;
    bool IsNull(int column) const;
    // An integer column's stored integer (its scale aside), 0 when null.
    long long Integer(int column) const;
    // A column as text for a message: a text or a BLOB as its bytes, a
    // number as written in SQL, a date or time as YYYY-MM-DD HH:MM:SS.ssss,
    // a boolean as TRUE or FALSE. Empty when null.
    std::string Text(int column) const;

private:
    [[noreturn]] void Raise(const IBClient::EIBError& error) const;
    void SetValue(int index, int type, int length, const void* data, int subType = 0);

    TDBTransaction& transaction;
    std::string sql;
    std::unique_ptr<IBClient::TCursor> cursor;
    std::vector<TSqlTypeInfo> params;
    std::vector<std::vector<char>> values;  // each parameter's value as sent
    bool query = false;
    bool returned = false;  // a statement that is no query has its row to give
};
