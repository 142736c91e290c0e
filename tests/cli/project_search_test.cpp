// kpjcheck's folder arguments: which files of a folder tree are checked, in which order, and
// what is said about the folders that could not be searched, on folders made for each case.

#include "check/file_access.h"
#include "cli/project_search.h"
#include "tests/check/check_test_support.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using namespace testing_support;

enum class Make { Project, OtherFile, Folder, LinkTo, Unreadable };

struct Made {
    Make what;
    std::string path;        // below the case's folder
    std::string target = {}; // where a link leads, relative to the link's folder
};

struct SearchCase {
    const char* name;
    std::vector<Made> tree;
    // Each project below the case's folder, or "note: " and the note, with the folder's own
    // path written as ROOT.
    std::vector<std::string> found;
    int status; // kpjcheck's exit status on the folder
};

void PrintTo(const SearchCase& c, std::ostream* os) {
    *os << c.name;
}

#ifndef _WIN32
// The thread's own rights to read any folder (a test run as root has them) are set aside for
// its lifetime, so that a folder without permissions is as unreadable as it is to a user.
class WithoutOverridingPermissions {
public:
    WithoutOverridingPermissions() {
        ::syscall(SYS_capget, &header_, saved_);
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        ::syscall(SYS_capset, &header_, lowered);
    }
    ~WithoutOverridingPermissions() { ::syscall(SYS_capset, &header_, saved_); }
    WithoutOverridingPermissions(const WithoutOverridingPermissions&) = delete;
    WithoutOverridingPermissions& operator=(const WithoutOverridingPermissions&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
};
#endif

class FolderSearch : public testing::TestWithParam<SearchCase> {
protected:
    void makeTree() {
        for (const Made& made : GetParam().tree) {
            const fs::path path = folder_.path() / PathFromUtf8(made.path);
            fs::create_directories(path.parent_path());
            switch (made.what) {
            case Make::Project:
                WriteBytes(path, ReadBytes(FixturePath("clean_two_layers.kpj")));
                break;
            case Make::OtherFile:
                WriteBytes(path, "not a project");
                break;
            case Make::Folder:
                fs::create_directories(path);
                break;
            case Make::LinkTo:
                fs::create_directory_symlink(PathFromUtf8(made.target), path);
                break;
            case Make::Unreadable:
                fs::create_directories(path);
                fs::permissions(path, fs::perms::none);
                unreadable_.push_back(path);
                break;
            }
        }
    }
    ~FolderSearch() override {
        for (const fs::path& path : unreadable_)
            fs::permissions(path, fs::perms::owner_all);
    }

    // The search's findings as the case writes them, with "/" between names on every system.
    std::vector<std::string> shown(const std::vector<SearchTarget>& targets) const {
        const std::string root = Utf8FromPath(folder_.path());
        std::vector<std::string> lines;
        for (const SearchTarget& target : targets) {
            if (const std::string* project = std::get_if<std::string>(&target)) {
                std::string below = project->substr(root.size() + 1);
                std::replace(below.begin(), below.end(), '\\', '/');
                lines.push_back(below);
                continue;
            }
            std::string note = "note: " + std::get<FolderNote>(target).text;
            for (std::size_t at; (at = note.find(root)) != std::string::npos;)
                note.replace(at, root.size(), "ROOT");
            lines.push_back(note);
        }
        return lines;
    }

    TempFolder folder_;
    std::vector<fs::path> unreadable_;
};

TEST_P(FolderSearch, findsTheProjectsInByteOrderAndNotesWhatItCouldNotSearch) {
#ifdef _WIN32
    for (const Made& made : GetParam().tree)
        if (made.what == Make::LinkTo || made.what == Make::Unreadable)
            GTEST_SKIP() << "links and permissions are made on POSIX systems";
#endif
    makeTree();
    const std::string root = Utf8FromPath(folder_.path());
#ifndef _WIN32
    const WithoutOverridingPermissions asAUser;
#endif
    EXPECT_EQ(shown(SearchArguments({root})), GetParam().found);
    // The notes go to standard error in their place; only a folder left unread makes the
    // status 2. One check at a time keeps every check on this thread.
    const ToolRun run = RunTool({"-j", "1", root});
    EXPECT_EQ(run.status, GetParam().status) << run.err;
    for (const std::string& line : GetParam().found) {
        if (!line.starts_with("note: "))
            continue;
        std::string note = "kpjcheck: " + line.substr(6) + ".\n";
        for (std::size_t at; (at = note.find("ROOT")) != std::string::npos;)
            note.replace(at, 4, root);
        EXPECT_NE(run.err.find(note), std::string::npos) << run.err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Trees, FolderSearch,
    testing::Values(
        SearchCase{"MixedCaseNamesAndOtherFiles",
                   {{Make::Project, "b.KPJ"},
                    {Make::Project, "a.kpj"},
                    {Make::Project, "Z.kpj"},
                    {Make::Project, "c.Kpj"},
                    {Make::OtherFile, "notes.txt"},
                    {Make::OtherFile, "a.kpj.bak"},
                    {Make::OtherFile, "kpj"},
                    {Make::OtherFile, ".kpj"},
                    {Make::Project, "sub/deeper/d.kpj"},
                    {Make::Project, "sub-e.kpj"},
                    {Make::Project, "folder.kpj/f.kpj"},
                    {Make::Project, "\xc3\xa9t\xc3\xa9.kpj"}},
                   {"Z.kpj", "a.kpj", "b.KPJ", "c.Kpj", "folder.kpj/f.kpj", "sub/deeper/d.kpj",
                    "sub-e.kpj", "\xc3\xa9t\xc3\xa9.kpj"},
                   0},
        SearchCase{"LinksBackAreLoopsAndLinksAsideAreFollowed",
                   {{Make::Project, "a/p.kpj"},
                    {Make::LinkTo, "a/back", ".."},
                    {Make::LinkTo, "a/self", "."},
                    {Make::Project, "b/q.kpj"},
                    {Make::LinkTo, "c", "b"}},
                   {"note: the folder \"ROOT/a/back\" leads back to the folder \"ROOT\", which is "
                    "searched already",
                    "a/p.kpj",
                    "note: the folder \"ROOT/a/self\" leads back to the folder \"ROOT/a\", which "
                    "is searched already",
                    "b/q.kpj", "c/q.kpj"},
                   0},
        SearchCase{
            "UnreadableFolderIsNotedAndTheRestSearched",
            {{Make::Project, "a.kpj"}, {Make::Unreadable, "locked"}, {Make::Project, "open/b.kpj"}},
            {"a.kpj", "note: cannot search the folder \"ROOT/locked\": permission denied",
             "open/b.kpj"},
            2},
        SearchCase{"EmptyFoldersHoldNoProjects",
                   {{Make::Folder, "empty"}, {Make::OtherFile, "inner/readme.txt"}},
                   {"note: the folder \"ROOT\" holds no project files (*.kpj)"},
                   0}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace kestrova
