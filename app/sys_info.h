#pragma once
// Starting the System Information tool from the About dialog: the registry look-up that finds
// the tool and the launcher that starts it. Both platform facilities sit behind small
// interfaces so that the logic runs the same against the Windows registry and against fakes.

#include "app/shell_seams.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kestrova {

// Root key handle of HKEY_LOCAL_MACHINE, as the registry functions take it.
inline constexpr std::uint32_t kLocalMachine = 0x80000002u;
// How GetKeyValue opens a key: no options, KEY_QUERY_VALUE only. It only reads a value, and
// Windows refuses any write access to HKEY_LOCAL_MACHINE to a user who is not an administrator,
// so asking for more would keep System Information from every other user.
inline constexpr std::uint32_t kOpenOptions = 0;
inline constexpr std::uint32_t kOpenAccess = 0x0001u;
// Value types GetKeyValue turns into text.
inline constexpr std::uint32_t kTypeString = 1; // REG_SZ
inline constexpr std::uint32_t kTypeDword = 4;  // REG_DWORD
// Size of the buffer a value is read into; longer values count as not found.
inline constexpr std::uint32_t kValueBufferSize = 1024;

inline constexpr const char* kSysInfoUnavailable = "System Information Is Unavailable At This Time";

using RegistryKey = std::uintptr_t;

// The three registry functions GetKeyValue uses, in their ANSI forms. Each gives 0 on success
// and a Windows error code otherwise.
class Registry {
public:
    virtual ~Registry() = default;
    virtual long OpenKey(std::uint32_t root, const std::string& subKey, std::uint32_t options,
                         std::uint32_t access, RegistryKey& key) = 0;
    // Reads into data, which holds size bytes; gives the value's type and its size in bytes.
    // A value larger than the buffer is a failure.
    virtual long QueryValue(RegistryKey key, const std::string& valueName, std::uint32_t& type,
                            unsigned char* data, std::uint32_t& size) = 0;
    virtual long CloseKey(RegistryKey key) = 0;
};

// Starting another program and the file test that goes before it.
class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    // True when an ordinary file (not hidden, not a system file, not a folder) is at the path.
    virtual bool IsOrdinaryFile(const std::string& path) = 0;
    // Starts the program at the path, and only it (never a command line that the system would
    // split at a space), in a normal window with the focus, without waiting for it. False when
    // the program could not be started.
    virtual bool Start(const std::string& program) = 0;
};

// A value that was read but holds no data at all, so it cannot be taken as text.
class RegistryValueUnreadable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the value SubKeyRef of the key KeyName under KeyRoot into KeyVal. True when the value
// was read. A string value gives its text without the terminating zero; a 32-bit number gives
// "&h" and eight hexadecimal digits, most significant byte first ("&h0000002A"); any other
// type leaves KeyVal as passed. Missing key or value, or a value over 1,024 bytes: KeyVal
// empty and false. A value of size 0: KeyVal empty and RegistryValueUnreadable. The key is
// closed on every way out.
bool GetKeyValue(Registry& registry, std::uint32_t KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal);

// Starts the System Information tool, or tells the user that it is unavailable.
void StartSysInfo(Registry& registry, ProgramLauncher& launcher, MessageDisplay& messages);

// The platform's own registry and launcher. Without a Windows registry there are no keys, so
// StartSysInfo always ends with the unavailability message.
Registry& PlatformRegistry();
ProgramLauncher& PlatformLauncher();

} // namespace kestrova
