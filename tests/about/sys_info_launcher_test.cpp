// Windows' own file test and program start, behind the System Information launcher.

#include "about/sys_info.h"

#include "sys_info_scratch.h"

#include <gtest/gtest.h>

#include <fstream>

#include <windows.h>

namespace kestrova::about {
namespace {

using testing::MarkerAppears;
using testing::MarkerProgram;
using testing::Quoted;
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

TEST(PlatformLauncher, StartsTheCommandLineWithItsQuotedArgument) {
    ScratchFolder folder;
    const auto marker = folder / "started here.marker";
    ASSERT_TRUE(PlatformLauncher().Start(Quoted(MarkerProgram()) + " " + Quoted(marker.string())));
    EXPECT_TRUE(MarkerAppears(marker));
}

TEST(PlatformLauncher, ReportsAProgramThatCannotStart) {
    ScratchFolder folder;
    EXPECT_FALSE(PlatformLauncher().Start(Quoted((folder / "no such tool.exe").string())));
    EXPECT_FALSE(PlatformLauncher().Start(""));
}

} // namespace
} // namespace kestrova::about
