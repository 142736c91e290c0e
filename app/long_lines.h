#pragma once
// How a report box shows very long lines, the same in every window. A text box lays out a line
// without a space to break at in time that grows with the square of its length, so a report of
// many such lines (a long layer name that nameless layers repeat) would keep the window from
// answering for minutes. The box therefore shows:
//   - a line of up to kLongLine characters whole;
//   - a longer line whole up to kLongestShownLine characters, as long as the long lines shown so
//     far, from the top, have not used up kLongLinesShown characters between them;
//   - any other long line cut, to kLongestShownLine characters or, once that room is used up,
//     to kLongLine, followed by the note of LineCutNote().
// The text the box gives back, and so the printout, stays the exact report.
//
// Lengths count UTF-16 code units, the unit of both toolkits' text boxes.

#include <cstddef>
#include <string>

namespace kestrova {

inline constexpr std::size_t kLongLine = 100;
inline constexpr std::size_t kLongestShownLine = 3000;
inline constexpr std::size_t kLongLinesShown = 30000;

// How much of each line a box shows, line after line from the top of the report.
class LongLineBudget {
public:
    // The characters shown of the next line, which has `length`: all of them, or fewer, when the
    // line is shown cut and followed by the note.
    std::size_t shownLength(std::size_t length);

private:
    std::size_t roomLeft_ = kLongLinesShown;
};

// What follows the shown start of a cut line (UTF-8), naming the line's whole length.
std::string LineCutNote(std::size_t length);

} // namespace kestrova
