#pragma once
#include <cstdio>
#include <memory>
#include <string>

// libxml2's writer, declared here so that users need not include libxml2.
struct _xmlTextWriter;

namespace XMLutil {

// Writes an XML document element by element as it goes, holding no tree:
// the bytes are those that building the same document with AddElement,
// SetAttribute and AddText and then saving it (GetXMLText, SaveToFile)
// gives: the template's declaration and encoding, elements indented by two
// blanks a level, text content exactly as it is, characters the encoding
// lacks as character references. Values are 8-bit text in the text
// encoding given (an iconv name). Failures throw CEXMLproblem.
class TXMLWriter {
public:
    // Starts the document of the template text (a declaration and an empty
    // root element) on a text in memory or on an open file; the root stays
    // open for the elements written next.
    TXMLWriter(const std::string& templateText, std::string textEncoding, std::string* text);
    TXMLWriter(const std::string& templateText, std::string textEncoding, std::FILE* file);
    ~TXMLWriter();
    TXMLWriter(const TXMLWriter&) = delete;
    TXMLWriter& operator=(const TXMLWriter&) = delete;

    void StartElement(const char* name);
    void Attribute(const char* name, const std::string& value);
    // The element's text content; an empty text still closes the start tag,
    // as an empty text node does.
    void Text(const std::string& value);
    void EndElement();
    // Closes every open element and sends the last bytes; the writer takes
    // nothing more.
    void Finish();

private:
    struct TOutput;
    void Start(const std::string& templateText);

    std::string textEncoding;
    std::unique_ptr<TOutput> output;
    _xmlTextWriter* writer = nullptr;
    std::string escaped;
};

}  // namespace XMLutil
