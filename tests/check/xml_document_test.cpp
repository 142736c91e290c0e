// The project document as the check reads it: parse errors, names that match, the elements it
// keeps, text content, the guards, and that nothing outside the file ever reaches the document.

#include "check/check_project.h"
#include "check/document_parser.h"
#include "check/working_copy.h"
#include "check/xml_document.h"
#include "tests/check/check_test_support.h"
#include "tests/check/document_dump.h"
#include "tests/check/tree_document.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace kestrova {
namespace {

using namespace testing_support;
using ::testing::HasSubstr;
using ::testing::Not;

struct Malformed {
    std::string name;
    std::string bytes;
    long line;
    std::string reasonHas; // the first fatal error, not one of its consequences
};

void PrintTo(const Malformed& m, std::ostream* os) {
    *os << m.name;
}

class ParseFailure : public testing::TestWithParam<Malformed> {};

TEST_P(ParseFailure, givesCodeReasonWithoutLineEndAndTheLineOfTheFault) {
    const XmlDocument document = DocumentFromBytes(GetParam().bytes);
    const ParseError& error = document.parseError();
    EXPECT_NE(error.errorCode, 0);
    EXPECT_THAT(error.reason, HasSubstr(GetParam().reasonHas));
    EXPECT_FALSE(error.reason.ends_with("\n") || error.reason.ends_with("\r")) << error.reason;
    EXPECT_EQ(error.line, GetParam().line);
    EXPECT_FALSE(document.selectSingleNode(ElementKind::Document));
}

INSTANTIATE_TEST_SUITE_P(
    Documents, ParseFailure,
    testing::Values(Malformed{"Empty", "", 1, "empty"},
                    Malformed{"OnlyBlankLines", "\r\n\r\n", 3, "Start tag expected"},
                    Malformed{"TagMismatch", "<a>\r\n<b>\r\n</a>\r\n", 3, "mismatch"},
                    Malformed{"UnclosedAtEnd", "<a>\r\n<b></b>\r\n", 3, "end"},
                    Malformed{"UndefinedEntity", "<a>\r\n\r\n\r\n&nope;</a>", 4, "nope"},
                    Malformed{"TwoRoots", "<a/>\n<b/>\n", 2, "Extra content"},
                    Malformed{"FaultPastLine65535", "<a>" + std::string(69999, '\n') + "</b>",
                              70000, "mismatch"},
                    Malformed{"BadUtf8", "<a>\n\xE9x</a>\n", 2, "UTF-8"}),
    [](const auto& info) { return info.param.name; });

// Once the parser has given up on a document, the copy ends too: a file that is no XML from its
// first byte, or that breaks near its start, is not copied whole, and the parse error is the one
// a parse of all of it gives.
struct EarlyFault {
    const char* name;
    std::string start; // then zero bytes up to 256 MiB
};

void PrintTo(const EarlyFault& fault, std::ostream* os) {
    *os << fault.name;
}

class ParserGivesUp : public testing::TestWithParam<EarlyFault> {};

TEST_P(ParserGivesUp, copyEndsEarlyWithTheParseErrorOfTheWholeFile) {
    TempFolder folder;
    const fs::path project = folder / "p.kpj";
    WriteBytes(project, GetParam().start);
    fs::resize_file(project, std::uintmax_t{256} << 20); // zeros that take no room on disk
    DocumentParser parser;
    UnseededRandom random;
    {
        const WorkingCopy copy = MakeWorkingCopy(project, folder.path(), random, &parser);
        EXPECT_LT(fs::file_size(copy.path()), std::uintmax_t{16} << 20);
    }
    const XmlDocument document = parser.finish();
    // The fault lies in the first bytes, so the whole file's parse stops where its first MiB's
    // does.
    tree::TreeDocument whole;
    std::string firstMebibyte(std::size_t{1} << 20, '\0');
    std::ifstream(project, std::ios::binary).read(firstMebibyte.data(), 1 << 20);
    whole.loadFromMemory(RewriteProjectText(firstMebibyte));
    ASSERT_NE(whole.parseError().errorCode, 0);
    EXPECT_EQ(document.parseError().reason, whole.parseError().reason);
    EXPECT_EQ(document.parseError().line, whole.parseError().line);
    EXPECT_EQ(folder.entries(), std::set<std::string>{"p.kpj"});
}

INSTANTIATE_TEST_SUITE_P(Files, ParserGivesUp,
                         testing::Values(EarlyFault{"ZeroBytesOnly", ""},
                                         EarlyFault{"TextBeforeTheDocumentElement",
                                                    "Kestrova project\n"},
                                         EarlyFault{"MismatchedTagOnTheSecondLine",
                                                    "<kestrovadocument2>\n<multilayer></layer>\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Names

std::vector<std::string> ChildNames(const XmlNode& node) {
    std::vector<std::string> names;
    for (const XmlNode child : node.childNodes())
        names.push_back(NameText(child));
    return names;
}

// A project whose one layer holds `content`.
std::string LayerHolding(const std::string& content) {
    return "<kestrovadocument2><multilayer><layer>" + content +
           "</layer></multilayer></kestrovadocument2>";
}

XmlNode OnlyLayer(const XmlDocument& document) {
    return document.selectSingleNode(ElementKind::Document)
        .selectSingleNode(ElementKind::Multilayer)
        .selectSingleNode(ElementKind::Layer);
}

// The line of each layer's and item's start tag, in document order, as the check names it.
std::vector<std::uint32_t> StartTagLines(const XmlDocument& document) {
    std::vector<std::uint32_t> lines;
    const XmlNode multilayer =
        document.selectSingleNode(ElementKind::Document).selectSingleNode(ElementKind::Multilayer);
    for (const XmlNode layer : multilayer.childNodes()) {
        lines.push_back(layer.line());
        for (const XmlNode item : layer.childNodes())
            lines.push_back(item.line());
    }
    return lines;
}

TEST(StartTagLines, areTheLinesOfTheTagsOpeningAngleBracket) {
    const std::string open = "<kestrovadocument2><multilayer>";
    const std::string close = "</multilayer></kestrovadocument2>";
    const struct {
        const char* name;
        std::string bytes;
        std::vector<std::uint32_t> lines; // layers and their children, in document order
    } cases[] = {
        {"tags over lines",
         open + "\n<layer\n  a='1'\n>\n<layeritem_video\n/><name\n/></layer>" + close,
         {2, 5, 0}},
        {"line breaks in attribute values and comments",
         open +
             "<!--\n\n--><layer a='x\ny'><?p\n?><layeritem_audio\nb=\"\n\"></layeritem_audio>"
             "</layer>\n<layer/>" +
             close,
         {3, 5, 8}},
        {"CR LF as the working copy writes it",
         "\r\n" + open +
             "\r\n<layer>\r\n<layeritem_bitmap/>"
             "</layer>" +
             close,
         {3, 4}},
        {"past line 65535",
         open + std::string(69999, '\n') + "<layer><layeritem_effect/></layer>" + close,
         {70000, 70000}},
    };
    for (const auto& c : cases) {
        const XmlDocument document = DocumentFromBytes(c.bytes);
        ASSERT_EQ(document.parseError().errorCode, 0) << c.name;
        EXPECT_EQ(StartTagLines(document), c.lines) << c.name;
    }
}

TEST(NodeNames, onlyUnprefixedElementsOfTheNamesReadAreKept) {
    const XmlDocument document = DocumentFromBytes(
        "<kestrovadocument2><multilayer xmlns:k='urn:k'><layer/><!--layer--><?layer x?>"
        "<k:layer/><Layer/><layer xmlns='urn:d'/>text<![CDATA[layer]]></multilayer>"
        "</kestrovadocument2>");
    const XmlNode multilayer =
        document.selectSingleNode(ElementKind::Document).selectSingleNode(ElementKind::Multilayer);
    EXPECT_EQ(ChildNames(multilayer), (std::vector<std::string>{"layer", "layer"}));
}

TEST(NodeNames, commentBetweenLayersIsPassedOver) {
    const XmlDocument document =
        DocumentFromBytes(ReadBytes(FixturePath("non_layer_children.kpj")));
    ASSERT_EQ(document.parseError().errorCode, 0);
    const XmlNode multilayer =
        document.selectSingleNode(ElementKind::Document).selectSingleNode(ElementKind::Multilayer);
    EXPECT_EQ(ChildNames(multilayer), (std::vector<std::string>{"layer", "layer"}));
}

TEST(NodeNames, onlyThePathsTheCheckReadsAreKept) {
    const XmlDocument document = DocumentFromBytes(
        "<kestrovadocument2><note><layer/></note><multilayer><layer><name>a</name><scrap>no</scrap>"
        "<layeritem_video><starttime>1</starttime><name>x</name><endtime>2</endtime>"
        "<layeritem_audio/></layeritem_video><effects><name>y</name></effects>"
        "<layeritem_audio><endtime>3</endtime></layeritem_audio></layer></multilayer>"
        "<multilayer><layer/></multilayer></kestrovadocument2>");
    const XmlNode root = document.selectSingleNode(ElementKind::Document);
    EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"multilayer"}));
    const XmlNode layer = OnlyLayer(document);
    EXPECT_EQ(ChildNames(layer),
              (std::vector<std::string>{"name", "scrap", "layeritem_video", "layeritem_audio"}));
    EXPECT_EQ(ChildNames(layer.selectSingleNode(ElementKind::Video)),
              (std::vector<std::string>{"starttime", "endtime"}));
    EXPECT_EQ(
        layer.selectSingleNode(ElementKind::Audio).selectSingleNode(ElementKind::EndTime).text(),
        "3");
    EXPECT_FALSE(document.selectSingleNode(ElementKind::Multilayer));
    EXPECT_FALSE(DocumentFromBytes("<multilayer><layer/></multilayer>")
                     .selectSingleNode(ElementKind::Document));
}

// ---------------------------------------------------------------------------------------------
// Text

struct TextCase {
    std::string name;
    std::string element;
    std::string text;
};

void PrintTo(const TextCase& t, std::ostream* os) {
    *os << t.name;
}

class ElementText : public testing::TestWithParam<TextCase> {};

TEST_P(ElementText, isAllDescendantTextTrimmedOfXmlSpace) {
    const XmlDocument document = DocumentFromBytes(LayerHolding(GetParam().element));
    ASSERT_EQ(document.parseError().errorCode, 0);
    const XmlNode first = *OnlyLayer(document).childNodes().begin();
    EXPECT_EQ(first.text(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Elements, ElementText,
    testing::Values(TextCase{"Plain", "<scrap>yes</scrap>", "yes"},
                    TextCase{"Spaces", "<scrap> yes </scrap>", "yes"},
                    TextCase{"TabsAndLineEnds", "<name>\t\r\n a  b \r\n\t</name>", "a  b"},
                    TextCase{"Empty", "<name></name>", ""}, TextCase{"SelfClosing", "<name/>", ""},
                    TextCase{"OnlySpace", "<name> \t\n </name>", ""},
                    TextCase{"Cdata", "<name><![CDATA[ <yes> ]]></name>", "<yes>"},
                    TextCase{"MixedCdata", "<name> a<![CDATA[ & ]]>b </name>", "a & b"},
                    TextCase{"Descendants", "<name> x<i>y<b> z</b></i> </name>", "xy z"},
                    TextCase{"CommentsLeftOut", "<name>ye<!-- no -->s</name>", "yes"},
                    TextCase{"CharacterReferences", "<name>&#32;&#x79;es&#9;</name>", "yes"},
                    TextCase{"NoBreakSpaceKept", "<name>\xC2\xA0yes\xC2\xA0</name>",
                             "\xC2\xA0yes\xC2\xA0"}),
    [](const auto& info) { return info.param.name; });

TEST(ElementText, latin1DeclarationTurnsHighBytesIntoTheirCharacters) {
    const XmlDocument document = DocumentFromBytes(std::string(kLatin1Declaration) + "\r\n" +
                                                   LayerHolding("<name>\xE9\xFF\xA0</name>"));
    ASSERT_EQ(document.parseError().errorCode, 0);
    EXPECT_EQ(OnlyLayer(document).selectSingleNode(ElementKind::Name).text(),
              "\xC3\xA9\xC3\xBF\xC2\xA0");
}

// ---------------------------------------------------------------------------------------------
// Nothing outside the file

class OutsideFile : public testing::Test {
protected:
    OutsideFile() { WriteBytes(folder_ / "secret.txt", "outside-content"); }
    std::string secretUrl() const { return "file://" + (folder_ / "secret.txt").string(); }
    std::string secretPath() const { return (folder_ / "secret.txt").string(); }

    TempFolder folder_;
};

// An external general entity, an external parameter entity and an external DTD: none of them
// is read.
TEST_F(OutsideFile, externalEntitiesAndDtdNeverPutTheFileIntoText) {
    WriteBytes(folder_ / "evil.dtd", "<!ENTITY e \"outside-by-dtd\">");
    const std::vector<std::string> doctypes = {
        "<!DOCTYPE kestrovadocument2 [<!ENTITY e SYSTEM \"" + secretPath() + "\">]>",
        "<!DOCTYPE kestrovadocument2 [<!ENTITY e SYSTEM \"" + secretUrl() + "\">]>",
        "<!DOCTYPE kestrovadocument2 SYSTEM \"" + (folder_ / "evil.dtd").string() +
            "\" [<!ENTITY % p SYSTEM \"" + secretPath() + "\"> %p;]>"};
    for (const std::string& doctype : doctypes) {
        const XmlDocument document =
            DocumentFromBytes(doctype + "\n" + LayerHolding("<name>a&e;b</name>"));
        const ParseError& error = document.parseError();
        if (error.errorCode == 0) {
            EXPECT_THAT(OnlyLayer(document).selectSingleNode(ElementKind::Name).text(),
                        Not(HasSubstr("outside")));
        }
        EXPECT_THAT(error.reason, Not(HasSubstr("outside")));
    }
}

TEST_F(OutsideFile, layerNamedByAnExternalEntityNeverShowsTheFileInTheReport) {
    WriteBytes(folder_ / "p.kpj",
               std::string(kPlainDeclaration) +
                   "\n<!DOCTYPE kestrovadocument2 [<!ENTITY e SYSTEM \"" + secretPath() +
                   "\">]>\n<kestrovadocument2><multilayer><layer><name>[&e;]</name>"
                   "</layer></multilayer></kestrovadocument2>\n");
    CurrentDirectoryGuard inFolder(folder_.path());
    const RunResult run = RunOn((folder_ / "p.kpj").string());
    EXPECT_THAT(run.report, Not(HasSubstr("outside")));
    for (const auto& message : run.messages)
        EXPECT_THAT(message.text, Not(HasSubstr("outside")));
}

} // namespace
} // namespace kestrova
