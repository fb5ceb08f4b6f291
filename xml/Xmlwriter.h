#pragma once
#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace XMLutil {

// Writes an XML document element by element as it goes, holding no tree:
// the bytes are those that building the same document with AddElement,
// SetAttribute and AddText and then saving it (GetXMLText, SaveToFile)
// gives: the template's declaration and encoding, elements indented by two
// blanks a level, text content exactly as it is, characters the encoding
// lacks as character references. Values are 8-bit text in the text
// encoding given (an iconv name). An element holds either elements or one
// text. Failures throw CEXMLproblem.
//
// The writer spells the document itself rather than through a tree or
// libxml2's writer: a log of a million entries is written at the speed of
// copying its values, which are already in the document's encoding.
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
    struct TElement {
        std::string name;
        bool startOpen = true;  // its start tag still lacks its ">"
        bool text = false;      // it holds text
    };

    void Start(const std::string& templateText);
    // The value escaped and in the document's encoding, appended to the
    // output; failure is the message of a value that cannot be written.
    void PutValue(const std::string& value, bool attribute, const char* failure);
    // UTF-8 text escaped and in the document's encoding, appended.
    void PutUtf8(const std::string& utf8, bool attribute, const char* failure);
    void Put(const char* text, std::size_t size);
    void Put(const std::string& bytes) { Put(bytes.data(), bytes.size()); }
    void Indent(std::size_t depth);
    void Flush();

    static constexpr std::size_t kFlushAt = 1 << 16;

    std::string textEncoding;
    std::string encoding;  // the document's, as its declaration names it
    std::string* text = nullptr;
    std::FILE* file = nullptr;
    std::unique_ptr<char[]> buffer;  // bytes not yet written to the file, kFlushAt at most
    std::size_t used = 0;
    std::vector<TElement> open;
    bool finished = false;
    // When the values' encoding is the document's and has a byte a
    // character: how each byte from 0x80 up is written.
    bool byTable = false;
    std::array<std::string, 128> high;
    std::array<bool, 256> plain{};  // the bytes that stand for themselves
    std::string replacement;  // what stands for a control character XML cannot carry
    std::string scratch;
};

}  // namespace XMLutil
