#pragma once
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>

#include "xml/Xmlutil.h"
#include "xml/Xmlwriter.h"

namespace NorvaneImpl {

// One snapshot of a logged value: the text exactly as the log stored it.
class CFieldCast {
public:
    CFieldCast(bool aIsNull, std::string aValue) : isNull(aIsNull), value(std::move(aValue)) {}
    const bool isNull;
    const std::string value;
};

// Apostrophes around the text; an apostrophe inside it is doubled, so that a
// logged O'Brien is the literal 'O''Brien' and never ends the literal early.
// A text holding a NUL or a carriage return, which the tools that run
// scripts do not read back as they are, is written in hexadecimal with the
// script's character set: "a" CR LF "b" is _WIN1251 x'610D0A62'.
std::string Quoted(const std::string& text);

// The character set of the script being made on this thread, in which its
// values come and which its hexadecimal literals name: WIN1251, or the one
// named by the innermost TScriptCharset alive.
class TScriptCharset {
public:
    TScriptCharset(std::string name, std::string encoding);
    ~TScriptCharset();
    TScriptCharset(const TScriptCharset&) = delete;
    TScriptCharset& operator=(const TScriptCharset&) = delete;
    static const std::string& Name();
    // The encoding of its bytes for iconv ("UTF-8").
    static const std::string& Encoding();
    // The bytes of its widest character (MaxCharacterBytes).
    static int WidestCharacter();
    // A text of the program's own (a message, Windows-1251) in the script's
    // character set. Unchanged for NONE, which carries bytes as they are.
    static std::string ProgramText(const std::string& text);

private:
    std::string name;
    std::string encoding;
    int widest;
    const TScriptCharset* outer;
};

// A message of the catalogue in the script's character set with "%1", "%2",
// ... filled in: the text of an error of the run, whose names and values
// come in that set.
std::string ScriptMessage(const std::string& message, std::initializer_list<std::string> args = {});

// A table or column name as a statement names it. With quoting (dialect 3
// databases) a name that is not a regular identifier (upper-case Latin
// letters, digits, "_" and "$", starting with a letter, and no reserved
// word) is written in double quotes, a double quote inside doubled; regular
// names and every name without quoting are written exactly as logged.
std::string SQLName(const std::string& name, bool quote);

// The name of an InterBase type code in words, for the codes that have no
// literal form; empty for a code no column type has.
std::string IBTypeName(int typeCode);

// Raised for a value whose InterBase type code has no SQL literal form.
class CEUnknownIBType : public std::range_error {
public:
    CEUnknownIBType(int typeCode, std::string fieldName);
    void SetTableName(const std::string& name);
    const char* what() const noexcept override;
    int TypeCode() const { return typeCode; }

private:
    void Compose();
    int typeCode;
    std::string fieldName;
    std::string tableName;
    std::string message;
};

// One logged field: name, type code and the values before and after the change.
class CFieldValue {
public:
    // The type code is cut to its low 8 bits (a BLOB's 261 becomes 5). The
    // BLOB sub_type tells a text BLOB (1), written as a text literal, from
    // any other, written as the hexadecimal literal of its bytes. quoteName:
    // statements write the name by SQLName with quoting. octets: a CHAR,
    // VARCHAR or text BLOB of the character set OCTETS, bytes that are no
    // text, written in hexadecimal too.
    CFieldValue(int type, std::unique_ptr<CFieldCast> newValue, std::unique_ptr<CFieldCast> oldValue,
                std::string name, int subType = 0, bool quoteName = false, bool octets = false);
    CFieldValue(const CFieldValue&) = delete;
    CFieldValue& operator=(const CFieldValue&) = delete;

    std::string GetSQL(const CFieldCast& snapshot) const;
    // The name as logged, and as statements write it.
    std::string GetName() const;
    std::string GetSQLName() const;
    std::string GetNewSQL() const;
    std::string GetOldSQL() const;
    std::string GetNewEquality() const;
    std::string GetOldEquality() const;
    std::string GetKeyEquality() const;

    // Search-condition forms: like the equalities, but a null value is
    // tested with "is null", since "= null" matches no row.
    std::string GetNewCondition() const;
    std::string GetOldCondition() const;
    std::string GetKeyCondition() const;

    std::int8_t GetType() const { return type; }
    int GetSubType() const { return subType; }
    bool IsOctets() const { return octets; }
    // Both values logged and the same (both null, or the same text): a
    // column logged only to find its row by.
    bool Unchanged() const;
    const CFieldCast* GetNewValue() const { return newValue.get(); }
    const CFieldCast* GetOldValue() const { return oldValue.get(); }

    // Appends this value's Field element under parent.
    void AddXMLElement(XMLutil::TXMLNode* parent, XMLutil::TXMLDocument& document) const;
    // Writes the same Field element with a writer standing in its parent.
    void WriteXMLElement(XMLutil::TXMLWriter& writer) const;

private:
    std::string GetCondition(const CFieldCast& snapshot) const;
    void AddCastElement(const char* elementName, const CFieldCast* snapshot, XMLutil::TXMLNode* parent,
                        XMLutil::TXMLDocument& document) const;

    std::int8_t type;  // InterBase type code, compared as a signed byte
    int subType;
    bool octets;
    std::string name;
    std::string sqlName;
    std::unique_ptr<CFieldCast> newValue;
    std::unique_ptr<CFieldCast> oldValue;
};

}  // namespace NorvaneImpl
