#include "app/sys_info.h"

#include <array>
#include <cstdio>

namespace kestrova {
namespace {

const char* const kSysInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char* const kSysInfoValue = "PATH";
const char* const kSysInfoLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
const char* const kSysInfoLocationValue = "MSINFO";
const char* const kSysInfoFile = "\\MSINFO32.EXE";

// Closes an opened key when the look-up leaves, whichever way it leaves.
class OpenKeyGuard {
public:
    OpenKeyGuard(Registry& registry, RegistryKey key) : registry_(registry), key_(key) {}
    OpenKeyGuard(const OpenKeyGuard&) = delete;
    OpenKeyGuard& operator=(const OpenKeyGuard&) = delete;
    ~OpenKeyGuard() {
        try {
            registry_.CloseKey(key_);
        } catch (...) {
            // Nothing more can be done about a key that will not close.
        }
    }

private:
    Registry& registry_;
    RegistryKey key_;
};

// "&h" and the number's eight hexadecimal digits, most significant byte first. The data holds
// the number least significant byte first; missing bytes count as zero.
std::string DwordText(const unsigned char* data, std::uint32_t size) {
    std::uint32_t value = 0;
    for (std::uint32_t i = 0; i < size && i < 4; ++i) {
        value |= static_cast<std::uint32_t>(data[i]) << (8 * i);
    }
    char digits[16];
    std::snprintf(digits, sizeof digits, "&h%08X", static_cast<unsigned>(value));
    return digits;
}

} // namespace

bool GetKeyValue(Registry& registry, std::uint32_t KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal) {
    RegistryKey hKey = 0;
    if (registry.OpenKey(KeyRoot, KeyName, kOpenOptions, kOpenAccess, hKey) != 0) {
        KeyVal.clear();
        return false;
    }
    OpenKeyGuard closeKey(registry, hKey);

    std::array<unsigned char, kValueBufferSize> buffer{};
    std::uint32_t size = kValueBufferSize;
    std::uint32_t type = 0;
    if (registry.QueryValue(hKey, SubKeyRef, type, buffer.data(), size) != 0) {
        KeyVal.clear();
        return false;
    }
    if (size == 0) {
        KeyVal.clear();
        throw RegistryValueUnreadable("the registry value holds no data");
    }
    if (size > kValueBufferSize) {
        // A registry that claims more data than the buffer holds has not given us the value.
        KeyVal.clear();
        return false;
    }

    // A string value's terminating zero is dropped: the last byte of the data is left out when
    // it is 0.
    const std::uint32_t length = buffer[size - 1] == 0 ? size - 1 : size;
    switch (type) {
    case kTypeString:
        KeyVal.assign(reinterpret_cast<const char*>(buffer.data()), length);
        break;
    case kTypeDword:
        KeyVal = DwordText(buffer.data(), size);
        break;
    default:
        break; // other types are read but give no text; KeyVal stays as the caller passed it
    }
    return true;
}

void StartSysInfo(Registry& registry, ProgramLauncher& launcher, MessageDisplay& messages) {
    bool started = false;
    try {
        std::string SysInfoPath;
        bool found = GetKeyValue(registry, kLocalMachine, kSysInfoKey, kSysInfoValue, SysInfoPath);
        if (!found && GetKeyValue(registry, kLocalMachine, kSysInfoLocationKey,
                                  kSysInfoLocationValue, SysInfoPath)) {
            SysInfoPath += kSysInfoFile;
            found = launcher.IsOrdinaryFile(SysInfoPath);
        }
        // An empty command line (a value of another type) cannot start anything.
        started = found && !SysInfoPath.empty() && launcher.Start(SysInfoPath);
    } catch (...) {
        started = false; // every failure on the way ends in the one message
    }
    if (!started) {
        messages.showMessage(kSysInfoUnavailable);
    }
}

} // namespace kestrova
