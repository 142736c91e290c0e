#pragma once
// The report box lstReports as the check run and printing see it: one text, read and replaced
// as a whole. The box itself is the only home of the text.
//
// The box shows lines as paragraphs, so the report's line breaks are translated on the way in
// and back on the way out:
//   CR LF          <-> paragraph break (what Enter makes when the user types)
//   lone LF        <-> line separator U+2028 (a break inside the paragraph; layer names may
//                      hold line feeds)
//   lone CR        <-> private-use U+E00D (kept in place inside its line)
// The few characters that would otherwise be taken for one of these (U+2028, U+2029, the
// document's frame marks U+FDD0 and U+FDD1, and the private-use U+E000 and U+E00D) are kept
// behind the private-use escape U+E000, so every text comes back exactly as it was set.
//
// A line too long to lay out at once is shown cut to its start with a note, by the shell's
// rule for long lines (app/long_lines.h); the box still gives back the whole line unless the
// user edits the part that is shown.

#include "app/shell_seams.h"

#include <QString>

#include <string>

class QPlainTextEdit;

namespace kestrova::qt {

// The report text as the box holds it, and back.
QString ReportToDisplay(const std::string& report);
std::string DisplayToReport(const QString& display);

// Holds nothing of its own: what it needs to give the report back (the whole text of each cut
// line, and whether there is one) stays with the box's document, so every adapter of the same
// box reads the same report.
class PlainTextReportBox final : public ReportBox {
public:
    explicit PlainTextReportBox(QPlainTextEdit& box) : box_(box) {}

    std::string text() const override;
    void setText(std::string text) override;

private:
    QPlainTextEdit& box_;
};

} // namespace kestrova::qt
