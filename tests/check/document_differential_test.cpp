// The streamed compact document against the tree-built reference: on every project kept in the
// source tree, on every truncation and one-byte change of the small ones, and on generated
// documents full of what XML allows, both give the same parse error (reason and line) or the
// same elements and texts.

#include "tests/check/check_test_support.h"
#include "tests/check/document_dump.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace kestrova {
namespace {

using namespace testing_support;

void ExpectSameDump(const std::string& bytes) {
    const BothDumps dumps = DumpBothWays(bytes);
    ASSERT_EQ(dumps.streamed, dumps.tree) << "document:\n" << bytes;
}

std::vector<fs::path> KeptProjects() {
    std::vector<fs::path> files;
    for (const std::string& folder :
         {std::string(KESTROVA_TEST_DATA), std::string(KESTROVA_SOURCE_DIR) + "/examples",
          std::string(KESTROVA_SOURCE_DIR) + "/tests/fuzz/corpus/check_run"}) {
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (entry.is_regular_file())
                files.push_back(entry.path());
        }
    }
    return files;
}

TEST(SameDocument, everyKeptProjectReadsTheSame) {
    const std::vector<fs::path> files = KeptProjects();
    ASSERT_GT(files.size(), 40u);
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        ExpectSameDump(ReadBytes(file));
    }
}

// Cut short or with one byte changed at every position: parse errors everywhere in the document.
TEST(SameDocument, everyTruncationAndOneByteChangeOfTheExamplesReadsTheSame) {
    const std::string changes = "<>&;/!?\"'=]\xE9 x";
    for (const char* name : {"rough-cut.kpj", "holiday.kpj"}) {
        const std::string bytes = ReadBytes(std::string(KESTROVA_SOURCE_DIR) + "/examples/" + name);
        for (std::size_t at = 0; at <= bytes.size(); ++at) {
            ExpectSameDump(bytes.substr(0, at));
            if (at == bytes.size())
                continue;
            std::string changed = bytes;
            changed[at] = changes[at % changes.size()];
            ExpectSameDump(changed);
        }
    }
}

// Generated projects: the survey's elements with comments, processing instructions, CDATA,
// entities (internal, nested, external, undeclared), namespaces, mixed content and nesting
// sprinkled anywhere.
class ProjectGenerator {
public:
    explicit ProjectGenerator(unsigned seed) : random_(seed) {}

    std::string project() {
        std::string xml = pick({std::string(kPlainDeclaration) + "\n", std::string(""),
                                std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n")});
        if (chance(2))
            xml += "<!DOCTYPE kestrovadocument2 [<!ENTITY a \"  x&#32;\"><!ENTITY b \"&a;<i>y</i>"
                   "<![CDATA[ z ]]>&a;\"><!ENTITY e SYSTEM \"none.txt\"><!ENTITY c \"<!--c-->\">"
                   "<!ENTITY t \"0h 00m 01s 000\">]>\n";
        xml += "<kestrovadocument2 xmlns:k='urn:k'>" + noise() +
               pick({std::string("<multilayer>"), std::string("<k:multilayer>"),
                     std::string("<multilayer xmlns='urn:d'>")});
        for (int layer = count(4); layer > 0; --layer)
            xml += layerElement();
        xml += noise() + "</multilayer>" + noise() + "</kestrovadocument2>\n";
        return xml;
    }

private:
    std::string layerElement() {
        std::string xml = pick({std::string("<layer>"), std::string("<layer a='1'>"),
                                std::string("<k:layer>"), std::string("<Layer>")});
        const std::string close = xml == "<k:layer>" ? "</k:layer>"
                                  : xml == "<Layer>" ? "</Layer>"
                                                     : "</layer>";
        for (int child = count(5); child > 0; --child) {
            switch (count(4)) {
            case 1:
                xml += "<name>" + text() + "</name>";
                break;
            case 2:
                xml += "<scrap>" +
                       pick({std::string("yes"), std::string(" yes "), std::string("y<!--x-->es"),
                             std::string("no")}) +
                       "</scrap>";
                break;
            case 3:
                xml += noise();
                break;
            default:
                xml += item();
            }
        }
        return xml + noise() + close;
    }

    std::string item() {
        const std::string kind =
            pick({std::string("layeritem_video"), std::string("layeritem_effect"),
                  std::string("layeritem_audio"), std::string("layeritem_bitmap"),
                  std::string("layeritem_filter")});
        std::string xml = "<" + kind + ">";
        for (int child = count(3); child > 0; --child) {
            const std::string time = pick({std::string("starttime"), std::string("endtime")});
            xml += "<" + time + ">" +
                   pick({std::string("0h 00m 0") + std::to_string(count(9)) + "s 000",
                         std::string(" &t; "), std::string("<![CDATA[0h 00m 02s 000]]>"),
                         std::string("0h 00m <!--c-->03s 000"), text()}) +
                   "</" + time + ">" + noise();
        }
        return xml + "</" + kind + ">";
    }

    std::string text() {
        std::string out;
        for (int part = count(4); part > 0; --part) {
            out += pick({std::string(" a "), std::string("&amp;"), std::string("&#xE9;"),
                         std::string("&a;"), std::string("&b;"), std::string("&c;"),
                         std::string("&e;"), std::string("&undeclared;"),
                         std::string("<![CDATA[ <c> ]]>"), std::string("<i>in<j>ner</j></i>"),
                         std::string("<!--n-->"), std::string("<?p i?>"), std::string("\t\r\n"),
                         deep()});
        }
        return out;
    }

    std::string noise() {
        return pick({std::string(""), std::string("\n  "), std::string("<!-- layer -->"),
                     std::string("<?layer x?>"), std::string("<k:name>n</k:name>"),
                     std::string("<note>&b;<name>x</name></note>"), std::string("t&a;"),
                     std::string("<![CDATA[<layer>]]>"), deep()});
    }

    std::string deep() {
        const int depth = count(300);
        std::string xml;
        for (int i = 0; i < depth; ++i)
            xml += "<d>";
        xml += "x";
        for (int i = 0; i < depth; ++i)
            xml += "</d>";
        return xml;
    }

    int count(int most) { return std::uniform_int_distribution<int>(1, most)(random_); }
    bool chance(int inN) { return count(inN) == 1; }
    std::string pick(std::initializer_list<std::string> choices) {
        return *(choices.begin() + count(static_cast<int>(choices.size())) - 1);
    }

    std::mt19937 random_;
};

TEST(SameDocument, generatedProjectsAndTheirTruncationsReadTheSame) {
    ProjectGenerator generator(20261207);
    std::mt19937 cuts(7);
    for (int round = 0; round < 2000; ++round) {
        const std::string xml = generator.project();
        ExpectSameDump(xml);
        ExpectSameDump(
            xml.substr(0, std::uniform_int_distribution<std::size_t>(0, xml.size())(cuts)));
    }
}

} // namespace
} // namespace kestrova
