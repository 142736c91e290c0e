#pragma once
// Printing the report on the default printer (File > Print).
//
// The paper shows two empty lines, then every report line in order, each indented by ten
// spaces, in bold "Courier New" at 10 points. Only CR LF separates report lines; a lone CR or
// LF stays inside its line. Lines are never wrapped or cut, however long: what does not fit
// runs off the right edge. Tabs are expanded to stops every 8 columns, counted from the
// report line's own first character, so the columns line up as they do without the indent.

#include "check/platform.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <string>

class QPrinter;

namespace kestrova::app {

inline constexpr const char* kNothingToPrint = "Nothing to print!";
inline constexpr const char* kNoDefaultPrinter =
    "There is no default printer, so the report cannot be printed.";
inline constexpr const char* kPrinterRefused = "The printer did not accept the print job.";
inline constexpr const char* kPrintingFailed =
    "Printing stopped because of a printer error. The print job was abandoned.";
inline constexpr int kPrintIndent = 10;
inline constexpr int kTabWidth = 8;

// Where the report is printed: the default printer, or none when there is no printer.
class PrinterSource {
public:
    virtual ~PrinterSource() = default;
    virtual std::unique_ptr<QPrinter> defaultPrinter() = 0;
};

// The system's default printer.
class SystemPrinters final : public PrinterSource {
public:
    std::unique_ptr<QPrinter> defaultPrinter() override;
};

// The printed lines for a report text, top to bottom: two empty lines, then every report line
// with its indent and its tabs expanded.
QStringList PrintedLines(const std::string& report);

enum class PrintResult { Printed, Refused, Failed };

// Prints a non-empty report on the printer and ends the job. When the printer refuses the job
// nothing is left open; when printing fails part way the job is aborted and closed.
PrintResult PrintReport(QPrinter& printer, const std::string& report);

// The whole File > Print command on a report text: the empty-box message, the default printer,
// the print, and the message for a printer that is missing, refuses or fails.
void PrintReportCommand(const std::string& report, PrinterSource& printers,
                        MessageDisplay& messages);

} // namespace kestrova::app
