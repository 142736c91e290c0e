// How much of each report line a box shows: short lines whole, long ones while the room for
// long lines lasts, the rest cut.

#include "app/long_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrova {
namespace {

using Lengths = std::vector<std::size_t>;

Lengths Shown(const Lengths& lines) {
    LongLineBudget budget;
    Lengths shown;
    for (const std::size_t length : lines)
        shown.push_back(budget.shownLength(length));
    return shown;
}

TEST(LongLineBudget, ShowsShortLinesWholeAndLongOnesWhileTheirRoomLasts) {
    const std::size_t lines = kLongLinesShown / kLongestShownLine; // long lines that fit the room
    const struct {
        const char* name;
        Lengths report;
        Lengths shown;
    } cases[] = {
        {"short lines", {0, 60, kLongLine}, {0, 60, kLongLine}},
        {"one line over the longest", {kLongestShownLine + 1}, {kLongestShownLine}},
        {"a huge line", {1u << 24}, {kLongestShownLine}},
        {"room used up exactly", Lengths(lines, kLongestShownLine),
         Lengths(lines, kLongestShownLine)},
        {"after the room", Lengths(lines + 2, kLongestShownLine - 1),
         [&] {
             Lengths shown(lines + 2, kLongestShownLine - 1);
             shown[lines] = kLongLine; // too little room is left for a whole one
             shown[lines + 1] = kLongLine;
             return shown;
         }()},
        {"a line cut to what is left of the room",
         [&] {
             Lengths report(lines - 1, kLongestShownLine);
             report.insert(report.end(), {kLongestShownLine - 2 * kLongLine, kLongestShownLine,
                                          kLongestShownLine});
             return report;
         }(),
         [&] {
             Lengths shown(lines - 1, kLongestShownLine);
             shown.insert(shown.end(),
                          {kLongestShownLine - 2 * kLongLine, 2 * kLongLine, kLongLine});
             return shown;
         }()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Shown(c.report), c.shown) << c.name;

    // Short lines never use the room, whatever their number.
    Lengths many(100000, kLongLine);
    many.push_back(kLongestShownLine);
    EXPECT_EQ(Shown(many).back(), kLongestShownLine);
}

// The case that froze a window: thousands of lines just under the longest shown length.
TEST(LongLineBudget, KeepsWhatABoxShowsOfManyLongLinesSmall) {
    LongLineBudget budget;
    std::size_t shown = 0;
    for (int i = 0; i < 3000; ++i)
        shown += budget.shownLength(4990);
    EXPECT_LE(shown, kLongLinesShown + 3000 * kLongLine);
}

TEST(LineCutNote, NamesTheWholeLength) {
    EXPECT_EQ(LineCutNote(1048576), " \xE2\x80\xA6 [line shortened on screen: 1048576 characters "
                                    "in all; printing prints it whole]");
}

} // namespace
} // namespace kestrova
