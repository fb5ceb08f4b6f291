#include "xml/Xmlutil.h"

#include "core/AtomicFile.h"
#include "core/Charset.h"
#include "core/Exception.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace XMLutil {

namespace {

// The encoding of a document's values, which its owner names
// (Windows-1251 unless told otherwise); libxml2 keeps the owner in the
// document's _private field.
const std::string& TextEncoding(const xmlDoc* doc)
{
    static const std::string byDefault = TXMLDocument::kDefaultEncoding;
    const auto* owner = doc ? static_cast<const TXMLDocument*>(doc->_private) : nullptr;
    return owner ? owner->TextEncoding() : byDefault;
}

// XML 1.0 has no way to carry the control characters below U+0020 other than
// tab, line feed and carriage return, not even as character references. A
// value holding one gets U+FFFD REPLACEMENT CHARACTER in its place, so the
// log stays well-formed; tab, line feed and carriage return are kept (the
// serialiser writes a carriage return as a reference, so it reads back).
// The text is UTF-8, where a byte below 0x20 is always a character of its own.
void ReplaceForbiddenControls(std::string& text)
{
    auto forbidden = [](unsigned char c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\r'; };
    size_t i = 0;
    while (i < text.size() && !forbidden(static_cast<unsigned char>(text[i])))
        ++i;
    if (i == text.size())
        return;
    std::string out(text, 0, i);
    out.reserve(text.size() + 8);
    for (; i < text.size(); ++i) {
        if (forbidden(static_cast<unsigned char>(text[i])))
            out += "\xEF\xBF\xBD";
        else
            out += text[i];
    }
    text.swap(out);
}

// A value for an attribute or a text node, or false when it cannot be converted.
bool ContentToUtf8(const std::string& text, const xmlDoc* doc, std::string& out)
{
    if (!ToUtf8(text, TextEncoding(doc), out))
        return false;
    ReplaceForbiddenControls(out);
    return true;
}

const xmlChar* X(const char* text) { return reinterpret_cast<const xmlChar*>(text); }
const xmlChar* X(const std::string& text) { return reinterpret_cast<const xmlChar*>(text.c_str()); }

// The encoding named by the XML declaration at the start of the text; empty
// when there is no declaration or it names none.
std::string DeclaredEncoding(const std::string& text)
{
    if (text.compare(0, 5, "<?xml") != 0)
        return {};
    size_t end = text.find("?>");
    size_t pos = text.find("encoding", 5);
    if (end == std::string::npos || pos == std::string::npos || pos > end)
        return {};
    pos += 8;
    auto skipBlanks = [&] {
        while (pos < end && std::strchr(" \t\r\n", text[pos]))
            ++pos;
    };
    skipBlanks();
    if (pos >= end || text[pos] != '=')
        return {};
    ++pos;
    skipBlanks();
    if (pos >= end || (text[pos] != '"' && text[pos] != '\''))
        return {};
    size_t close = text.find(text[pos], pos + 1);
    if (close == std::string::npos || close > end)
        return {};
    return text.substr(pos + 1, close - pos - 1);
}

struct TSaveCloser {
    void operator()(xmlSaveCtxt* context) const { xmlSaveClose(context); }
};

// Where a serialised document goes: a text in memory or an open file.
struct TSink {
    std::string* text = nullptr;
    std::FILE* file = nullptr;
    bool failed = false;
};

int SinkWrite(void* context, const char* buffer, int length)
{
    TSink& sink = *static_cast<TSink*>(context);
    if (sink.text) {
        sink.text->append(buffer, static_cast<size_t>(length));
    } else if (std::fwrite(buffer, 1, static_cast<size_t>(length), sink.file) != static_cast<size_t>(length)) {
        sink.failed = true;
        return -1;
    }
    return length;
}

int SinkClose(void*) { return 0; }

// Serialises the document in the encoding its declaration names, indented:
// libxml2 adds line breaks and blanks only between elements and leaves the
// content of an element that holds text exactly as it is. Characters that
// the encoding lacks are written as character references. An empty
// document gives no bytes.
bool Serialise(TXMLDocument& document, TSink& sink)
{
    xmlDoc* doc = document.get();
    if (!doc)
        return true;
    const char* encoding = doc->encoding ? reinterpret_cast<const char*>(doc->encoding) : nullptr;
    std::unique_ptr<xmlSaveCtxt, TSaveCloser> context(
        xmlSaveToIO(SinkWrite, SinkClose, &sink, encoding, XML_SAVE_FORMAT));
    if (!context)
        return false;
    if (xmlSaveDoc(context.get(), doc) < 0)
        return false;
    return xmlSaveClose(context.release()) >= 0 && !sink.failed;
}

// Children are appended only to an element of the same document.
bool CanHoldChildren(const TXMLNode* parent, const TXMLDocument& document)
{
    return parent && parent->type == XML_ELEMENT_NODE && parent->doc == document.get();
}

struct TFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

std::string ContentText(const std::string& text, const std::string& encoding, const char* failure)
{
    std::string utf8;
    if (!ToUtf8(text, encoding, utf8))
        throw CEXMLproblem(failure);
    ReplaceForbiddenControls(utf8);
    return utf8;
}

TXMLDocument::~TXMLDocument()
{
    reset();
}

void TXMLDocument::reset(::_xmlDoc* replacement)
{
    if (replacement == doc)
        return;
    if (doc)
        xmlFreeDoc(doc);
    doc = replacement;
    if (doc)
        doc->_private = this;
}

std::unique_ptr<TXMLDocument> CreateParser()
{
    try {
        xmlInitParser();
        std::string probe;
        if (!ToUtf8("\xC0", TXMLDocument::kDefaultEncoding, probe))
            throw CEXMLproblem("Unable to create XML parser object");
        return std::make_unique<TXMLDocument>();
    } catch (const std::bad_alloc&) {
        throw CEXMLproblem("Unable to create XML parser object");
    }
}

void LoadFromText(const std::string& text, TXMLDocument& document)
{
    // The text is converted before parsing, so the parser reads UTF-8 and
    // ignores the declared encoding; the declaration still decides how the
    // document is saved. A failed parse leaves the document empty.
    document.reset();
    std::string utf8;
    if (!ToUtf8(text, document.TextEncoding(), utf8))
        throw CEXMLproblem("Unable to load XML document into the parser");
    const int options = XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_IGNORE_ENC | XML_PARSE_NOERROR |
                        XML_PARSE_NOWARNING;
    xmlDoc* doc = xmlReadMemory(utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", options);
    if (!doc)
        throw CEXMLproblem("Unable to load XML document into the parser");
    document.reset(doc);

    std::string encoding = DeclaredEncoding(text);
    if (!encoding.empty()) {
        xmlChar* declared = xmlStrdup(X(encoding));
        if (!declared)
            throw CEXMLproblem("Unable to load XML document into the parser");
        if (doc->encoding && !(doc->dict && xmlDictOwns(doc->dict, doc->encoding)))
            xmlFree(const_cast<xmlChar*>(doc->encoding));
        doc->encoding = declared;
    }
}

TXMLNode* GetDocumentElement(TXMLDocument& document)
{
    return document.get() ? xmlDocGetRootElement(document.get()) : nullptr;
}

void SetAttribute(const char* name, const std::string& value, TXMLNode* element)
{
    std::string utf8;
    if (!element || element->type != XML_ELEMENT_NODE || !ContentToUtf8(value, element->doc, utf8) ||
        !xmlSetProp(element, X(name), X(utf8)))
        throw CEXMLproblem("Unable to set attribute");
}

void AddElement(const char* name, TXMLNode*& newElement, TXMLNode* parent, TXMLDocument& document)
{
    xmlNode* element = document.get() ? xmlNewDocNode(document.get(), nullptr, X(name), nullptr) : nullptr;
    if (!element)
        throw CEXMLproblem("Unable to create element");
    if (!CanHoldChildren(parent, document) || !xmlAddChild(parent, element)) {
        xmlFreeNode(element);
        throw CEXMLproblem("Unable to append child");
    }
    newElement = element;
}

void AddText(TXMLNode* parent, TXMLDocument& document, const std::string& text)
{
    std::string utf8;
    xmlNode* node = nullptr;
    if (document.get() && ContentToUtf8(text, document.get(), utf8))
        node = xmlNewDocTextLen(document.get(), X(utf8), static_cast<int>(utf8.size()));
    if (!node)
        throw CEXMLproblem("Unable to create text");
    // xmlAddChild merges a text node into a text node before it and frees
    // it; the content is kept either way.
    if (!CanHoldChildren(parent, document) || !xmlAddChild(parent, node)) {
        xmlFreeNode(node);
        throw CEXMLproblem("Unable to append child");
    }
}

std::string GetXMLText(TXMLDocument& document)
{
    std::string text;
    TSink sink;
    sink.text = &text;
    if (!Serialise(document, sink))
        throw CEXMLproblem("Unable to extract XML text from document");
    return text;
}

void SaveToFile(const std::string& fileName, TXMLDocument& document)
{
    // The name is the file system's own, passed through unchanged. The text
    // goes to a temporary file beside the target that replaces it only when
    // complete, so a failed save leaves an earlier log as it was.
    try {
        TAtomicFile target(fileName);
        std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(target.TempPath().c_str(), "wb"));
        if (!file)
            throw CEXMLproblem("Unable to save to specified file");
        TSink sink;
        sink.file = file.get();
        bool written = Serialise(document, sink);
        if (std::fclose(file.release()) != 0 || !written)
            throw CEXMLproblem("Unable to save to specified file");
        target.Commit();
    } catch (const Exception&) {
        throw CEXMLproblem("Unable to save to specified file");
    }
}

}  // namespace XMLutil
