// kpjcheck on Windows' own terms: names in any script, the many names of one file, wildcards,
// the console and redirected output, and a process ended by force.

#include "check/file_access.h"
#include "check/wide_text.h"
#include "cli/argument_patterns_win32.h"
#include "cli/standard_output_win32.h"
#include "tests/check/check_test_support.h"
#include "tool_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace kestrova {
namespace {

using namespace testing_support;
using ::testing::HasSubstr;
using win32::Utf8;
using win32::Wide;

// Latin, Cyrillic and CJK letters, none of them ASCII, and one plain name.
const char* const kNames[] = {"Notes", "Caf\xC3\xA9", "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE",
                              "\xE6\x98\xA0\xE7\x94\xBB"};

std::string Text(const fs::path& path) {
    return Utf8FromPath(path);
}

std::vector<std::wstring> Entries(const fs::path& folder) {
    std::vector<std::wstring> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().wstring());
    return names;
}

bool HoldsWorkingCopy(const fs::path& folder) {
    for (const std::wstring& name : Entries(folder))
        if (name.size() == 12 && name.ends_with(L".tmp"))
            return true;
    return false;
}

TEST(WindowsNames, projectPictureAndWorkingCopyTakeNamesInEveryScript) {
    TempFolder root;
    for (const char* name : kNames) {
        const fs::path folder = root.path() / PathFromUtf8(std::string(name) + " folder");
        fs::create_directory(folder);
        const std::string project = Text(folder / PathFromUtf8(std::string(name) + ".kpj"));
        const std::string picture = Text(folder / PathFromUtf8(std::string(name) + ".svg"));
        WriteBytes(PathFromUtf8(project), ReadBytes(FixturePath("clean_two_layers.kpj")));
        const ToolRun run = RunTool({"--svg", picture, project});
        EXPECT_EQ(run.status, 0) << name << ": " << run.err;
        EXPECT_THAT(run.out, HasSubstr(project)) << name;
        EXPECT_THAT(ReadBytes(PathFromUtf8(picture)), HasSubstr("<svg")) << name;
        EXPECT_FALSE(HoldsWorkingCopy(folder)) << name;
    }
}

// Every other name Windows gives the same file: letter case, a trailing dot, ".\", the short
// 8.3 name.
std::vector<std::string> OtherNamesOf(const fs::path& folder, const std::string& name) {
    std::vector<std::string> names = {Text(folder / PathFromUtf8(name + ".kpj")),
                                      Text(folder / PathFromUtf8(name + ".KPJ")),
                                      Text(folder / PathFromUtf8(name + ".kpj.")),
                                      Text(folder / "." / PathFromUtf8(name + ".kpj"))};
    wchar_t shortName[MAX_PATH] = {};
    const std::wstring full = (folder / PathFromUtf8(name + ".kpj")).wstring();
    const DWORD length = GetShortPathNameW(full.c_str(), shortName, MAX_PATH);
    if (length > 0 && length < MAX_PATH && full != shortName)
        names.push_back(Utf8(shortName));
    return names;
}

TEST(WindowsNames, thePictureNeverOverwritesTheProjectUnderAnyOfItsNames) {
    TempFolder folder;
    const std::string bytes = ReadBytes(FixturePath("clean_two_layers.kpj"));
    for (const char* name : kNames) {
        const std::string project = Text(folder.path() / PathFromUtf8(std::string(name) + ".kpj"));
        WriteBytes(PathFromUtf8(project), bytes);
        for (const std::string& picture : OtherNamesOf(folder.path(), name)) {
            const ToolRun run = RunTool({"--svg", picture, project});
            EXPECT_EQ(run.status, 2) << picture;
            EXPECT_THAT(run.err, HasSubstr("would overwrite the project file")) << picture;
            EXPECT_EQ(ReadBytes(PathFromUtf8(project)), bytes) << picture;
        }
    }
}

struct PatternCase {
    std::vector<std::string> arguments;
    std::vector<std::string> expanded; // "@" stands for the folder
};

