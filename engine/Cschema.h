#pragma once
#include <string>
#include <unordered_map>
#include <vector>

class TParams;

namespace NorvaneImpl {

// A name as SQL compares it: without its trailing blanks.
std::string Trimmed(std::string name);

// The character set of bytes that are no text.
constexpr int kOctets = 1;

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
    std::unordered_map<std::string, TColumnInfo> columns;  // by name, without trailing blanks

    // nullptr when the table has no such column (compared as SQL compares
    // names, trailing blanks aside).
    const TColumnInfo* Column(const std::string& column) const;
};

// What the database does to the rows that refer to a row when that row's
// key changes or the row goes.
enum class TRefAction { None, Cascade, SetNull, SetDefault };

// A foreign key whose referential action changes rows of its table (the
// child) when the row they refer to (in the parent) changes or goes.
struct TForeignKey {
    std::string name;
    std::string childTable;
    std::vector<std::string> childColumns;
    std::string parentTable;
    std::vector<std::string> parentColumns;  // in the order of childColumns
    TRefAction onUpdate = TRefAction::None;
    TRefAction onDelete = TRefAction::None;
};

// The tables and columns of the database a run reads, as the log's entries
// are checked against them and their values typed by them.
class CSchema {
public:
    // Reads the database's tables, keys and columns through the database
    // manager's transaction; the period's parameters also count its entries.
    void Read(const TParams& period);
    // The number of log entries of the period, counted by Read, and the
    // lowest and highest of their log ids (0 without entries).
    int Entries() const { return entries; }
    long long FirstId() const { return firstId; }
    long long LastId() const { return lastId; }

    void AddTable(TTableInfo table);
    void AddColumn(const std::string& table, const std::string& column, TColumnInfo info);
    // nullptr when the database has no such table (names compared as SQL
    // compares them, trailing blanks aside) or no such column.
    const TTableInfo* Table(const std::string& name) const;
    const TColumnInfo* Column(const std::string& table, const std::string& column) const;
    // How many columns of the table hold values (computed ones do not).
    int StoredColumns(const std::string& table) const;

    // The foreign keys with a referential action (TRefAction other than
    // None on update or on delete), and for a table those that refer to it
    // and those it has, by their place in ForeignKeys.
    void AddForeignKey(TForeignKey key);
    const std::vector<TForeignKey>& ForeignKeys() const { return foreignKeys; }
    const std::vector<std::size_t>& ReferringTo(const std::string& table) const;
    const std::vector<std::size_t>& ReferringFrom(const std::string& table) const;

private:
    void ReadTables();
    void ReadColumns(const TParams& period);
    void ReadForeignKeys();

    std::vector<TForeignKey> foreignKeys;
    std::unordered_map<std::string, std::vector<std::size_t>> byParent;  // by trimmed table name
    std::unordered_map<std::string, std::vector<std::size_t>> byChild;

    int entries = 0;
    long long firstId = 0;
    long long lastId = 0;
    std::unordered_map<std::string, TTableInfo> tables;  // by trimmed name
    std::unordered_map<std::string, int> storedColumns;  // by trimmed table name
};

}  // namespace NorvaneImpl
