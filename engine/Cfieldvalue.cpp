#include "engine/Cfieldvalue.h"

#include "core/Charset.h"
#include "engine/Cnumberliteral.h"
#include "locale/Messages.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace NorvaneImpl {

namespace {

// InterBase type codes of rdb$fields.rdb$field_type (their low 8 bits).
enum : std::int8_t {
    ibBlob = 5,            // BLOB (261)
    ibShort = 7,           // SMALLINT
    ibLong = 8,            // INTEGER
    ibQuad = 9,            // an array's id
    ibFloat = 10,          // FLOAT
    ibDate = 12,           // DATE (dialect 3)
    ibTime = 13,           // TIME
    ibText = 14,           // CHAR
    ibInt64 = 16,          // BIGINT, and NUMERIC and DECIMAL stored as one
    ibBoolean = 23,        // BOOLEAN
    ibDecFloat16 = 24,     // DECFLOAT(16)
    ibDecFloat34 = 25,     // DECFLOAT(34)
    ibInt128 = 26,         // INT128, and wide NUMERIC and DECIMAL
    ibDouble = 27,         // DOUBLE PRECISION
    ibTimeTz = 28,         // TIME WITH TIME ZONE
    ibTimestampTz = 29,    // TIMESTAMP WITH TIME ZONE
    ibTimestamp = 35,      // TIMESTAMP (DATE in dialect 1)
    ibVarying = 37,        // VARCHAR
    ibCString = 40,        // CSTRING
};

constexpr int kTextBlob = 1;

// The engine takes a literal of at most 65,535 bytes; a longer BLOB value is
// joined from pieces of this many bytes, a text piece doubling its
// apostrophes and a binary one written in two hexadecimal digits a byte.
constexpr std::size_t kBlobPiece = 30000;

// Firebird 3 counts a text literal's length as its characters times the
// widest character of its set: at most 65,535, so 16,383 characters in UTF8.
constexpr std::size_t kLiteralBytes = 65535;

// The words that Firebird 3 reserves, in strcmp order: such a name is a valid
// identifier only in double quotes.
const char* const kReservedWords[] = {
    "ADD", "ADMIN", "ALL", "ALTER", "AND", "ANY", "AS", "AT", "AVG", "BEGIN", "BETWEEN", "BIGINT", "BIT_LENGTH",
    "BLOB", "BOOLEAN", "BOTH", "BY", "CASE", "CAST", "CHAR", "CHARACTER", "CHARACTER_LENGTH", "CHAR_LENGTH",
    "CHECK", "CLOSE", "COLLATE", "COLUMN", "COMMIT", "CONNECT", "CONSTRAINT", "CORR", "COUNT", "COVAR_POP",
    "COVAR_SAMP", "CREATE", "CROSS", "CURRENT", "CURRENT_CONNECTION", "CURRENT_DATE", "CURRENT_ROLE",
    "CURRENT_TIME", "CURRENT_TIMESTAMP", "CURRENT_TRANSACTION", "CURRENT_USER", "CURSOR", "DATE", "DAY", "DEC",
    "DECIMAL", "DECLARE", "DEFAULT", "DELETE", "DELETING", "DETERMINISTIC", "DISCONNECT", "DISTINCT", "DOUBLE",
    "DROP", "ELSE", "END", "ESCAPE", "EXECUTE", "EXISTS", "EXTERNAL", "EXTRACT", "FALSE", "FETCH", "FILTER",
    "FLOAT", "FOR", "FOREIGN", "FROM", "FULL", "FUNCTION", "GDSCODE", "GLOBAL", "GRANT", "GROUP", "HAVING",
    "HOUR", "IN", "INDEX", "INNER", "INSENSITIVE", "INSERT", "INSERTING", "INT", "INTEGER", "INTO", "IS",
    "JOIN", "LEADING", "LEFT", "LIKE", "LOCALTIME", "LOCALTIMESTAMP", "LONG", "LOWER", "MAX", "MERGE", "MIN",
    "MINUTE", "MONTH", "NATIONAL", "NATURAL", "NCHAR", "NO", "NOT", "NULL", "NUMERIC", "OCTET_LENGTH", "OF",
    "OFFSET", "ON", "ONLY", "OPEN", "OR", "ORDER", "OUTER", "OVER", "PARAMETER", "PLAN", "POSITION",
    "POST_EVENT", "PRECISION", "PRIMARY", "PROCEDURE", "RDB$DB_KEY", "RDB$RECORD_VERSION", "REAL",
    "RECORD_VERSION", "RECREATE", "RECURSIVE", "REFERENCES", "REGR_AVGX", "REGR_AVGY", "REGR_COUNT",
    "REGR_INTERCEPT", "REGR_R2", "REGR_SLOPE", "REGR_SXX", "REGR_SXY", "REGR_SYY", "RELEASE", "RETURN",
    "RETURNING_VALUES", "RETURNS", "REVOKE", "RIGHT", "ROLLBACK", "ROW", "ROWS", "ROW_COUNT", "SAVEPOINT",
    "SCROLL", "SECOND", "SELECT", "SENSITIVE", "SET", "SIMILAR", "SMALLINT", "SOME", "SQLCODE", "SQLSTATE",
    "START", "STDDEV_POP", "STDDEV_SAMP", "SUM", "TABLE", "THEN", "TIME", "TIMESTAMP", "TO", "TRAILING",
    "TRIGGER", "TRIM", "TRUE", "UNION", "UNIQUE", "UNKNOWN", "UPDATE", "UPDATING", "UPPER", "USER", "USING",
    "VALUE", "VALUES", "VARCHAR", "VARIABLE", "VARYING", "VAR_POP", "VAR_SAMP", "VIEW", "WHEN", "WHERE",
    "WHILE", "WITH", "YEAR",
};

// The list is in strcmp order: a name is looked up by halves.
bool IsReservedWord(const std::string& name)
{
    return std::binary_search(std::begin(kReservedWords), std::end(kReservedWords), name.c_str(),
                              [](const char* a, const char* b) { return std::strcmp(a, b) < 0; });
}

bool IsRegularIdentifier(const std::string& name)
{
    if (name.empty() || name[0] < 'A' || name[0] > 'Z')
        return false;
    for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$'))
            return false;
    return !IsReservedWord(name);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// An exact or approximate number literal: an optional sign, digits with at
// most one decimal point among or around them, and an optional exponent.
bool IsNumberLiteral(const std::string& text)
{
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    size_t digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (IsDigit(text[i]))
            ++digits;
        else if (text[i] == '.' && !point)
            point = true;
        else
            break;
    }
    if (digits == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        size_t exponent = 0;
        for (; i < text.size() && IsDigit(text[i]); ++i)
            ++exponent;
        if (exponent == 0)
            return false;
    }
    return i == text.size();
}

// Whether the engine's parser takes the number as a literal: the digits
// before any exponent, the point left out, must make a 64-bit integer. A
// longer number is no token at all, and is better given to the engine as a
// text to convert.
bool FitsLiteral(const std::string& number)
{
    std::string digits;
    for (char c : number.substr(0, number.find_first_of("eE")))
        if (IsDigit(c) && !(digits.empty() && c == '0'))
            digits += c;
    const std::string limit = number[0] == '-' ? "9223372036854775808" : "9223372036854775807";
    return digits.size() < limit.size() || (digits.size() == limit.size() && digits <= limit);
}

// A number with an exponent without the trailing zeros of its fraction:
// the engine reads the digits as a whole and scales them, so that the
// sixteen digits of 2.500000000000000e-300 take it below the range of a
// double, while 2.5e-300 is read. The value is the same.
std::string WithoutTrailingZeros(const std::string& number)
{
    const size_t exponent = number.find_first_of("eE");
    const size_t point = number.find('.');
    if (exponent == std::string::npos || point == std::string::npos || point > exponent)
        return number;
    // A number written without digits before its point keeps one after it.
    const bool whole = point > 0 && IsDigit(number[point - 1]);
    size_t end = exponent;
    while (end > point + (whole ? 1 : 2) && number[end - 1] == '0')
        --end;
    if (end == point + 1)
        --end;  // no fraction left: the point goes too
    return number.substr(0, end) + number.substr(exponent);
}

bool IsTruthValue(const std::string& text)
{
    std::string upper;
    for (char c : text)
        upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    return upper == "TRUE" || upper == "FALSE" || upper == "UNKNOWN";
}

std::string Hexadecimal(const std::string& bytes, size_t from, size_t count)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out = "x'";
    out.reserve(2 * count + 3);
    for (size_t i = from; i < from + count; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        out += digits[c >> 4];
        out += digits[c & 0x0F];
    }
    out += '\'';
    return out;
}

