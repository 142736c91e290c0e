// Hostile project documents beyond their entities: nesting, huge texts, bytes that are not
// UTF-8, other encodings, a million layers, time texts beyond every range. Each run ends with a
// report or a clear message, and touches no file but its own working copy.

#include "hostile_support.h"

#include "check/xml_document.h"

namespace kestrova::hostile {
namespace {

constexpr const char* kPlainDeclaration = "<?xml version=\"1.0\" standalone=\"yes\" ?>\n";

// Nesting deeper than any real project is still checked up to the guard's depth; past it the
// run stops with a message that names the cause.
TEST(HugeButWellFormed, NestingIsCheckedUpToTheGuardAndRefusedPastIt) {
    const auto nested = [](int depth) {
        std::string deep;
        for (int i = 0; i < depth; ++i)
            deep += "<d>";
        for (int i = 0; i < depth; ++i)
            deep += "</d>";
        return deep;
    };
    const RunResult checked = CheckDocument(Project(Layer("n") + nested(kDeepestNesting - 10)));
    EXPECT_EQ(checked.result->status, CheckStatus::NoErrors) << MessageText(*checked.result);
    const RunResult refused = CheckDocument(Project(Layer("n") + nested(100'000)));
    EXPECT_EQ(refused.result->status, CheckStatus::Stopped);
    EXPECT_NE(MessageText(*refused.result)
                  .find("nested deeper than " + std::to_string(kDeepestNesting) + " levels"),
              std::string::npos)
        << MessageText(*refused.result);
}

// An embedded picture far beyond the parser's default text limit, in an element the check never
// reads, is passed over.
TEST(HugeButWellFormed, TwelveMegabyteTextInAnUnreadElementIsChecked) {
    const std::string thumbnail = "<thumbnail>" + std::string(12 << 20, 'A') + "</thumbnail>";
    const RunResult run = CheckDocument(Project(thumbnail + Layer("n")));
    EXPECT_EQ(run.result->status, CheckStatus::NoErrors) << MessageText(*run.result);
}

TEST(MalformedBytes, NulBytesAnywhereGiveTheParseErrorReport) {
    for (const std::string& document :
         {std::string("\0", 1) + Project(Layer("a")), Project(Layer(std::string("a\0b", 3))),
          std::string(kPlainDeclaration) + std::string(1000, '\0'),
          std::string(kPlainDeclaration) + Project(Layer(std::string("\0\0", 2)))}) {
        const RunResult run = CheckDocument(document);
        EXPECT_EQ(run.result->status, CheckStatus::NotParsed);
    }
}

TEST(MalformedBytes, InvalidUtf8IsRefusedUnlessThePlainDeclarationMakesItLatin1) {
    const std::string name = "bad \xC3\x28 \xFF\xFE \xED\xA0\x80 \xF4\x90\x80\x80";
    EXPECT_EQ(CheckDocument(Project(Layer(name))).result->status, CheckStatus::NotParsed);
    EXPECT_EQ(CheckDocument("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + Project(Layer(name)))
                  .result->status,
              CheckStatus::NotParsed);
    const RunResult latin1 = CheckDocument(kPlainDeclaration + Project(Layer(name)));
    ASSERT_EQ(latin1.result->status, CheckStatus::NoErrors) << MessageText(*latin1.result);
    EXPECT_NE(latin1.report.find(" 1: \tbad \xC3\x83( \xC3\xBF\xC3\xBE \xC3\xAD\xC2\xA0\xC2\x80"),
              std::string::npos);
}

TEST(MalformedBytes, PlainDeclarationReadsBytesAbove127AsLatin1) {
    std::string name;
    for (int byte = 0xA0; byte <= 0xFF; ++byte)
        name += static_cast<char>(byte);
    const RunResult run = CheckDocument(kPlainDeclaration + Project(Layer(name)));
    ASSERT_EQ(run.result->status, CheckStatus::NoErrors) << MessageText(*run.result);
    std::string expected;
    for (int code = 0xA0; code <= 0xFF; ++code) {
        expected += static_cast<char>(0xC0 | code >> 6);
        expected += static_cast<char>(0x80 | (code & 0x3F));
    }
    EXPECT_NE(run.report.find(" 1: \t" + expected + "\r\n"), std::string::npos);
}

// UTF-8 text as UTF-16 code units in the given byte order.
std::string Utf16(const std::string& utf8, bool bigEndian) {
    std::string out;
    const auto put = [&](unsigned unit) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    };
    for (std::size_t at = 0; at < utf8.size();) {
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8[at + i]); };
        const int length = byte(0) < 0x80 ? 1 : byte(0) < 0xE0 ? 2 : byte(0) < 0xF0 ? 3 : 4;
        unsigned code = length == 1 ? byte(0) : byte(0) & (0x7F >> length);
        for (int i = 1; i < length; ++i)
            code = code << 6 | (byte(i) & 0x3F);
        at += static_cast<std::size_t>(length);
        if (code >= 0x10000) {
            put(0xD800 + ((code - 0x10000) >> 10));
            put(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            put(code);
        }
    }
    return out;
}

// What a run found, without the project's path.
std::string Outcome(const RunResult& run) {
    const std::size_t afterHeader = run.report.find("\r\n", 2);
    return std::to_string(static_cast<int>(run.result->status)) + "|" +
           (afterHeader == std::string::npos ? run.report : run.report.substr(afterHeader)) + "|" +
           (run.result->status == CheckStatus::NotParsed ? MessageText(*run.result) : "");
}

struct Utf16Case {
    const char* name;
    std::string text; // from after the declaration
    bool checked;     // whether the twin is checked to the end
};

void PrintTo(const Utf16Case& c, std::ostream* os) {
    *os << c.name;
}

class Utf16Project : public testing::TestWithParam<Utf16Case> {};

// Saved as UTF-16, with or without a byte-order mark, in either byte order, a project reads as
// its UTF-8 twin does: the same report, or the same parse error at the same line.
TEST_P(Utf16Project, ReadsLikeItsUtf8Twin) {
    const std::string text = GetParam().text;
    struct Form {
        std::string declaration;
        std::string twinDeclaration;
        bool mark;
    };
    for (const Form& form : {Form{kPlainDeclaration, kPlainDeclaration, true},
                             Form{"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n",
                                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n", true},
                             Form{"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n",
                                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n", false}}) {
        const RunResult twin =
            CheckDocument((form.mark ? "\xEF\xBB\xBF" : "") + form.twinDeclaration + text);
        EXPECT_EQ(twin.result->checked(), GetParam().checked) << twin.report;
        for (const bool bigEndian : {false, true}) {
            SCOPED_TRACE(form.declaration + (bigEndian ? " big-endian" : " little-endian") +
                         (form.mark ? " with mark" : ""));
            const RunResult run = CheckDocument(
                Utf16((form.mark ? "\xEF\xBB\xBF" : "") + form.declaration + text, bigEndian));
            EXPECT_EQ(Outcome(run), Outcome(twin));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Utf16Project,
    testing::Values(Utf16Case{"Checked",
                              Project(Layer("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xAC",
                                            Video("0h 00m 01s 000", "0h 00m 02s 000")) +
                                      "\r\n" + Layer("Two\rlines\r\nand\nmore")) +
                                  "\r",
                              true},
                    Utf16Case{"NotWellFormedOnTheFourthLine",
                              "<kestrovadocument2>\n<multilayer>\r\n<layer>\r</multilayer>\n",
                              false}),
    [](const auto& info) { return std::string(info.param.name); });

// A UTF-8 byte-order mark means UTF-8 even under the plain declaration, which without one makes
// the bytes ISO-8859-1.
TEST(MalformedBytes, Utf8ByteOrderMarkMeansUtf8UnderThePlainDeclaration) {
    const std::string layers = Project(Layer("Caf\xC3\xA9"));
    const RunResult marked =
        CheckDocument("\xEF\xBB\xBF" + std::string(kPlainDeclaration) + layers);
    const RunResult declared =
        CheckDocument("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + layers);
    ASSERT_EQ(marked.result->status, CheckStatus::NoErrors) << MessageText(*marked.result);
    EXPECT_EQ(Outcome(marked), Outcome(declared));
    EXPECT_NE(marked.report.find(" 1: \tCaf\xC3\xA9\r\n"), std::string::npos) << marked.report;
}

// UTF-32, UCS-4 and EBCDIC are not read: the run stops naming the encoding.
TEST(MalformedBytes, EncodingsThatAreNotReadStopTheRunNamingThem) {
    const std::string text = "<?xml version=\"1.0\"?>" + Project(Layer("L"));
    std::string utf32Big;
    std::string utf32Little;
    for (const char c : text) {
        utf32Big += std::string(3, '\0') + c;
        utf32Little += c + std::string(3, '\0');
    }
    const std::string ebcdic = "\x4C\x6F\xA7\x94\x93\x40\xA5\x85\x99\xA2\x89\x96\x95";
    struct Case {
        std::string bytes;
        const char* encoding;
    };
    for (const Case& c :
         {Case{std::string("\0\0\xFE\xFF", 4) + utf32Big, "UTF-32"},
          Case{"\xFF\xFE" + std::string(2, '\0') + utf32Little, "UTF-32"}, Case{utf32Big, "UTF-32"},
          Case{utf32Little, "UTF-32"}, Case{ebcdic, "EBCDIC"}}) {
        SCOPED_TRACE(c.encoding);
        const RunResult run = CheckDocument(c.bytes);
        ASSERT_EQ(run.result->status, CheckStatus::Stopped);
        EXPECT_NE(MessageText(*run.result).find(std::string("written in ") + c.encoding),
                  std::string::npos)
            << MessageText(*run.result);
    }
}

TEST(OversizedContent, SingleLineOf100MegabytesEndsCleanly) {
    std::string line = "<kestrovadocument2><multilayer><layer><name>";
    line.append(100u << 20, 'x');
    line += "</name></layer></multilayer></kestrovadocument2>";
    const RunResult run = CheckDocument(line);
    EXPECT_FALSE(run.report.empty());
    EXPECT_LT(MessageText(*run.result).size(), 4096u);
}

TEST(OversizedContent, LayerNameOfOneMegabyteIsReportedWhole) {
    const std::string name(1u << 20, 'n');
    const RunResult run = CheckDocument(Project(Layer(name)));
    ASSERT_EQ(run.result->status, CheckStatus::NoErrors);
    EXPECT_NE(run.report.find("\r\n 1: \t" + name + "\r\n"), std::string::npos);
}

TEST(OversizedContent, MillionLayersAreCountedPastTheSixteenBitRange) {
    std::string layers;
    layers.reserve(9'000'000);
    for (int layer = 1; layer <= 1'000'000; ++layer) {
        if (layer == 32'767 || layer == 32'768 || layer == 1'000'000)
            layers +=
                Layer("at " + std::to_string(layer), Video("0h 00m 00s 000", "0h 00m 01s 000"));
        else
            layers += "<layer/>";
    }
    const RunResult run = CheckDocument(Project(layers));
    ASSERT_EQ(run.result->status, CheckStatus::NoErrors) << MessageText(*run.result);
    EXPECT_NE(run.report.find("\r\n32767: \tat 32767\r\n"), std::string::npos);
    EXPECT_NE(run.report.find("\r\n32768: \tat 32768\r\n"), std::string::npos);
    EXPECT_NE(run.report.find("\r\n1000000: \tat 1000000\r\n"), std::string::npos);
}

TEST(TimeTexts, NumbersBeyondEveryRangeStopTheRunWithAShortMessage) {
    const std::vector<std::string> times = {
        "1e999h 00m 00s 000",
        "99999999999h 00m 00s 000",
        "0h 00m 00s 1e308",
        std::string(40'000, '9') + "h 00m 00s 000",
        "0h 00m 00s " + std::string(40'000, '9'),
        "-" + std::string(400, '9') + "e-9h 00m 00s 000",
    };
    for (const std::string& time : times) {
        SCOPED_TRACE(time.substr(0, 40));
        const RunResult run = CheckDocument(Project(Layer("L", Video(time, "0h 00m 01s 000"))));
        ASSERT_EQ(run.result->status, CheckStatus::Stopped);
        EXPECT_LT(MessageText(*run.result).size(), 400u) << MessageText(*run.result);
        EXPECT_NE(MessageText(*run.result).find("in layer 1"), std::string::npos);
    }
}

TEST(TimeTexts, LongTextsWithinRangeStillRead) {
    // 40,000 characters in all, every letter within reach.
    const std::string time = std::string(30'000, '0') + "1h 00m 00s " + std::string(10'000, '0');
    const RunResult run = CheckDocument(Project(Layer("L", Video("0h 00m 00s 000", time))));
    ASSERT_EQ(run.result->status, CheckStatus::NoErrors) << MessageText(*run.result);
}

} // namespace
} // namespace kestrova::hostile
