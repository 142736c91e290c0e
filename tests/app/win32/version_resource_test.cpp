// Both Windows programs carry the version information Explorer shows under Properties > Details:
// file and product version 1.2.0.0, the version texts "1.02", and their own names.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

struct ProgramVersion {
    const wchar_t* program;
    const wchar_t* originalFilename;
    const wchar_t* description;
};

std::wstring StringValue(const std::vector<BYTE>& block, const std::wstring& name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring key = L"\\StringFileInfo\\040904B0\\" + name;
    if (!VerQueryValueW(block.data(), key.c_str(), &value, &length) || length == 0)
        return L"(missing)";
    return std::wstring(static_cast<const wchar_t*>(value));
}

class VersionResource : public testing::TestWithParam<ProgramVersion> {};

TEST_P(VersionResource, CarriesTheProductVersionAndTheProgramsOwnNames) {
    const ProgramVersion& expected = GetParam();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(expected.program, &ignored);
    ASSERT_NE(size, 0u) << "no version information";
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(expected.program, 0, size, block.data()));

    void* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", &fixed, &length));
    const auto* numbers = static_cast<const VS_FIXEDFILEINFO*>(fixed);
    EXPECT_EQ(numbers->dwFileVersionMS, MAKELONG(2, 1));
    EXPECT_EQ(numbers->dwFileVersionLS, 0u);
    EXPECT_EQ(numbers->dwProductVersionMS, MAKELONG(2, 1));
    EXPECT_EQ(numbers->dwProductVersionLS, 0u);

    EXPECT_EQ(StringValue(block, L"FileVersion"), L"1.02");
    EXPECT_EQ(StringValue(block, L"ProductVersion"), L"1.02");
    EXPECT_EQ(StringValue(block, L"ProductName"), L"Kestrova Checker");
    EXPECT_EQ(StringValue(block, L"OriginalFilename"), expected.originalFilename);
    EXPECT_EQ(StringValue(block, L"FileDescription"), expected.description);
}

INSTANTIATE_TEST_SUITE_P(Programs, VersionResource,
                         testing::Values(ProgramVersion{L"" KESTROVA_CHECKER_PROGRAM,
                                                        L"kestrova-checker.exe",
                                                        L"Kestrova Checker"},
                                         ProgramVersion{L"" KPJCHECK_PROGRAM, L"kpjcheck.exe",
                                                        L"Kestrova Checker command-line tool"}));

} // namespace
