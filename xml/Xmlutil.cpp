#include "xml/Xmlutil.h"

#include "app/core/AtomicFile.h"
#include "db/Exception.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace XMLutil {

namespace {

const char kCodePage[] = "WINDOWS-1251";

// One iconv conversion descriptor, closed with its owner.
class TIconv {
public:
    TIconv(const char* to, const char* from) : cd(iconv_open(to, from)) {}
    ~TIconv()
    {
        if (ok())
            iconv_close(cd);
    }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;

    bool ok() const { return cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd; }

private:
    iconv_t cd;
};

// Opened once per thread and reused: the XML log makes several conversions
// per logged field.
TIconv& Win1251ToUtf8()
{
    thread_local TIconv converter("UTF-8", kCodePage);
    return converter;
}

bool IsAscii(const std::string& text)
{
    for (unsigned char c : text)
        if (c >= 0x80)
            return false;
    return true;
}

// The program's 8-bit Windows-1251 text as UTF-8, libxml2's character
// representation. Windows-1251 leaves byte 0x98 undefined and iconv refuses
// it; like the Windows code-page conversion it becomes the C1 character
// U+0098, which XML 1.0 can carry, so no logged byte makes a run fail.
// False when no converter can be opened.
bool ToUtf8(const std::string& text, std::string& out)
{
    if (IsAscii(text)) {
        out = text;
        return true;
    }
    TIconv& converter = Win1251ToUtf8();
    if (!converter.ok())
        return false;
    iconv(converter.get(), nullptr, nullptr, nullptr, nullptr);

    // A Windows-1251 byte takes at most three UTF-8 bytes (the euro sign, the
    // numero sign and the like).
    out.resize(text.size() * 3);
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* to = &out[0];
    size_t toLeft = out.size();
    while (inLeft > 0) {
        if (iconv(converter.get(), &in, &inLeft, &to, &toLeft) != static_cast<size_t>(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            return false;
        // A byte the code page does not define: the character of that number.
        unsigned char c = static_cast<unsigned char>(*in);
        *to++ = static_cast<char>(0xC0 | (c >> 6));
        *to++ = static_cast<char>(0x80 | (c & 0x3F));
        toLeft -= 2;
        ++in;
        --inLeft;
    }
    out.resize(out.size() - toLeft);
    return true;
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
bool ContentToUtf8(const std::string& text, std::string& out)
{
    if (!ToUtf8(text, out))
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

std::string ContentText(const std::string& text, const char* failure)
{
    std::string utf8;
    if (!ContentToUtf8(text, utf8))
        throw CEXMLproblem(failure);
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
}

std::unique_ptr<TXMLDocument> CreateParser()
{
    try {
        xmlInitParser();
        if (!Win1251ToUtf8().ok())
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
    if (!ToUtf8(text, utf8))
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
    if (!element || element->type != XML_ELEMENT_NODE || !ContentToUtf8(value, utf8) ||
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
    if (document.get() && ContentToUtf8(text, utf8))
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
