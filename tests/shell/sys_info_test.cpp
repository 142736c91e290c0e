// GetKeyValue and StartSysInfo against a registry and launcher in memory.

#include "app/sys_info.h"

#include "fake_system.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using testing::FakeLauncher;
using testing::FakeRegistry;
using testing::FakeValue;
using testing::kLocationKey;
using testing::kToolKey;
using testing::RecordingMessages;
using testing::WithZero;

const std::vector<std::string> kUnavailable{"System Information Is Unavailable At This Time"};

TEST(GetKeyValue, OpensForQueryingOnlyAndReadsIntoAZeroedBufferOf1024Bytes) {
    FakeRegistry registry;
    registry.set(kToolKey, "PATH", {kTypeString, WithZero("C:\\msinfo32.exe")});
    std::string value = "old";
    EXPECT_TRUE(GetKeyValue(registry, kLocalMachine, kToolKey, "PATH", value));
    EXPECT_EQ(value, "C:\\msinfo32.exe");
    EXPECT_EQ(registry.lastOptions, 0u);
    EXPECT_EQ(registry.lastAccess, 0x0001u); // KEY_QUERY_VALUE
    EXPECT_EQ(registry.bufferSizeGiven, 1024u);
    EXPECT_TRUE(registry.bufferWasZeroed);
    EXPECT_TRUE(registry.open.empty());
    EXPECT_EQ(registry.closes, 1);
}

TEST(GetKeyValue, DropsTheTerminatingZeroOnlyWhenThereIsOne) {
    FakeRegistry registry;
    registry.set(kToolKey, "nine", {kTypeString, WithZero("ABCDEFGH")}); // size 9
    registry.set(kToolKey, "eight", {kTypeString, "ABCDEFGH"});          // size 8
    registry.set(kToolKey, "one", {kTypeString, std::string(1, '\0')});  // an empty string
    std::string nine, eight, one = "x";
    EXPECT_TRUE(GetKeyValue(registry, kLocalMachine, kToolKey, "nine", nine));
    EXPECT_TRUE(GetKeyValue(registry, kLocalMachine, kToolKey, "eight", eight));
    EXPECT_TRUE(GetKeyValue(registry, kLocalMachine, kToolKey, "one", one));
    EXPECT_EQ(nine, "ABCDEFGH");
    EXPECT_EQ(eight, "ABCDEFGH");
    EXPECT_EQ(one, "");
}

TEST(GetKeyValue, GivesADwordAsHexadecimalMostSignificantByteFirst) {
    FakeRegistry registry;
    registry.set(kToolKey, "n", {kTypeDword, std::string("\x2A\x01\x00\x00", 4)});
    registry.set(kToolKey, "big", {kTypeDword, std::string("\x78\x56\x34\x12", 4)});
    std::string n, big;
    EXPECT_TRUE(GetKeyValue(registry, kLocalMachine, kToolKey, "n", n));
    EXPECT_TRUE(GetKeyValue(registry, kLocalMachine, kToolKey, "big", big));
    EXPECT_EQ(n, "&h0000012A");
    EXPECT_EQ(big, "&h12345678");
}

TEST(GetKeyValue, OtherTypesSucceedAndLeaveTheTextAsPassed) {
    FakeRegistry registry;
    registry.set(kToolKey, "expand", {2, WithZero("%SystemRoot%")});
    std::string value = "as passed";
    EXPECT_TRUE(GetKeyValue(registry, kLocalMachine, kToolKey, "expand", value));
    EXPECT_EQ(value, "as passed");
    EXPECT_TRUE(registry.open.empty());
}

