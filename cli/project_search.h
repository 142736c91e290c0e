#pragma once
// What kpjcheck's file arguments name: a file is checked as it is given; a folder is searched,
// with every folder under it, for project files (*.kpj, in any letter case).

#include <string>
#include <variant>
#include <vector>

namespace kestrova {

// A line for standard error about a folder that was searched.
struct FolderNote {
    std::string text; // one sentence, without the program's name or a line break
    // Part of the folder could not be read, so projects in it may have gone unchecked.
    bool unread = false;
};

// A project to check (its path, UTF-8), or a note that stands where the search met it.
using SearchTarget = std::variant<std::string, FolderNote>;

// The projects the arguments name, in argument order. The projects of a folder come in the
// byte order of their UTF-8 names, each subfolder's projects at the place of its name; other
// files are left alone. A link to a folder is followed unless it leads back to a folder being
// searched (a loop), which gets a note instead. A folder that cannot be read gets a note, and
// the search goes on with the rest.
std::vector<SearchTarget> SearchArguments(const std::vector<std::string>& arguments);

} // namespace kestrova
