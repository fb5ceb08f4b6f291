#pragma once
// A seeded random mix of changes to the demo shop's tables (scripts/demo/
// schema.sql), written as SQL for isql in the mix's character set (WIN1251,
// WIN1252 or UTF8), with texts of that set. The mix keeps its own
// picture of every row, so each statement it writes hits an existing row or
// a free key, and it counts what it did, so a test can tell that a seed
// still exercises every kind of change.

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace RoundTrip {

enum class Kind { Smallint, Integer, Numeric92, Double, Char, Varchar, Timestamp };

struct Column {
    std::string name;
    Kind kind;
    int length = 0;  // CHAR and VARCHAR
    bool nullable = true;
};

struct Table {
    std::string name;
    std::vector<Column> columns;  // the key columns first
    std::size_t keyCount = 1;
};

// The demo shop's four tables as scripts/demo/schema.sql declares them.
std::vector<Table> DemoTables();

struct MixCounts {
    int inserts = 0;
    int updates = 0;
    int deletes = 0;
    int keyChanges = 0;
    int toNull = 0;             // column values set to null by an update
    int fromNull = 0;           // column values set from null by an update
    int compositeKeyRows = 0;   // changes of the composite-key table
    int quotedTexts = 0;        // text values holding an apostrophe
    int semicolonTexts = 0;     // ... a semicolon
    int foreignTexts = 0;       // ... letters beyond ASCII
};

class RandomMix {
public:
    explicit RandomMix(std::uint32_t seed, const std::string& charset = "WIN1251");
    // The pieces its texts are made of, in the mix's character set.
    const std::vector<std::string>& TextPieces() const { return pieces; }

    // Inserts of `perTable` rows into every table: the starting rows.
    std::string InitialRows(int perTable);
    // `count` changes: inserts, updates (also to and from null), deletes and
    // changes of primary-key values.
    std::string Changes(int count);

    const MixCounts& Counts() const { return counts; }

private:
    using Value = std::optional<std::string>;  // an SQL literal, or null
    using Key = std::vector<std::string>;      // the key columns' literals
    using Row = std::vector<Value>;            // every column's value

    std::string Insert(std::size_t table);
    std::string Update(std::size_t table);
    std::string Delete(std::size_t table);
    std::string ChangeKey(std::size_t table);

    Value RandomValue(const Column& column, bool allowNull);
    std::string RandomText(int maxLength);
    Key NewKey(std::size_t table);
    Key RandomKeyOf(std::size_t table);
    std::string Where(std::size_t table, const Key& key) const;
    int Below(int n) { return static_cast<int>(rng() % static_cast<std::uint32_t>(n)); }

    std::mt19937 rng;
    std::vector<std::string> pieces;
    bool utf8;
    std::vector<Table> tables;
    std::vector<std::map<Key, Row>> rows;
    MixCounts counts;
};

}  // namespace RoundTrip
