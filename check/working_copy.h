#pragma once
// The working copy: a temporary copy of the project file whose XML declaration is rewritten so
// that the parser reads its bytes as ISO-8859-1. It is removed on every way out of a run, and
// when a signal or exit() ends the process (once RemoveListedFilesOnExit has been called).

#include "check/file_access.h"
#include "check/random_source.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace kestrova {

// The declaration the copy rewrites, and what it becomes.
inline constexpr std::string_view kPlainDeclaration = R"(<?xml version="1.0" standalone="yes" ?>)";
inline constexpr std::string_view kLatin1Declaration =
    R"(<?xml version="1.0" encoding="ISO-8859-1" standalone="yes" ?>)";

class WorkingCopy {
public:
    explicit WorkingCopy(std::filesystem::path path, RemovalOnExit removal = {})
        : path_(std::move(path)), removal_(std::move(removal)) {}
    ~WorkingCopy();
    WorkingCopy(WorkingCopy&& other) noexcept;
    WorkingCopy& operator=(WorkingCopy&&) = delete;
    WorkingCopy(const WorkingCopy&) = delete;
    WorkingCopy& operator=(const WorkingCopy&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Removes the file now; throws CheckStopped when it cannot be removed.
    void remove();

private:
    std::filesystem::path path_;
    RemovalOnExit removal_;
};

// The next candidate name: eight characters, each "@" or "A", then ".tmp".
std::string NextCandidateName(RandomSource& random);

// Receives the working copy's bytes in order, each piece once it has been written, so that the
// document can be parsed in the same pass that makes the copy.
class CopyListener {
public:
    virtual ~CopyListener() = default;
    // The project's size when it was opened, told before its first bytes.
    virtual void projectOpened(std::uint64_t /*size*/) {}
    virtual void copied(std::string_view bytes) = 0;
    // Whether more of the copy is wanted. Once it is not (the parser has given up on the
    // document), the copy ends where it is.
    virtual bool wantsMore() const { return true; }
};

// Opens the project file, which must be an ordinary file; picks a free name in the folder,
// creates it (never replacing an existing file) and copies the project file into it line by
// line, no more than the size the project had when it was opened: every line ends with CR LF,
// and every occurrence of the plain declaration becomes the ISO-8859-1 one. Where the folder
// does not take new files (read-only, no permission), the copy is made in the user's temporary
// folder instead. Throws CheckStopped when a file cannot be read, created or written, or when
// all 256 names are taken.
WorkingCopy MakeWorkingCopy(const std::filesystem::path& projectFile,
                            const std::filesystem::path& folder, RandomSource& random,
                            CopyListener* listener = nullptr);

} // namespace kestrova