// The bytes of the next piece of a text value, from `from`, of at most
// `count` bytes: in a set of characters of more than one byte, whole
// characters only, no more than one literal of the set may hold. In the
// other sets a piece does not end before a byte 0x80 to 0xBF (a UTF-8
// continuation byte), as earlier versions cut them.
size_t TextPiece(const std::string& value, size_t from, size_t count)
{
    const int widest = TScriptCharset::WidestCharacter();
    if (widest > 1)
        return std::max<size_t>(1, WholeCharacters(TScriptCharset::Encoding(), value.data() + from, count,
                                                   kLiteralBytes / static_cast<size_t>(widest)));
    while (count > 1 && from + count < value.size() &&
           (static_cast<unsigned char>(value[from + count]) & 0xC0) == 0x80)
        --count;
    return count;
}

// Whether the text fits one literal in the script's character set.
bool FitsOneLiteral(const std::string& value)
{
    const int widest = TScriptCharset::WidestCharacter();
    return widest == 1 || value.size() <= kLiteralBytes / static_cast<size_t>(widest) ||
           TextPiece(value, 0, value.size()) == value.size();
}

// A CHAR or VARCHAR value too long for one literal of a multi-byte set is
// the concatenation of its pieces, which Firebird takes up to the longest
// value a column holds.
std::string TextLiteral(const std::string& value)
{
    if (FitsOneLiteral(value))
        return Quoted(value);
    std::string out;
    for (size_t from = 0; from < value.size();) {
        const size_t count = TextPiece(value, from, value.size() - from);
        out += (from == 0 ? "" : " || ") + Quoted(value.substr(from, count));
        from += count;
    }
    return out;
}