TEST(ArgumentPatterns, starAndQuestionMarkExpandSortedIgnoringCase) {
    TempFolder folder;
    for (const std::string name :
         {"b.kpj", "A.kpj", "c.KPJ", "notes.txt", "\xD0\x9A.kpj", "\xE6\x98\xA0.kpj", "ab.kpj"})
        WriteBytes(folder.path() / PathFromUtf8(name), "x");
    const std::string at = Text(folder.path()) + "\\";
    const PatternCase cases[] = {
        {{"@*.kpj"},
         {"@A.kpj", "@ab.kpj", "@b.kpj", "@c.KPJ", "@\xD0\x9A.kpj", "@\xE6\x98\xA0.kpj"}},
        {{"@?.kpj"}, {"@A.kpj", "@b.kpj", "@c.KPJ", "@\xD0\x9A.kpj", "@\xE6\x98\xA0.kpj"}},
        {{"@a*.kpj", "@notes.txt"}, {"@A.kpj", "@ab.kpj", "@notes.txt"}},
        {{"@none*.kpj"}, {"@none*.kpj"}},
        {{"--json", "@n*"}, {"--json", "@notes.txt"}},
        {{"--svg", "@*.txt", "@b*"}, {"--svg", "@*.txt", "@b.kpj"}},
        {{"--", "@n*"}, {"--", "@notes.txt"}},
    };
    const auto placed = [&at](std::vector<std::string> arguments) {
        for (std::string& argument : arguments)
            if (const std::size_t mark = argument.find('@'); mark != std::string::npos)
                argument.replace(mark, 1, at);
        return arguments;
    };
    for (const PatternCase& c : cases)
        EXPECT_EQ(win32::ExpandArgumentPatterns(placed(c.arguments)), placed(c.expanded))
            << c.arguments.back();
}

// A file or a pipe gets UTF-8 with CR LF; every byte must be taken, or the stream fails.
TEST(StandardOutput, redirectedOutputIsUtf8WithCrLfAndALostWriteFailsTheStream) {
    TempFolder folder;
    const fs::path file = folder / "out.txt";
    {
        const HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
        win32::StandardStreamBuffer buffer(handle);
        std::ostream out(&buffer);
        out << "Caf\xC3\xA9 \xE6\x98\xA0\n" << std::string(100000, 'x') << "\nend\n";
        out.flush();
        EXPECT_TRUE(out.good());
        EXPECT_FALSE(buffer.console());
        CloseHandle(handle);
    }
    EXPECT_EQ(ReadBytes(file),
              "Caf\xC3\xA9 \xE6\x98\xA0\r\n" + std::string(100000, 'x') + "\r\nend\r\n");

    HANDLE reading = nullptr;
    HANDLE writing = nullptr;
    ASSERT_TRUE(CreatePipe(&reading, &writing, nullptr, 0));
    CloseHandle(reading);
    win32::StandardStreamBuffer buffer(writing);
    std::ostream out(&buffer);
    out << "report\n";
    out.flush();
    EXPECT_FALSE(out.good()) << "a pipe whose reader has gone took the report";
    CloseHandle(writing);
}

// Runs kpjcheck.exe on one project, its standard output and error the handles given, and waits
// for it; its exit status, or 99 where it could not be started.
DWORD RunKpjcheck(const fs::path& project, HANDLE out, HANDLE err, DWORD creationFlags) {
    std::wstring commandLine = L"\"" + fs::path(KESTROVA_KPJCHECK).make_preferred().wstring() +
                               L"\" \"" + project.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    DWORD status = 99;
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, creationFlags, nullptr,
                        nullptr, &startup, &process)) {
        ADD_FAILURE() << "kpjcheck.exe could not be started";
        return status;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status;
}

// kpjcheck.exe whose standard output takes nothing (a pipe whose reader has gone) has lost its
// report, and says so with status 2 instead of the status of the check.
TEST(StandardOutput, kpjcheckExitsTwoWhenItsReportIsNotTaken) {
    TempFolder folder;
    const fs::path project = folder / "findings.kpj";
    WriteBytes(project, ReadBytes(FixturePath("gap_hole_between_items.kpj")));
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE reading = nullptr;
    HANDLE writing = nullptr;
    ASSERT_TRUE(CreatePipe(&reading, &writing, &inherited, 0));
    CloseHandle(reading);
    const fs::path messages = folder / "messages.txt";
    const HANDLE err = CreateFileW(messages.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                   CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD status = RunKpjcheck(project, writing, err, CREATE_NO_WINDOW);
    CloseHandle(writing);
    CloseHandle(err);
    EXPECT_EQ(status, 2u);
    EXPECT_THAT(ReadBytes(messages), HasSubstr("cannot write to standard output"));
}

// A console of the test's own, in a code page that has none of the letters written to it, and
// what it shows.
class ConsoleScreen : public testing::Test {
protected:
    void SetUp() override {
        // A process started with its output redirected may hold a console that shows nothing.
        FreeConsole();
        owned_ = AllocConsole() != 0;
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        console_ =
            CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr);
        DWORD mode = 0;
        if (console_ == INVALID_HANDLE_VALUE || !GetConsoleMode(console_, &mode))
            GTEST_SKIP() << "no console can be made here";
        codePage_ = GetConsoleOutputCP();
        SetConsoleOutputCP(437);
        CONSOLE_SCREEN_BUFFER_INFO screen{};
        GetConsoleScreenBufferInfo(console_, &screen);
        width_ = screen.dwSize.X;
        start_ = {0, static_cast<SHORT>(screen.dwCursorPosition.Y + 1)};
        SetConsoleCursorPosition(console_, start_);
    }
    void TearDown() override {
        if (console_ != INVALID_HANDLE_VALUE) {
            SetConsoleOutputCP(codePage_);
            CloseHandle(console_);
        }
        if (owned_)
            FreeConsole();
    }

    // The rows from the start to the cursor's row, one after the other.
    std::wstring shown() const {
        CONSOLE_SCREEN_BUFFER_INFO screen{};
        GetConsoleScreenBufferInfo(console_, &screen);
        const DWORD cells = static_cast<DWORD>(width_) *
                            static_cast<DWORD>(screen.dwCursorPosition.Y - start_.Y + 1);
        std::wstring text(cells, L'\0');
        DWORD read = 0;
        ReadConsoleOutputCharacterW(console_, text.data(), cells, start_, &read);
        text.resize(read);
        return text;
    }
    SHORT cursorRow() const {
        CONSOLE_SCREEN_BUFFER_INFO screen{};
        GetConsoleScreenBufferInfo(console_, &screen);
        return static_cast<SHORT>(screen.dwCursorPosition.Y - start_.Y);
    }

    HANDLE console_ = INVALID_HANDLE_VALUE;

private:
    bool owned_ = false;
    UINT codePage_ = 0;
    SHORT width_ = 80;
    COORD start_{};
};

