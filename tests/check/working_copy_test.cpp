// The working copy: which name it takes, that it never touches an existing file, and the
// line-by-line rewrite of the project text into it.

#include "check/check_failure.h"
#include "check/file_access.h"
#include "check/working_copy.h"
#include "tests/check/check_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstring>
#include <functional>
#include <future>
#include <string>
#include <vector>

namespace kestrova {
namespace {

using namespace testing_support;

const std::string kDecl(kPlainDeclaration);
const std::string kLatin1(kLatin1Declaration);

// ---------------------------------------------------------------------------------------------
// Candidate names

TEST(CandidateName, freshGeneratorGivesTheSameNamesEveryStart) {
    UnseededRandom random;
    for (const std::string& expected : FirstCandidateNames())
        EXPECT_EQ(NextCandidateName(random), expected);
}

TEST(CandidateName, halfRoundsDownToAtSignAndAnythingAboveToA) {
    ScriptedRandom random({0.0, 0.5, 0.5000001, 0.9999999, 0.25, 0.75, 0.5, 0.51});
    EXPECT_EQ(NextCandidateName(random), "@@AA@A@A.tmp");
}

TEST(CandidateName, generatorKeepsItsPositionFromOneCopyToTheNext) {
    TempFolder folder;
    UnseededRandom random;
    WriteBytes(folder / "p.kpj", "x");
    { const WorkingCopy first = MakeWorkingCopy(folder / "p.kpj", folder.path(), random); }
    const WorkingCopy second = MakeWorkingCopy(folder / "p.kpj", folder.path(), random);
    EXPECT_EQ(second.path().filename(), FirstCandidateNames()[1]);
}

// ---------------------------------------------------------------------------------------------
// Names already in use

enum class Occupant { File, EmptyFile, Folder, DanglingLink, LinkLoop };

void PrintTo(Occupant o, std::ostream* os) {
    static const char* const kNames[] = {"File", "EmptyFile", "Folder", "DanglingLink", "LinkLoop"};
    *os << kNames[static_cast<int>(o)];
}

void Occupy(const TempFolder& folder, const std::string& name, Occupant occupant) {
    const auto path = folder / name;
    switch (occupant) {
    case Occupant::File:
        WriteBytes(path, "existing\r\ncontent\x01\xFF");
        break;
    case Occupant::EmptyFile:
        WriteBytes(path, "");
        break;
    case Occupant::Folder:
        std::filesystem::create_directory(path);
        break;
    case Occupant::DanglingLink:
        std::filesystem::create_symlink(folder / "target.txt", path);
        break;
    case Occupant::LinkLoop:
        std::filesystem::create_symlink(name, path);
        break;
    }
}

class TakenName : public testing::TestWithParam<Occupant> {};

// A name counts as taken whenever something of that name exists, even where reading it fails
// (a link that leads nowhere): the copy is never written through it.
TEST_P(TakenName, isSkippedAndLeftAsItWas) {
    TempFolder folder;
    WriteBytes(folder / "p.kpj", "<a/>\n");
    Occupy(folder, FirstCandidateNames()[0], GetParam());
    Occupy(folder, FirstCandidateNames()[1], GetParam());
    const std::string firstBefore =
        GetParam() == Occupant::File ? ReadBytes(folder / FirstCandidateNames()[0]) : "";
    UnseededRandom random;

    {
        const WorkingCopy copy = MakeWorkingCopy(folder / "p.kpj", folder.path(), random);
        EXPECT_EQ(copy.path(), folder / FirstCandidateNames()[2]);
        EXPECT_EQ(ReadBytes(copy.path()), "<a/>\r\n");
    }

    EXPECT_FALSE(std::filesystem::exists(folder / FirstCandidateNames()[2]));
    EXPECT_FALSE(std::filesystem::exists(folder / "target.txt"));
    const auto status = std::filesystem::symlink_status(folder / FirstCandidateNames()[0]);
    switch (GetParam()) {
    case Occupant::File:
        EXPECT_EQ(ReadBytes(folder / FirstCandidateNames()[0]), firstBefore);
        break;
    case Occupant::EmptyFile:
        EXPECT_EQ(std::filesystem::file_size(folder / FirstCandidateNames()[0]), 0u);
        break;
    case Occupant::Folder:
        EXPECT_TRUE(std::filesystem::is_directory(status));
        break;
    case Occupant::DanglingLink:
    case Occupant::LinkLoop:
        EXPECT_TRUE(std::filesystem::is_symlink(status));
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Occupants, TakenName,
                         testing::Values(Occupant::File, Occupant::EmptyFile, Occupant::Folder,
                                         Occupant::DanglingLink, Occupant::LinkLoop));

// Probing a name must not wait for anything: a named pipe of that name is taken like any file.
TEST(TakenName, namedPipeIsSkippedWithoutWaitingForAWriter) {
    TempFolder folder;
    WriteBytes(folder / "p.kpj", "x");
    const auto pipe = folder / FirstCandidateNames()[0];
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0666), 0);
    auto made = std::async(std::launch::async, [&folder] {
        UnseededRandom random;
        return MakeWorkingCopy(folder / "p.kpj", folder.path(), random).path().filename().string();
    });
    if (made.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
        // Let the stuck probe go on, so that the test can end.
        const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
        ADD_FAILURE() << "the probe of a named pipe waits for a writer";
    }
    EXPECT_EQ(made.get(), FirstCandidateNames()[1]);
    EXPECT_EQ(std::filesystem::status(pipe).type(), std::filesystem::file_type::fifo);
}

TEST(TakenName, theOneFreeNameIsFoundAmongTwoHundredFiftyFive) {
    TempFolder folder;
    WriteBytes(folder / "p.kpj", "x");
    for (const std::string& name : AllCandidateNames()) {
        if (name != "@A@A@A@A.tmp")
            WriteBytes(folder / name, "");
    }
    UnseededRandom random;
    const WorkingCopy copy = MakeWorkingCopy(folder / "p.kpj", folder.path(), random);
    EXPECT_EQ(copy.path().filename(), "@A@A@A@A.tmp");
}

// However the folder is spelled, the message shows it absolute, normalised and without a
// trailing separator, and says that the names are in use, perhaps by checks running meanwhile.
struct FolderSpelling {
    const char* name;
    std::function<fs::path(const fs::path&)> spell;
};

void PrintTo(const FolderSpelling& spelling, std::ostream* os) {
    *os << spelling.name;
}

class AllNamesTaken : public testing::TestWithParam<FolderSpelling> {};

TEST_P(AllNamesTaken, throwsNamingTheFolderAndThatTheNamesAreInUse) {
    TempFolder folder;
    WriteBytes(folder / "p.kpj", "x");
    fs::create_directory(folder / "sub");
    for (const std::string& name : AllCandidateNames())
        std::filesystem::create_symlink("nowhere", folder / name);
    const CurrentDirectoryGuard inside(folder.path());
    UnseededRandom random;
    try {
        MakeWorkingCopy(folder / "p.kpj", GetParam().spell(folder.path()), random);
        FAIL() << "no name was free";
    } catch (const CheckStopped& stop) {
        EXPECT_THAT(stop.what(),
                    testing::HasSubstr("in the folder \"" + fs::canonical(folder.path()).string() +
                                       "\" are in use, by other files or by checks "
                                       "running at the same moment"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, AllNamesTaken,
    testing::Values(
        FolderSpelling{"AsGiven", [](const fs::path& folder) { return folder; }},
        FolderSpelling{"TrailingSeparator", [](const fs::path& folder) { return folder / ""; }},
        FolderSpelling{"TrailingDot", [](const fs::path& folder) { return folder / "."; }},
        FolderSpelling{"DownAndUp", [](const fs::path& folder) { return folder / "sub" / ".."; }},
        FolderSpelling{"CurrentDirectory", [](const fs::path&) { return fs::path("."); }}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// The copy's file

// A project that grows while it is copied (a log, a file under /proc) is copied as it was when
// opened: a link to an endless source cannot fill the disk.
TEST(CopyFile, holdsNoMoreThanTheProjectHadWhenOpened) {
    TempFolder folder;
    const std::string project = std::string(3 << 20, 'a') + "\n";
    WriteBytes(folder / "p.kpj", project);
    struct Growing final : CopyListener {
        void copied(std::string_view) override {
            std::ofstream(path, std::ios::binary | std::ios::app) << std::string(5 << 20, 'b');
        }
        fs::path path;
    } growing;
    growing.path = folder / "p.kpj";
    UnseededRandom random;
    const WorkingCopy copy = MakeWorkingCopy(folder / "p.kpj", folder.path(), random, &growing);
    EXPECT_TRUE(ReadBytes(copy.path()) == RewriteProjectText(project));
}

// The checker must be able to read back what it wrote, whatever the umask took away; nobody
// else needs to read it.
TEST(CopyFile, isReadableAndWritableByItsOwnerAloneWhateverTheUmask) {
    TempFolder folder;
    WriteBytes(folder / "p.kpj", "<a/>");
    for (const mode_t mask : {0777, 0444, 0022, 0}) {
        SCOPED_TRACE(mask);
        const mode_t previous = ::umask(mask);
        UnseededRandom random;
        const WorkingCopy copy = MakeWorkingCopy(folder / "p.kpj", folder.path(), random);
        ::umask(previous);
        struct stat status {};
        ASSERT_EQ(::stat(copy.path().c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, static_cast<mode_t>(0600));
    }
}

// ---------------------------------------------------------------------------------------------
// Failure texts

// Switches the whole C locale for the guard's lifetime.
class LocaleSetting {
public:
    explicit LocaleSetting(const char* name) : previous_(std::setlocale(LC_ALL, nullptr)) {
        active_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~LocaleSetting() { std::setlocale(LC_ALL, previous_.c_str()); }
    LocaleSetting(const LocaleSetting&) = delete;
    LocaleSetting& operator=(const LocaleSetting&) = delete;
    bool active() const { return active_; }

private:
    std::string previous_;
    bool active_ = false;
};

// The system's messages follow the locale ("Das Dateisystem ist nur lesbar"); ours are fixed
// English, the same in the window (which takes the user's locale) and in kpjcheck.
TEST(FailureText, isOurOwnEnglishTextForEveryErrorMetWhateverTheLocale) {
    const int met[] = {ENOENT, EACCES,       EPERM,  EROFS,  ENOSPC, EDQUOT,    EISDIR,  ENOTDIR,
                       ELOOP,  ENAMETOOLONG, EMFILE, ENFILE, EIO,    EBUSY,     ETXTBSY, EEXIST,
                       EINVAL, ENXIO,        EAGAIN, ENODEV, EFBIG,  EOVERFLOW, ENOMEM,  ESTALE};
    std::vector<std::string> english;
    for (const int error : met)
        english.push_back(FileFailure(error).text());

    const LocaleSetting german("de_DE.UTF-8");
    if (!german.active() || std::string(std::strerror(EROFS)) == "Read-only file system")
        GTEST_SKIP() << "no German locale with system messages here (scripts/install-deps.sh "
                        "makes one)";
    for (std::size_t i = 0; i < std::size(met); ++i) {
        SCOPED_TRACE(met[i]);
        const std::string text = FileFailure(met[i]).text();
        EXPECT_EQ(text, english[i]);
        EXPECT_EQ(text.find(std::to_string(met[i])), std::string::npos) << "no text of its own";
        EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) {
            return c >= ' ' && c <= '~';
        })) << text;
    }
}

TEST(FailureText, ofAnErrorWithoutATextOfItsOwnGivesItsNumber) {
    EXPECT_THAT(FileFailure(EDOM).text(), testing::HasSubstr(std::to_string(EDOM)));
}

// ---------------------------------------------------------------------------------------------
// The rewrite

struct Rewrite {
    std::string name;
    std::string project;
    std::string copy;
};

void PrintTo(const Rewrite& r, std::ostream* os) {
    *os << r.name;
}

std::string RewriteName(const testing::TestParamInfo<Rewrite>& info) {
    return info.param.name;
}

class RewriteText : public testing::TestWithParam<Rewrite> {};

TEST_P(RewriteText, endsEveryLineWithCrLfAndRewritesOnlyTheExactDeclaration) {
    EXPECT_EQ(RewriteProjectText(GetParam().project), GetParam().copy);
}

INSTANTIATE_TEST_SUITE_P(LineEnds, RewriteText,
                         testing::Values(Rewrite{"Empty", "", ""}, Rewrite{"OnlyLf", "\n", "\r\n"},
                                         Rewrite{"NoFinalLineEnd", "a\nb", "a\r\nb\r\n"},
                                         Rewrite{"Lf", "a\nb\n", "a\r\nb\r\n"},
                                         Rewrite{"CrLf", "a\r\nb\r\n", "a\r\nb\r\n"},
                                         Rewrite{"LoneCr", "a\rb\r", "a\r\nb\r\n"},
                                         Rewrite{"EmptyLines", "a\n\r\n\rb", "a\r\n\r\n\r\nb\r\n"},
                                         Rewrite{"CrBeforeCrLf", "a\r\r\nb", "a\r\n\r\nb\r\n"},
                                         Rewrite{"OtherBytesKept",
                                                 std::string("\t\x00\xE9\x1A z", 6) + "\n",
                                                 std::string("\t\x00\xE9\x1A z", 6) + "\r\n"}),
                         RewriteName);

INSTANTIATE_TEST_SUITE_P(
    Declarations, RewriteText,
    testing::Values(
        Rewrite{"Exact", kDecl + "\n<a/>\n", kLatin1 + "\r\n<a/>\r\n"},
        Rewrite{"EveryOccurrence", "x" + kDecl + kDecl + "y" + kDecl,
                "x" + kLatin1 + kLatin1 + "y" + kLatin1 + "\r\n"},
        Rewrite{"AfterAPartialOne", kDecl.substr(0, 30) + kDecl,
                kDecl.substr(0, 30) + kLatin1 + "\r\n"},
        Rewrite{"NoSpaceBeforeEnd", "<?xml version=\"1.0\" standalone=\"yes\"?>\n",
                "<?xml version=\"1.0\" standalone=\"yes\"?>\r\n"},
        Rewrite{"SingleQuotes", "<?xml version='1.0' standalone='yes' ?>",
                "<?xml version='1.0' standalone='yes' ?>\r\n"},
        Rewrite{"UpperCase", "<?XML version=\"1.0\" standalone=\"yes\" ?>",
                "<?XML version=\"1.0\" standalone=\"yes\" ?>\r\n"},
        Rewrite{"EncodingNamed", "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>",
                "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\r\n"},
        Rewrite{"SplitByALineEnd", "<?xml version=\"1.0\"\nstandalone=\"yes\" ?>",
                "<?xml version=\"1.0\"\r\nstandalone=\"yes\" ?>\r\n"},
        Rewrite{"AlreadyLatin1", kLatin1 + "\n", kLatin1 + "\r\n"},
        Rewrite{"InLineLongerThanOneMebibyte",
                std::string((1 << 20) - 5, 'a') + kDecl + std::string(1 << 20, 'b') + kDecl,
                std::string((1 << 20) - 5, 'a') + kLatin1 + std::string(1 << 20, 'b') + kLatin1 +
                    "\r\n"}),
    RewriteName);

// ASCII text as UTF-16 code units.
std::string Units(std::string_view ascii, bool bigEndian = false) {
    std::string out;
    for (const char c : ascii) {
        out += bigEndian ? '\0' : c;
        out += bigEndian ? c : '\0';
    }
    return out;
}

// A byte-order mark settles the encoding: the declaration stays as it is. UTF-16 (told by its
// mark, or by the "<?" of its declaration) gets its line ends in code units.
INSTANTIATE_TEST_SUITE_P(
    Encodings, RewriteText,
    testing::Values(Rewrite{"Utf8MarkKeepsThePlainDeclaration", "\xEF\xBB\xBF" + kDecl + "\n<a/>",
                            "\xEF\xBB\xBF" + kDecl + "\r\n<a/>\r\n"},
                    Rewrite{"ShorterThanFourBytes", "<a", "<a\r\n"},
                    Rewrite{"Utf16LittleLineEnds", "\xFF\xFE" + Units("a\nb\r\nc\rd\r\r\ne"),
                            "\xFF\xFE" + Units("a\r\nb\r\nc\r\nd\r\n\r\ne\r\n")},
                    Rewrite{"Utf16BigKeepsThePlainDeclaration",
                            "\xFE\xFF" + Units(kDecl + "\n<a/>\n", true),
                            "\xFE\xFF" + Units(kDecl + "\r\n<a/>\r\n", true)},
                    Rewrite{"Utf16WithoutMark",
                            Units("<?xml version='1.0' encoding='UTF-16'?>\n<a/>"),
                            Units("<?xml version='1.0' encoding='UTF-16'?>\r\n<a/>\r\n")},
                    // U+0A0D and U+0D0A hold the bytes of CR and LF without being line ends.
                    Rewrite{"Utf16UnitsHoldingLineEndBytes", "\xFF\xFE\x0D\x0A\x0A\x0D",
                            "\xFF\xFE\x0D\x0A\x0A\x0D" + Units("\r\n")},
                    Rewrite{"Utf16OddLastByte", "\xFF\xFE" + Units("a\n") + "x",
                            "\xFF\xFE" + Units("a\r\n") + "x" + Units("\r\n")},
                    Rewrite{"Utf32PassedThrough", std::string("\0\0\0<\0\0\0\n", 8),
                            std::string("\0\0\0<\0\0\0\n", 8)}),
    RewriteName);

// The project file is read in pieces: a declaration or a CR LF that straddles the boundary
// between two pieces is rewritten as if the file had been read at once.
class CopiedFile : public testing::TestWithParam<Rewrite> {};

TEST_P(CopiedFile, holdsTheRewrittenTextAndLeavesTheProjectUnchanged) {
    TempFolder folder;
    WriteBytes(folder / "big.kpj", GetParam().project);
    UnseededRandom random;
    {
        const WorkingCopy copy = MakeWorkingCopy(folder / "big.kpj", folder.path(), random);
        const std::string written = ReadBytes(copy.path());
        EXPECT_EQ(written.size(), GetParam().copy.size());
        EXPECT_TRUE(written == GetParam().copy)
            << "first difference at byte "
            << std::mismatch(written.begin(), written.end(), GetParam().copy.begin(),
                             GetParam().copy.end())
                       .first -
                   written.begin();
    }
    EXPECT_EQ(ReadBytes(folder / "big.kpj"), GetParam().project);
    EXPECT_EQ(folder.entries(), std::set<std::string>{"big.kpj"});
}

Rewrite DeclarationAt(const std::string& name, std::size_t offset) {
    return {name, std::string(offset, 'a') + kDecl + std::string(100, 'b') + "\n",
            std::string(offset, 'a') + kLatin1 + std::string(100, 'b') + "\r\n"};
}

INSTANTIATE_TEST_SUITE_P(
    PieceBoundaries, CopiedFile,
    testing::Values(Rewrite{"Small", kDecl + "\n<a>\n\xE9</a>",
                            kLatin1 + "\r\n<a>\r\n\xE9</a>\r\n"},
                    DeclarationAt("DeclarationOneByteBeforeFirstBoundary", (1 << 20) - 1),
                    DeclarationAt("DeclarationHalfOverFirstBoundary", (1 << 20) - 20),
                    DeclarationAt("DeclarationEndingAtFirstBoundary", (1 << 20) - 39),
                    DeclarationAt("DeclarationStartingAtFirstBoundary", 1 << 20),
                    DeclarationAt("DeclarationOverSecondBoundary", (2 << 20) - 38),
                    DeclarationAt("DeclarationOverThirdBoundary", (3 << 20) - 1),
                    Rewrite{"CrLfOverBoundary", std::string((1 << 20) - 1, 'x') + "\r\ny",
                            std::string((1 << 20) - 1, 'x') + "\r\ny\r\n"},
                    Rewrite{"LoneCrAtBoundary", std::string((1 << 20) - 1, 'x') + "\ry",
                            std::string((1 << 20) - 1, 'x') + "\r\ny\r\n"}),
    RewriteName);

} // namespace
} // namespace kestrova