// A BLOB value longer than one literal is the concatenation of its pieces,
// the first cast to the BLOB type so that the whole never becomes a string
// with a string's limit. A text piece holds whole characters (TextPiece).
std::string BlobLiteral(const std::string& value, bool text)
{
    if (value.size() <= kBlobPiece && (!text || FitsOneLiteral(value)))
        return text ? Quoted(value) : Hexadecimal(value, 0, value.size());
    std::string out;
    for (size_t from = 0; from < value.size();) {
        size_t count = std::min(kBlobPiece, value.size() - from);
        if (text)
            count = TextPiece(value, from, count);
        const std::string piece = text ? Quoted(value.substr(from, count)) : Hexadecimal(value, from, count);
        if (from == 0)
            out = "cast(" + piece + (text ? " as blob sub_type text)" : " as blob sub_type binary)");
        else
            out += " || " + piece;
        from += count;
    }
    return out;
}

thread_local const TScriptCharset* scriptCharset = nullptr;

}  // namespace

std::string SQLName(const std::string& name, bool quote)
{
    if (!quote)
        return name;
    // Trailing blanks do not count in a name.
    std::string trimmed = name.substr(0, name.find_last_not_of(' ') + 1);
    if (IsRegularIdentifier(trimmed))
        return name;
    std::string out = "\"";
    for (char c : trimmed) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string IBTypeName(int typeCode)
{
    switch (static_cast<std::int8_t>(static_cast<std::uint8_t>(typeCode & 0xFF))) {
    case ibQuad:
        return "ARRAY";
    case 11:
        return "D_FLOAT";
    case 45:
        return "BLOB_ID";
    default:
        return {};
    }
}

TScriptCharset::TScriptCharset(std::string aName, std::string aEncoding)
    : name(std::move(aName)), encoding(std::move(aEncoding)), widest(MaxCharacterBytes(name)), outer(scriptCharset)
{
    scriptCharset = this;
}

TScriptCharset::~TScriptCharset() { scriptCharset = outer; }

const std::string& TScriptCharset::Name()
{
    static const std::string byDefault = kDefaultCharset;
    return scriptCharset ? scriptCharset->name : byDefault;
}

const std::string& TScriptCharset::Encoding()
{
    static const std::string byDefault = CharsetOf(kDefaultCharset).encoding;
    return scriptCharset ? scriptCharset->encoding : byDefault;
}

int TScriptCharset::WidestCharacter()
{
    static const int byDefault = MaxCharacterBytes(kDefaultCharset);
    return scriptCharset ? scriptCharset->widest : byDefault;
}

std::string TScriptCharset::ProgramText(const std::string& text)
{
    if (!scriptCharset || scriptCharset->name == "NONE")
        return text;
    return Recode(text, "WINDOWS-1251", scriptCharset->encoding);
}

std::string ScriptMessage(const std::string& message, std::initializer_list<std::string> args)
{
    return FormatMessage(TScriptCharset::ProgramText(message), args);
}

std::string Quoted(const std::string& text)
{
    // A NUL ends a line for the tools that run scripts, and isql drops a
    // carriage return that ends a line it reads: a text holding either is
    // written as its bytes in hexadecimal, which carries every byte.
    if (text.find_first_of(std::string("\0\r", 2)) != std::string::npos)
        return "_" + TScriptCharset::Name() + " " + Hexadecimal(text, 0, text.size());
    std::string out;
    out.reserve(text.size() + 2);
    out += '\'';
    for (char c : text) {
        if (c == '\'')
            out += '\'';
        out += c;
    }
    out += '\'';
    return out;
}

CEUnknownIBType::CEUnknownIBType(int aTypeCode, std::string aFieldName)
    : std::range_error(""), typeCode(aTypeCode), fieldName(std::move(aFieldName))
{
    Compose();
}

void CEUnknownIBType::SetTableName(const std::string& name)
{
    tableName = name;
    Compose();
}

void CEUnknownIBType::Compose()
{
    message = ScriptMessage(msgUnknownFieldType) + "\n" + ScriptMessage(msgFieldTable, {tableName}) + "\n" +
              ScriptMessage(msgFieldName, {fieldName}) + "\n" +
              ScriptMessage(msgFieldTypeCode, {std::to_string(typeCode)});
}

const char* CEUnknownIBType::what() const noexcept
{
    return message.c_str();
}

CFieldValue::CFieldValue(int aType, std::unique_ptr<CFieldCast> aNewValue, std::unique_ptr<CFieldCast> aOldValue,
                         std::string aName, int aSubType, bool quoteName, bool aOctets)
    : type(static_cast<std::int8_t>(static_cast<std::uint8_t>(aType & 0xFF))),
      subType(aSubType),
      octets(aOctets),
      name(std::move(aName)),
      sqlName(SQLName(this->name, quoteName)),
      newValue(std::move(aNewValue)),
      oldValue(std::move(aOldValue))
{
}

std::string CFieldValue::GetSQL(const CFieldCast& snapshot) const
{
    // A null value is the word null whatever the type, even one without a
    // literal form.
    if (snapshot.isNull)
        return "null";
    switch (type) {
    case ibFloat:
    case ibDouble:
        // A floating point number in a form Firebird reads back as the
        // very number logged.
        if (IsNumberLiteral(snapshot.value)) {
            const std::string exact =
                ExactFloatingLiteral(WithoutTrailingZeros(snapshot.value), type == ibFloat);
            if (!exact.empty())
                return exact;
            if (FitsLiteral(snapshot.value))
                return WithoutTrailingZeros(snapshot.value);
        }
        return Quoted(snapshot.value);
    case ibShort:
    case ibLong:
    case ibInt64:
    case ibDecFloat16:
    case ibDecFloat34:
    case ibInt128:
        // Bare only when the log holds a number: any other text is passed
        // to the engine as a text literal to convert or refuse, so that a
        // logged value never becomes a piece of the statement. The engines
        // that have DECFLOAT and INT128 read their long numbers as literals.
        if (!IsNumberLiteral(snapshot.value) ||
            (type != ibDecFloat16 && type != ibDecFloat34 && type != ibInt128 && !FitsLiteral(snapshot.value)))
            return Quoted(snapshot.value);
        return WithoutTrailingZeros(snapshot.value);
    case ibBoolean:
        return IsTruthValue(snapshot.value) ? snapshot.value : Quoted(snapshot.value);
    case ibText:
    case ibVarying:
    case ibCString:
        return octets ? Hexadecimal(snapshot.value, 0, snapshot.value.size()) : TextLiteral(snapshot.value);
    case ibDate:
    case ibTime:
    case ibTimeTz:
    case ibTimestampTz:
    case ibTimestamp:
        return Quoted(snapshot.value);
    case ibBlob:
        return BlobLiteral(snapshot.value, subType == kTextBlob && !octets);
    default:
        throw CEUnknownIBType(type, name);
    }
}

std::string CFieldValue::GetCondition(const CFieldCast& snapshot) const
{
    if (snapshot.isNull)
        return sqlName + " is null";
    return sqlName + " = " + GetSQL(snapshot);
}

bool CFieldValue::Unchanged() const
{
    return newValue && oldValue && newValue->isNull == oldValue->isNull && newValue->value == oldValue->value;
}

std::string CFieldValue::GetName() const { return name; }
std::string CFieldValue::GetSQLName() const { return sqlName; }
std::string CFieldValue::GetNewSQL() const { return GetSQL(*newValue); }
std::string CFieldValue::GetOldSQL() const { return GetSQL(*oldValue); }
std::string CFieldValue::GetNewEquality() const { return sqlName + " = " + GetSQL(*newValue); }
std::string CFieldValue::GetOldEquality() const { return sqlName + " = " + GetSQL(*oldValue); }
std::string CFieldValue::GetKeyEquality() const { return GetNewEquality(); }
std::string CFieldValue::GetNewCondition() const { return GetCondition(*newValue); }
std::string CFieldValue::GetOldCondition() const { return GetCondition(*oldValue); }
std::string CFieldValue::GetKeyCondition() const { return GetNewCondition(); }

}  // namespace NorvaneImpl
