#include "app/report_printing.h"

#include "about/app_info.h"

#include <QApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QThread>

#include <algorithm>
#include <chrono>

namespace kestrova::app {
namespace {

QString ExpandTabs(const QString& line) {
    QString expanded;
    expanded.reserve(line.size());
    int column = 0;
    for (const QChar c : line) {
        if (c == u'\t') {
            const int spaces = kTabWidth - column % kTabWidth;
            expanded.append(QString(spaces, u' '));
            column += spaces;
        } else {
            expanded.append(c);
            if (!c.isLowSurrogate()) {
                ++column; // a character outside the basic plane takes one column, not two
            }
        }
    }
    return expanded;
}

// Splits a line into pieces of at most `room` characters, at the last space that lets a piece
// fit (the space itself gives way to the line break), or inside a word that has no space.
QStringList FittedPieces(const QString& line, qsizetype room) {
    QStringList pieces;
    qsizetype start = 0;
    while (room > 0 && line.size() - start > room) {
        qsizetype cut = start + room; // the first character that does not fit
        qsizetype next = cut;
        const qsizetype space = line.lastIndexOf(u' ', cut);
        qsizetype text = start; // spaces that open the piece are indentation, not a break
        while (text < cut && line[text] == u' ') {
            ++text;
        }
        if (space > text) {
            cut = space;
            next = space + 1;
        } else if (line[cut].isLowSurrogate() && cut - 1 > start) {
            next = --cut; // a character outside the basic plane stays whole
        }
        pieces.append(line.mid(start, cut - start));
        start = next;
    }
    pieces.append(line.mid(start));
    return pieces;
}

void AppendPrintedLine(QStringList& lines, const std::string& reportLine, int columns) {
    const qsizetype room = columns > 0 ? std::max(1, columns - kPrintIndent) : 0;
    for (const QString& piece : FittedPieces(ExpandTabs(QString::fromStdString(reportLine)), room))
        lines.append(QString(kPrintIndent, u' ') + piece);
}

QFont PrintFont() {
    // Face, bold, size: set in this order on every print.
    QFont font;
    font.setFamilies({QStringLiteral("Courier New")});
    font.setStyleHint(QFont::TypeWriter); // a fixed-pitch stand-in where Courier New is missing
    font.setBold(true);
    font.setPointSizeF(10.0);
    return font;
}

bool PrinterInError(const QPrinter& printer) {
    return printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted;
}

// A PDF printer whose file lives in a folder of its own, removed with the printer.
class SpooledPrinter final : public QPrinter {
public:
    SpooledPrinter() : QPrinter(QPrinter::HighResolution) {
        setOutputFormat(QPrinter::PdfFormat);
        setOutputFileName(spool_.isValid() ? spool_.filePath(QStringLiteral("report.pdf"))
                                           : QString());
    }

private:
    QTemporaryDir spool_;
};

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Follows a job until its queue has taken it: completed, or processing for a while, or still
// waiting its turn after longer; or until the queue held, stopped, cancelled or aborted it.
std::string FollowJob(PrintQueues& queues, const std::string& queue, int job) {
    using Clock = std::chrono::steady_clock;
    constexpr auto kProcessingTaken = std::chrono::seconds(2);
    constexpr auto kQueuedTaken = std::chrono::seconds(10);
    const WaitCursor waiting;
    const std::string printer = "the printer \"" + queue + "\"";
    const Clock::time_point start = Clock::now();
    std::optional<Clock::time_point> processingSince;
    for (;;) {
        const Clock::time_point now = Clock::now();
        switch (queues.jobState(job)) {
        case JobState::Completed:
        case JobState::Unknown: // no longer known to the queue: it was done with it
            return {};
        case JobState::Held:
            return "The print job is held in the queue of " + printer +
                   " and will not print until it is released.";
        case JobState::Stopped:
            return "The print job stopped on " + printer + "; the report has not been printed.";
        case JobState::Cancelled:
            return "The print job was cancelled on " + printer + "; the report was not printed.";
        case JobState::Aborted:
            return "The print job failed on " + printer +
                   " and was aborted; the report was not printed.";
        case JobState::Processing:
            if (!processingSince) {
                processingSince = now;
            } else if (now - *processingSince >= kProcessingTaken) {
                return {};
            }
            break;
        case JobState::Pending:
            break;
        }
        if (now - start >= kQueuedTaken) {
            return {};
        }
        QThread::msleep(100);
    }
}

} // namespace

PrintProgressDialog::~PrintProgressDialog() = default;

void PrintProgressDialog::start(int pages) {
    dialog_ = std::make_unique<QProgressDialog>(owner_);
    dialog_->setWindowTitle(QString::fromUtf8(kApplicationTitle));
    dialog_->setWindowModality(Qt::ApplicationModal);
    dialog_->setMinimumDuration(0);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setRange(0, pages);
    pageDone(0);
}

bool PrintProgressDialog::pageDone(int pagesDone) {
    dialog_->setLabelText(QStringLiteral("Printing the report: %1 of %2 pages done")
                              .arg(pagesDone)
                              .arg(dialog_->maximum()));
    dialog_->setValue(pagesDone); // lets the dialog take a click on Cancel
    return !dialog_->wasCanceled();
}

std::unique_ptr<QPrinter> SystemPrinters::defaultPrinter() {
    if (queues_ == nullptr) {
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull()) {
            return nullptr;
        }
        return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    }
    const std::optional<std::string> queue = queues_->defaultQueue();
    if (!queue) {
        return nullptr;
    }
    queue_ = *queue;
    // The document is written to a file of our own and handed to the queue by us, so that the
    // job can be followed; the file goes with the printer.
    auto printer = std::make_unique<SpooledPrinter>();
    const QPrinterInfo info = QPrinterInfo::printerInfo(QString::fromStdString(queue_));
    if (!info.isNull() && info.defaultPageSize().isValid()) {
        printer->setPageSize(info.defaultPageSize());
    }
    return printer;
}

