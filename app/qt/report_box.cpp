#include "app/qt/report_box.h"

#include "app/long_lines.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVariant>

#include <array>
#include <vector>

namespace kestrova::qt {
namespace {

constexpr char16_t kLineSeparator = 0x2028;
constexpr char16_t kParagraphSeparator = 0x2029;
constexpr char16_t kEscape = 0xE000;
constexpr char16_t kLoneCr = 0xE00D;
// Set on the box's document while some paragraph is shown cut, so the text is read back block
// by block; otherwise the faster raw text will do.
constexpr char kHasCutLines[] = "kestrovaHasCutLines";

// The characters that must not reach the box as themselves, each with the code that follows
// the escape in its place.
struct Escaped {
    char16_t character;
    char16_t code;
};
constexpr std::array<Escaped, 6> kEscaped{{
    {0x2028, 0xE028},
    {0x2029, 0xE029},
    {0xFDD0, 0xE0D0},
    {0xFDD1, 0xE0D1},
    {0xE000, 0xE000},
    {0xE00D, 0xE00E},
}};

// What follows the escape for a character that must not reach the box as itself; 0 for any
// other character.
constexpr char16_t EscapeCode(char16_t c) {
    for (const Escaped& escaped : kEscaped) {
        if (escaped.character == c)
            return escaped.code;
    }
    return 0;
}

// The character an escape code stands for; 0 when the code is not one of ours.
constexpr char16_t EscapedCharacter(char16_t code) {
    for (const Escaped& escaped : kEscaped) {
        if (escaped.code == code)
            return escaped.character;
    }
    return 0;
}

// Characters that pass through both ways unchanged: everything from after CR up to just
// before the line separator, bar the private-use ones we use.
constexpr bool Plain(char16_t c) {
    return c > u'\r' && c < 0x2028 && c != u'\n';
}

} // namespace

QString ReportToDisplay(const std::string& report) {
    const QString text = QString::fromStdString(report);
    const qsizetype length = text.size();
    const QChar* in = text.constData();
    QString display(2 * length, Qt::Uninitialized); // an escape takes two characters at most
    QChar* out = display.data();
    qsizetype n = 0;
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = in[i].unicode();
        if (Plain(c)) {
            out[n++] = c;
        } else if (c == u'\r' && i + 1 < length && in[i + 1] == u'\n') {
            out[n++] = kParagraphSeparator;
            ++i;
        } else if (c == u'\n') {
            out[n++] = kLineSeparator;
        } else if (c == u'\r') {
            out[n++] = kLoneCr;
        } else if (const char16_t code = EscapeCode(c); code != 0) {
            out[n++] = kEscape;
            out[n++] = code;
        } else {
            out[n++] = c;
        }
    }
    display.truncate(n);
    return display;
}

std::string DisplayToReport(const QString& display) {
    const qsizetype length = display.size();
    const QChar* in = display.constData();
    QString text(2 * length, Qt::Uninitialized); // a paragraph break becomes CR LF
    QChar* out = text.data();
    qsizetype n = 0;
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = in[i].unicode();
        if (Plain(c)) {
            out[n++] = c;
        } else if (c == kParagraphSeparator) {
            out[n++] = u'\r';
            out[n++] = u'\n';
        } else if (c == kLineSeparator) {
            out[n++] = u'\n';
        } else if (c == kLoneCr) {
            out[n++] = u'\r';
        } else if (c == kEscape && i + 1 < length && EscapedCharacter(in[i + 1].unicode()) != 0) {
            out[n++] = EscapedCharacter(in[i + 1].unicode());
            ++i;
        } else {
            out[n++] = c; // includes an escape typed by the user that is not one of ours
        }
    }
    text.truncate(n);
    return text.toStdString();
}

