#pragma once
// A registry and a launcher in memory, noting every call made to them.

#include "app/sys_info.h"

#include "../app/recording_messages.h"

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kestrova::testing {

struct FakeValue {
    std::uint32_t type = kTypeString;
    std::string data; // the bytes as stored, terminating zero included when there is one
};

class FakeRegistry final : public Registry {
public:
    // Stores a value under HKEY_LOCAL_MACHINE.
    void set(const std::string& key, const std::string& name, FakeValue value) {
        keys_[key][name] = std::move(value);
    }
    void addKey(const std::string& key) { keys_[key]; }

    long OpenKey(std::uint32_t root, const std::string& subKey, std::uint32_t options,
                 std::uint32_t access, RegistryKey& key) override {
        opened.push_back(subKey);
        lastOptions = options;
        lastAccess = access;
        if (root != kLocalMachine || keys_.count(subKey) == 0) {
            return 2;
        }
        if (!administrator && (access & ~kReadAccess) != 0) {
            return 5; // ERROR_ACCESS_DENIED: HKEY_LOCAL_MACHINE is read-only to such a user
        }
        key = nextHandle_++;
        handles_[key] = subKey;
        open.insert(key);
        return 0;
    }

    long QueryValue(RegistryKey key, const std::string& valueName, std::uint32_t& type,
                    unsigned char* data, std::uint32_t& size) override {
        if (open.count(key) == 0) {
            return 6;
        }
        queried.push_back(handles_[key] + "|" + valueName);
        const auto& values = keys_[handles_[key]];
        const auto found = values.find(valueName);
        if (found == values.end()) {
            return 2;
        }
        const std::string& bytes = found->second.data;
        bufferSizeGiven = size;
        bufferWasZeroed = true;
        for (std::uint32_t i = 0; i < size; ++i) {
            bufferWasZeroed = bufferWasZeroed && data[i] == 0;
        }
        type = found->second.type;
        if (bytes.size() > size) {
            size = static_cast<std::uint32_t>(bytes.size());
            return 234; // ERROR_MORE_DATA
        }
        std::memcpy(data, bytes.data(), bytes.size());
        size = static_cast<std::uint32_t>(bytes.size());
        return 0;
    }

    long CloseKey(RegistryKey key) override {
        ++closes;
        return open.erase(key) == 1 ? 0 : 6;
    }

    // What a user who is not an administrator may ask for under HKEY_LOCAL_MACHINE: KEY_READ
    // (READ_CONTROL, KEY_QUERY_VALUE, KEY_ENUMERATE_SUB_KEYS, KEY_NOTIFY).
    static constexpr std::uint32_t kReadAccess = 0x20019u;
    // When false, any wider access than kReadAccess is refused, as Windows refuses it.
    bool administrator = true;

    std::vector<std::string> opened;
    std::vector<std::string> queried;
    std::set<RegistryKey> open;
    int closes = 0;
    std::uint32_t lastOptions = 99;
    std::uint32_t lastAccess = 0;
    std::uint32_t bufferSizeGiven = 0;
    bool bufferWasZeroed = false;

private:
    std::map<std::string, std::map<std::string, FakeValue>> keys_;
    std::map<RegistryKey, std::string> handles_;
    RegistryKey nextHandle_ = 100;
};

class FakeLauncher final : public ProgramLauncher {
public:
    bool IsOrdinaryFile(const std::string& path) override {
        checked.push_back(path);
        return files.count(path) == 1;
    }
    bool Start(const std::string& program) override {
        started.push_back(program);
        return startSucceeds;
    }

    std::set<std::string> files;
    bool startSucceeds = true;
    std::vector<std::string> checked;
    std::vector<std::string> started;
};

inline const std::string kToolKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline const std::string kLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";

inline std::string WithZero(const std::string& text) {
    return text + std::string(1, '\0');
}

} // namespace kestrova::testing