std::string SystemPrinters::refusalBeforePrinting() {
    if (queues_ == nullptr) {
        return {};
    }
    const std::optional<QueueState> state = queues_->queueState(queue_);
    const std::string printer = "The printer \"" + queue_ + "\"";
    if (!state) {
        return printer + " cannot be reached, so the report was not printed.";
    }
    const std::string said = state->message.empty() ? "" : "\r\n(" + state->message + ")";
    if (!state->acceptingJobs) {
        return printer + " is not accepting print jobs, so the report was not printed." + said;
    }
    if (state->stopped) {
        return printer + " is stopped, so the report was not printed." + said;
    }
    return {};
}

std::string SystemPrinters::deliver(QPrinter& printer) {
    if (queues_ == nullptr) {
        return {};
    }
    std::string refusal;
    const int job = queues_->submit(queue_, printer.outputFileName().toStdString(),
                                    printer.docName().toStdString(), refusal);
    if (job == 0) {
        return "The printer \"" + queue_ + "\" refused the print job, so the report was not " +
               "printed:\r\n" + refusal;
    }
    return FollowJob(*queues_, queue_, job);
}

QStringList PrintedLines(const std::string& report, int columns) {
    QStringList lines{QString(), QString()};
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type end = report.find("\r\n", start);
        if (end == std::string::npos) {
            break;
        }
        AppendPrintedLine(lines, report.substr(start, end - start), columns);
        start = end + 2;
    }
    // What follows the last CR LF is always printed, even when nothing follows it.
    AppendPrintedLine(lines, report.substr(start), columns);
    return lines;
}

PrintResult PrintReport(QPrinter& printer, const std::string& report, PrintProgress* progress) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        return PrintResult::Refused;
    }
    painter.setFont(PrintFont());
    const QFontMetricsF metrics(painter.font(), &printer);
    const int columns = static_cast<int>(printer.width() / metrics.horizontalAdvance(u'M'));
    const QStringList lines = PrintedLines(report, columns);
    const qreal lineStep = metrics.lineSpacing();
    const qreal pageHeight = printer.height();
    const auto linesPerPage = std::max<qsizetype>(1, static_cast<qsizetype>(pageHeight / lineStep));
    const auto pages = static_cast<int>((lines.size() + linesPerPage - 1) / linesPerPage);
    if (pages <= kPagesWithoutProgress) {
        progress = nullptr;
    }
    if (progress != nullptr) {
        progress->start(pages);
    }

    PrintResult result = PrintResult::Printed;
    int pagesDone = 0;
    qreal top = 0;
    for (const QString& line : lines) {
        if (top > 0 && top + lineStep > pageHeight) {
            if (progress != nullptr && !progress->pageDone(++pagesDone)) {
                result = PrintResult::Cancelled;
                break;
            }
            if (!printer.newPage()) {
                result = PrintResult::Failed;
                break;
            }
            top = 0;
        }
        if (!line.isEmpty()) {
            painter.drawText(QPointF(0, top + metrics.ascent()), line);
        }
        top += lineStep;
        if (PrinterInError(printer)) {
            result = PrintResult::Failed;
            break;
        }
    }
    if (result == PrintResult::Printed && progress != nullptr && !progress->pageDone(++pagesDone)) {
        result = PrintResult::Cancelled;
    }

    if (result != PrintResult::Printed) {
        // Leave no half-printed job behind.
        printer.abort();
        painter.end();
        return result;
    }
    if (!painter.end() || PrinterInError(printer)) {
        return PrintResult::Failed;
    }
    return PrintResult::Printed;
}

void PrintReportCommand(const std::string& report, const QString& jobName, PrinterSource& printers,
                        MessageDisplay& messages, PrintProgress* progress) {
    if (report.empty()) {
        messages.showMessage(kNothingToPrint);
        return;
    }
    const std::unique_ptr<QPrinter> printer = printers.defaultPrinter();
    if (!printer) {
        messages.showMessage(kNoDefaultPrinter);
        return;
    }
    if (const std::string refusal = printers.refusalBeforePrinting(); !refusal.empty()) {
        messages.showMessage(refusal);
        return;
    }
    printer->setDocName(jobName);
    switch (PrintReport(*printer, report, progress)) {
    case PrintResult::Printed:
        if (const std::string problem = printers.deliver(*printer); !problem.empty()) {
            messages.showMessage(problem);
        }
        break;
    case PrintResult::Cancelled:
        break;
    case PrintResult::Refused:
        messages.showMessage(kPrinterRefused);
        break;
    case PrintResult::Failed:
        messages.showMessage(kPrintingFailed);
        break;
    }
}

} // namespace kestrova::app
