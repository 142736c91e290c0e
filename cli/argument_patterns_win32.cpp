#include "cli/argument_patterns_win32.h"

#include "check/wide_text.h"

#include <windows.h>

#include <algorithm>

namespace kestrova::win32 {
namespace {

bool IsPattern(const std::string& argument) {
    const std::size_t nameStart = argument.find_last_of("\\/:");
    const std::size_t from = nameStart == std::string::npos ? 0 : nameStart + 1;
    return argument.find_first_of("*?", from) != std::string::npos;
}

// The folder part of the pattern, as given, up to and with its last separator.
std::string FolderPart(const std::string& pattern) {
    const std::size_t nameStart = pattern.find_last_of("\\/:");
    return nameStart == std::string::npos ? std::string() : pattern.substr(0, nameStart + 1);
}

bool BeforeIgnoringCase(const std::wstring& one, const std::wstring& other) {
    return CompareStringOrdinal(one.c_str(), static_cast<int>(one.size()), other.c_str(),
                                static_cast<int>(other.size()), TRUE) == CSTR_LESS_THAN;
}

std::vector<std::wstring> MatchingNames(const std::string& pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileExW(Wide(pattern).c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end(), BeforeIgnoringCase);
    return names;
}

} // namespace

std::vector<std::string> ExpandArgumentPatterns(const std::vector<std::string>& arguments) {
    std::vector<std::string> expanded;
    bool optionsEnded = false;
    bool pictureName = false;
    for (const std::string& argument : arguments) {
        const bool option = !optionsEnded && argument.size() >= 2 && argument[0] == '-';
        if (pictureName || option || !IsPattern(argument)) {
            expanded.push_back(argument);
        } else {
            const std::vector<std::wstring> names = MatchingNames(argument);
            if (names.empty())
                expanded.push_back(argument);
            for (const std::wstring& name : names)
                expanded.push_back(FolderPart(argument) + Utf8(name));
        }
        optionsEnded = optionsEnded || (option && argument == "--");
        pictureName = option && argument == "--svg";
    }
    return expanded;
}

} // namespace kestrova::win32
