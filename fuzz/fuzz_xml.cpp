// The XML layer given arbitrary attribute and text bytes: elements,
// attributes and text nodes built from the input, saved to a file, which
// must always parse back holding what the document held.
#include "FuzzUtil.h"

#include "xml/Xmlutil.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using namespace XMLutil;
using FuzzUtil::Check;

namespace {

const char* const kElements[] = {"Record", "Key", "Fields", "Field", "New", "Old"};
const char* const kAttributes[] = {"Table", "Action", "User", "DateTime", "Name", "Type", "IsNull"};
const char* const kDeclarations[] = {
    "<?xml version=\"1.0\" encoding=\"Windows-1251\" ?>\n<Log/>",
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Log/>",
    "<?xml version=\"1.0\"?>\n<Log/>",
};

struct TXmlFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
    void operator()(xmlChar* text) const { xmlFree(text); }
};

std::string Content(const xmlNode* node)
{
    std::unique_ptr<xmlChar, TXmlFree> text(xmlNodeGetContent(node));
    return text ? reinterpret_cast<const char*>(text.get()) : std::string();
}

bool HasText(const xmlNode* node)
{
    for (; node; node = node->next)
        if (node->type == XML_TEXT_NODE)
            return true;
    return false;
}

bool IsBlankText(const xmlNode* node)
{
    return node->type == XML_TEXT_NODE && Content(node).find_first_not_of(" \t\r\n") == std::string::npos;
}

// The element trees hold the same names, attributes and texts, in order. The
// file indents elements whose children are all elements; the blanks that
// adds are not the document's.
void CheckSame(const xmlNode* saved, const xmlNode* read)
{
    const bool indented = !HasText(saved);
    for (;;) {
        // An empty text node leaves nothing in the file.
        while (saved && saved->type == XML_TEXT_NODE && Content(saved).empty())
            saved = saved->next;
        while (indented && read && IsBlankText(read))
            read = read->next;
        if (!saved || !read)
            break;
        Check(saved->type == read->type, "the same kind of node");
        if (saved->type == XML_TEXT_NODE) {
            Check(Content(saved) == Content(read), "a text reads back", Content(saved));
        } else {
            Check(xmlStrEqual(saved->name, read->name), "an element name reads back");
            const xmlAttr* a = saved->properties;
            const xmlAttr* b = read->properties;
            for (; a || b; a = a->next, b = b->next) {
                Check(a && b, "the same number of attributes");
                Check(xmlStrEqual(a->name, b->name), "an attribute name reads back");
                const std::string value = Content(reinterpret_cast<const xmlNode*>(a));
                Check(value == Content(reinterpret_cast<const xmlNode*>(b)), "an attribute value reads back", value);
            }
            CheckSame(saved->children, read->children);
        }
        saved = saved->next;
        read = read->next;
    }
    Check(!saved && !read, "the same number of nodes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::unique_ptr<TXMLDocument> document = CreateParser();
    // A document of one of the usual shapes, or loaded from the input's own
    // text, whatever its declaration names.
    const size_t shape = input.ConsumeIntegralInRange<size_t>(0, std::size(kDeclarations));
    const bool ownText = shape == std::size(kDeclarations);
    try {
        LoadFromText(ownText ? input.ConsumeRandomLengthString(2000) : kDeclarations[shape], *document);
    } catch (const CEXMLproblem&) {
        Check(ownText, "the usual shapes load");
        return 0;
    }
    std::vector<TXMLNode*> elements{GetDocumentElement(*document)};
    if (!elements.front()) {
        Check(ownText, "the usual shapes have a root element");
        return 0;
    }
    while (input.remaining_bytes() > 0 && elements.size() < 64) {
        TXMLNode* parent = elements[input.ConsumeIntegralInRange<size_t>(0, elements.size() - 1)];
        switch (input.ConsumeIntegralInRange<int>(0, 2)) {
        case 0: {
            TXMLNode* element = nullptr;
            AddElement(kElements[input.ConsumeIntegralInRange<size_t>(0, std::size(kElements) - 1)], element, parent,
                       *document);
            elements.push_back(element);
            break;
        }
        case 1:
            SetAttribute(kAttributes[input.ConsumeIntegralInRange<size_t>(0, std::size(kAttributes) - 1)],
                         input.ConsumeRandomLengthString(300), parent);
            break;
        default:
            AddText(parent, *document, input.ConsumeRandomLengthString(300));
            break;
        }
    }

    if (ownText) {
        // Any declared encoding: libxml2 may have no writer for it, or no
        // reader (a UTF-32 file does not load back into libxml2 2.9), so
        // only the serialising itself is tried.
        try {
            GetXMLText(*document);
        } catch (const CEXMLproblem&) {
        }
        return 0;
    }
    const std::string path = FuzzUtil::Scratch().File("fuzz.xml");
    SaveToFile(path, *document);
    std::unique_ptr<xmlDoc, TXmlFree> read(xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET));
    Check(read != nullptr, "the saved file parses", GetXMLText(*document));
    CheckSame(xmlDocGetRootElement(document->get()), xmlDocGetRootElement(read.get()));
    return 0;
}
