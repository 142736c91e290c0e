#include "check/report_text.h"

namespace kestrova {

void ReportText::appendLine(std::string_view line) {
    text_ += "\r\n";
    text_ += line;
}

void ReportText::appendLineBreak() { text_ += "\r\n"; }

} // namespace kestrova
