#include "xml/Xmlwriter.h"

#include "xml/Xmlutil.h"

#include <libxml/tree.h>
#include <libxml/xmlwriter.h>

namespace XMLutil {

namespace {

const xmlChar* X(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

// The escapes the serialiser of a document with a declared encoding uses:
// an attribute value escapes the quote and the white space that a reader
// would normalise; a text escapes markup and the carriage return. Other
// characters are left to the encoding, which writes a reference for one it
// lacks.
void Escape(const std::string& utf8, bool attribute, std::string& out)
{
    out.clear();
    for (char c : utf8) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '\r':
            out += "&#13;";
            break;
        case '"':
            out += attribute ? "&quot;" : "\"";
            break;
        case '\n':
            out += attribute ? "&#10;" : "\n";
            break;
        case '\t':
            out += attribute ? "&#9;" : "\t";
            break;
        default:
            out += c;
        }
    }
}

}  // namespace

// Where the bytes go; a failed write is remembered, since libxml2 calls
// back through C and no exception may pass it. libxml2 is told that the
// bytes went, or it would print a complaint of its own on standard error;
// the writer's next element and Finish report the failure.
struct TXMLWriter::TOutput {
    std::string* text = nullptr;
    std::FILE* file = nullptr;
    bool failed = false;

    static int Write(void* context, const char* buffer, int length)
    {
        TOutput& output = *static_cast<TOutput*>(context);
        if (output.failed)
            return length;
        try {
            if (output.text)
                output.text->append(buffer, static_cast<size_t>(length));
            else if (std::fwrite(buffer, 1, static_cast<size_t>(length), output.file) != static_cast<size_t>(length))
                output.failed = true;
        } catch (...) {
            output.failed = true;
        }
        return length;
    }
    static int Close(void*) { return 0; }
};

TXMLWriter::TXMLWriter(const std::string& templateText, std::string aTextEncoding, std::string* text)
    : textEncoding(std::move(aTextEncoding)), output(std::make_unique<TOutput>())
{
    output->text = text;
    Start(templateText);
}

TXMLWriter::TXMLWriter(const std::string& templateText, std::string aTextEncoding, std::FILE* file)
    : textEncoding(std::move(aTextEncoding)), output(std::make_unique<TOutput>())
{
    output->file = file;
    Start(templateText);
}

TXMLWriter::~TXMLWriter()
{
    if (writer)
        xmlFreeTextWriter(writer);
}

void TXMLWriter::Start(const std::string& templateText)
{
    TXMLDocument document;
    document.SetTextEncoding(textEncoding);
    LoadFromText(templateText, document);
    xmlNode* root = GetDocumentElement(document);
    if (!root)
        throw CEXMLproblem("Unable to get document element");

    xmlOutputBuffer* buffer = xmlOutputBufferCreateIO(TOutput::Write, TOutput::Close, output.get(), nullptr);
    if (!buffer)
        throw CEXMLproblem("Unable to create XML writer");
    // The writer owns the buffer from here on, and closes it with itself.
    writer = xmlNewTextWriter(buffer);
    if (!writer) {
        xmlOutputBufferClose(buffer);
        throw CEXMLproblem("Unable to create XML writer");
    }
    const xmlDoc* doc = document.get();
    if (xmlTextWriterSetIndent(writer, 1) < 0 || xmlTextWriterSetIndentString(writer, X("  ")) < 0 ||
        xmlTextWriterStartDocument(writer, doc->version ? reinterpret_cast<const char*>(doc->version) : "1.0",
                                   reinterpret_cast<const char*>(doc->encoding), nullptr) < 0)
        throw CEXMLproblem("Unable to create XML writer");
    StartElement(reinterpret_cast<const char*>(root->name));
    // The root's namespace declarations, then its attributes, as the
    // serialiser orders them.
    for (const xmlNs* ns = root->nsDef; ns; ns = ns->next) {
        const std::string name = ns->prefix ? "xmlns:" + std::string(reinterpret_cast<const char*>(ns->prefix))
                                            : std::string("xmlns");
        if (xmlTextWriterWriteAttribute(writer, X(name.c_str()), ns->href) < 0)
            throw CEXMLproblem("Unable to set attribute");
    }
    for (const xmlAttr* attribute = root->properties; attribute; attribute = attribute->next) {
        xmlChar* value = xmlNodeGetContent(reinterpret_cast<const xmlNode*>(attribute));
        const int written = xmlTextWriterWriteAttribute(writer, attribute->name, value ? value : X(""));
        xmlFree(value);
        if (written < 0)
            throw CEXMLproblem("Unable to set attribute");
    }
}

void TXMLWriter::StartElement(const char* name)
{
    if (output->failed)
        throw CEXMLproblem(output->file ? "Unable to save to specified file" : "Unable to create element");
    if (!writer || xmlTextWriterStartElement(writer, X(name)) < 0)
        throw CEXMLproblem("Unable to create element");
}

void TXMLWriter::Attribute(const char* name, const std::string& value)
{
    Escape(ContentText(value, textEncoding, "Unable to set attribute"), true, escaped);
    if (!writer || xmlTextWriterStartAttribute(writer, X(name)) < 0 ||
        (!escaped.empty() && xmlTextWriterWriteRaw(writer, X(escaped.c_str())) < 0) ||
        xmlTextWriterEndAttribute(writer) < 0)
        throw CEXMLproblem("Unable to set attribute");
}

void TXMLWriter::Text(const std::string& value)
{
    Escape(ContentText(value, textEncoding, "Unable to create text"), false, escaped);
    if (!writer || xmlTextWriterWriteRawLen(writer, X(escaped.c_str()), static_cast<int>(escaped.size())) < 0)
        throw CEXMLproblem("Unable to create text");
}

void TXMLWriter::EndElement()
{
    if (!writer || xmlTextWriterEndElement(writer) < 0)
        throw CEXMLproblem("Unable to append child");
}

void TXMLWriter::Finish()
{
    if (!writer)
        throw CEXMLproblem("Unable to extract XML text from document");
    const bool ended = xmlTextWriterEndDocument(writer) >= 0;
    xmlFreeTextWriter(writer);  // flushes and closes the buffer
    writer = nullptr;
    if (!ended || output->failed)
        throw CEXMLproblem(output->file ? "Unable to save to specified file"
                                        : "Unable to extract XML text from document");
}

}  // namespace XMLutil
