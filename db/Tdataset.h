#pragma once
// The result of a query: its columns (TField) and its rows (TDataSet), as
// TDBManager::OpenQuery gives them.
#include "db/Tparams.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace IBClient {
class TCursor;
class TIBDatabase;
class TIBTransaction;
}  // namespace IBClient

class TDBManager;
class TDataSet;

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
    // The current row's value of the column, read from its bytes by the SQL
    // type: the one place that knows how each type is stored.
    struct TValue;
    TValue Value() const;

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
