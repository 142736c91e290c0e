#include "check/report_text.h"

#include "check/check_failure.h"

#include <algorithm>

namespace kestrova {

void ReportText::appendLine(std::string_view line) {
    makeRoom(2 + line.size());
    text_ += "\r\n";
    text_ += line;
}

void ReportText::appendStopLine(std::string_view line) {
    text_ += "\r\n";
    text_ += line;
}

void ReportText::appendLineBreak() {
    makeRoom(2);
    text_ += "\r\n";
}

void ReportText::reserve(std::size_t more) {
    text_.reserve(text_.size() + std::min(more, kLimit - text_.size()));
}

void ReportText::makeRoom(std::size_t more) const {
    if (more > kLimit - text_.size())
        throw DocumentProblem("its report would grow beyond " + std::to_string(kLimit >> 20) +
                              " MiB, far more than any real project gives");
}

} // namespace kestrova
