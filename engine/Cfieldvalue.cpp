#include "engine/Cfieldvalue.h"

#include "app/core/Charset.h"

namespace NorvaneImpl {

namespace {

// InterBase type codes of rdb$fields.rdb$field_type that have a literal form.
enum : std::int8_t {
    ibShort = 7,       // SMALLINT
    ibLong = 8,        // INTEGER
    ibText = 14,       // CHAR
    ibDouble = 27,     // DOUBLE PRECISION
    ibTimestamp = 35,  // TIMESTAMP (DATE in dialect 1)
    ibVarying = 37,    // VARCHAR
};

thread_local const TScriptCharset* scriptCharset = nullptr;

}  // namespace

TScriptCharset::TScriptCharset(std::string name, std::string encoding)
    : name(std::move(name)), encoding(std::move(encoding)), outer(scriptCharset)
{
    scriptCharset = this;
}

TScriptCharset::~TScriptCharset() { scriptCharset = outer; }

const std::string& TScriptCharset::Name()
{
    static const std::string byDefault = kDefaultCharset;
    return scriptCharset ? scriptCharset->name : byDefault;
}

std::string TScriptCharset::ProgramText(const std::string& text)
{
    if (!scriptCharset || scriptCharset->name == "NONE" || scriptCharset->name == "OCTETS")
        return text;
    return Recode(text, "WINDOWS-1251", scriptCharset->encoding);
}

std::string Quoted(const std::string& text)
{
    // A NUL ends a line for the tools that run scripts, and isql drops a
    // carriage return that ends a line it reads: a text holding either is
    // written as its bytes in hexadecimal, which carries every byte.
    if (text.find_first_of(std::string("\0\r", 2)) != std::string::npos) {
        static const char digits[] = "0123456789ABCDEF";
        std::string out = "_" + TScriptCharset::Name() + " x'";
        out.reserve(out.size() + 2 * text.size() + 1);
        for (unsigned char c : text) {
            out += digits[c >> 4];
            out += digits[c & 0x0F];
        }
        out += '\'';
        return out;
    }
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

CEUnknownIBType::CEUnknownIBType(int typeCode, std::string fieldName)
    : std::range_error(""), typeCode(typeCode), fieldName(std::move(fieldName))
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
    message = "Unknown field type.\nTable name: '" + tableName + "'\nField name: '" + fieldName +
              "'\nField type: " + std::to_string(typeCode);
}

const char* CEUnknownIBType::what() const noexcept
{
    return message.c_str();
}

CFieldValue::CFieldValue(int type, std::unique_ptr<CFieldCast> newValue, std::unique_ptr<CFieldCast> oldValue,
                         std::string name)
    : type(static_cast<std::int8_t>(static_cast<std::uint8_t>(type & 0xFF))),
      name(std::move(name)),
      newValue(std::move(newValue)),
      oldValue(std::move(oldValue))
{
}

std::string CFieldValue::GetSQL(const CFieldCast& snapshot) const
{
    // A null value is the word null whatever the type, even one without a
    // literal form.
    if (snapshot.isNull)
        return "null";
    switch (type) {
    case ibShort:
    case ibLong:
    case ibDouble:
        return snapshot.value;
    case ibText:
    case ibTimestamp:
    case ibVarying:
        return Quoted(snapshot.value);
    default:
        throw CEUnknownIBType(type, name);
    }
}

std::string CFieldValue::GetCondition(const CFieldCast& snapshot) const
{
    if (snapshot.isNull)
        return name + " is null";
    return name + " = " + GetSQL(snapshot);
}

std::string CFieldValue::GetName() const { return name; }
std::string CFieldValue::GetNewSQL() const { return GetSQL(*newValue); }
std::string CFieldValue::GetOldSQL() const { return GetSQL(*oldValue); }
std::string CFieldValue::GetNewEquality() const { return name + " = " + GetSQL(*newValue); }
std::string CFieldValue::GetOldEquality() const { return name + " = " + GetSQL(*oldValue); }
std::string CFieldValue::GetKeyEquality() const { return GetNewEquality(); }
std::string CFieldValue::GetNewCondition() const { return GetCondition(*newValue); }
std::string CFieldValue::GetOldCondition() const { return GetCondition(*oldValue); }
std::string CFieldValue::GetKeyCondition() const { return GetNewCondition(); }

}  // namespace NorvaneImpl