TEST(GetKeyValue, MissingKeyValueOrOversizeValueGiveFalseAndEmptyTextWithTheKeyClosed) {
    FakeRegistry registry;
    registry.addKey(kToolKey);
    registry.set(kToolKey, "long", {kTypeString, std::string(1025, 'x')});
    registry.set(kToolKey, "fits", {kTypeString, std::string(1024, 'y')});
    std::string value = "old";
    EXPECT_FALSE(GetKeyValue(registry, kLocalMachine, "SOFTWARE\\Nowhere", "PATH", value));
    EXPECT_EQ(value, "");
    value = "old";
    EXPECT_FALSE(GetKeyValue(registry, kLocalMachine, kToolKey, "PATH", value));
    EXPECT_EQ(value, "");
    value = "old";
    EXPECT_FALSE(GetKeyValue(registry, kLocalMachine, kToolKey, "long", value));
    EXPECT_EQ(value, "");
    EXPECT_TRUE(GetKeyValue(registry, kLocalMachine, kToolKey, "fits", value));
    EXPECT_EQ(value, std::string(1024, 'y'));
    EXPECT_TRUE(registry.open.empty());
    EXPECT_EQ(registry.closes, 3); // every key that opened was closed
}

TEST(GetKeyValue, AValueWithoutDataFailsAfterClosingTheKey) {
    FakeRegistry registry;
    registry.set(kToolKey, "PATH", {kTypeString, ""});
    std::string value = "old";
    EXPECT_THROW(GetKeyValue(registry, kLocalMachine, kToolKey, "PATH", value),
                 RegistryValueUnreadable);
    EXPECT_EQ(value, "");
    EXPECT_TRUE(registry.open.empty());
    EXPECT_EQ(registry.closes, 1);
}

struct SysInfoCase : ::testing::Test {
    FakeRegistry registry;
    FakeLauncher launcher;
    RecordingMessages messages;
};

TEST_F(SysInfoCase, StartsThePathValueWithoutAFileCheckOrASecondLookUp) {
    registry.set(kToolKey, "PATH", {kTypeString, WithZero("C:\\Tools\\msinfo32.exe")});
    registry.set(kLocationKey, "MSINFO", {kTypeString, WithZero("C:\\Other")});
    StartSysInfo(registry, launcher, messages);
    EXPECT_EQ(launcher.started, std::vector<std::string>{"C:\\Tools\\msinfo32.exe"});
    EXPECT_TRUE(launcher.checked.empty());
    EXPECT_EQ(registry.opened, std::vector<std::string>{kToolKey});
    EXPECT_TRUE(messages.texts.empty());
    EXPECT_TRUE(registry.open.empty());
}

TEST_F(SysInfoCase, StartsMsinfo32FromTheSecondKeysFolderWhenTheFileIsThere) {
    registry.set(kLocationKey, "MSINFO", {kTypeString, WithZero("C:\\Shared\\MSInfo")});
    launcher.files.insert("C:\\Shared\\MSInfo\\MSINFO32.EXE");
    StartSysInfo(registry, launcher, messages);
    EXPECT_EQ(registry.opened, (std::vector<std::string>{kToolKey, kLocationKey}));
    EXPECT_EQ(launcher.checked, std::vector<std::string>{"C:\\Shared\\MSInfo\\MSINFO32.EXE"});
    EXPECT_EQ(launcher.started, std::vector<std::string>{"C:\\Shared\\MSInfo\\MSINFO32.EXE"});
    EXPECT_TRUE(messages.texts.empty());
}

// A user who is not an administrator may only read HKEY_LOCAL_MACHINE; either look-up still
// leads to the tool.
TEST_F(SysInfoCase, StartsTheToolForAUserWhoMayOnlyReadTheMachinesKeys) {
    registry.administrator = false;
    registry.set(kToolKey, "PATH", {kTypeString, WithZero("C:\\Tools\\msinfo32.exe")});
    StartSysInfo(registry, launcher, messages);
    FakeRegistry locationOnly;
    locationOnly.administrator = false;
    locationOnly.set(kLocationKey, "MSINFO", {kTypeString, WithZero("C:\\Shared")});
    launcher.files.insert("C:\\Shared\\MSINFO32.EXE");
    StartSysInfo(locationOnly, launcher, messages);
    EXPECT_EQ(launcher.started,
              (std::vector<std::string>{"C:\\Tools\\msinfo32.exe", "C:\\Shared\\MSINFO32.EXE"}));
    EXPECT_TRUE(messages.texts.empty());
}