TEST_F(ConsoleScreen, theStreamShowsLettersWholeWhenTheirBytesArriveInPieces) {
    win32::StandardStreamBuffer buffer(console_);
    std::ostream out(&buffer);
    EXPECT_TRUE(buffer.console());
    for (const char c : std::string("Caf\xC3\xA9 \xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE\n")) {
        out << c;
        out.flush();
    }
    EXPECT_TRUE(out.good());
    EXPECT_EQ(shown().substr(0, 9), L"Caf\u00e9 \u041a\u0438\u043d\u043e");
    EXPECT_EQ(cursorRow(), 1);
}

// kpjcheck.exe writing its report to the console: the project's name shows whole.
TEST_F(ConsoleScreen, kpjcheckShowsTheProjectsNameWhole) {
    TempFolder folder;
    const std::wstring name = L"Caf\u00e9 \u041a\u0438\u043d\u043e \u6620\u753b.kpj";
    const fs::path project = folder.path() / name;
    WriteBytes(project, ReadBytes(FixturePath("clean_two_layers.kpj")));
    EXPECT_EQ(RunKpjcheck(project, console_, console_, 0), 0u);
    EXPECT_NE(shown().find(name), std::wstring::npos) << Utf8(shown());
}

// A project large enough that its check is still running when the process is ended.
void WriteLargeProject(const fs::path& path, int items) {
    std::string text = "<?xml version=\"1.0\" standalone=\"yes\" ?>\n<kestrovadocument2>\n"
                       " <multilayer>\n  <layer>\n   <name>Video</name>\n   <scrap>no</scrap>\n";
    const std::string item = "   <layeritem_video>\n    <starttime>0h 00m 00s 000</starttime>\n"
                             "    <endtime>0h 00m 01s 000</endtime>\n   </layeritem_video>\n";
    text.reserve(text.size() + item.size() * static_cast<std::size_t>(items) + 64);
    for (int i = 0; i < items; ++i)
        text += item;
    text += "  </layer>\n </multilayer>\n</kestrovadocument2>\n";
    WriteBytes(path, text);
}

// Waits for the condition, for at most a minute.
template <typename Condition> bool Eventually(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// "End task" ends a process with TerminateProcess, which runs none of its code: the system
// itself must take the working copy away.
TEST(WorkingCopy, goesWhenTheProcessIsEndedByForce) {
    TempFolder folder;
    const fs::path project = folder / "large.kpj";
    WriteLargeProject(project, 400000);
    std::wstring commandLine = L"\"" + fs::path(KESTROVA_KPJCHECK).make_preferred().wstring() +
                               L"\" \"" + project.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                               CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process));
    const bool copyMade = Eventually([&] {
        return HoldsWorkingCopy(folder.path()) ||
               WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
    });
    const bool stillRunning = WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
    TerminateProcess(process.hProcess, 9);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ASSERT_TRUE(copyMade && stillRunning) << "the check ended before it could be ended by force";
    EXPECT_TRUE(Eventually([&] { return !HoldsWorkingCopy(folder.path()); }))
        << "the working copy was left behind";
}

} // namespace
} // namespace kestrova
