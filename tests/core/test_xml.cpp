// The XML layer over libxml2 and the XML form of log records: the tree they
// build, the exact text, and files that any XML parser reads back.
#include "core/Resfuncs.h"
#include "engine/Clogrecord.h"
#include "xml/Xmlutil.h"

#include "FbTestUtil.h"
#include "RecordBuilders.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <unistd.h>

#include <algorithm>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

using namespace NorvaneImpl;
using namespace RecordBuilders;
using namespace XMLutil;

namespace {

constexpr int kInteger = 8, kVarchar = 37, kBlob = 261;

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"Windows-1251\"?>\n";



std::unique_ptr<TXMLDocument> FromTemplate()
{
    auto document = CreateParser();
    LoadFromText(LoadResourceText(10130, "XML"), *document);
    return document;
}

std::vector<xmlNode*> Elements(const xmlNode* parent)
{
    std::vector<xmlNode*> out;
    for (xmlNode* n = parent->children; n; n = n->next)
        if (n->type == XML_ELEMENT_NODE)
            out.push_back(n);
    return out;
}

std::string Name(const xmlNode* node) { return reinterpret_cast<const char*>(node->name); }

// Attribute names in document order.
std::vector<std::string> AttributeNames(const xmlNode* element)
{
    std::vector<std::string> out;
    for (xmlAttr* a = element->properties; a; a = a->next)
        out.push_back(reinterpret_cast<const char*>(a->name));
    return out;
}

// UTF-8, as libxml2 holds it.
std::string Attr(xmlNode* element, const char* name)
{
    xmlChar* value = xmlGetProp(element, reinterpret_cast<const xmlChar*>(name));
    std::string out = value ? reinterpret_cast<const char*>(value) : "<none>";
    xmlFree(value);
    return out;
}

std::string Content(xmlNode* node)
{
    xmlChar* value = xmlNodeGetContent(node);
    std::string out = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return out;
}

using TParsed = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;

// Strict parse, no recovery: null unless well-formed.
TParsed ParseFile(const std::string& path)
{
    return TParsed(xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
                   xmlFreeDoc);
}

TParsed ParseText(const std::string& text)
{
    return TParsed(xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                 XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
                   xmlFreeDoc);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A scratch folder for saved files, removed with what it holds.
class ScratchDir {
public:
    ScratchDir()
    {
        char name[] = "/tmp/norvane-xml-XXXXXX";
        path = mkdtemp(name);
    }
    ~ScratchDir()
    {
        for (const std::string& file : files)
            std::remove(file.c_str());
        rmdir(path.c_str());
    }
    std::string File(const std::string& name)
    {
        files.push_back(path + "/" + name);
        return files.back();
    }
    std::string path;

private:
    std::vector<std::string> files;
};

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    struct Closer {
        void operator()(DIR* d) const { closedir(d); }
    };
    std::unique_ptr<DIR, Closer> dir(opendir(folder.c_str()));
    while (dirent* entry = readdir(dir.get()))
        if (entry->d_name[0] != '.')
            names.push_back(entry->d_name);
    std::sort(names.begin(), names.end());
    return names;
}

template <class F>
std::string ThrownText(F action)
{
    try {
        action();
    } catch (const CEXMLproblem& e) {
        return e.what();
    }
    return "<nothing thrown>";
}

}  // namespace

TEST(XmlUtil, TemplateLoadsToDeclarationAndEmptyLogRoot)
{
    auto document = FromTemplate();
    TXMLNode* root = GetDocumentElement(*document);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Name(root), "Log");
    EXPECT_EQ(root->children, nullptr);
    ASSERT_NE(root->nsDef, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(root->nsDef->prefix), "NV");
    EXPECT_EQ(GetXMLText(*document),
              std::string(kDeclaration) + "<Log xmlns:NV=\"https://www.norvane.org/\"/>\n");
}

