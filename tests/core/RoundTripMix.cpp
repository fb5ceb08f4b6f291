#include "RoundTripMix.h"

#include "FbTestUtil.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace RoundTrip {

namespace {

// Pieces the texts are made of: Cyrillic letters, apostrophes, double quotes,
// semicolons, the script's own statement separator, and things that look
// like comments. Joined at random, so a value can hold several of them.
const char* const kTextPieces[] = {
    "Москва",
    "O'Brien",
    "семь; восемь",
    "Ёлка и ёж",
    "Чай \"Липтон\"",
    "it's done; next",
    "Щука",
    "д'Артаньян",
    "a -- b",
    "/* не комментарий */",
    "цена: 10%",
    "ул. Ленина, 5",
    "Hello",
    "end;\n\nbegin",
    "''",
};

// Accented Latin for a WIN1252 mix, and the scripts of the world up to the
// emoji beyond the basic plane for a UTF8 one; the marks of SQL stay, and
// a line break as CR LF makes hexadecimal literals of the set.
const char* const kLatinPieces[] = {
    "Café crème", "O'Brien", "Straße; Maß", "Ærøskøbing", "naïve façade", "Œuvre €5 — «fin»",
    "São Paulo", "CR\r\nLF", "a -- b", "/* ñandú */", "end;\n\nbegin", "''", "Zürich",
};
const char* const kWorldPieces[] = {
    "Привет, мир", "O'Brien", "Ελληνικά; αβγ", "日本語のテキスト", "中文 测试", "😀🎉 emoji",
    "한국어", "CR\r\nLF", "a -- b", "/* 𝄞 ♫ */", "end;\n\nbegin", "''", "Ёлка € ①",
};

std::string InCharset(const char* utf8, const std::string& charset)
{
    if (charset == "UTF8")
        return utf8;
    return charset == "WIN1252" ? Encoded(utf8, "WINDOWS-1252") : Cp1251(utf8);
}

// isql drops a carriage return that ends a line of its script: one goes in
// as ascii_char(13).
std::string SqlText(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += '\'';
        out += c == '\r' ? std::string("' || ascii_char(13) || '") : std::string(1, c);
    }
    return out + "'";
}

bool HasForeign(const std::string& text)
{
    for (unsigned char c : text)
        if (c >= 0x80)
            return true;
    return false;
}

}  // namespace

std::vector<Table> DemoTables()
{
    return {
        {"CUSTOMERS",
         {{"ID", Kind::Integer, 0, false},
          {"NAME", Kind::Varchar, 60, false},
          {"CITY", Kind::Varchar, 40},
          {"PHONE", Kind::Char, 12},
          {"DISCOUNT", Kind::Smallint},
          {"CREATED", Kind::Timestamp}},
         1},
        {"GOODS",
         {{"ID", Kind::Integer, 0, false},
          {"TITLE", Kind::Varchar, 80, false},
          {"PRICE", Kind::Numeric92},
          {"WEIGHT", Kind::Double},
          {"UNIT", Kind::Char, 3},
          {"STOCK", Kind::Smallint}},
         1},
        {"ORDERS",
         {{"ID", Kind::Integer, 0, false},
          {"CUSTOMER_ID", Kind::Integer},
          {"ORDERED", Kind::Timestamp},
          {"TOTAL", Kind::Numeric92},
          {"NOTE", Kind::Varchar, 200}},
         1},
        {"ORDER_LINES",
         {{"ORDER_ID", Kind::Integer, 0, false},
          {"LINE_NO", Kind::Smallint, 0, false},
          {"GOODS_ID", Kind::Integer},
          {"QUANTITY", Kind::Double},
          {"PRICE", Kind::Numeric92}},
         2},
    };
}

RandomMix::RandomMix(std::uint32_t seed, const std::string& charset)
    : rng(seed), utf8(charset == "UTF8"), tables(DemoTables()), rows(tables.size())
{
    if (charset == "WIN1251")
        for (const char* piece : kTextPieces)
            pieces.push_back(Cp1251(piece));
    else
        for (const char* piece : charset == "UTF8" ? kWorldPieces : kLatinPieces)
            pieces.push_back(InCharset(piece, charset));
}

