#pragma once
// The report box lstReports: a multi-line EDIT control holding the report as UTF-16 with CR LF
// line breaks, the form the control itself uses, so the text goes in and comes back unchanged.
//
// A line too long to lay out at once is shown cut with a note, by the shell's rule for long
// lines (app/long_lines.h). The box still gives back the whole line while the user has not
// edited the part that is shown, so printing and every later read see the exact report.
//
// An EDIT control lays out every line of its text as soon as the text is set (under Wine about
// 65 microseconds a line), so a report of 100,000 lines set at once would leave the window blank
// for seconds. A long report therefore goes in by parts: its first kLinesSetAtOnce lines at once,
// so the top of the report is painted straight away, the rest a part at a time whenever the
// window has no other message to handle. The box gives back the whole report at every moment.

#include "app/long_lines.h"
#include "app/shell_seams.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace kestrova::win32 {

// A report line shown cut: the whole line and what the box shows in its place.
struct CutLine {
    std::wstring whole;
    std::wstring shown;
};

// The text the box shows for a report, and the lines that were cut.
std::wstring ShownReport(const std::wstring& report, std::vector<CutLine>& cut);
// The report back from the shown text: each shown cut line, in order, is its whole line again.
std::wstring WholeReport(const std::wstring& shown, const std::vector<CutLine>& cut);

inline constexpr std::size_t kLinesSetAtOnce = 1000;

class EditReportBox final : public ReportBox {
public:
    // Lifts the control's default limit of 32,767 characters, so any report fits whole.
    explicit EditReportBox(HWND edit);
    ~EditReportBox() override;
    EditReportBox(const EditReportBox&) = delete;
    EditReportBox& operator=(const EditReportBox&) = delete;

    std::string text() const override;
    void setText(std::string text) override;

    // The box that holds the report of an EDIT control, or null when it has none: the fill
    // timer's callback, which Windows hands only the control, finds its box this way.
    static EditReportBox* AttachedTo(HWND edit);

private:
    static void CALLBACK FillTimerElapsed(HWND edit, UINT, UINT_PTR timer, DWORD) noexcept;
    void appendNextPart();
    void stopFilling();

    HWND edit_;
    std::vector<CutLine> cut_;
    std::wstring pending_;        // the shown text still to go into the control
    std::size_t pendingFrom_ = 0; // how much of pending_ the control holds already
};

} // namespace kestrova::win32
