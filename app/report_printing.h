#pragma once
// File > Print, written once for every window: the line loop that lays the report out on paper
// and the messages of a print that cannot be made. Each toolkit only draws the pages.
//
// The paper shows two empty lines, then every report line in order, each indented by ten
// spaces, in bold "Courier New" at 10 points, inside the same margins on every page. Only CR LF
// separates report lines; a lone CR or LF stays inside its line. A line wider than the paper goes
// on in the next printed lines, with the same indent, broken at a space where there is one. Tabs
// are expanded to stops every 8 columns, counted from the report line's own first character, so the
// columns line up as they do without the indent.

#include "app/shell_seams.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

inline constexpr const char* kNothingToPrint = "Nothing to print!";
inline constexpr const char* kNoDefaultPrinter =
    "There is no default printer, so the report cannot be printed.";
inline constexpr const char* kPrinterRefused = "The printer did not accept the print job.";
inline constexpr const char* kPrintingFailed =
    "Printing stopped because of a printer error. The print job was abandoned.";
inline constexpr const char* kPrintFace = "Courier New";
inline constexpr int kPrintPoints = 10;
inline constexpr int kPrintIndent = 10;
inline constexpr int kTabWidth = 8;
// A print of more pages than this shows its progress and can be cancelled.
inline constexpr int kPagesWithoutProgress = 3;
// The margin on every side of every page, in twips (half an inch), kept clear of print.
inline constexpr int kPageMarginTwips = 720;

// A printer's sheet, in the printer's device units.
struct PrintSheet {
    double width = 0; // the whole sheet
    double height = 0;
    double printableLeft = 0; // the part of it the printer can print on
    double printableTop = 0;
    double printableWidth = 0;
    double printableHeight = 0;
    double dotsPerInchX = 0;
    double dotsPerInchY = 0;
};

// Where the lines of a page go: the top left of the first line, in device units from the top
// left of the printable area (where a printer's drawing starts), and how many characters fit
// across and lines down.
struct PageLayout {
    double left = 0;
    double top = 0;
    int columns = 1;
    int linesPerPage = 1;
};

// The page of every print, in every window: kPageMarginTwips clear from each edge of the sheet,
// or up to the edge of the printable area where that lies further in. `advance` is the width
// the print font's widest character takes in a line and `lineSpacing` the distance from line to
// line, both in device units: no character reaches past the right margin and no line below the
// bottom one.
PageLayout LayOutPage(const PrintSheet& sheet, double advance, double lineSpacing);

// One print job's pages, drawn by a toolkit in the print font (kPrintFace, bold, kPrintPoints).
class PrintPages {
public:
    virtual ~PrintPages() = default;
    // Characters of the print font across the page, and lines down it, as LayOutPage gives.
    virtual int columns() const = 0;
    virtual int linesPerPage() const = 0;
    // Draws a line (UTF-8, tabs already expanded) on the given row of the current page, the
    // first row at the layout's top left.
    virtual void drawLine(int row, std::string_view text) = 0;
    // Starts the next page; false when the printer failed.
    virtual bool newPage() = 0;
    // The printer reported an error since the job started.
    virtual bool failed() const = 0;
    // Ends the document and hands the job to the printer; false when that failed.
    virtual bool finish() = 0;
    // Discards the job: nothing of it is printed.
    virtual void abandon() = 0;
};

// The default printer, for one print.
class Printer {
public:
    virtual ~Printer() = default;
    // Why the printer cannot take a job now; empty when it can.
    virtual std::string refusalBeforePrinting() { return {}; }
    // Opens a job of that name; nothing when the printer refuses it.
    virtual std::unique_ptr<PrintPages> startJob(const std::string& jobName) = 0;
    // Follows the finished job until the printer has taken it; what went wrong, or empty.
    virtual std::string deliver() { return {}; }
};

class PrinterSource {
public:
    virtual ~PrinterSource() = default;
    // Nothing when the system has no default printer.
    virtual std::unique_ptr<Printer> defaultPrinter() = 0;
};

// Told how far a print has got; answers whether to go on.
class PrintProgress {
public:
    virtual ~PrintProgress() = default;
    virtual void start(int pages) = 0;
    // false when the user cancelled the print.
    virtual bool pageDone(int pagesDone) = 0;
};

// The printed lines for a report text, top to bottom: two empty lines, then every report line
// with its indent and its tabs expanded. With `columns` (characters across the page, indent
// included) a longer line goes on in further lines. A character counts as one column.
std::vector<std::string> PrintedLines(const std::string& report, int columns = 0);

enum class PrintResult { Printed, Failed, Cancelled };

// Draws the lines onto the pages, a new page as each fills, and ends the job. When printing
// fails part way or is cancelled the job is abandoned. Progress is shown for more than
// kPagesWithoutProgress pages.
PrintResult PrintLines(PrintPages& pages, const std::string& report, PrintProgress* progress);

// The whole File > Print command on a report text: the empty-box message, the default printer,
// the print under the given job name, and the message for a printer that is missing, refuses,
// fails or does not take the job.
void RunPrintCommand(const std::string& report, const std::string& jobName, PrinterSource& printers,
                     MessageDisplay& messages, PrintProgress* progress = nullptr);

// "Kestrova Checker – <file name>": the print job's name, after the project checked last.
std::string PrintJobName(const std::string& lastProjectFile);

} // namespace kestrova