std::string RandomMix::InitialRows(int perTable)
{
    std::string sql;
    for (std::size_t t = 0; t < tables.size(); ++t)
        for (int i = 0; i < perTable; ++i)
            sql += Insert(t);
    counts = MixCounts{};
    return sql;
}

std::string RandomMix::Changes(int count)
{
    std::string sql;
    for (int i = 0; i < count; ++i) {
        const std::size_t t = static_cast<std::size_t>(Below(static_cast<int>(tables.size())));
        if (t + 1 == tables.size())
            ++counts.compositeKeyRows;
        const int pick = Below(100);
        if (rows[t].empty() || pick < 30)
            sql += Insert(t);
        else if (pick < 70)
            sql += Update(t);
        else if (pick < 85)
            sql += Delete(t);
        else
            sql += ChangeKey(t);
    }
    return sql;
}

std::string RandomMix::Insert(std::size_t t)
{
    const Table& table = tables[t];
    const Key key = NewKey(t);
    Row row(key.begin(), key.end());
    for (std::size_t c = table.keyCount; c < table.columns.size(); ++c)
        row.push_back(RandomValue(table.columns[c], table.columns[c].nullable));

    std::string names, values;
    for (std::size_t c = 0; c < table.columns.size(); ++c) {
        if (c) {
            names += ", ";
            values += ", ";
        }
        names += table.columns[c].name;
        values += row[c] ? *row[c] : "null";
    }
    rows[t][key] = row;
    ++counts.inserts;
    return "insert into " + table.name + " (" + names + ")\n    values (" + values + ");\n";
}

std::string RandomMix::Update(std::size_t t)
{
    const Table& table = tables[t];
    const Key key = RandomKeyOf(t);
    Row& row = rows[t][key];
    const std::size_t nonKey = table.columns.size() - table.keyCount;
    const int changes = 1 + Below(static_cast<int>(std::min<std::size_t>(3, nonKey)));

    std::vector<std::size_t> chosen;
    while (static_cast<int>(chosen.size()) < changes) {
        const std::size_t c = table.keyCount + static_cast<std::size_t>(Below(static_cast<int>(nonKey)));
        if (std::find(chosen.begin(), chosen.end(), c) == chosen.end())
            chosen.push_back(c);
    }
    std::string set;
    for (std::size_t c : chosen) {
        const Column& column = table.columns[c];
        // Half of the updates of a nullable column that holds a value clear it,
        // so that updates to null are common enough.
        const bool toNull = column.nullable && row[c] && Below(2) == 0;
        Value value = toNull ? Value{} : RandomValue(column, false);
        if (row[c] && !value)
            ++counts.toNull;
        if (!row[c] && value)
            ++counts.fromNull;
        row[c] = value;
        if (!set.empty())
            set += ", ";
        set += column.name + " = " + (value ? *value : "null");
    }
    ++counts.updates;
    return "update " + table.name + " set " + set + "\n    where " + Where(t, key) + ";\n";
}

std::string RandomMix::Delete(std::size_t t)
{
    const Key key = RandomKeyOf(t);
    rows[t].erase(key);
    ++counts.deletes;
    return "delete from " + tables[t].name + " where " + Where(t, key) + ";\n";
}

std::string RandomMix::ChangeKey(std::size_t t)
{
    const Table& table = tables[t];
    const Key oldKey = RandomKeyOf(t);
    Key newKey = NewKey(t);
    // A composite key changes in one of its columns at a time as often as in all.
    if (table.keyCount > 1 && Below(2) == 0) {
        const std::size_t kept = static_cast<std::size_t>(Below(static_cast<int>(table.keyCount)));
        newKey[kept] = oldKey[kept];
        if (rows[t].count(newKey))
            return Update(t);
    }
    std::string set;
    for (std::size_t c = 0; c < table.keyCount; ++c) {
        if (newKey[c] == oldKey[c])
            continue;
        if (!set.empty())
            set += ", ";
        set += table.columns[c].name + " = " + newKey[c];
    }
    Row row = rows[t][oldKey];
    rows[t].erase(oldKey);
    for (std::size_t c = 0; c < table.keyCount; ++c)
        row[c] = newKey[c];
    rows[t][newKey] = row;
    ++counts.keyChanges;
    return "update " + table.name + " set " + set + "\n    where " + Where(t, oldKey) + ";\n";
}

