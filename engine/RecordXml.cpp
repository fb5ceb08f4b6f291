// The XML form of a log record and of its field values.
#include "engine/Clogrecord.h"

#include <array>
#include <cstdint>

namespace NorvaneImpl {

using namespace XMLutil;

namespace {

// A type code as the XML log writes it, made once for each of the 256.
const std::string& TypeText(std::int8_t type)
{
    static const std::array<std::string, 256> texts = [] {
        std::array<std::string, 256> all;
        for (int code = -128; code < 128; ++code)
            all[static_cast<std::uint8_t>(code)] = std::to_string(code);
        return all;
    }();
    return texts[static_cast<std::uint8_t>(type)];
}

}  // namespace

void CLogRecord::AddXMLElement(TXMLDocument& document) const
{
    TXMLNode* root = GetDocumentElement(document);
    if (!root)
        throw CEXMLproblem("Unable to get document element");

    TXMLNode* record = nullptr;
    AddElement("Record", record, root, document);
    SetAttribute("Table", tableName, record);
    SetAttribute("Action", std::string(1, action), record);
    SetAttribute("User", userName, record);
    SetAttribute("DateTime", dateTime, record);

    // Key and Fields are always there, empty when the record has none.
    TXMLNode* keyElement = nullptr;
    AddElement("Key", keyElement, record, document);
    for (const auto& key : keys)
        key->AddXMLElement(keyElement, document);

    TXMLNode* fieldsElement = nullptr;
    AddElement("Fields", fieldsElement, record, document);
    for (const auto& field : fields)
        field->AddXMLElement(fieldsElement, document);
}

void CFieldValue::AddXMLElement(TXMLNode* parent, TXMLDocument& document) const
{
    TXMLNode* field = nullptr;
    AddElement("Field", field, parent, document);
    SetAttribute("Name", name, field);
    // The code as stored, a signed byte; the XML form does not check it.
    SetAttribute("Type", std::to_string(static_cast<int>(type)), field);
    AddCastElement("New", newValue.get(), field, document);
    AddCastElement("Old", oldValue.get(), field, document);
}

void CFieldValue::AddCastElement(const char* elementName, const CFieldCast* snapshot, TXMLNode* parent,
                                 TXMLDocument& document) const
{
    if (!snapshot)
        return;
    TXMLNode* element = nullptr;
    AddElement(elementName, element, parent, document);
    SetAttribute("IsNull", snapshot->isNull ? "yes" : "no", element);
    // A null value still gets its (empty) text node.
    AddText(element, document, snapshot->value);
}

void CLogRecord::WriteXMLElement(TXMLWriter& writer) const
{
    writer.StartElement("Record");
    writer.Attribute("Table", tableName);
    writer.Attribute("Action", std::string(1, action));
    writer.Attribute("User", userName);
    writer.Attribute("DateTime", dateTime);
    writer.StartElement("Key");
    for (const auto& key : keys)
        key->WriteXMLElement(writer);
    writer.EndElement();
    writer.StartElement("Fields");
    for (const auto& field : fields)
        field->WriteXMLElement(writer);
    writer.EndElement();
    writer.EndElement();
}

void CFieldValue::WriteXMLElement(TXMLWriter& writer) const
{
    writer.StartElement("Field");
    writer.Attribute("Name", name);
    writer.Attribute("Type", TypeText(type));
    for (const auto& [elementName, snapshot] : {std::pair{"New", newValue.get()}, std::pair{"Old", oldValue.get()}}) {
        if (!snapshot)
            continue;
        writer.StartElement(elementName);
        writer.Attribute("IsNull", snapshot->isNull ? "yes" : "no");
        writer.Text(snapshot->value);
        writer.EndElement();
    }
    writer.EndElement();
}

}  // namespace NorvaneImpl
