#pragma once
// The report's lines, each written once as the pieces it is made of: fixed texts, texts of the
// project, and times. A line is handed to a piece sink, which either writes the pieces or counts
// their size, so that the report's text and its size come from the same definitions.

#include "check/check_result.h"
#include "timefmt/timefmt.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace kestrova {

// The report's fixed texts.
namespace report_line {
inline constexpr std::string_view kHeader = "Reporting on ";
inline constexpr std::string_view kLayers = "Layers:";
inline constexpr std::string_view kZeroLength = "\tWARNING - Zero length item at ";
inline constexpr std::string_view kNegativeLength = "\tWARNING - Negative length item from ";
inline constexpr std::string_view kNegativeLengthTo = " to ";
inline constexpr std::string_view kGapFrom = "Gap on timeline from:  ";
inline constexpr std::string_view kGapTo = "  to:  ";
inline constexpr std::string_view kNoErrors = "No errors found";
inline constexpr std::string_view kNotParsed =
    "There is an error in this file - it may be from an earlier version of Kestrova";
inline constexpr std::string_view kNotParsedFollowUp =
    " - this may not effect the build in Kestrova but stops this program from checking further.";
inline constexpr std::string_view kStopped = "Check stopped: ";
inline constexpr std::string_view kLineBreak = "\r\n";
} // namespace report_line

// Takes the pieces of report lines in order: text() a fixed text or a text of the project,
// time() a time as FormatTime writes it.
template <typename Sink>
concept PieceSink = requires(Sink& sink, std::string_view text, Millis time) {
    sink.text(text);
    sink.time(time);
};

// Counts the characters of the pieces. Throws TimeOverflow for a time FormatTime cannot write.
class PieceCount {
public:
    void text(std::string_view text) { size_ += text.size(); }
    void time(Millis time) { size_ += TimeTextLength(time); }
    std::size_t size() const { return size_; }

private:
    std::size_t size_ = 0;
};

// Appends the pieces to a string. Throws TimeOverflow for a time FormatTime cannot write.
class PieceText {
public:
    explicit PieceText(std::string& out) : out_(out) {}
    void text(std::string_view text) { out_ += text; }
    void time(Millis time) { out_ += FormatTime(time); }

private:
    std::string& out_;
};

// A message from the parser or a stop may span lines; a report line or a finding gives it one,
// with a space for every CR and LF.
inline std::string OneLine(std::string message) {
    std::replace_if(
        message.begin(), message.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return message;
}

namespace report_lines {

// Every line goes in behind a line break: the report begins with CR LF and ends with its last
// line.
template <PieceSink Sink> void Line(Sink& out, std::string_view text) {
    out.text(report_line::kLineBreak);
    out.text(text);
}

template <PieceSink Sink> void LineBreak(Sink& out) {
    out.text(report_line::kLineBreak);
}

// "Reporting on " and the file, then a line break.
template <PieceSink Sink> void Header(Sink& out, std::string_view file) {
    out.text(report_line::kLineBreak);
    out.text(report_line::kHeader);
    out.text(file);
    LineBreak(out);
}

// What stands before the layer lines: the header and "Layers:".
template <PieceSink Sink> void SurveyOpening(Sink& out, std::string_view file) {
    Header(out, file);
    Line(out, report_line::kLayers);
}

// A warning's text, which begins with a tab, without the line breaks around it.
template <PieceSink Sink> void WarningText(Sink& out, const LengthWarning& warning) {
    if (warning.negative()) {
        out.text(report_line::kNegativeLength);
        out.time(warning.start);
        out.text(report_line::kNegativeLengthTo);
        out.time(warning.end);
    } else {
        out.text(report_line::kZeroLength);
        out.time(warning.start);
    }
}

// A warning stands between line breaks, so that an empty line follows it.
template <PieceSink Sink> void WarningLine(Sink& out, const LengthWarning& warning) {
    LineBreak(out);
    WarningText(out, warning);
    LineBreak(out);
}

template <PieceSink Sink> void GapText(Sink& out, const GapFound& gap) {
    out.text(report_line::kGapFrom);
    out.time(gap.from);
    out.text(report_line::kGapTo);
    out.time(gap.to);
}

template <PieceSink Sink> void GapLine(Sink& out, const GapFound& gap) {
    LineBreak(out);
    GapText(out, gap);
}

// The two lines of a document that does not parse.
template <PieceSink Sink> void NotParsedLines(Sink& out) {
    Line(out, report_line::kNotParsed);
    Line(out, report_line::kNotParsedFollowUp);
}

// "Check stopped: " and why, given on one line.
template <PieceSink Sink> void StopLine(Sink& out, std::string_view oneLineMessage) {
    Line(out, report_line::kStopped);
    out.text(oneLineMessage);
}

} // namespace report_lines

} // namespace kestrova
