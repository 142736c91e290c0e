#include "check/findings.h"

#include "check/check_failure.h"
#include "check/report_lines.h"

namespace kestrova {

void Findings::reach(CheckStage stage) {
    PieceCount size;
    if (stage == CheckStage::Surveying)
        report_lines::SurveyOpening(size, result_.file);
    else if (stage == CheckStage::Scanning)
        report_lines::LineBreak(size);
    count(size.size());
    result_.reached = stage;
}

void Findings::layer(LayerFound found) {
    PieceCount size;
    report_lines::Line(size, found.line);
    count(size.size());
    result_.layers.push_back(std::move(found));
}

void Findings::warning(const LengthWarning& found) {
    PieceCount size;
    report_lines::WarningLine(size, found);
    count(size.size());
    result_.warnings.push_back(found);
}

void Findings::gap(const GapFound& found) {
    PieceCount size;
    report_lines::GapLine(size, found);
    count(size.size());
    result_.gaps.push_back(found);
}

void Findings::item(const ItemFound& found) {
    if (keepItems_)
        result_.items.push_back(found);
}

void Findings::noErrorsFound() {
    PieceCount size;
    report_lines::Line(size, report_line::kNoErrors);
    count(size.size());
}

void Findings::count(std::size_t characters) {
    if (characters > kReportLimit - reportSize_)
        throw DocumentProblem("its report would grow beyond " + std::to_string(kReportLimit >> 20) +
                              " MiB, far more than any real project gives");
    reportSize_ += characters;
}

} // namespace kestrova
