#pragma once
// The database manager: the system's only door to the database. One
// connection and one transaction per process, parametrised SELECT statements,
// and errors of its own (Dbmanagererror.h) for every failure. It only reads:
// a transaction ends by roll-back, never by commit.
#include "db/Dbmanagererror.h"
#include "locale/Regional.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace IBClient {
class EIBError;
class TCursor;
class TIBDatabase;
class TIBTransaction;
}  // namespace IBClient

class TDBManager;
class TDataSet;

// The types a query parameter takes in this system.
enum TFieldType { ftUnknown, ftInteger, ftDateTime };

// A named query parameter: a type, a value and a null state. A new parameter
// is null until a value is set.
class TParam {
public:
    TParam() = default;
    TParam(TFieldType dataType, const std::string& name) : Name(name), DataType(dataType) {}

    std::string Name;
    TFieldType DataType = ftUnknown;

    bool IsNull() const { return null; }
    // Setting a value also sets the type.
    void SetAsInteger(long long value);
    void SetAsDateTime(TDateTime value);
    // 0 when null; a date-time gives its whole days.
    long long AsInteger() const;
    // 0 when null.
    TDateTime AsDateTime() const;
    // The value as text: an integer in decimal, a date-time as the user's
    // short date, a blank and the long time (no time at exactly midnight);
    // empty when null.
    std::string AsString() const;
    // Null again; name and type stay.
    void Clear();
    // Takes the type and value of another parameter, keeping the name.
    void Assign(const TParam& source);

private:
    bool null = true;
    long long integer = 0;
    TDateTime dateTime = 0;
};

// An ordered list of parameters. References to its parameters stay valid as
// more are created.
class TParams {
public:
    TParam& CreateParam(TFieldType type, const std::string& name);
    size_t Count() const { return items.size(); }
    TParam& operator[](size_t index) { return items[index]; }
    const TParam& operator[](size_t index) const { return items[index]; }
    // The first parameter of the name, compared without regard to case;
    // nullptr when there is none.
    TParam* FindParam(const std::string& name);
    const TParam* FindParam(const std::string& name) const;

private:
    std::deque<TParam> items;
};

// A column of a data set; it reads the data set's current row. With no
// current row (an empty result) it reads as null.
class TField {
public:
    const std::string& FieldName() const { return name; }
    // The value as text: CHAR and VARCHAR as their bytes, integers and scaled
    // numerics in decimal, floating point in the shortest decimal that reads
    // back to the same value, DATE, TIME and TIMESTAMP in the user's short
    // date and long time (a timestamp at exactly midnight without its time),
    // BLOBs as their bytes, BOOLEAN as True or False. Empty when null.
    std::string AsString() const;
    // SMALLINT, INTEGER and BIGINT as they are (a scaled numeric rounded to
    // an integer), a floating point value rounded, a text read as a decimal
    // integer. 0 when null. Throws Exception for a date or time, and for a
    // text that is not an integer.
    long long AsInteger() const;
    bool IsNull() const;

private:
    friend class TDataSet;
    TField(const TDataSet& dataSet, size_t index, std::string name, int sqlType, int sqlScale);

    const TDataSet* dataSet;
    size_t index;
    std::string name;
    int sqlType;  // the XSQLVAR type without its nullable bit
    int sqlScale;
};

// The rows of one query, positioned on the first row when opened. Rows are
// fetched as the caller moves forward and, once fetched, stay available: the
// set can be walked again after Last. The data set stays readable when the
// transaction it was opened in ends; rows not yet fetched then are never
// fetched. Made by TDBManager::OpenQuery and owned by its caller.
class TDataSet {
public:
    TDataSet();
    ~TDataSet();
    TDataSet(const TDataSet&) = delete;
    TDataSet& operator=(const TDataSet&) = delete;

    // Back to the first row; Eof is then false unless the result is empty.
    void First();
    // To the next row, fetching it when needed; past the last row Eof becomes
    // true and the last row stays current.
    void Next();
    // Fetches every remaining row, stands on the last one and sets Eof.
    void Last();
    bool Eof() const { return eof; }
    // The number of rows fetched so far: after Last, the whole result.
    int RecordCount() const { return static_cast<int>(rowCount); }
    // The column of the name, compared without regard to case; nullptr when
    // the result has none.
    TField* FindField(const std::string& name);
    size_t FieldCount() const { return fields.size(); }
    TField& Fields(size_t index) { return fields[index]; }