TEST_F(SysInfoCase, SaysUnavailableWhenTheSecondKeysFolderLacksTheFile) {
    registry.set(kLocationKey, "MSINFO", {kTypeString, WithZero("C:\\Shared\\MSInfo")});
    StartSysInfo(registry, launcher, messages);
    EXPECT_EQ(launcher.checked, std::vector<std::string>{"C:\\Shared\\MSInfo\\MSINFO32.EXE"});
    EXPECT_TRUE(launcher.started.empty());
    EXPECT_EQ(messages.texts, kUnavailable);
}

TEST_F(SysInfoCase, SaysUnavailableOnceWhenNeitherKeyExists) {
    StartSysInfo(registry, launcher, messages);
    EXPECT_EQ(registry.opened, (std::vector<std::string>{kToolKey, kLocationKey}));
    EXPECT_TRUE(launcher.started.empty());
    EXPECT_EQ(messages.texts, kUnavailable);
}

TEST_F(SysInfoCase, SaysUnavailableWhenThePathValueHasAnotherTypeAndGivesNoText) {
    registry.set(kToolKey, "PATH", {7, WithZero("C:\\x.exe")});
    StartSysInfo(registry, launcher, messages);
    EXPECT_EQ(registry.opened, std::vector<std::string>{kToolKey});
    EXPECT_TRUE(launcher.started.empty());
    EXPECT_EQ(messages.texts, kUnavailable);
}

TEST_F(SysInfoCase, SaysUnavailableAtOnceWhenThePathValueHoldsNoData) {
    registry.set(kToolKey, "PATH", {kTypeString, ""});
    registry.set(kLocationKey, "MSINFO", {kTypeString, WithZero("C:\\Shared\\MSInfo")});
    launcher.files.insert("C:\\Shared\\MSInfo\\MSINFO32.EXE");
    StartSysInfo(registry, launcher, messages);
    EXPECT_EQ(registry.opened, std::vector<std::string>{kToolKey}); // the second key is never read
    EXPECT_TRUE(launcher.started.empty());
    EXPECT_EQ(messages.texts, kUnavailable);
    EXPECT_TRUE(registry.open.empty());
}

TEST_F(SysInfoCase, SaysUnavailableWhenTheToolDoesNotStart) {
    registry.set(kToolKey, "PATH", {kTypeString, WithZero("C:\\gone.exe")});
    launcher.startSucceeds = false;
    StartSysInfo(registry, launcher, messages);
    EXPECT_EQ(launcher.started, std::vector<std::string>{"C:\\gone.exe"});
    EXPECT_EQ(messages.texts, kUnavailable);
}

class ThrowingLauncher final : public ProgramLauncher {
public:
    bool IsOrdinaryFile(const std::string&) override {
        throw std::runtime_error("file system gone");
    }
    bool Start(const std::string&) override { throw std::runtime_error("cannot start"); }
};

TEST_F(SysInfoCase, AnyFailureOnTheWayEndsInTheMessage) {
    ThrowingLauncher throwing;
    registry.set(kLocationKey, "MSINFO", {kTypeString, WithZero("C:\\Shared\\MSInfo")});
    StartSysInfo(registry, throwing, messages);
    registry.set(kToolKey, "PATH", {kTypeString, WithZero("C:\\x.exe")});
    StartSysInfo(registry, throwing, messages);
    EXPECT_EQ(messages.texts, (std::vector<std::string>{kUnavailable[0], kUnavailable[0]}));
    EXPECT_TRUE(registry.open.empty());
}

TEST(PlatformRegistry, WithoutTheWindowsRegistryTheToolIsUnavailable) {
#ifndef _WIN32
    RecordingMessages messages;
    FakeLauncher launcher;
    StartSysInfo(PlatformRegistry(), launcher, messages);
    EXPECT_EQ(messages.texts, kUnavailable);
    EXPECT_TRUE(launcher.started.empty());
#endif
}

} // namespace
} // namespace kestrova
