// Entities and DTDs in a project: expansions that would take unbounded memory or time are
// refused with a message, in the texts the check reads and everywhere else, while modest ones
// still expand; files and network addresses that entities and DTDs name are never touched.

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

RunResult ExpectRefusedWithBoundedMemory(const std::string& document) {
    const long peakBefore = PeakResidentMiB();
    RunResult run = CheckDocument(document);
    EXPECT_FALSE(run.result->checked());
    EXPECT_LT(run.report.size(), 4096u);
    EXPECT_LT(MessageText(*run.result).size(), 4096u);
    EXPECT_LT(PeakResidentMiB() - peakBefore, 1024) << "MiB more at the peak";
    return run;
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
    const RunResult run = ExpectRefusedWithBoundedMemory(GetParam().document);
    ASSERT_EQ(run.result->status, CheckStatus::Stopped) << run.report.substr(0, 400);
    EXPECT_NE(MessageText(*run.result)
                  .find("its entity references expand to more than " +
                        std::to_string(kEntityExpansionAllowance) + " characters"),
              std::string::npos)
        << MessageText(*run.result);
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

} // namespace
} // namespace kestrova::hostile
