#include "check/findings.h"

#include "check/check_failure.h"

namespace kestrova {

void Findings::reach(CheckStage stage) {
    using namespace report_line;
    if (stage == CheckStage::Surveying)
        count(kLineBreak.size() + kHeader.size() + result_.file.size() + kLineBreak.size() +
              kLineBreak.size() + kLayers.size());
    else if (stage == CheckStage::Scanning)
        count(kLineBreak.size());
    result_.reached = stage;
}

void Findings::layer(LayerFound found) {
    count(report_line::kLineBreak.size() + found.line.size());
    result_.layers.push_back(std::move(found));
}

void Findings::warning(const LengthWarning& found) {
    using namespace report_line;
    std::size_t size = kLineBreak.size() + TimeTextLength(found.start) + kLineBreak.size();
    if (found.negative())
        size += kNegativeLength.size() + kNegativeLengthTo.size() + TimeTextLength(found.end);
    else
        size += kZeroLength.size();
    count(size);
    result_.warnings.push_back(found);
}

void Findings::gap(const GapFound& found) {
    using namespace report_line;
    count(kLineBreak.size() + kGapFrom.size() + TimeTextLength(found.from) + kGapTo.size() +
          TimeTextLength(found.to));
    result_.gaps.push_back(found);
}

void Findings::item(const ItemFound& found) {
    if (keepItems_)
        result_.items.push_back(found);
}

void Findings::noErrorsFound() {
    count(report_line::kLineBreak.size() + report_line::kNoErrors.size());
}

void Findings::count(std::size_t characters) {
    if (characters > kReportLimit - reportSize_)
        throw DocumentProblem("its report would grow beyond " + std::to_string(kReportLimit >> 20) +
                              " MiB, far more than any real project gives");
    reportSize_ += characters;
}

} // namespace kestrova
