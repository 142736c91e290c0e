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

} // namespace kestrova
