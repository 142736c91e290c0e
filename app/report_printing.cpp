#include "app/report_printing.h"

#include "app/app_info.h"
#include "check/file_access.h"
#include "text/utf8.h"

#include <algorithm>
#include <cmath>

namespace kestrova {
namespace {

std::string ExpandTabs(std::string_view line) {
    std::string expanded;
    expanded.reserve(line.size());
    std::size_t column = 0;
    for (const char byte : line) {
        if (byte == '\t') {
            const std::size_t spaces = kTabWidth - column % kTabWidth;
            expanded.append(spaces, ' ');
            column += spaces;
        } else {
            expanded += byte;
            if (text::StartsUtf8Character(byte))
                ++column;
        }
    }
    return expanded;
}

// Where each character of a UTF-8 text starts, and the text's end.
std::vector<std::size_t> CharacterStarts(std::string_view text) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text::StartsUtf8Character(text[i]))
            starts.push_back(i);
    }
    starts.push_back(text.size());
    return starts;
}

// Splits a line into pieces of at most `room` characters, at the last space that lets a piece
// fit (the space itself gives way to the line break), or inside a word that has no space.
std::vector<std::string> FittedPieces(std::string_view line, std::size_t room) {
    const std::vector<std::size_t> at = CharacterStarts(line);
    const std::size_t characters = at.size() - 1;
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (room > 0 && characters - start > room) {
        std::size_t cut = start + room; // the first character that does not fit
        std::size_t next = cut;
        std::size_t text = start; // spaces that open the piece are indentation, not a break
        while (text < cut && line[at[text]] == ' ')
            ++text;
        for (std::size_t space = cut; space > text; --space) {
            if (line[at[space]] == ' ') {
                cut = space;
                next = space + 1;
                break;
            }
        }
        pieces.emplace_back(line.substr(at[start], at[cut] - at[start]));
        start = next;
    }
    pieces.emplace_back(line.substr(at[start]));
    return pieces;
}

void AppendPrintedLine(std::vector<std::string>& lines, std::string_view reportLine, int columns) {
    const std::size_t room =
        columns > 0 ? static_cast<std::size_t>(std::max(1, columns - kPrintIndent)) : 0;
    for (std::string& piece : FittedPieces(ExpandTabs(reportLine), room))
        lines.push_back(std::string(kPrintIndent, ' ') + piece);
}

// How many steps of `step` fit into `room`; a step that fits but for rounding counts.
int StepsThatFit(double room, double step) {
    if (step <= 0)
        return 1;
    return std::max(1, static_cast<int>(std::floor(room / step + 1e-9)));
}

} // namespace

PageLayout LayOutPage(const PrintSheet& sheet, double advance, double lineSpacing) {
    const double marginX = sheet.dotsPerInchX * kPageMarginTwips / 1440;
    const double marginY = sheet.dotsPerInchY * kPageMarginTwips / 1440;
    const double left = std::max(marginX, sheet.printableLeft);
    const double top = std::max(marginY, sheet.printableTop);
    const double right =
        std::min(sheet.width - marginX, sheet.printableLeft + sheet.printableWidth);
    const double bottom =
        std::min(sheet.height - marginY, sheet.printableTop + sheet.printableHeight);
    PageLayout layout;
    layout.left = left - sheet.printableLeft;
    layout.top = top - sheet.printableTop;
    layout.columns = StepsThatFit(right - left, advance);
    layout.linesPerPage = StepsThatFit(bottom - top, lineSpacing);
    return layout;
}

std::vector<std::string> PrintedLines(const std::string& report, int columns) {
    std::vector<std::string> lines{std::string(), std::string()};
    const std::string_view text = report;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string_view::npos;
         start = end + 2)
        AppendPrintedLine(lines, text.substr(start, end - start), columns);
    // What follows the last CR LF is always printed, even when nothing follows it.
    AppendPrintedLine(lines, text.substr(start), columns);
    return lines;
}

PrintResult PrintLines(PrintPages& pages, const std::string& report, PrintProgress* progress) {
    const std::vector<std::string> lines = PrintedLines(report, pages.columns());
    const std::size_t linesPerPage = static_cast<std::size_t>(std::max(1, pages.linesPerPage()));
    const auto pageCount = static_cast<int>((lines.size() + linesPerPage - 1) / linesPerPage);
    if (pageCount <= kPagesWithoutProgress)
        progress = nullptr;
    if (progress != nullptr)
        progress->start(pageCount);

    PrintResult result = PrintResult::Printed;
    int pagesDone = 0;
    std::size_t row = 0;
    for (const std::string& line : lines) {
        if (row == linesPerPage) {
            if (progress != nullptr && !progress->pageDone(++pagesDone)) {
                result = PrintResult::Cancelled;
                break;
            }
            if (!pages.newPage()) {
                result = PrintResult::Failed;
                break;
            }
            row = 0;
        }
        if (!line.empty())
            pages.drawLine(static_cast<int>(row), line);
        ++row;
        if (pages.failed()) {
            result = PrintResult::Failed;
            break;
        }
    }
    if (result == PrintResult::Printed && progress != nullptr && !progress->pageDone(++pagesDone))
        result = PrintResult::Cancelled;
    if (result != PrintResult::Printed) {
        // Leave no half-printed job behind.
        pages.abandon();
        return result;
    }
    return pages.finish() ? PrintResult::Printed : PrintResult::Failed;
}

void RunPrintCommand(const std::string& report, const std::string& jobName, PrinterSource& printers,
                     MessageDisplay& messages, PrintProgress* progress) {
    if (report.empty()) {
        messages.showMessage(kNothingToPrint);
        return;
    }
    const std::unique_ptr<Printer> printer = printers.defaultPrinter();
    if (!printer) {
        messages.showMessage(kNoDefaultPrinter);
        return;
    }
    if (const std::string refusal = printer->refusalBeforePrinting(); !refusal.empty()) {
        messages.showMessage(refusal);
        return;
    }
    std::unique_ptr<PrintPages> pages = printer->startJob(jobName);
    if (!pages) {
        messages.showMessage(kPrinterRefused);
        return;
    }
    const PrintResult result = PrintLines(*pages, report, progress);
    pages.reset();
    if (result == PrintResult::Failed) {
        messages.showMessage(kPrintingFailed);
    } else if (result == PrintResult::Printed) {
        if (const std::string problem = printer->deliver(); !problem.empty())
            messages.showMessage(problem);
    }
}

std::string PrintJobName(const std::string& lastProjectFile) {
    std::string name = kApplicationTitle;
    if (!lastProjectFile.empty())
        name += " \xE2\x80\x93 " + Utf8FromPath(PathFromUtf8(lastProjectFile).filename());
    return name;
}

} // namespace kestrova
