// GetKeyValue and StartSysInfo against the real Windows registry and program start. The test
// writes its own values: under a test-only key, and the two values the About dialog reads when
// they are not there already (a fresh Wine prefix); it removes every value and key it wrote.

#include "app/sys_info.h"

#include "sys_info_scratch.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <vector>

namespace kestrova {
namespace {

using testing::MarkerAppears;
using testing::MarkerProgram;
using testing::ScratchFolder;

const char* const kTestKey = "SOFTWARE\\Kestrova Checker Test";
const char* const kToolKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char* const kLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";

bool ValueExists(const char* key, const char* value) {
    return RegGetValueA(HKEY_LOCAL_MACHINE, key, value, RRF_RT_ANY, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

// A key under HKEY_LOCAL_MACHINE with values this test wrote. At the end the values go again,
// and the key too when the test made it.
class WrittenKey {
public:
    explicit WrittenKey(const char* name) : name_(name) {
        DWORD disposition = 0;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                            &disposition) != ERROR_SUCCESS)
            throw std::runtime_error(std::string("cannot write the key ") + name);
        made_ = disposition == REG_CREATED_NEW_KEY;
    }
    ~WrittenKey() {
        for (const std::string& value : written_)
            RegDeleteValueA(key_, value.c_str());
        RegCloseKey(key_);
        if (made_)
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, name_.c_str());
    }
    WrittenKey(const WrittenKey&) = delete;
    WrittenKey& operator=(const WrittenKey&) = delete;

    void set(const char* value, DWORD type, const std::string& bytes) {
        written_.push_back(value);
        ASSERT_EQ(RegSetValueExA(key_, value, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
    }
    void setText(const char* value, const std::string& text) {
        set(value, REG_SZ, text + std::string(1, '\0'));
    }

private:
    std::string name_;
    HKEY key_ = nullptr;
    bool made_ = false;
    std::vector<std::string> written_;
};

struct ValueCase {
    const char* name;
    DWORD type;
    std::string bytes; // as stored; empty with type 0: the value is not written at all
    bool found;
    std::string text;
};

TEST(WindowsRegistry, GetKeyValueReadsEachKindOfValueAsWritten) {
    WrittenKey key(kTestKey);
    const std::string dword("\x78\x56\x34\x12", 4);
    const std::vector<ValueCase> cases = {
        {"sz", REG_SZ, std::string("C:\\Tools\\x.exe") + '\0', true, "C:\\Tools\\x.exe"},
        {"sz without zero", REG_SZ, "ABCDEFGH", true, "ABCDEFGH"},
        {"expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\x.exe") + '\0', true, "as passed"},
        {"dword", REG_DWORD, dword, true, "&h12345678"},
        {"fits", REG_SZ, std::string(1023, 'y') + '\0', true, std::string(1023, 'y')},
        {"too long", REG_SZ, std::string(1100, 'z') + '\0', false, ""},
        {"absent", 0, "", false, ""},
    };
    for (const ValueCase& c : cases) {
        if (c.type != 0)
            key.set(c.name, c.type, c.bytes);
    }
    for (const ValueCase& c : cases) {
        std::string text = "as passed";
        EXPECT_EQ(GetKeyValue(PlatformRegistry(), kLocalMachine, kTestKey, c.name, text), c.found)
            << c.name;
        EXPECT_EQ(text, c.text) << c.name;
    }
}

TEST(WindowsRegistry, GetKeyValueFailsOnAMissingKeyAndOnAValueWithoutData) {
    std::string text = "old";
    EXPECT_FALSE(GetKeyValue(PlatformRegistry(), kLocalMachine, "SOFTWARE\\Kestrova No Such Key",
                             "PATH", text));
    EXPECT_EQ(text, "");
    WrittenKey key(kTestKey);
    key.set("empty", REG_BINARY, "");
    text = "old";
    EXPECT_THROW(GetKeyValue(PlatformRegistry(), kLocalMachine, kTestKey, "empty", text),
                 RegistryValueUnreadable);
    EXPECT_EQ(text, "");
}

class RecordingMessages final : public MessageDisplay {
public:
    void showMessage(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

// StartSysInfo with the real registry and launcher; only where the two values the About dialog
// reads are ours to write, so that a real System Information set-up is never touched.
class SysInfoUnderTheRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        if (ValueExists(kToolKey, "PATH") || ValueExists(kLocationKey, "MSINFO"))
            GTEST_SKIP() << "this machine has System Information keys of its own";
    }
    void Start() { StartSysInfo(PlatformRegistry(), PlatformLauncher(), messages); }

    ScratchFolder folder;
    RecordingMessages messages;
};

// The value holds the tool's path as it is, spaces and all.
TEST_F(SysInfoUnderTheRegistry, StartsTheProgramNamedByThePathValue) {
    WrittenKey key(kToolKey);
    std::filesystem::create_directory(folder / "Common Files");
    const auto tool = folder / "Common Files" / "MSINFO32.EXE";
    std::filesystem::copy_file(MarkerProgram(), tool);
    key.setText("PATH", tool.string());
    Start();
    EXPECT_TRUE(messages.texts.empty());
    EXPECT_TRUE(MarkerAppears(tool.string() + ".marker"));
}

TEST_F(SysInfoUnderTheRegistry, StartsMsinfo32FromTheLocationKeysFolder) {
    WrittenKey location(kLocationKey);
    const auto tool = folder / "MSINFO32.EXE";
    std::filesystem::copy_file(MarkerProgram(), tool);
    location.setText("MSINFO", folder.text());
    Start();
    EXPECT_TRUE(messages.texts.empty());
    EXPECT_TRUE(MarkerAppears(tool.string() + ".marker"));
}

TEST_F(SysInfoUnderTheRegistry, SaysUnavailableWhenNoKeyLeadsToTheTool) {
    Start(); // neither key
    {
        WrittenKey location(kLocationKey);
        location.setText("MSINFO", folder.text()); // a folder without MSINFO32.EXE
        Start();
    }
    const std::string unavailable = kSysInfoUnavailable;
    EXPECT_EQ(messages.texts, (std::vector<std::string>{unavailable, unavailable}));
}

} // namespace
} // namespace kestrova