TEST(XmlUtil, DocumentNeverLoadedIsEmpty)
{
    auto document = CreateParser();
    EXPECT_EQ(GetDocumentElement(*document), nullptr);
    EXPECT_EQ(GetXMLText(*document), "");

    CLogRecord record('I', false, "T", "U", "D", {}, {});
    EXPECT_EQ(ThrownText([&] { record.AddXMLElement(*document); }), "Unable to get document element");
}

TEST(XmlUtil, MalformedTextIsRefusedAndLeavesNoTree)
{
    for (const std::string text : {"", "not xml", "<Log>", "<a></b>", "<Log a=\"1\" a=\"2\"/>", "<Log>\x01</Log>"}) {
        auto document = FromTemplate();
        EXPECT_EQ(ThrownText([&] { LoadFromText(text, *document); }), "Unable to load XML document into the parser")
            << text;
        EXPECT_EQ(GetDocumentElement(*document), nullptr) << text;
    }
}

TEST(XmlUtil, LoadingReplacesTheWholeContent)
{
    auto document = FromTemplate();
    CLogRecord('I', false, "T", "U", "D", {}, List(Field("A", kInteger, V("1"), Null()))).AddXMLElement(*document);
    ASSERT_EQ(Elements(GetDocumentElement(*document)).size(), 1u);

    LoadFromText(LoadResourceText(10130, "XML"), *document);
    EXPECT_EQ(GetDocumentElement(*document)->children, nullptr) << "an earlier run's records are gone";
}

TEST(XmlUtil, EightBitTextIsConvertedOnLoad)
{
    auto document = CreateParser();
    LoadFromText("<?xml version=\"1.0\" encoding=\"Windows-1251\"?><Log Name=\"" + Cp1251("Журнал") + "\"/>",
                 *document);
    EXPECT_EQ(Attr(GetDocumentElement(*document), "Name"), "Журнал");
    EXPECT_NE(GetXMLText(*document).find(Cp1251("Журнал")), std::string::npos);
}

TEST(XmlUtil, AttributesAreOverwrittenAndMayBeEmpty)
{
    auto document = FromTemplate();
    TXMLNode* element = nullptr;
    AddElement("Record", element, GetDocumentElement(*document), *document);
    SetAttribute("Table", "FIRST", element);
    SetAttribute("User", "", element);
    SetAttribute("Table", "SECOND", element);
    EXPECT_EQ(AttributeNames(element), (std::vector<std::string>{"Table", "User"}));
    EXPECT_EQ(Attr(element, "Table"), "SECOND");
    EXPECT_EQ(Attr(element, "User"), "");
}

TEST(XmlUtil, AppendingFailsWithoutAProperParent)
{
    auto document = FromTemplate();
    auto other = FromTemplate();
    TXMLNode* element = nullptr;
    EXPECT_EQ(ThrownText([&] { AddElement("A", element, nullptr, *document); }), "Unable to append child");
    EXPECT_EQ(ThrownText([&] { AddElement("A", element, GetDocumentElement(*other), *document); }),
              "Unable to append child");
    EXPECT_EQ(ThrownText([&] { AddText(nullptr, *document, "x"); }), "Unable to append child");
    EXPECT_EQ(element, nullptr);
    EXPECT_EQ(GetDocumentElement(*other)->children, nullptr);

    auto empty = CreateParser();
    EXPECT_EQ(ThrownText([&] { AddElement("A", element, nullptr, *empty); }), "Unable to create element");
    EXPECT_EQ(ThrownText([&] { AddText(GetDocumentElement(*document), *empty, "x"); }), "Unable to create text");
    EXPECT_EQ(ThrownText([&] { SetAttribute("A", "x", nullptr); }), "Unable to set attribute");
}

TEST(XmlUtil, SavingIntoAMissingFolderFails)
{
    auto document = FromTemplate();
    EXPECT_EQ(ThrownText([&] { SaveToFile("/tmp/norvane-no-such-folder/sub/log.xml", *document); }),
              "Unable to save to specified file");
    EXPECT_EQ(ThrownText([&] { SaveToFile("", *document); }), "Unable to save to specified file");
}

