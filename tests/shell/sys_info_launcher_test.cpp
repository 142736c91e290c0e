// Windows' own file test and program start, behind the System Information launcher.

#include "app/sys_info.h"

#include "sys_info_scratch.h"

#include <gtest/gtest.h>

#include <fstream>

#include <windows.h>

namespace kestrova {
namespace {

using testing::MarkerAppears;
using testing::MarkerProgram;
using testing::ScratchFolder;

enum class Entry { OrdinaryFile, HiddenFile, SystemFile, Folder, Missing };

struct FileCase {
    Entry entry;
    bool ordinary;
};

// Makes the entry and gives its path.
std::string Make(const ScratchFolder& folder, Entry entry) {
    switch (entry) {
    case Entry::OrdinaryFile:
        std::ofstream(folder / "tool.exe") << "x";
        return (folder / "tool.exe").string();
    case Entry::HiddenFile:
    case Entry::SystemFile: {
        const std::string path = (folder / "tool.exe").string();
        std::ofstream(path) << "x";
        SetFileAttributesA(path.c_str(), entry == Entry::HiddenFile ? FILE_ATTRIBUTE_HIDDEN
                                                                    : FILE_ATTRIBUTE_SYSTEM);
        return path;
    }
    case Entry::Folder:
        std::filesystem::create_directory(folder / "tool");
        return (folder / "tool").string();
    case Entry::Missing:
        break;
    }
    return (folder / "missing.exe").string();
}

TEST(PlatformLauncher, TakesOnlyAnOrdinaryFileForTheTool) {
    const FileCase cases[] = {{Entry::OrdinaryFile, true},
                              {Entry::HiddenFile, false},
                              {Entry::SystemFile, false},
                              {Entry::Folder, false},
                              {Entry::Missing, false}};
    for (const FileCase& c : cases) {
        ScratchFolder folder;
        const std::string path = Make(folder, c.entry);
        EXPECT_EQ(PlatformLauncher().IsOrdinaryFile(path), c.ordinary)
            << "entry " << static_cast<int>(c.entry) << " at " << path;
    }
}

// The registry leads to a path with spaces, such as C:\Program Files\Common Files\...: that
// program must start, and never C:\Program.exe, which an unquoted command line would start.
TEST(PlatformLauncher, StartsTheProgramAtThePathAndNoneNamedByAPartOfIt) {
    const std::filesystem::path decoy = "C:\\Program.exe";
    if (std::filesystem::exists(decoy))
        GTEST_SKIP() << "C:\\Program.exe is another program's";
    std::error_code failed;
    std::filesystem::copy_file(MarkerProgram(), decoy, failed);
    if (failed)
        GTEST_SKIP() << "C:\\ takes no new files here";
    const std::filesystem::path folder = "C:\\Program Files\\Common Files\\Kestrova launcher " +
                                         std::to_string(GetCurrentProcessId());
    std::filesystem::create_directories(folder);
    const std::filesystem::path tool = folder / "MSINFO32.EXE";
    std::filesystem::copy_file(MarkerProgram(), tool);
    const bool started = PlatformLauncher().Start(tool.string());
    const bool toolRan = started && MarkerAppears(tool.string() + ".marker");
    std::error_code ignored;
    std::filesystem::remove(decoy, ignored);
    std::filesystem::remove_all(folder, ignored);
    EXPECT_TRUE(started);
    EXPECT_TRUE(toolRan) << "another program was started in its place";
}

TEST(PlatformLauncher, ReportsAProgramThatCannotStart) {
    ScratchFolder folder;
    EXPECT_FALSE(PlatformLauncher().Start((folder / "no such tool.exe").string()));
    EXPECT_FALSE(PlatformLauncher().Start(""));
}

} // namespace
} // namespace kestrova
