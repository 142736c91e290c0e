#pragma once
// The findings of one check, kept in its result as they are made. The size of the report they
// make is counted as they come, so that a document whose report would grow past all reason is
// stopped where the report would pass the bound, with what came before it kept.

#include "check/check_result.h"

#include <cstddef>

namespace kestrova {

class Findings {
public:
    // Far beyond any real project's report (a million items give some 70 MiB), but a document
    // of nameless scrapped layers makes each layer line longer than the one before, so the
    // report would grow with the square of the layer count.
    static constexpr std::size_t kReportLimit = std::size_t{256} << 20;

    Findings(CheckResult& result, bool keepItems) : result_(result), keepItems_(keepItems) {}

    // The check has written the fixed lines that open this stage: the header and "Layers:" for
    // the survey, the line break after the layer list for the scan.
    void reach(CheckStage stage);
    void layer(LayerFound found);
    // Throws TimeOverflow when a time of the warning cannot be written.
    void warning(const LengthWarning& found);
    void gap(const GapFound& found);
    void reserveGaps(std::size_t count) { result_.gaps.reserve(count); }
    void item(const ItemFound& found);
    // The closing line of a check that found nothing.
    void noErrorsFound();

private:
    // Throws DocumentProblem when the report would pass kReportLimit.
    void count(std::size_t characters);

    CheckResult& result_;
    bool keepItems_;
    std::size_t reportSize_ = 0;
};

// The report's fixed texts, shared with the writer of the report.
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

} // namespace kestrova
