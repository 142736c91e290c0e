#include "app/win32/report_box.h"

#include "check/wide_text.h"

#include <string_view>

namespace kestrova::win32 {
namespace {

constexpr std::wstring_view kLineBreak = L"\r\n";

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
}

std::string EditReportBox::text() const {
    const int length = GetWindowTextLengthW(edit_);
    std::wstring shown(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(edit_, shown.data(), length + 1);
    shown.resize(static_cast<std::size_t>(copied));
    return Utf8(WholeReport(shown, cut_));
}

void EditReportBox::setText(std::string text) {
    std::wstring report = Wide(text);
    text.clear();
    text.shrink_to_fit();
    std::vector<CutLine> cut;
    const std::wstring shown = ShownReport(report, cut);
    report.clear();
    SetWindowTextW(edit_, shown.c_str());
    cut_ = std::move(cut);
    // As after any replacement, the caret is at the start and nothing is left to undo.
    SendMessageW(edit_, EM_SETSEL, 0, 0);
    SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
    SendMessageW(edit_, EM_EMPTYUNDOBUFFER, 0, 0);
}

} // namespace kestrova::win32
