// The Windows registry (advapi32, ANSI forms) and program start behind the System Information
// launcher.

#include "app/sys_info.h"

#include <windows.h>

#include <vector>

namespace kestrova {
namespace {

class WindowsRegistry final : public Registry {
public:
    long OpenKey(std::uint32_t root, const std::string& subKey, std::uint32_t options,
                 std::uint32_t access, RegistryKey& key) override {
        // Predefined root keys are sign-extended 32-bit values, as the HKEY_ macros make them.
        const HKEY rootKey =
            reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
        HKEY opened = nullptr;
        const LONG result = RegOpenKeyExA(rootKey, subKey.c_str(), options, access, &opened);
        if (result == ERROR_SUCCESS) {
            key = reinterpret_cast<RegistryKey>(opened);
        }
        return result;
    }

    long QueryValue(RegistryKey key, const std::string& valueName, std::uint32_t& type,
                    unsigned char* data, std::uint32_t& size) override {
        DWORD valueType = 0;
        DWORD valueSize = size;
        const LONG result = RegQueryValueExA(reinterpret_cast<HKEY>(key), valueName.c_str(),
                                             nullptr, &valueType, data, &valueSize);
        type = valueType;
        size = valueSize;
        return result;
    }

    long CloseKey(RegistryKey key) override { return RegCloseKey(reinterpret_cast<HKEY>(key)); }
};

class WindowsLauncher final : public ProgramLauncher {
public:
    bool IsOrdinaryFile(const std::string& path) override {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes &
                (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
    }

    // The path is given as the program to start, and again, quoted, as the command line the
    // program sees: a path with spaces (C:\Program Files\...) started as an unquoted command line
    // would make Windows try C:\Program.exe first.
    bool Start(const std::string& program) override {
        const std::string quoted = "\"" + program + "\"";
        std::vector<char> line(quoted.begin(), quoted.end());
        line.push_back('\0');
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWNORMAL;
        PROCESS_INFORMATION process{};
        if (program.empty() || !CreateProcessA(program.c_str(), line.data(), nullptr, nullptr,
                                               FALSE, 0, nullptr, nullptr, &startup, &process)) {
            return false;
        }
        // The tool runs on its own; we neither wait for it nor track it.
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return true;
    }
};

} // namespace

Registry& PlatformRegistry() {
    static WindowsRegistry registry;
    return registry;
}

ProgramLauncher& PlatformLauncher() {
    static WindowsLauncher launcher;
    return launcher;
}

} // namespace kestrova