TEST(XmlUtil, SavedFileHoldsTheBytesOfTheText)
{
    ScratchDir dir;
    auto document = FromTemplate();
    CLogRecord('U', false, Cp1251("ТОВАРЫ"), "SYSDBA", "01.02.2003", {},
               List(Field(Cp1251("ЦЕНА"), kVarchar, V(Cp1251("новая")), V(Cp1251("старая")))))
        .AddXMLElement(*document);
    std::string path = dir.File("log.xml");
    SaveToFile(path, *document);
    EXPECT_EQ(ReadFile(path), GetXMLText(*document));

    auto never = CreateParser();
    std::string emptyPath = dir.File("empty.xml");
    SaveToFile(emptyPath, *never);
    EXPECT_EQ(ReadFile(emptyPath), "");

    // A shorter log saved over a longer one replaces it whole, and no
    // temporary file stays behind.
    auto bare = FromTemplate();
    SaveToFile(path, *bare);
    EXPECT_EQ(ReadFile(path), GetXMLText(*bare));
    EXPECT_EQ(FilesIn(dir.path), (std::vector<std::string>{"empty.xml", "log.xml"}));
}

TEST(RecordXml, ExactTextOfOneRecord)
{
    auto document = FromTemplate();
    CLogRecord('U', true, Cp1251("ТОВАРЫ"), "SYSDBA", "01.02.2003 10:15:00", List(Key("ID", kInteger, V("7"))),
               List(Field("PRICE", kInteger, V("12"), Null()), Field("NOTE", kVarchar, V("a < b & \"c\""), V(""))))
        .AddXMLElement(*document);
    EXPECT_EQ(GetXMLText(*document),
              std::string(kDeclaration) +
                  "<Log xmlns:NV=\"https://www.norvane.org/\">\n"
                  "  <Record Table=\"" + Cp1251("ТОВАРЫ") + "\" Action=\"U\" User=\"SYSDBA\" "
                  "DateTime=\"01.02.2003 10:15:00\">\n"
                  "    <Key>\n"
                  "      <Field Name=\"ID\" Type=\"8\">\n"
                  "        <New IsNull=\"no\">7</New>\n"
                  "      </Field>\n"
                  "    </Key>\n"
                  "    <Fields>\n"
                  "      <Field Name=\"PRICE\" Type=\"8\">\n"
                  "        <New IsNull=\"no\">12</New>\n"
                  "        <Old IsNull=\"yes\"></Old>\n"
                  "      </Field>\n"
                  "      <Field Name=\"NOTE\" Type=\"37\">\n"
                  "        <New IsNull=\"no\">a &lt; b &amp; \"c\"</New>\n"
                  "        <Old IsNull=\"no\"></Old>\n"
                  "      </Field>\n"
                  "    </Fields>\n"
                  "  </Record>\n"
                  "</Log>\n");
}

