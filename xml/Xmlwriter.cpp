#include "xml/Xmlwriter.h"

#include "core/Charset.h"
#include "xml/Xmlutil.h"

#include <libxml/tree.h>

#include <algorithm>
#include <cstring>

namespace XMLutil {

namespace {

// The escapes the serialiser of a document with a declared encoding uses:
// an attribute value escapes the quote and the white space that a reader
// would normalise; a text escapes markup and the carriage return. A control
// character XML 1.0 cannot carry, not even as a reference, is replaced.
// Other characters are the encoding's. The byte is one of ASCII.
void EscapeAscii(char c, bool attribute, const std::string& replacement, std::string& out)
{
    switch (c) {
    case '<':
        out += "&lt;";
        return;
    case '>':
        out += "&gt;";
        return;
    case '&':
        out += "&amp;";
        return;
    case '\r':
        out += "&#13;";
        return;
    case '"':
        out += attribute ? "&quot;" : "\"";
        return;
    case '\n':
        out += attribute ? "&#10;" : "\n";
        return;
    case '\t':
        out += attribute ? "&#9;" : "\t";
        return;
    default:
        if (static_cast<unsigned char>(c) < 0x20)
            out += replacement;
        else
            out += c;
    }
}

}  // namespace

TXMLWriter::TXMLWriter(const std::string& templateText, std::string aTextEncoding, std::string* aText)
    : textEncoding(std::move(aTextEncoding)), text(aText)
{
    Start(templateText);
}

TXMLWriter::TXMLWriter(const std::string& templateText, std::string aTextEncoding, std::FILE* aFile)
    : textEncoding(std::move(aTextEncoding)), file(aFile), buffer(std::make_unique<char[]>(kFlushAt))
{
    Start(templateText);
}

TXMLWriter::~TXMLWriter() = default;

void TXMLWriter::Start(const std::string& templateText)
{
    TXMLDocument document;
    document.SetTextEncoding(textEncoding);
    LoadFromText(templateText, document);
    xmlNode* root = GetDocumentElement(document);
    if (!root)
        throw CEXMLproblem("Unable to get document element");
    const xmlDoc* doc = document.get();
    encoding = doc->encoding ? reinterpret_cast<const char*>(doc->encoding) : "UTF-8";

    // How the characters that need it are spelt in the document's encoding.
    if (!ToXmlEncoding("\xEF\xBF\xBD", encoding, replacement))
        throw CEXMLproblem("Unable to create XML writer");
    byTable = IsSingleByte(textEncoding);
    for (int byte = 0x80; byTable && byte <= 0xFF; ++byte) {
        std::string utf8;
        if (!ToUtf8(std::string(1, static_cast<char>(byte)), textEncoding, utf8) ||
            !ToXmlEncoding(utf8, encoding, high[byte - 0x80]))
            throw CEXMLproblem("Unable to create XML writer");
    }

    for (int byte = 0x20; byte < 0x80; ++byte)
        plain[byte] = byte != '<' && byte != '>' && byte != '&' && byte != '"';
    for (int byte = 0x80; byTable && byte <= 0xFF; ++byte)
        plain[byte] = high[byte - 0x80] == std::string(1, static_cast<char>(byte));

    Put("<?xml version=\"");
    Put(doc->version ? reinterpret_cast<const char*>(doc->version) : "1.0");
    Put("\"");
    if (doc->encoding) {
        Put(" encoding=\"");
        Put(encoding);
        Put("\"");
    }
    Put("?>\n");
    StartElement(reinterpret_cast<const char*>(root->name));
    // The root's namespace declarations, then its attributes, as the
    // serialiser orders them; their values are the tree's UTF-8.
    auto rootAttribute = [this](const std::string& name, const std::string& utf8) {
        Put(" ");
        Put(name);
        Put("=\"");
        PutUtf8(utf8, true, "Unable to set attribute");
        Put("\"");
    };
    for (const xmlNs* ns = root->nsDef; ns; ns = ns->next)
        rootAttribute(ns->prefix ? "xmlns:" + std::string(reinterpret_cast<const char*>(ns->prefix)) : "xmlns",
                      ns->href ? reinterpret_cast<const char*>(ns->href) : "");
    for (const xmlAttr* attribute = root->properties; attribute; attribute = attribute->next) {
        xmlChar* value = xmlNodeGetContent(reinterpret_cast<const xmlNode*>(attribute));
        const std::string utf8 = value ? reinterpret_cast<const char*>(value) : "";
        xmlFree(value);
        rootAttribute(reinterpret_cast<const char*>(attribute->name), utf8);
    }
}

void TXMLWriter::Put(const char* bytes, std::size_t size)
{
    if (text) {
        text->append(bytes, size);
        return;
    }
    // Most pieces are a few bytes: copied into the buffer by hand, which
    // std::string's append makes several calls of.
    if (used + size > kFlushAt) {
        Flush();
        if (size > kFlushAt) {
            if (std::fwrite(bytes, 1, size, file) != size)
                throw CEXMLproblem("Unable to save to specified file");
            return;
        }
    }
    std::memcpy(buffer.get() + used, bytes, size);
    used += size;
}

void TXMLWriter::Flush()
{
    if (file && used > 0) {
        const bool written = std::fwrite(buffer.get(), 1, used, file) == used;
        used = 0;
        if (!written)
            throw CEXMLproblem("Unable to save to specified file");
    }
}

void TXMLWriter::Indent(std::size_t depth)
{
    static const std::string blanks(64, ' ');
    for (std::size_t left = 2 * depth; left > 0;) {
        const std::size_t now = std::min(left, blanks.size());
        Put(blanks.data(), now);
        left -= now;
    }
}

void TXMLWriter::PutValue(const std::string& value, bool attribute, const char* failure)
{
    if (byTable || IsAscii(value)) {
        // Runs of bytes that stand for themselves go out as they are.
        const char* at = value.data();
        const char* const end = at + value.size();
        while (at < end) {
            const char* run = at;
            while (at < end && plain[static_cast<unsigned char>(*at)])
                ++at;
            Put(run, static_cast<std::size_t>(at - run));
            if (at == end)
                break;
            scratch.clear();
            if (static_cast<unsigned char>(*at) < 0x80)
                EscapeAscii(*at, attribute, replacement, scratch);
            else
                scratch = high[static_cast<unsigned char>(*at) - 0x80];
            Put(scratch);
            ++at;
        }
        return;
    }
    // A text of several bytes a character: through UTF-8, as a tree holds it.
    PutUtf8(ContentText(value, textEncoding, failure), attribute, failure);
}

void TXMLWriter::PutUtf8(const std::string& utf8, bool attribute, const char* failure)
{
    std::string escaped, spelt;
    for (char c : utf8)
        if (static_cast<unsigned char>(c) < 0x80)
            EscapeAscii(c, attribute, replacement, escaped);
        else
            escaped += c;
    if (!ToXmlEncoding(escaped, encoding, spelt))
        throw CEXMLproblem(failure);
    Put(spelt);
}

void TXMLWriter::StartElement(const char* name)
{
    if (finished)
        throw CEXMLproblem("Unable to create element");
    if (!open.empty()) {
        TElement& parent = open.back();
        if (parent.text)
            throw CEXMLproblem("Unable to create element");
        if (parent.startOpen) {
            Put(">\n");
            parent.startOpen = false;
        }
    }
    Indent(open.size());
    Put("<");
    Put(name, std::char_traits<char>::length(name));
    open.push_back({name});
}

void TXMLWriter::Attribute(const char* name, const std::string& value)
{
    if (finished || open.empty() || !open.back().startOpen)
        throw CEXMLproblem("Unable to set attribute");
    Put(" ");
    Put(name, std::char_traits<char>::length(name));
    Put("=\"");
    PutValue(value, true, "Unable to set attribute");
    Put("\"");
}

void TXMLWriter::Text(const std::string& value)
{
    if (finished || open.empty())
        throw CEXMLproblem("Unable to create text");
    TElement& element = open.back();
    if (element.startOpen) {
        Put(">");
        element.startOpen = false;
    } else if (!element.text) {
        throw CEXMLproblem("Unable to create text");
    }
    element.text = true;
    PutValue(value, false, "Unable to create text");
}

void TXMLWriter::EndElement()
{
    if (finished || open.empty())
        throw CEXMLproblem("Unable to append child");
    const TElement element = std::move(open.back());
    open.pop_back();
    if (element.startOpen) {
        Put("/>\n");
        return;
    }
    if (!element.text)
        Indent(open.size());
    Put("</");
    Put(element.name);
    Put(">\n");
}

void TXMLWriter::Finish()
{
    if (finished)
        throw CEXMLproblem(file ? "Unable to save to specified file" : "Unable to extract XML text from document");
    while (!open.empty())
        EndElement();
    finished = true;
    Flush();
}

}  // namespace XMLutil
