// Hostile project documents: each run ends with a report or a clear message, with bounded
// memory, without touching any file but its own working copy, and without letting anything
// from outside the project file into the report or a message.

#include "hostile_support.h"

#include "check/xml_document.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>

#include <random>

namespace kestrova::hostile {
namespace {

constexpr const char* kPlainDeclaration = "<?xml version=\"1.0\" standalone=\"yes\" ?>\n";

std::string Project(const std::string& layers) {
    return "<kestrovadocument2><multilayer>" + layers + "</multilayer></kestrovadocument2>\n";
}

std::string Layer(const std::string& name, const std::string& items = "") {
    return "<layer><name>" + name + "</name><scrap>no</scrap>" + items + "</layer>";
}

std::string Video(const std::string& start, const std::string& end) {
    return "<layeritem_video><starttime>" + start + "</starttime><endtime>" + end +
           "</endtime></layeritem_video>";
}

// Writes the document as the only file of a fresh folder, checks it there, and makes sure the
// folder holds exactly what it held before: the project file, byte for byte.
RunResult CheckDocument(const std::string& bytes) {
    TempFolder folder;
    WriteBytes(folder / "project.kpj", bytes);
    const auto before = Snapshot(folder.path());
    RunResult run = RunOn((folder / "project.kpj").string());
    EXPECT_TRUE(Snapshot(folder.path()) == before) << "the folder changed";
    EXPECT_EQ(EndsWith(run.report, "\r\nNo errors found"),
              run.result->status == CheckStatus::NoErrors);
    if (!run.result->checked())
        ExpectFailureShown(run);
    return run;
}

// A DTD whose entity `name` is ten times the one before it, `levels` deep, over ten characters.
std::string LaughsDtd(int levels) {
    std::string dtd = "<!DOCTYPE kestrovadocument2 [<!ENTITY lol0 \"lollollol \">";
    for (int level = 1; level <= levels; ++level) {
        dtd += "<!ENTITY lol" + std::to_string(level) + " \"";
        for (int i = 0; i < 10; ++i)
            dtd += "&lol" + std::to_string(level - 1) + ";";
        dtd += "\">";
    }
    return dtd + "]>\n";
}

// One 50,000-character entity referenced 100,000 times: 5 GB of text from 350 KB of document.
std::string QuadraticBlowup(bool inStartTime) {
    std::string refs;
    for (int i = 0; i < 100'000; ++i)
        refs += "&big;";
    const std::string dtd =
        "<!DOCTYPE kestrovadocument2 [<!ENTITY big \"" + std::string(50'000, '7') + "\">]>\n";
    return dtd + Project(inStartTime ? Layer("L", Video(refs + "h 00m 00s 000", "1h 00m 00s 000"))
                                     : Layer(refs));
}

void ExpectRefusedWithBoundedMemory(const std::string& document) {
    const long peakBefore = PeakResidentMiB();
    const RunResult run = CheckDocument(document);
    EXPECT_FALSE(run.result->checked());
    EXPECT_LT(run.report.size(), 4096u);
    EXPECT_LT(MessageText(*run.result).size(), 4096u);
    EXPECT_LT(PeakResidentMiB() - peakBefore, 1024) << "MiB more at the peak";
}

TEST(EntityExpansion, ExponentialBombIsRefusedInLayerNameAndStartTime) {
    ExpectRefusedWithBoundedMemory(LaughsDtd(9) + Project(Layer("&lol9;")));
    ExpectRefusedWithBoundedMemory(
        LaughsDtd(9) + Project(Layer("L", Video("&lol9;0h 00m 00s 000", "0h 00m 01s 000"))));
}

TEST(EntityExpansion, BombJustBelowTheParsersOwnLimitIsRefusedWhenRead) {
    // Six levels (10 MB of text) pass the parser's amplification check; reading the name must
    // still not build it.
    const RunResult run = CheckDocument(LaughsDtd(6) + Project(Layer("&lol6;&lol6;")));
    ExpectFailureShown(run);
    EXPECT_LT(run.report.size(), 4096u);
}

TEST(EntityExpansion, EmptyEntitiesNestedExponentiallyDoNotHang) {
    std::string dtd = "<!DOCTYPE kestrovadocument2 [<!ENTITY e0 \"\">";
    for (int level = 1; level <= 9; ++level) {
        dtd += "<!ENTITY e" + std::to_string(level) + " \"";
        for (int i = 0; i < 10; ++i)
            dtd += "&e" + std::to_string(level - 1) + ";";
        dtd += "\">";
    }
    ExpectRefusedWithBoundedMemory(dtd + "]>\n" + Project(Layer("&e9;")));
}

TEST(EntityExpansion, QuadraticBlowupIsRefusedInLayerNameAndStartTime) {
    for (bool inStartTime : {false, true}) {
        SCOPED_TRACE(inStartTime ? "in a start time" : "in a layer name");
        const RunResult run = CheckDocument(QuadraticBlowup(inStartTime));
        ASSERT_EQ(run.result->status, CheckStatus::Stopped);
        EXPECT_NE(MessageText(*run.result).find("entity references expand to more than"),
                  std::string::npos)
            << MessageText(*run.result);
        EXPECT_LT(run.report.size(), 4096u);
    }
}

// Expansions the check never reads as text are bounded too: libxml2 expands a reference in an
// attribute value in full, and an entity's value in full where another value refers to it.
struct BombPlace {
    const char* name;
    std::string document;
};

void PrintTo(const BombPlace& place, std::ostream* os) {
    *os << place.name;
}

// Parameter entities that name each other, declared through a parameter entity (only there
// may a value refer to one), ten times the one before, nine deep.
std::string ParameterLaughs() {
    std::string inner = "<!ENTITY &#37; p0 'lollollol '>";
    for (int level = 1; level <= 9; ++level) {
        inner += "<!ENTITY &#37; p" + std::to_string(level) + " '";
        for (int i = 0; i < 10; ++i)
            inner += "&#37;p" + std::to_string(level - 1) + ";";
        inner += "'>";
    }
    return "<!DOCTYPE kestrovadocument2 [<!ENTITY % d \"" + inner +
           "<!ENTITY big '&#37;p9;'>\"> %d;]>\n" + Project(Layer("L"));
}

std::string WithDocumentElement(const std::string& dtd, const std::string& start,
                                const std::string& layers = Layer("L")) {
    return dtd + start + "<multilayer>" + layers + "</multilayer></kestrovadocument2>\n";
}

class BombOutsideTheTextsRead : public testing::TestWithParam<BombPlace> {};

TEST_P(BombOutsideTheTextsRead, StopsTheRunWithTheExpansionMessageAndBoundedMemory) {
    const long peakBefore = PeakResidentMiB();
    const RunResult run = CheckDocument(GetParam().document);
    ASSERT_EQ(run.result->status, CheckStatus::Stopped) << run.report.substr(0, 400);
    EXPECT_NE(MessageText(*run.result)
                  .find("its entity references expand to more than " +
                        std::to_string(kEntityExpansionAllowance) + " characters"),
              std::string::npos)
        << MessageText(*run.result);
    EXPECT_LT(PeakResidentMiB() - peakBefore, 256) << "MiB more at the peak";
}

std::string Repeated(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

// One entity of 50,000 characters.
std::string BigEntityDtd() {
    return "<!DOCTYPE kestrovadocument2 [<!ENTITY big \"" + std::string(50'000, '7') + "\">]>\n";
}

std::string LaughsAndAttributeDefault() {
    std::string dtd = LaughsDtd(9);
    dtd.insert(dtd.size() - 3, "<!ATTLIST layer a CDATA \"&lol9;\">");
    return dtd + Project(Layer("L"));
}

INSTANTIATE_TEST_SUITE_P(
    Places, BombOutsideTheTextsRead,
    testing::Values(
        BombPlace{"DocumentElementAttribute",
                  WithDocumentElement(LaughsDtd(9), "<kestrovadocument2 a=\"&lol9;\">")},
        BombPlace{"AttributeOfAnUnreadElement",
                  LaughsDtd(9) + Project("<note a='x&lol9;'/>" + Layer("L"))},
        BombPlace{"AttributeDefault", LaughsAndAttributeDefault()},
        BombPlace{"QuadraticInAnAttribute",
                  BigEntityDtd() +
                      Project("<note a='" + Repeated("&big;", 100'000) + "'/>" + Layer("L"))},
        // Met first in an attribute, the entity has no parsed content kept, and libxml2 parses
        // its text again at every reference in content.
        BombPlace{"QuadraticInTheContentOfAnUnreadElement",
                  BigEntityDtd() + Project("<note a='&big;'>" + Repeated("&big;", 100'000) +
                                           "</note>" + Layer("L"))},
        BombPlace{"ParameterEntityValues", ParameterLaughs()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EntityExpansion, ModestInternalEntitiesStillExpand) {
    const std::string dtd = "<!DOCTYPE kestrovadocument2 [<!ENTITY cam \"Camera\"><!ENTITY five "
                            "\"0h 00m 05s 000\">]>\n";
    const std::string layer = Layer("&cam; one", Video("0h 00m 00s 000", "&five;"));
    // Used in the texts read only, and first in attributes and unread elements.
    for (const std::string& document :
         {dtd + Project(layer),
          WithDocumentElement(dtd, "<kestrovadocument2 a='&cam;&five;'>", layer),
          dtd + Project("<note n='&cam;'>&cam;&five;</note>" + layer)}) {
        SCOPED_TRACE(document);
        const RunResult run = CheckDocument(document);
        ASSERT_EQ(run.result->status, CheckStatus::NoErrors) << MessageText(*run.result);
        EXPECT_NE(run.report.find(" 1: \tCamera one"), std::string::npos) << run.report;
    }
}

// Watches files for any open or read while it lives.
class OpenWatch {
public:
    OpenWatch() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
    ~OpenWatch() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool watch(const fs::path& file) {
        return fd_ >= 0 && ::inotify_add_watch(fd_, file.c_str(), IN_OPEN | IN_ACCESS) >= 0;
    }
    bool anyOpened() const {
        char buffer[4096];
        return ::read(fd_, buffer, sizeof buffer) > 0;
    }

private:
    int fd_;
};

std::string UniqueMarker() {
    std::random_device device;
    return "KESTROVA-OUTSIDE-" + std::to_string(device()) + "-" + std::to_string(device());
}

TEST(OutsideResources, LocalFilesNamedByEntitiesOrDtdAreNeverOpened) {
    TempFolder outside;
    const std::string marker = UniqueMarker();
    WriteBytes(outside / "secret.txt", marker);
    WriteBytes(outside / "outside.dtd", "<!ENTITY secret \"" + marker + "\">");
    const std::string secret = (outside / "secret.txt").string();
    const std::string dtd = (outside / "outside.dtd").string();
    OpenWatch watch;
    if (!watch.watch(outside / "secret.txt") || !watch.watch(outside / "outside.dtd"))
        GTEST_SKIP() << "inotify is not available to watch the outside files";

    const std::vector<std::string> documents = {
        // a general entity used in a name and in a start time
        "<!DOCTYPE kestrovadocument2 [<!ENTITY s SYSTEM \"" + secret + "\">]>\n" +
            Project(Layer("&s;", Video("&s;0h 00m 00s 000", "0h 00m 01s 000"))),
        "<!DOCTYPE kestrovadocument2 [<!ENTITY s SYSTEM \"file://" + secret + "\">]>\n" +
            Project(Layer("&s;")),
        // a parameter entity pulled into the internal subset
        "<!DOCTYPE kestrovadocument2 [<!ENTITY % p SYSTEM \"" + dtd + "\"> %p;]>\n" +
            Project(Layer("&secret;")),
        // an external DTD declaring the entity the name uses
        "<!DOCTYPE kestrovadocument2 SYSTEM \"" + dtd + "\">\n" + Project(Layer("&secret;")),
        "<!DOCTYPE kestrovadocument2 PUBLIC \"-//K//x\" \"file://" + dtd + "\">\n" +
            Project(Layer("x&secret;x")),
    };
    for (const std::string& document : documents) {
        SCOPED_TRACE(document.substr(0, 120));
        const RunResult run = CheckDocument(document);
        EXPECT_FALSE(run.mentions(marker)) << run.report;
        EXPECT_FALSE(run.mentions("KESTROVA-OUTSIDE"));
    }
    EXPECT_FALSE(watch.anyOpened()) << "a file outside the project was opened";
}

TEST(OutsideResources, NetworkAddressesAreNeverContacted) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x";

    for (const std::string& target : {url, std::string("http://127.0.0.1:9/x")}) {
        CheckDocument("<!DOCTYPE kestrovadocument2 [<!ENTITY u SYSTEM \"" + target + "\">]>\n" +
                      Project(Layer("&u;", Video("&u;0h 00m 00s 000", "0h 00m 01s 000"))));
        CheckDocument("<!DOCTYPE kestrovadocument2 SYSTEM \"" + target + "\">\n" +
                      Project(Layer("&u;")));
        CheckDocument("<!DOCTYPE kestrovadocument2 [<!ENTITY % p SYSTEM \"" + target +
                      "\"> %p;]>\n" + Project(Layer("a")));
    }
    pollfd waiting{listener, POLLIN, 0};
    EXPECT_EQ(::poll(&waiting, 1, 200), 0) << "the check connected to " << url;
    ::close(listener);
}

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
