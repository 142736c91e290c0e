#include "check/file_identity.h"

#include <windows.h>

#include <optional>

namespace kestrova {
namespace {

struct Identity {
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
};

// Opened for no access at all, so that a file another program holds open (or a folder) still
// tells who it is; every sharing is allowed, so that nobody else is disturbed.
std::optional<Identity> IdentityOf(const std::filesystem::path& path) {
    const HANDLE handle =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION information{};
    const bool known = GetFileInformationByHandle(handle, &information) != 0;
    CloseHandle(handle);
    if (!known)
        return std::nullopt;
    return Identity{information.dwVolumeSerialNumber, information.nFileIndexHigh,
                    information.nFileIndexLow};
}

} // namespace

bool SameFile(const std::filesystem::path& one, const std::filesystem::path& other) noexcept {
    const std::optional<Identity> first = IdentityOf(one);
    const std::optional<Identity> second = IdentityOf(other);
    return first && second && first->volume == second->volume &&
           first->indexHigh == second->indexHigh && first->indexLow == second->indexLow;
}

} // namespace kestrova