TEST(RecordXml, ShapeAndAttributeOrder)
{
    auto document = FromTemplate();
    CLogRecord('U', false, "GOODS", "SYSDBA", "01.02.2003 10:15:00", List(Key("ID", kInteger, V("7"))),
               List(Field("PRICE", kInteger, V("12"), V("10")), Field("NAME", kVarchar, V("b"), V("a"))))
        .AddXMLElement(*document);
    CLogRecord('D', false, "ORDERS", "ANNA", "02.02.2003", List(Key("NO", kInteger, V("1"))), {})
        .AddXMLElement(*document);

    auto records = Elements(GetDocumentElement(*document));
    ASSERT_EQ(records.size(), 2u);
    xmlNode* record = records[0];
    EXPECT_EQ(Name(record), "Record");
    EXPECT_EQ(AttributeNames(record), (std::vector<std::string>{"Table", "Action", "User", "DateTime"}));
    EXPECT_EQ(Attr(record, "Table"), "GOODS");
    EXPECT_EQ(Attr(record, "Action"), "U");
    EXPECT_EQ(Attr(record, "User"), "SYSDBA");
    EXPECT_EQ(Attr(record, "DateTime"), "01.02.2003 10:15:00");
    EXPECT_EQ(Attr(records[1], "Table"), "ORDERS") << "records in the order they were added";

    auto parts = Elements(record);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(Name(parts[0]), "Key");
    EXPECT_EQ(Name(parts[1]), "Fields");

    auto keyFields = Elements(parts[0]);
    ASSERT_EQ(keyFields.size(), 1u);
    EXPECT_EQ(Name(keyFields[0]), "Field");
    EXPECT_EQ(AttributeNames(keyFields[0]), (std::vector<std::string>{"Name", "Type"}));
    EXPECT_EQ(Attr(keyFields[0], "Name"), "ID");
    EXPECT_EQ(Attr(keyFields[0], "Type"), "8");
    auto keyValues = Elements(keyFields[0]);
    ASSERT_EQ(keyValues.size(), 1u) << "a key field has New only";
    EXPECT_EQ(Name(keyValues[0]), "New");
    EXPECT_EQ(Content(keyValues[0]), "7");

    auto fields = Elements(parts[1]);
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(Attr(fields[0], "Name"), "PRICE");
    EXPECT_EQ(Attr(fields[1], "Name"), "NAME");
    EXPECT_EQ(Attr(fields[1], "Type"), "37");
    auto values = Elements(fields[1]);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(Name(values[0]), "New");
    EXPECT_EQ(AttributeNames(values[0]), std::vector<std::string>{"IsNull"});
    EXPECT_EQ(Attr(values[0], "IsNull"), "no");
    EXPECT_EQ(Content(values[0]), "b");
    EXPECT_EQ(Name(values[1]), "Old");
    EXPECT_EQ(Content(values[1]), "a");

    EXPECT_TRUE(Elements(Elements(records[1])[1]).empty()) << "Fields present and empty";
}

TEST(RecordXml, NullSnapshotHasIsNullYesAndAnEmptyTextNode)
{
    auto document = FromTemplate();
    CLogRecord('I', false, "T", "U", "D", List(Key("ID", kInteger, Null())), {}).AddXMLElement(*document);
    xmlNode* newValue = Elements(Elements(Elements(Elements(GetDocumentElement(*document))[0])[0])[0])[0];
    EXPECT_EQ(Name(newValue), "New");
    EXPECT_EQ(Attr(newValue, "IsNull"), "yes");
    ASSERT_NE(newValue->children, nullptr);
    EXPECT_EQ(newValue->children->type, XML_TEXT_NODE);
    EXPECT_EQ(Content(newValue->children), "");
    EXPECT_EQ(newValue->children->next, nullptr);
}

TEST(RecordXml, NothingIsCheckedOnTheWayToXml)
{
    auto document = FromTemplate();
    CLogRecord('x', false, "T", "U", "D", {},
               List(Field("DOC", kBlob, V("blob"), V("")), Field("ODD", 99, V("1"), V("2")),
                    Field("NEG", 200, V("1"), V("2"))))
        .AddXMLElement(*document);
    xmlNode* record = Elements(GetDocumentElement(*document))[0];
    EXPECT_EQ(Attr(record, "Action"), "x");
    EXPECT_TRUE(Elements(Elements(record)[0]).empty()) << "Key present and empty";
    auto fields = Elements(Elements(record)[1]);
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(Attr(fields[0], "Type"), "5");
    EXPECT_EQ(Attr(fields[1], "Type"), "99");
    EXPECT_EQ(Attr(fields[2], "Type"), "-56") << "the code as a signed byte";
}

