#pragma once
// The report as it is being written. Every line goes in behind a CR LF, so the report always
// begins with CR LF and ends with its last line.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace kestrova {

class ReportText {
public:
    // Far beyond any real project's report (a million items give some 70 MiB), but a document
    // of nameless scrapped layers makes each layer line longer than the one before, so the
    // report would grow with the square of the layer count.
    static constexpr std::size_t kLimit = std::size_t{256} << 20;

    // Both throw DocumentProblem when the report would pass kLimit.
    void appendLine(std::string_view line);
    void appendLineBreak();
    // Makes room for `more` characters at once, within kLimit.
    void reserve(std::size_t more);
    // The line that ends a stopped check goes in whatever the size, so that the report always
    // says why it ends.
    void appendStopLine(std::string_view line);
    const std::string& text() const { return text_; }
    // Hands the text over whole, without a copy; the report is empty afterwards.
    std::string take() { return std::exchange(text_, std::string()); }

private:
    void makeRoom(std::size_t more) const;

    std::string text_;
};

} // namespace kestrova
