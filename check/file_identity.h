#pragma once
// Whether two paths lead to one file, told by the file's identity and not by its name: on
// Windows the volume and the file index, on POSIX the device and the inode. Names that differ
// only in letter case, a trailing dot, a short 8.3 form, a ".\" or a link lead to the same file
// and are seen as such.

#include <filesystem>

namespace kestrova {

// True when both paths can be opened and are the same file; false when either cannot.
bool SameFile(const std::filesystem::path& one, const std::filesystem::path& other) noexcept;

} // namespace kestrova
