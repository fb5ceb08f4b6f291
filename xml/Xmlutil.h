#pragma once
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

struct _xmlDoc;
struct _xmlNode;

// A thin layer over libxml2's tree: functions that either succeed or throw
// CEXMLproblem with a fixed English message. Element and attribute names are
// ASCII; values come in as 8-bit text in the document's text encoding
// (Windows-1251 unless its owner names another) and are converted to Unicode
// here.
namespace XMLutil {

class CEXMLproblem : public std::runtime_error {
public:
    explicit CEXMLproblem(const std::string& message) : std::runtime_error(message) {}
};

// Elements and text nodes belong to their document.
using TXMLNode = ::_xmlNode;

// Owns one libxml2 document; an empty document holds no tree.
class TXMLDocument {
public:
    TXMLDocument() = default;
    ~TXMLDocument();
    TXMLDocument(const TXMLDocument&) = delete;
    TXMLDocument& operator=(const TXMLDocument&) = delete;

    ::_xmlDoc* get() const { return doc; }
    void reset(::_xmlDoc* replacement = nullptr);

    // The encoding of the texts that LoadFromText, SetAttribute and AddText
    // are given, an iconv name; the declaration of a loaded text still
    // decides the encoding the document is saved in.
    static constexpr const char* kDefaultEncoding = "WINDOWS-1251";
    const std::string& TextEncoding() const { return textEncoding; }
    void SetTextEncoding(std::string encoding) { textEncoding = std::move(encoding); }

private:
    ::_xmlDoc* doc = nullptr;
    std::string textEncoding = kDefaultEncoding;
};

std::unique_ptr<TXMLDocument> CreateParser();
// Parses 8-bit text in the document's text encoding into the document,
// replacing its content.
void LoadFromText(const std::string& text, TXMLDocument& document);
// The root element, or nullptr when the document has none.
TXMLNode* GetDocumentElement(TXMLDocument& document);
void SetAttribute(const char* name, const std::string& value, TXMLNode* element);
void AddElement(const char* name, TXMLNode*& newElement, TXMLNode* parent, TXMLDocument& document);
// Appends a text node holding the 8-bit text.
void AddText(TXMLNode* parent, TXMLDocument& document, const std::string& text);
// The serialised document, as the bytes a saved file holds (the encoding its
// declaration names, Windows-1251 for the XML log).
std::string GetXMLText(TXMLDocument& document);
void SaveToFile(const std::string& fileName, TXMLDocument& document);
// 8-bit text in the encoding as the UTF-8 content of an attribute or a text
// node, as SetAttribute and AddText store it. Throws CEXMLproblem with
// failure when it cannot be converted.
std::string ContentText(const std::string& text, const std::string& encoding, const char* failure);

}  // namespace XMLutil
