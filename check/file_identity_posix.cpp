#include "check/file_identity.h"

#include <sys/stat.h>

namespace kestrova {

bool SameFile(const std::filesystem::path& one, const std::filesystem::path& other) noexcept {
    struct stat first {};
    struct stat second {};
    return ::stat(one.c_str(), &first) == 0 && ::stat(other.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

} // namespace kestrova
