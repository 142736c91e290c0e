// The project document as the check reads it: parse errors, names that match, text content,
// and that nothing outside the file ever reaches the document.

#include "check/check_run.h"
#include "check/working_copy.h"
#include "check/xml_document.h"
#include "tests/check/check_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
    XmlDocument document;
    const ParseError& error = document.loadFromMemory(GetParam().bytes);
    EXPECT_NE(error.errorCode, 0);
    EXPECT_THAT(error.reason, HasSubstr(GetParam().reasonHas));
    EXPECT_FALSE(error.reason.ends_with("\n") || error.reason.ends_with("\r")) << error.reason;
    EXPECT_EQ(error.line, GetParam().line);
    EXPECT_EQ(document.parseError().line, GetParam().line);
    EXPECT_FALSE(document.selectSingleNode("a"));
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

// ---------------------------------------------------------------------------------------------
// Names

std::vector<std::string> ChildNames(const XmlNode& node) {
    std::vector<std::string> names;
    for (const XmlNode child : node.childNodes())
        names.push_back(child.nodeName().str());
    return names;
}

TEST(NodeNames, everyKindOfChildIsListedButOnlyUnprefixedElementsMatch) {
    XmlDocument document;
    ASSERT_EQ(document
                  .loadFromMemory("<m xmlns:k='urn:k'><layer/><!--layer--><?layer x?>"
                                  "<k:layer/><Layer/><layer xmlns='urn:d'/>text"
                                  "<![CDATA[layer]]></m>")
                  .errorCode,
              0);
    const XmlNode root = document.selectSingleNode("m");
    ASSERT_TRUE(root);
    EXPECT_EQ(ChildNames(root),
              (std::vector<std::string>{"layer", "#comment", "layer", "k:layer", "Layer", "layer",
                                        "#text", "#cdata-section"}));
    std::vector<bool> matches;
    for (const XmlNode child : root.childNodes())
        matches.push_back(child.nodeName() == "layer");
    EXPECT_EQ(matches, (std::vector<bool>{true, false, false, false, false, true, false, false}));
}

TEST(NodeNames, commentBetweenLayersIsAChildThatIsNoLayer) {
    XmlDocument document;
    ASSERT_EQ(document.load(FixturePath("non_layer_children.kpj")).errorCode, 0);
    const XmlNode multilayer =
        document.selectSingleNode("kestrovadocument2").selectSingleNode("multilayer");
    int layers = 0;
    int comments = 0;
    for (const XmlNode child : multilayer.childNodes()) {
        layers += child.nodeName() == "layer";
        comments += child.nodeName().str() == "#comment";
    }
    EXPECT_EQ(layers, 2);
    EXPECT_EQ(comments, 1);
}

TEST(NodeNames, selectSingleNodeFindsTheFirstMatchingElementOnly) {
    XmlDocument document;
    ASSERT_EQ(document
                  .loadFromMemory("<doc><?pick a?><!--pick--><k:pick xmlns:k='urn:k'>0</k:pick>"
                                  "<pick>1</pick><pick>2</pick></doc>")
                  .errorCode,
              0);
    EXPECT_FALSE(document.selectSingleNode("Doc"));
    EXPECT_FALSE(document.selectSingleNode("pick")); // not the document element
    const XmlNode doc = document.selectSingleNode("doc");
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc.selectSingleNode("pick").text(), "1");
    EXPECT_FALSE(doc.selectSingleNode("missing"));
    EXPECT_FALSE(doc.selectSingleNode("pick").selectSingleNode("pick"));
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
    XmlDocument document;
    ASSERT_EQ(document.loadFromMemory("<doc>" + GetParam().element + "</doc>").errorCode, 0);
    const XmlNode doc = document.selectSingleNode("doc");
    ASSERT_TRUE(doc);
    const XmlNode first = *doc.childNodes().begin();
    EXPECT_EQ(first.text(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Elements, ElementText,
    testing::Values(TextCase{"Plain", "<scrap>yes</scrap>", "yes"},
                    TextCase{"Spaces", "<scrap> yes </scrap>", "yes"},
                    TextCase{"TabsAndLineEnds", "<n>\t\r\n a  b \r\n\t</n>", "a  b"},
                    TextCase{"Empty", "<n></n>", ""}, TextCase{"SelfClosing", "<n/>", ""},
                    TextCase{"OnlySpace", "<n> \t\n </n>", ""},
                    TextCase{"Cdata", "<n><![CDATA[ <yes> ]]></n>", "<yes>"},
                    TextCase{"MixedCdata", "<n> a<![CDATA[ & ]]>b </n>", "a & b"},
                    TextCase{"Descendants", "<n> x<i>y<b> z</b></i> </n>", "xy z"},
                    TextCase{"CommentsLeftOut", "<n>ye<!-- no -->s</n>", "yes"},
                    TextCase{"CharacterReferences", "<n>&#32;&#x79;es&#9;</n>", "yes"},
                    TextCase{"NoBreakSpaceKept", "<n>\xC2\xA0yes\xC2\xA0</n>",
                             "\xC2\xA0yes\xC2\xA0"}),
    [](const auto& info) { return info.param.name; });

TEST(ElementText, latin1DeclarationTurnsHighBytesIntoTheirCharacters) {
    XmlDocument document;
    ASSERT_EQ(
        document.loadFromMemory(std::string(kLatin1Declaration) + "\r\n<n>\xE9\xFF\xA0</n>\r\n")
            .errorCode,
        0);
    EXPECT_EQ(document.selectSingleNode("n").text(), "\xC3\xA9\xC3\xBF\xC2\xA0");
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
        "<!DOCTYPE n [<!ENTITY e SYSTEM \"" + secretPath() + "\">]>",
        "<!DOCTYPE n [<!ENTITY e SYSTEM \"" + secretUrl() + "\">]>",
        "<!DOCTYPE n SYSTEM \"" + (folder_ / "evil.dtd").string() + "\" [<!ENTITY % p SYSTEM \"" +
            secretPath() + "\"> %p;]>"};
    for (const std::string& doctype : doctypes) {
        XmlDocument document;
        const ParseError& error = document.loadFromMemory(doctype + "\n<n>a&e;b</n>");
        if (error.errorCode == 0) {
            EXPECT_THAT(document.selectSingleNode("n").text(), Not(HasSubstr("outside")));
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
