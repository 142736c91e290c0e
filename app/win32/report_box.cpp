#include "app/win32/report_box.h"

#include "check/wide_text.h"

#include <string_view>

namespace kestrova::win32 {
namespace {

constexpr std::wstring_view kLineBreak = L"\r\n";

// The later parts of a long report, one each time the window is idle. Each part appended costs
// the control work that grows with the text it holds already, so parts are not made smaller than
// this; under Wine one such part keeps the window from answering for about 80 ms.
constexpr std::size_t kLinesPerPart = 1000;
constexpr UINT_PTR kFillTimer = 1;
constexpr wchar_t kBoxProperty[] = L"Kestrova.ReportBox";

// Where the `lines`-th line break after `from` starts (a break at `from` itself not counted), or
// the text's end when it has fewer. A part that ends there leaves the break to start the next
// part, so the control never holds half of a CR LF and every part adds at least one line.
std::size_t EndOfLines(std::wstring_view text, std::size_t from, std::size_t lines) {
    std::size_t end = from;
    for (std::size_t line = 0; line < lines; ++line) {
        end = text.find(kLineBreak, end + 1);
        if (end == std::wstring_view::npos)
            return text.size();
    }
    return end;
}

bool HighSurrogate(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

std::wstring ShownPart(const std::wstring& whole, std::size_t kept) {
    if (HighSurrogate(whole[kept - 1]))
        --kept; // never split a character
    return whole.substr(0, kept) + Wide(LineCutNote(whole.size()));
}

// Calls visit(line) for every line of the text, CR LF being the only line break.
template <typename Visit> void ForEachLine(std::wstring_view text, Visit visit) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(kLineBreak, start);
        if (end == std::wstring_view::npos) {
            visit(text.substr(start), true);
            return;
        }
        visit(text.substr(start, end - start), false);
        start = end + kLineBreak.size();
    }
}

} // namespace

std::wstring ShownReport(const std::wstring& report, std::vector<CutLine>& cut) {
    cut.clear();
    bool anyCut = false;
    LongLineBudget firstPass;
    ForEachLine(report, [&](std::wstring_view line, bool) {
        anyCut = anyCut || firstPass.shownLength(line.size()) < line.size();
    });
    if (!anyCut)
        return report;
    std::wstring shown;
    LongLineBudget budget;
    ForEachLine(report, [&](std::wstring_view line, bool last) {
        if (const std::size_t kept = budget.shownLength(line.size()); kept < line.size()) {
            CutLine c{std::wstring(line), {}};
            c.shown = ShownPart(c.whole, kept);
            shown += c.shown;
            cut.push_back(std::move(c));
        } else {
            shown += line;
        }
        if (!last)
            shown += kLineBreak;
    });
    return shown;
}

std::wstring WholeReport(const std::wstring& shown, const std::vector<CutLine>& cut) {
    if (cut.empty())
        return shown;
    std::wstring whole;
    std::size_t next = 0; // the first cut line not yet found
    ForEachLine(shown, [&](std::wstring_view line, bool last) {
        std::size_t found = next;
        while (found < cut.size() && cut[found].shown != line)
            ++found;
        if (found < cut.size()) {
            whole += cut[found].whole;
            next = found + 1;
        } else {
            whole += line; // an ordinary line, or a cut one the user has edited
        }
        if (!last)
            whole += kLineBreak;
    });
    return whole;
}

EditReportBox::EditReportBox(HWND edit) : edit_(edit) {
    SendMessageW(edit_, EM_SETLIMITTEXT, 0, 0); // 0: as much as the system allows
    SetPropW(edit_, kBoxProperty, this);
}

EditReportBox::~EditReportBox() {
    stopFilling();
    RemovePropW(edit_, kBoxProperty);
}

EditReportBox* EditReportBox::AttachedTo(HWND edit) {
    return static_cast<EditReportBox*>(GetPropW(edit, kBoxProperty));
}

std::string EditReportBox::text() const {
    const int length = GetWindowTextLengthW(edit_);
    std::wstring shown(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(edit_, shown.data(), length + 1);
    shown.resize(static_cast<std::size_t>(copied));
    shown.append(pending_, pendingFrom_);
    return Utf8(WholeReport(shown, cut_));
}

void EditReportBox::setText(std::string text) {
    stopFilling();
    std::wstring report = Wide(text);
    text.clear();
    text.shrink_to_fit();
    std::vector<CutLine> cut;
    std::wstring shown = ShownReport(report, cut);
    report.clear();
    report.shrink_to_fit();
    const std::size_t firstPart = EndOfLines(shown, 0, kLinesSetAtOnce);
    std::wstring rest = shown.substr(firstPart);
    shown.resize(firstPart);
    SetWindowTextW(edit_, shown.c_str());
    cut_ = std::move(cut);
    // As after any replacement, the caret is at the start and nothing is left to undo.
    SendMessageW(edit_, EM_SETSEL, 0, 0);
    SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
    SendMessageW(edit_, EM_EMPTYUNDOBUFFER, 0, 0);
    if (rest.empty())
        return;
    pending_ = std::move(rest);
    if (SetTimer(edit_, kFillTimer, USER_TIMER_MINIMUM, &FillTimerElapsed) == 0) {
        // Without a timer the rest goes in now: slower to show, but the box is whole.
        while (pendingFrom_ < pending_.size())
            appendNextPart();
        stopFilling();
    }
}

void CALLBACK EditReportBox::FillTimerElapsed(HWND edit, UINT, UINT_PTR timer, DWORD) noexcept {
    EditReportBox* box = AttachedTo(edit);
    if (box == nullptr) {
        KillTimer(edit, timer);
        return;
    }
    try {
        box->appendNextPart();
        if (box->pendingFrom_ >= box->pending_.size())
            box->stopFilling();
    } catch (...) {
        // Out of memory: the control keeps what it shows; text() still gives the whole report.
        KillTimer(edit, timer);
    }
}

// Appends the next part at the end of the control, leaving the user's selection and view as
// they were, and repaints once.
void EditReportBox::appendNextPart() {
    DWORD selectionStart = 0;
    DWORD selectionEnd = 0;
    SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&selectionStart),
                 reinterpret_cast<LPARAM>(&selectionEnd));
    const LRESULT firstVisible = SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0);
    SendMessageW(edit_, WM_SETREDRAW, FALSE, 0);
    const std::size_t end = EndOfLines(pending_, pendingFrom_, kLinesPerPart);
    const std::wstring part = pending_.substr(pendingFrom_, end - pendingFrom_);
    const int length = GetWindowTextLengthW(edit_);
    SendMessageW(edit_, EM_SETSEL, static_cast<WPARAM>(length), length);
    SendMessageW(edit_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(part.c_str()));
    pendingFrom_ = end;
    SendMessageW(edit_, EM_SETSEL, selectionStart, selectionEnd);
    const LRESULT nowVisible = SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0);
    SendMessageW(edit_, EM_LINESCROLL, 0, firstVisible - nowVisible);
    SendMessageW(edit_, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(edit_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}

void EditReportBox::stopFilling() {
    KillTimer(edit_, kFillTimer);
    pending_.clear();
    pending_.shrink_to_fit();
    pendingFrom_ = 0;
}

} // namespace kestrova::win32
