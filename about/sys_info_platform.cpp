// The platform's registry and program launcher for the System Information button.

#include "about/sys_info.h"

#ifdef _WIN32
#include <windows.h>

#include <vector>
#else
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#endif

namespace kestrova::about {
namespace {

#ifdef _WIN32

// advapi32 in its ANSI forms.
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

    bool Start(const std::string& commandLine) override {
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back('\0');
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWNORMAL;
        PROCESS_INFORMATION process{};
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process)) {
            return false;
        }
        // The tool runs on its own; we neither wait for it nor track it.
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return true;
    }
};

#else

// No Windows registry here: no key opens.
class AbsentRegistry final : public Registry {
public:
    long OpenKey(std::uint32_t, const std::string&, std::uint32_t, std::uint32_t,
                 RegistryKey&) override {
        return 2; // ERROR_FILE_NOT_FOUND
    }
    long QueryValue(RegistryKey, const std::string&, std::uint32_t&, unsigned char*,
                    std::uint32_t&) override {
        return 6; // ERROR_INVALID_HANDLE
    }
    long CloseKey(RegistryKey) override { return 6; }
};

class ProcessLauncher final : public ProgramLauncher {
public:
    bool IsOrdinaryFile(const std::string& path) override {
        const QFileInfo info(QString::fromStdString(path));
        return info.exists() && info.isFile() && !info.isHidden();
    }

    bool Start(const std::string& commandLine) override {
        QStringList words = QProcess::splitCommand(QString::fromStdString(commandLine));
        if (words.isEmpty()) {
            return false;
        }
        const QString program = words.takeFirst();
        return QProcess::startDetached(program, words);
    }
};

#endif

} // namespace

#ifdef _WIN32
Registry& PlatformRegistry() {
    static WindowsRegistry registry;
    return registry;
}
ProgramLauncher& PlatformLauncher() {
    static WindowsLauncher launcher;
    return launcher;
}
#else
Registry& PlatformRegistry() {
    static AbsentRegistry registry;
    return registry;
}
ProgramLauncher& PlatformLauncher() {
    static ProcessLauncher launcher;
    return launcher;
}
#endif

} // namespace kestrova::about
