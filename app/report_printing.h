#pragma once
// Printing the report on the default printer (File > Print).
//
// The paper shows two empty lines, then every report line in order, each indented by ten
// spaces, in bold "Courier New" at 10 points. Only CR LF separates report lines; a lone CR or
// LF stays inside its line. A line wider than the paper goes on in the next printed lines, with
// the same indent, broken at a space where there is one. Tabs are expanded to stops every 8
// columns, counted from the report line's own first character, so the columns line up as they
// do without the indent.
//
// Where the platform has CUPS, the queue is asked first whether it takes jobs, and the job is
// followed until the queue has taken it; anything else is told to the user.

#include "app/print_queues.h"
#include "check/platform.h"

#include <QProgressDialog>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <string>

class QPrinter;

class QWidget;

namespace kestrova::app {

inline constexpr const char* kNothingToPrint = "Nothing to print!";
inline constexpr const char* kNoDefaultPrinter =
    "There is no default printer, so the report cannot be printed.";
inline constexpr const char* kPrinterRefused = "The printer did not accept the print job.";
inline constexpr const char* kPrintingFailed =
    "Printing stopped because of a printer error. The print job was abandoned.";
inline constexpr int kPrintIndent = 10;
inline constexpr int kTabWidth = 8;
// A print of more pages than this shows its progress and can be cancelled.
inline constexpr int kPagesWithoutProgress = 3;

// Where the report is printed: the default printer, or none when there is no printer.
class PrinterSource {
public:
    virtual ~PrinterSource() = default;
    virtual std::unique_ptr<QPrinter> defaultPrinter() = 0;
    // Why the default printer cannot take a job now; empty when it can.
    virtual std::string refusalBeforePrinting() { return {}; }
    // Hands the finished document over and follows it until the printer has taken it; what
    // went wrong, or empty.
    virtual std::string deliver(QPrinter&) { return {}; }
};

// The system's default printer; through its CUPS queue where the platform has CUPS.
class SystemPrinters final : public PrinterSource {
public:
    explicit SystemPrinters(PrintQueues* queues = PlatformPrintQueues()) : queues_(queues) {}
    std::unique_ptr<QPrinter> defaultPrinter() override;
    std::string refusalBeforePrinting() override;
    std::string deliver(QPrinter& printer) override;

private:
    PrintQueues* queues_;
    std::string queue_;
    std::optional<QTemporaryDir> spool_; // the document until it is handed to the queue
};

// Told how far a print has got; answers whether to go on.
class PrintProgress {
public:
    virtual ~PrintProgress() = default;
    virtual void start(int pages) = 0;
    // false when the user cancelled the print.
    virtual bool pageDone(int pagesDone) = 0;
};

// A progress dialog with Cancel, shown for prints of more than kPagesWithoutProgress pages.
class PrintProgressDialog final : public PrintProgress {
public:
    explicit PrintProgressDialog(QWidget* owner) : owner_(owner) {}
    ~PrintProgressDialog() override;
    void start(int pages) override;
    bool pageDone(int pagesDone) override;

private:
    QWidget* owner_;
    std::unique_ptr<QProgressDialog> dialog_;
};

// The printed lines for a report text, top to bottom: two empty lines, then every report line
// with its indent and its tabs expanded. With `columns` (characters across the page, indent
// included) a longer line goes on in further lines.
QStringList PrintedLines(const std::string& report, int columns = 0);

enum class PrintResult { Printed, Refused, Failed, Cancelled };

// Prints a non-empty report on the printer and ends the job. When the printer refuses the job
// nothing is left open; when printing fails part way or is cancelled the job is aborted.
PrintResult PrintReport(QPrinter& printer, const std::string& report,
                        PrintProgress* progress = nullptr);

// The whole File > Print command on a report text: the empty-box message, the default printer,
// the print under the given job name, and the message for a printer that is missing, refuses,
// fails or does not take the job.
void PrintReportCommand(const std::string& report, const QString& jobName, PrinterSource& printers,
                        MessageDisplay& messages, PrintProgress* progress = nullptr);

} // namespace kestrova::app