RandomMix::Value RandomMix::RandomValue(const Column& column, bool allowNull)
{
    if (allowNull && Below(10) < 3)
        return {};
    char buffer[64];
    switch (column.kind) {
    case Kind::Smallint:
        return std::to_string(Below(20001) - 10000);
    case Kind::Integer:
        return std::to_string(Below(2000001) - 1000000);
    case Kind::Numeric92: {
        const int cents = Below(2000001) - 1000000;
        const int whole = (cents < 0 ? -cents : cents);
        std::snprintf(buffer, sizeof buffer, "%s%d.%02d", cents < 0 ? "-" : "", whole / 100, whole % 100);
        return std::string(buffer);
    }
    case Kind::Double:
        // Hundredths and eighths: values that keep their exact double when the
        // log casts them to text with sixteen significant digits.
        if (Below(2) == 0)
            std::snprintf(buffer, sizeof buffer, "%.2f", (Below(20000001) - 10000000) / 100.0);
        else
            std::snprintf(buffer, sizeof buffer, "%.3f", (Below(200001) - 100000) / 8.0);
        return std::string(buffer);
    case Kind::Char:
    case Kind::Varchar: {
        const std::string text = RandomText(column.length);
        if (text.find('\'') != std::string::npos)
            ++counts.quotedTexts;
        if (text.find(';') != std::string::npos)
            ++counts.semicolonTexts;
        if (HasForeign(text))
            ++counts.foreignTexts;
        return SqlText(text);
    }
    case Kind::Timestamp:
        std::snprintf(buffer, sizeof buffer, "'20%02d-%02d-%02d %02d:%02d:%02d.%04d'", 20 + Below(6), 1 + Below(12),
                      1 + Below(28), Below(24), Below(60), Below(60), Below(10000));
        return std::string(buffer);
    }
    return {};
}

std::string RandomMix::RandomText(int maxLength)
{
    std::string text;
    const int count = 1 + Below(3);
    for (int i = 0; i < count; ++i) {
        if (i)
            text += ' ';
        text += pieces[static_cast<std::size_t>(Below(static_cast<int>(pieces.size())))];
    }
    // A length counts characters: in UTF-8, the bytes that do not continue one.
    std::size_t cut = 0;
    for (int kept = 0; cut < text.size(); ++cut)
        if (!utf8 || (static_cast<unsigned char>(text[cut]) & 0xC0) != 0x80)
            if (kept++ == maxLength)
                break;
    text.resize(cut);
    // Firebird compares texts without their trailing blanks, so the logging
    // trigger would not see a change that only adds or removes them.
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text.empty() ? "x" : text;
}

RandomMix::Key RandomMix::NewKey(std::size_t t)
{
    const Table& table = tables[t];
    for (;;) {
        Key key;
        for (std::size_t c = 0; c < table.keyCount; ++c)
            key.push_back(std::to_string(1 + Below(table.keyCount > 1 ? (c == 0 ? 60 : 9) : 1000)));
        if (!rows[t].count(key))
            return key;
    }
}

RandomMix::Key RandomMix::RandomKeyOf(std::size_t t)
{
    auto it = rows[t].begin();
    std::advance(it, Below(static_cast<int>(rows[t].size())));
    return it->first;
}

std::string RandomMix::Where(std::size_t t, const Key& key) const
{
    std::string where;
    for (std::size_t c = 0; c < tables[t].keyCount; ++c) {
        if (c)
            where += " and ";
        where += tables[t].columns[c].name + " = " + key[c];
    }
    return where;
}

}  // namespace RoundTrip