    // The query text as given, and the query's own parameters (one per name
    // its markers use, in the order they first stand).
    const std::string& SQL() const { return sql; }
    const TParams& Params() const { return params; }

private:
    friend class TDBManager;
    friend class TField;
    struct TCell {
        size_t offset = 0;
        size_t length = 0;
        bool null = true;
    };

    // Takes the query text and makes a parameter for each marker name.
    void SetSQL(const std::string& text);
    // Prepares, binds the parameters and executes on the manager's
    // connection and transaction, then fetches the first row. Throws
    // IBClient::EIBError.
    void Open(TDBManager& manager, IBClient::TIBDatabase& database, IBClient::TIBTransaction& transaction);
    // Fetches one more row into the store (in place of the current one in a
    // forward-only set); false at the end.
    bool FetchRow();
    void StoreRow();
    // Frees the statement; rows fetched stay. Called by the manager before the
    // transaction or the connection ends.
    void CloseCursor() noexcept;
    const TCell* Cell(size_t column) const;

    std::string sql;
    std::string statementText;
    std::vector<std::string> markers;
    TParams params;
    TDBManager* manager = nullptr;
    std::unique_ptr<IBClient::TCursor> cursor;
    std::vector<TField> fields;
    std::vector<char> store;
    std::vector<TCell> cells;  // row by row, one cell per column
    size_t rowCount = 0;
    size_t current = 0;
    bool eof = true;
    bool keepRows = true;
};

enum TDBManagerState { dbsDisconnected, dbsConnected, dbsInTransaction };
enum TDBOperation { dboConnect, dboEndTransaction, dboStartTransaction };

class TDBManager {
public:
    // The one manager of the process, made on the first call.
    static TDBManager& GetInstance();

    TDBManager(const TDBManager&) = delete;
    TDBManager& operator=(const TDBManager&) = delete;

    TDBManagerState GetState() const;
    bool IsTransactionActive() const;
    // Throws TranError when the operation is not allowed in the current state.
    void CheckState(TDBOperation operation);
    // Disconnects, then connects with the user's name and password (an empty
    // one is not sent) and the character set (Firebird's name), in which
    // every text of a query's result then comes. The database name goes to
    // the client library as given: a file path, "host:path" or
    // "host/port:path". Throws ConnectError; the manager is then disconnected.
    void Connect(const std::string& databaseName, const std::string& userName, const std::string& password,
                 const std::string& characterSet = "WIN1251");
    // The character set of the last Connect.
    const std::string& CharacterSet() const { return characterSet; }
    // Throws TranError.
    void StartTransaction();
    // Throws TranError.
    void Rollback();
    // Prepares and opens a SELECT in the active transaction; the caller owns
    // the result. keepRows false: a forward-only set, holding its current
    // row alone. Throws TranError outside a transaction, TooShortSQLError
    // and SQLError; CharsetError, an SQLError, when a value of the result
    // cannot be given in the connection's character set (so do the data
    // set's Next and Last).
    std::unique_ptr<TDataSet> OpenQuery(const std::string& sql, const TParams* params = nullptr,
                                        bool keepRows = true);
    // Gives the query its text and, by name, the values of params: a given
    // parameter the text does not use is ignored, a parameter of the text
    // not given stays null. Throws TooShortSQLError.
    void PrepareQuery(TDataSet& query, const std::string& sql, const TParams* params);
    // The error of a query the library failed: CharsetError or SQLError.
    [[noreturn]] static void RaiseQueryError(const IBClient::EIBError& error, const TParams* params,
                                             const std::string& sql);
    // The SQL dialect of the connected database (3 when not connected).
    unsigned short Dialect() const;
    // How many statements the manager has prepared since the process began.
    std::size_t PreparedStatements() const { return preparedStatements; }

private:
    friend class TDataSet;
    TDBManager();
    ~TDBManager();

    void Disconnect() noexcept;
    // Frees the statement of every open data set before the transaction or
    // the connection it runs in goes away.
    void CloseDataSets() noexcept;
    void Register(TDataSet* dataSet);
    void Unregister(TDataSet* dataSet) noexcept;

    std::unique_ptr<IBClient::TIBDatabase> database;
    std::unique_ptr<IBClient::TIBTransaction> transaction;
    std::vector<TDataSet*> openDataSets;
    std::size_t preparedStatements = 0;
    std::string characterSet = "WIN1251";
};
