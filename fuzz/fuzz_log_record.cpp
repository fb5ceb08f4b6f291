// A log record of arbitrary letters, type codes, names and values: its
// reproducing and undo statements and its XML form. A value's literal must
// always read back as the value itself.
#include "FuzzUtil.h"

#include "core/Resfuncs.h"
#include "engine/Clogrecord.h"
#include "engine/Cnumberliteral.h"
#include "res/TextIds.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

using namespace NorvaneImpl;
using FuzzUtil::Check;

namespace {

const int kTypeCodes[] = {7, 8, 9, 10, 12, 13, 14, 16, 23, 27, 28, 35, 37, 40, 261};
const char* const kNames[] = {"ID", "NAME", "id", "PRICE"};

int TypeCode(FuzzedDataProvider& input)
{
    if (input.ConsumeBool())
        return kTypeCodes[input.ConsumeIntegralInRange<size_t>(0, std::size(kTypeCodes) - 1)];
    return input.ConsumeIntegral<int>();
}

std::string Name(FuzzedDataProvider& input)
{
    if (input.ConsumeBool())
        return kNames[input.ConsumeIntegralInRange<size_t>(0, std::size(kNames) - 1)];
    return input.ConsumeRandomLengthString(40);
}

std::unique_ptr<CFieldCast> Snapshot(FuzzedDataProvider& input)
{
    const bool isNull = input.ConsumeIntegralInRange<int>(0, 4) == 0;
    std::string value = input.ConsumeRandomLengthString(300);
    return std::make_unique<CFieldCast>(isNull, isNull ? std::string() : value);
}

// The text a literal stands for: apostrophes around it, and every apostrophe
// inside doubled; or, for a text holding a NUL or a carriage return, its
// bytes in hexadecimal.
bool Unquote(const std::string& literal, std::string& text)
{
    const std::string hexPrefix = "_WIN1251 x'";
    if (literal.compare(0, hexPrefix.size(), hexPrefix) == 0) {
        const std::string digits = "0123456789ABCDEF";
        if (literal.back() != '\'' || (literal.size() - hexPrefix.size() - 1) % 2 != 0)
            return false;
        text.clear();
        for (size_t i = hexPrefix.size(); i + 1 < literal.size(); i += 2) {
            const size_t high = digits.find(literal[i]), low = digits.find(literal[i + 1]);
            if (high == std::string::npos || low == std::string::npos)
                return false;
            text += static_cast<char>(high * 16 + low);
        }
        return text.find_first_of(std::string("\0\r", 2)) != std::string::npos;
    }
    if (literal.find_first_of(std::string("\0\r", 2)) != std::string::npos)
        return false;
    if (literal.size() < 2 || literal.front() != '\'' || literal.back() != '\'')
        return false;
    text.clear();
    for (size_t i = 1; i + 1 < literal.size(); ++i) {
        if (literal[i] == '\'') {
            if (i + 2 >= literal.size() || literal[i + 1] != '\'')
                return false;
            ++i;
        }
        text += literal[i];
    }
    return true;
}

// The bytes of a hexadecimal literal x'...'.
bool UnHex(const std::string& literal, std::string& bytes)
{
    const std::string digits = "0123456789ABCDEF";
    if (literal.size() < 3 || literal.compare(0, 2, "x'") != 0 || literal.back() != '\'' || literal.size() % 2 == 0)
        return false;
    bytes.clear();
    for (size_t i = 2; i + 1 < literal.size(); i += 2) {
        const size_t high = digits.find(literal[i]), low = digits.find(literal[i + 1]);
        if (high == std::string::npos || low == std::string::npos)
            return false;
        bytes += static_cast<char>(high * 16 + low);
    }
    return true;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The number a logged text denotes, exactly; false for one that is no finite
// number.
bool Number(const std::string& text, double& value)
{
    const std::size_t start = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    const auto read = std::from_chars(text.data() + start, text.data() + text.size(), value);
    if (read.ec != std::errc() || read.ptr != text.data() + text.size() || std::isinf(value))
        return false;
    if (start == 1 && text[0] == '-')
        value = -value;
    return true;
}

// What Firebird makes of a floating point literal the engine writes: a
// number, the sum or difference of two, or an integer times a power of two,
// in parentheses, each after an optional minus sign.
bool Evaluate(std::string literal, bool single, double& value)
{
    bool negative = !literal.empty() && literal[0] == '-';
    if (!literal.empty() && (literal[0] == '-' || literal[0] == '+'))
        literal.erase(0, 1);
    if (literal.size() > 2 && literal.front() == '(' && literal.back() == ')') {
        const std::string inner = literal.substr(1, literal.size() - 2);
        double a = 0, b = 0;
        std::size_t at = inner.find(" * power(2, ");
        if (at != std::string::npos) {
            value = std::ldexp(std::stod(inner.substr(0, at)), std::stoi(inner.substr(at + 12)));
        } else if ((at = inner.find(" + ")) != std::string::npos || (at = inner.find(" - ")) != std::string::npos) {
            if (!FirebirdReads(inner.substr(0, at), a) || !FirebirdReads(inner.substr(at + 3), b))
                return false;
            value = inner[at + 1] == '+' ? a + b : a - b;
        } else {
            return false;
        }
    } else {
        if (!FirebirdReads(literal, value))
            return false;
        // Minus an exact zero is zero.
        if (value == 0 && literal.find_first_of("eE") == std::string::npos)
            negative = false;
    }
    if (single)
        value = static_cast<float>(value);
    value = negative ? -value : value;
    return true;
}

void CheckLiteral(const CFieldValue& field, const CFieldCast& snapshot)
{
    std::string literal;
    try {
        literal = field.GetSQL(snapshot);
    } catch (const CEUnknownIBType&) {
        Check(!snapshot.isNull, "a null value of any type is null");
        return;
    }
    if (snapshot.isNull) {
        Check(literal == "null", "a null value is the word null", literal);
        return;
    }
    std::string text;
    switch (field.GetType()) {
    case 5:
        if (field.GetSubType() == 1) {
            Check(Unquote(literal, text) && text == snapshot.value, "a text BLOB is a text literal", literal);
        } else {
            Check(UnHex(literal, text) && text == snapshot.value, "a binary BLOB is its bytes in hexadecimal",
                  literal);
        }
        break;
    case 12:
    case 13:
    case 14:
    case 28:
    case 29:
    case 35:
    case 37:
    case 40:
        Check(Unquote(literal, text), "a text literal is quoted, its apostrophes doubled", literal);
        Check(text == snapshot.value, "a text literal stands for the value", literal);
        break;
    case 10:
    case 27:
        // A number, in a form of numbers alone; any other text is a text
        // literal.
        if (literal.empty() || literal.find_first_not_of("0123456789+-.eE()*, powr") != std::string::npos) {
            Check(Unquote(literal, text) && text == snapshot.value, "any other text is a text literal", literal);
        } else {
            double logged = 0, written = 0;
            if (Number(snapshot.value, logged) && (field.GetType() == 27 || !std::isinf(static_cast<float>(logged))))
                Check(Evaluate(literal, field.GetType() == 10, written) &&
                          SameBits(written, field.GetType() == 10 ? static_cast<float>(logged) : logged),
                      "Firebird reads a floating point literal as the logged number", literal);
        }
        break;
    case 7:
    case 8:
    case 16:
    case 23:
    case 24:
    case 25:
    case 26:
        // Bare only when the text is a number (or a truth value), which no
        // statement can be made of; any other text is a text literal.
        if (literal == snapshot.value)
            Check(literal.find_first_not_of(field.GetType() == 23 ? "TRUEFALSNKOWtruefalsnkow" : "0123456789+-.eE") ==
                      std::string::npos,
                  "only a number is written bare", literal);
        else if (!literal.empty() && literal.find_first_not_of("0123456789+-.eE") == std::string::npos)
            // A number with an exponent loses the trailing zeros of its
            // fraction (and a point left without one); it stays the number.
            Check(literal.find_first_of("eE") != std::string::npos && literal.size() < snapshot.value.size() &&
                      std::strtod(literal.c_str(), nullptr) == std::strtod(snapshot.value.c_str(), nullptr),
                  "a number shortened is the logged number", literal);
        else
            Check(Unquote(literal, text) && text == snapshot.value, "any other text is a text literal", literal);
        break;
    default:
        FuzzUtil::Fail("a type without a literal form gave one", literal);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const uint8_t letter = input.ConsumeIntegral<uint8_t>();
    const char action = letter < 240 ? "IUD"[letter % 3] : static_cast<char>(letter);
    const bool comments = input.ConsumeBool();
    const auto encodingChoice = input.ConsumeIntegral<uint8_t>();
    const std::string table = Name(input);
    const std::string user = input.ConsumeRandomLengthString(40);
    const std::string dateTime = input.ConsumeRandomLengthString(40);

    TFieldList keys;
    const size_t keyCount = input.ConsumeIntegralInRange<size_t>(0, 3);
    for (size_t i = 0; i < keyCount; ++i) {
        const int type = TypeCode(input);
        std::string name = Name(input);
        const int subType = input.ConsumeBool() ? 1 : 0;
        keys.push_back(std::make_unique<CFieldValue>(type, Snapshot(input), nullptr, std::move(name), subType));
    }
    TFieldList fields;
    const size_t fieldCount = input.ConsumeIntegralInRange<size_t>(0, 4);
    for (size_t i = 0; i < fieldCount; ++i) {
        const int type = TypeCode(input);
        std::string name = Name(input);
        auto newValue = Snapshot(input);
        auto oldValue = Snapshot(input);
        const int subType = input.ConsumeBool() ? 1 : 0;
        fields.push_back(
            std::make_unique<CFieldValue>(type, std::move(newValue), std::move(oldValue), std::move(name), subType));
    }

    for (const auto& key : keys)
        CheckLiteral(*key, *key->GetNewValue());
    for (const auto& field : fields) {
        CheckLiteral(*field, *field->GetNewValue());
        CheckLiteral(*field, *field->GetOldValue());
    }

    const CLogRecord record(action, comments, table, user, dateTime, std::move(keys), std::move(fields));
    for (bool reproducing : {true, false}) {
        try {
            const std::string statement = record.GetStatement(reproducing);
            Check(action == 'I' || action == 'U' || action == 'D' || statement.empty(),
                  "only I, U and D give statements");
            if (comments && !statement.empty()) {
                // The comment comes first, and the first end mark is its own:
                // nothing the log holds ends it early.
                Check(statement.rfind("/* ", 0) == 0, "the comment comes first", statement);
                const size_t end = statement.find(" */\n");
                Check(end != std::string::npos && statement.find("*/") == end + 1, "the comment ends once",
                      statement);
                const std::string body = statement.substr(end + 4);
                Check(body.rfind("insert into ", 0) == 0 || body.rfind("update ", 0) == 0 ||
                          body.rfind("delete from ", 0) == 0,
                      "a statement follows its comment", statement);
            }
        } catch (const CEUnknownActionLetter&) {
            Check(action != 'I' && action != 'U' && action != 'D', "I, U and D are known letters");
        } catch (const CEUnknownIBType& e) {
            // The message is a C string: a name holding a zero byte ends there.
            const std::string named = "Table name: '" + table.substr(0, table.find('\0'));
            Check(std::string(e.what()).find(named) != std::string::npos, "an unknown type names its table", e.what());
        }
    }

    // The log in the encoding of one of the character sets a run reads in.
    const char* const encodings[] = {"Windows-1251", "UTF-8", "ISO-8859-1", "KOI8-R", "Shift_JIS", "GB18030"};
    const std::string encoding = encodings[encodingChoice % std::size(encodings)];
    std::string xmlTemplate = LoadResourceText(BuiltinTexts::kXmlTemplate, "XML");
    const std::string declared = "encoding=\"Windows-1251\"";
    xmlTemplate.replace(xmlTemplate.find(declared), declared.size(), "encoding=\"" + encoding + "\"");
    XMLutil::TXMLDocument document;
    document.SetTextEncoding(encoding);
    XMLutil::LoadFromText(xmlTemplate, document);
    record.AddXMLElement(document);
    const std::string text = XMLutil::GetXMLText(document);
    // The writer that streams the XML log spells the same document alike.
    std::string streamed;
    XMLutil::TXMLWriter writer(xmlTemplate, encoding, &streamed);
    record.WriteXMLElement(writer);
    writer.Finish();
    Check(streamed == text, "the streamed XML log is the saved tree", text + "\n----\n" + streamed);
    xmlDoc* parsed = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, XML_PARSE_NONET);
    Check(parsed != nullptr, "the XML log parses back", text);
    xmlFreeDoc(parsed);
    return 0;
}
