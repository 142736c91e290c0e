// Without a Windows registry no key opens, so the System Information tool is never found and
// the About dialog tells the user that it is unavailable.

#include "app/sys_info.h"

namespace kestrova {
namespace {

constexpr long kFileNotFound = 2;  // ERROR_FILE_NOT_FOUND
constexpr long kInvalidHandle = 6; // ERROR_INVALID_HANDLE

class AbsentRegistry final : public Registry {
public:
    long OpenKey(std::uint32_t, const std::string&, std::uint32_t, std::uint32_t,
                 RegistryKey&) override {
        return kFileNotFound;
    }
    long QueryValue(RegistryKey, const std::string&, std::uint32_t&, unsigned char*,
                    std::uint32_t&) override {
        return kInvalidHandle;
    }
    long CloseKey(RegistryKey) override { return kInvalidHandle; }
};

// No key opens, so the file test and the program start are never reached; both refuse.
class AbsentLauncher final : public ProgramLauncher {
public:
    bool IsOrdinaryFile(const std::string&) override { return false; }
    bool Start(const std::string&) override { return false; }
};

} // namespace

Registry& PlatformRegistry() {
    static AbsentRegistry registry;
    return registry;
}

ProgramLauncher& PlatformLauncher() {
    static AbsentLauncher launcher;
    return launcher;
}

} // namespace kestrova