TEST(RecordXml, SavedFileReadsBackEveryValue)
{
    // Each value as logged (Windows-1251 bytes) and as a parser gives it back (UTF-8).
    const std::pair<std::string, std::string> values[] = {
        {Cp1251("Иванов Пётр"), "Иванов Пётр"},
        {Cp1251("«цена» № 5 — €"), "«цена» № 5 — €"},
        {"<tag attr=\"v\">&amp; 'q'</tag>]]>", "<tag attr=\"v\">&amp; 'q'</tag>]]>"},
        {"  padded  ", "  padded  "},
        {"line1\r\nline2\nline3\rend", "line1\r\nline2\nline3\rend"},
        {"tab\there", "tab\there"},
        {"undefined \x98 byte", "undefined \xC2\x98 byte"},
        {"", ""},
    };
    auto document = FromTemplate();
    TFieldList fields;
    for (size_t i = 0; i < std::size(values); ++i)
        fields.push_back(Field("F" + std::to_string(i), kVarchar, V(values[i].first), V(values[i].first)));
    CLogRecord('U', false, Cp1251("ТАБЛИЦА"), values[2].first, values[4].first,
               List(Key(Cp1251("КЛЮЧ"), kVarchar, V(values[0].first))), std::move(fields))
        .AddXMLElement(*document);

    ScratchDir dir;
    std::string path = dir.File("log.xml");
    SaveToFile(path, *document);
    TParsed parsed = ParseFile(path);
    ASSERT_TRUE(parsed) << "well-formed:\n" << ReadFile(path);
    ASSERT_NE(parsed->encoding, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(parsed->encoding), "Windows-1251");
    EXPECT_EQ(ReadFile(path).find("\x98"), std::string::npos) << "never written raw";

    xmlNode* record = Elements(xmlDocGetRootElement(parsed.get()))[0];
    EXPECT_EQ(Attr(record, "Table"), "ТАБЛИЦА");
    EXPECT_EQ(Attr(record, "User"), values[2].second);
    EXPECT_EQ(Attr(record, "DateTime"), values[4].second);
    xmlNode* key = Elements(Elements(record)[0])[0];
    EXPECT_EQ(Attr(key, "Name"), "КЛЮЧ");
    EXPECT_EQ(Content(Elements(key)[0]), values[0].second);

    auto fieldElements = Elements(Elements(record)[1]);
    ASSERT_EQ(fieldElements.size(), std::size(values));
    for (size_t i = 0; i < std::size(values); ++i) {
        SCOPED_TRACE(i);
        auto snapshots = Elements(fieldElements[i]);
        ASSERT_EQ(snapshots.size(), 2u);
        EXPECT_EQ(Content(snapshots[0]), values[i].second);
        EXPECT_EQ(Content(snapshots[1]), values[i].second);
    }
}

TEST(RecordXml, ControlCharactersStillGiveAWellFormedLog)
{
    std::string controls;
    for (char c = 0; c < 0x20; ++c)
        controls += c;
    controls += "\x7F";
    auto document = FromTemplate();
    CLogRecord('I', false, "T\x01", "U\x1B", "D\x0C", List(Key("K\x02", kInteger, V(controls))),
               List(Field("F", kVarchar, V(std::string("nul\0inside", 10)), Null())))
        .AddXMLElement(*document);

    ScratchDir dir;
    std::string path = dir.File("log.xml");
    SaveToFile(path, *document);
    TParsed parsed = ParseFile(path);
    ASSERT_TRUE(parsed) << ReadFile(path);
    EXPECT_TRUE(ParseText(GetXMLText(*document)));

    const std::string r = "\xEF\xBF\xBD";  // U+FFFD REPLACEMENT CHARACTER
    xmlNode* record = Elements(xmlDocGetRootElement(parsed.get()))[0];
    EXPECT_EQ(Attr(record, "Table"), "T" + r);
    EXPECT_EQ(Attr(record, "User"), "U" + r);
    EXPECT_EQ(Attr(record, "DateTime"), "D" + r);
    xmlNode* key = Elements(Elements(record)[0])[0];
    EXPECT_EQ(Attr(key, "Name"), "K" + r);
    std::string expected;
    for (int c = 0; c < 0x20; ++c)
        expected += (c == '\t' || c == '\n' || c == '\r') ? std::string(1, static_cast<char>(c)) : r;
    expected += "\x7F";
    EXPECT_EQ(Content(Elements(key)[0]), expected) << "tab, line feed and carriage return kept";
    EXPECT_EQ(Content(Elements(Elements(Elements(record)[1])[0])[0]), "nul" + r + "inside");
}
