#include "cli/project_search.h"

#include "check/file_access.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace kestrova {
namespace {

namespace fs = std::filesystem;

bool IsProjectName(std::string_view name) {
    constexpr std::string_view kExtension = ".kpj";
    if (name.size() <= kExtension.size())
        return false;
    const std::string_view tail = name.substr(name.size() - kExtension.size());
    return std::equal(tail.begin(), tail.end(), kExtension.begin(), [](char got, char wanted) {
        return (got >= 'A' && got <= 'Z' ? got - 'A' + 'a' : got) == wanted;
    });
}

// Our own words for why a folder could not be read, whatever the system's language.
std::string FailureText(const std::error_code& error) {
    if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted)
        return "permission denied";
    if (error == std::errc::no_such_file_or_directory)
        return "there is no such file or folder";
    if (error == std::errc::too_many_symbolic_link_levels)
        return "there are too many symbolic links in the path";
    if (error == std::errc::not_a_directory)
        return "a part of the path is not a folder";
    if (error == std::errc::filename_too_long)
        return "the name is too long";
    if (error == std::errc::too_many_files_open)
        return "this program has too many files open";
    if (error == std::errc::too_many_files_open_in_system)
        return "the system has too many files open";
    if (error == std::errc::io_error)
        return "an input/output error occurred";
    if (error == std::errc::not_enough_memory)
        return "there is not enough memory";
    return "the system reported error " + std::to_string(error.value());
}

std::string Quoted(const fs::path& path) {
    return "\"" + Utf8FromPath(path) + "\"";
}

struct Entry {
    std::string name; // UTF-8, the sort key
    fs::path path;
    bool folder = false;
};

class FolderSearch {
public:
    explicit FolderSearch(std::vector<SearchTarget>& found) : found_(found) {}

    void search(const fs::path& folder) {
        std::error_code error;
        const fs::path identity = fs::canonical(folder, error);
        if (error)
            return unread(folder, error);
        for (const fs::path& searching : searched_) {
            if (searching == identity) {
                found_.emplace_back(FolderNote{"the folder " + Quoted(folder) +
                                               " leads back to the folder " + Quoted(searching) +
                                               ", which is searched already"});
                return;
            }
        }
        searched_.push_back(identity);
        for (const Entry& entry : entriesOf(folder)) {
            if (entry.folder)
                search(entry.path);
            else if (IsProjectName(entry.name))
                found_.emplace_back(Utf8FromPath(entry.path));
        }
        searched_.pop_back();
    }

private:
    void unread(const fs::path& folder, const std::error_code& error) {
        found_.emplace_back(FolderNote{
            "cannot search the folder " + Quoted(folder) + ": " + FailureText(error), true});
    }

    // The folder's entries in byte order of their names; what was read before a failure is
    // kept.
    std::vector<Entry> entriesOf(const fs::path& folder) {
        std::vector<Entry> entries;
        std::error_code error;
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            std::error_code notFolder; // a link that leads nowhere is no folder
            entries.push_back(Entry{Utf8FromPath(it->path().filename()), it->path(),
                                    it->is_directory(notFolder)});
        }
        if (error)
            unread(folder, error);
        std::sort(entries.begin(), entries.end(),
                  [](const Entry& a, const Entry& b) { return a.name < b.name; });
        return entries;
    }

    std::vector<SearchTarget>& found_;
    std::vector<fs::path> searched_; // the folders being searched, outermost first, resolved
};

} // namespace

std::vector<SearchTarget> SearchArguments(const std::vector<std::string>& arguments) {
    std::vector<SearchTarget> targets;
    for (const std::string& argument : arguments) {
        const fs::path path = PathFromUtf8(argument);
        std::error_code notFolder;
        if (!fs::is_directory(path, notFolder)) {
            targets.emplace_back(argument);
            continue;
        }
        const std::size_t before = targets.size();
        FolderSearch(targets).search(path);
        if (targets.size() == before)
            targets.emplace_back(
                FolderNote{"the folder " + Quoted(path) + " holds no project files (*.kpj)"});
    }
    return targets;
}

} // namespace kestrova
