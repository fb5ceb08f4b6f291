#pragma once
#include <string>
#include <unordered_map>
#include <vector>

class TParams;

namespace NorvaneImpl {

// A name as SQL compares it: without its trailing blanks.
std::string Trimmed(std::string name);

// What a script needs to know of one column.
struct TColumnInfo {
    int code = 0;       // InterBase type code, low 8 bits; 9 for an array column
    int subType = 0;    // a BLOB's sub_type
    int charsetId = 0;  // a text's character set (1: OCTETS, bytes without a character set)
};

// What a script needs to know of one table of the database.
struct TTableInfo {
    std::string name;  // as the database has it, without trailing blanks
    // A table of the user's that a script may change: not the system's, not
    // a view, not a temporary or external table, not the change log's own.
    bool writable = false;
    // The columns a row is found by, in key order: the primary key's; for a
    // table without one, those of its first unique constraint (by name)
    // whose columns are all not null; else none.
    std::vector<std::string> key;
    bool primaryKey = false;  // key is the primary key
};

// The tables and columns of the database a run reads, as the log's entries
// are checked against them and their values typed by them.
class CSchema {
public:
    // Reads the database's tables, keys and columns through the database
    // manager's transaction; the period's parameters also count its entries.
    void Read(const TParams& period);
    // The number of log entries of the period, counted by Read, and the
    // lowest and highest of their log ids (0 when there are none).
    int Entries() const { return entries; }
    long long FirstId() const { return firstId; }
    long long LastId() const { return lastId; }

    void AddTable(TTableInfo table);
    void AddColumn(const std::string& table, const std::string& column, TColumnInfo info);
    // nullptr when the database has no such table (names compared as SQL
    // compares them, trailing blanks aside) or no such column.
    const TTableInfo* Table(const std::string& name) const;
    const TColumnInfo* Column(const std::string& table, const std::string& column) const;

private:
    void ReadTables();
    void ReadColumns(const TParams& period);

    int entries = 0;
    long long firstId = 0;
    long long lastId = 0;
    std::unordered_map<std::string, TTableInfo> tables;    // by trimmed name
    std::unordered_map<std::string, TColumnInfo> columns;  // by trimmed table and column name
};

}  // namespace NorvaneImpl
