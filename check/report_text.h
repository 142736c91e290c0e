#pragma once
// The report as it is being written. Every line goes in behind a CR LF, so the report always
// begins with CR LF and ends with its last line.

#include <string>
#include <string_view>

namespace kestrova {

class ReportText {
public:
    void appendLine(std::string_view line);
    void appendLineBreak();
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

} // namespace kestrova