namespace {

// A paragraph shown cut keeps its whole display text here, so the report reads back exactly.
class WholeLine final : public QTextBlockUserData {
public:
    WholeLine(QString whole, QString shown) : whole_(std::move(whole)), shown_(std::move(shown)) {}
    // The whole line while the user has not edited the shown part; nothing otherwise.
    const QString* wholeFor(const QString& shownNow) const {
        return shownNow == shown_ ? &whole_ : nullptr;
    }

private:
    QString whole_;
    QString shown_;
};

QString ShownPart(const QString& whole, qsizetype kept) {
    const QChar last = whole[kept - 1];
    if (last.isHighSurrogate() || last.unicode() == kEscape)
        --kept; // never split a character or an escape
    return whole.left(kept) +
           QString::fromStdString(LineCutNote(static_cast<std::size_t>(whole.size())));
}

struct CutLine {
    int paragraph;
    QString whole;
    QString shown;
};

// The display text with every over-long paragraph cut, and the paragraphs that were cut.
QString CutLongLines(const QString& display, std::vector<CutLine>& cut) {
    QString shown;
    qsizetype start = 0;
    int paragraph = 0;
    LongLineBudget budget;
    for (;;) {
        qsizetype end = display.indexOf(QChar(kParagraphSeparator), start);
        const bool last = end < 0;
        if (last)
            end = display.size();
        const auto length = static_cast<std::size_t>(end - start);
        if (const std::size_t kept = budget.shownLength(length); kept < length) {
            if (cut.empty())
                shown = display.left(start);
            CutLine line{paragraph, display.mid(start, end - start), {}};
            line.shown = ShownPart(line.whole, static_cast<qsizetype>(kept));
            shown += line.shown;
            cut.push_back(std::move(line));
        } else if (!cut.empty()) {
            shown += QStringView(display).mid(start, end - start);
        }
        if (last)
            break;
        if (!cut.empty())
            shown += QChar(kParagraphSeparator);
        start = end + 1;
        ++paragraph;
    }
    return cut.empty() ? display : shown;
}

} // namespace

std::string PlainTextReportBox::text() const {
    const QTextDocument* document = box_.document();
    if (!document->property(kHasCutLines).toBool()) {
        // The raw text keeps paragraph and line separators apart and leaves non-breaking
        // spaces alone; toPlainText() would flatten both.
        return DisplayToReport(document->toRawText());
    }
    QString display;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block != document->begin())
            display += QChar(kParagraphSeparator);
        const QString shown = block.text();
        const auto* whole = dynamic_cast<const WholeLine*>(block.userData());
        const QString* wholeLine = whole != nullptr ? whole->wholeFor(shown) : nullptr;
        display += wholeLine != nullptr ? *wholeLine : shown;
    }
    return DisplayToReport(display);
}

void PlainTextReportBox::setText(std::string text) {
    std::vector<CutLine> cut;
    const QString display = CutLongLines(ReportToDisplay(text), cut);
    text.clear();
    text.shrink_to_fit();
    QTextDocument* document = box_.document();
    const QString current = document->toRawText();
    if (!current.isEmpty() && display.size() > current.size() && display.startsWith(current)) {
        // A check run appends line by line; laying out the whole report again for every line
        // would make long reports crawl, so only the new part is added. As with a full
        // replacement, the caret goes to the start and nothing is left to undo.
        const bool undoEnabled = document->isUndoRedoEnabled();
        document->setUndoRedoEnabled(false);
        QTextCursor end(document);
        end.movePosition(QTextCursor::End);
        end.insertText(display.mid(current.size()));
        document->setUndoRedoEnabled(undoEnabled);
        box_.moveCursor(QTextCursor::Start);
    } else {
        box_.setPlainText(display);
        document->setProperty(kHasCutLines, false);
    }
    for (CutLine& line : cut) {
        document->findBlockByNumber(line.paragraph)
            .setUserData(new WholeLine(std::move(line.whole), std::move(line.shown)));
    }
    if (!cut.empty())
        document->setProperty(kHasCutLines, true);
}

} // namespace kestrova::qt
