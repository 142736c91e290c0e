// The Win32 report box's cut of long lines, on its own: which lines are shown cut, and how the
// whole report comes back from what the control shows.

#include "app/long_lines.h"
#include "app/win32/report_box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrova::win32 {
namespace {

TEST(ShownReport, CutsOnlyLongLinesAndWholeReportRestoresThemInOrder) {
    const std::wstring longA(kLongestShownLine + 1, L'a');
    const std::wstring longB(kLongestShownLine + 5, L'b');
    const std::wstring fits(kLongestShownLine, L'c');
    const std::wstring report = L"x\r\n" + longA + L"\r\n" + fits + L"\r\n" + longB;
    std::vector<CutLine> cut;
    const std::wstring shown = ShownReport(report, cut);
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut[0].whole, longA);
    EXPECT_EQ(cut[1].whole, longB);
    EXPECT_NE(shown.find(L"\r\n" + fits + L"\r\n"), std::wstring::npos);
    EXPECT_EQ(WholeReport(shown, cut), report);
    // Without the first shortened line, the second is still found.
    const std::wstring withoutFirst = L"x\r\n" + fits + L"\r\n" + cut[1].shown;
    EXPECT_EQ(WholeReport(withoutFirst, cut), L"x\r\n" + fits + L"\r\n" + longB);
    // A character is never split.
    std::wstring pair(kLongestShownLine + 10, L'd');
    pair[kLongestShownLine - 1] = 0xD83C;
    pair[kLongestShownLine] = 0xDFAC;
    ShownReport(pair, cut);
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].shown.substr(0, kLongestShownLine),
              pair.substr(0, kLongestShownLine - 1) + L" ");
}

} // namespace
} // namespace kestrova::win32
