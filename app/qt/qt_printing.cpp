#include "app/qt/qt_printing.h"

#include "app/qt/busy_window.h"

#include "app/app_info.h"
#include "app/printer_messages.h"

#include <QApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>

#include <algorithm>

namespace kestrova::qt {
namespace {

QFont PrintFont() {
    // Face, bold, size: set in this order on every print.
    QFont font;
    font.setFamilies({QString::fromUtf8(kPrintFace)});
    font.setStyleHint(QFont::TypeWriter); // a fixed-pitch stand-in where Courier New is missing
    font.setBold(true);
    font.setPointSizeF(kPrintPoints);
    return font;
}

// The width the widest printable ASCII character takes in a line: the step of every character
// of a fixed-pitch font, and no less than any of a stand-in that is not.
qreal WidestAdvance(const QFontMetricsF& metrics) {
    qreal widest = 0;
    for (char16_t c = u' '; c <= u'~'; ++c)
        widest = std::max(widest, metrics.horizontalAdvance(QChar(c)));
    return widest;
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

namespace {

// The pages of a job: the painter is open from the start of the job to its end.
class QtPrintPages final : public PrintPages {
public:
    explicit QtPrintPages(QPrinter& printer) : printer_(printer) {}

    bool begin() {
        if (!painter_.begin(&printer_))
            return false;
        painter_.setFont(PrintFont());
        const QFontMetricsF metrics(painter_.font(), &printer_);
        ascent_ = metrics.ascent();
        lineStep_ = metrics.lineSpacing();
        const QRectF paper = printer_.paperRect(QPrinter::DevicePixel);
        const QRectF printable = printer_.pageRect(QPrinter::DevicePixel);
        PrintSheet sheet;
        sheet.width = paper.width();
        sheet.height = paper.height();
        sheet.printableLeft = printable.left();
        sheet.printableTop = printable.top();
        sheet.printableWidth = printable.width();
        sheet.printableHeight = printable.height();
        sheet.dotsPerInchX = printer_.logicalDpiX();
        sheet.dotsPerInchY = printer_.logicalDpiY();
        layout_ = LayOutPage(sheet, WidestAdvance(metrics), lineStep_);
        return true;
    }

    int columns() const override { return layout_.columns; }
    int linesPerPage() const override { return layout_.linesPerPage; }
    void drawLine(int row, std::string_view text) override {
        painter_.drawText(QPointF(layout_.left, layout_.top + row * lineStep_ + ascent_),
                          QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    bool newPage() override { return printer_.newPage(); }
    bool failed() const override { return PrinterInError(printer_); }
    bool finish() override { return painter_.end() && !PrinterInError(printer_); }
    void abandon() override {
        printer_.abort();
        painter_.end();
    }

private:
    QPrinter& printer_;
    QPainter painter_;
    qreal ascent_ = 0;
    qreal lineStep_ = 1;
    PageLayout layout_;
};

// The default printer for one print: a QPrinter, and the CUPS queue it prints on when there is
// one (the document is then written to a file of our own and handed to the queue by us, so that
// the job can be followed).
class QtPrinter final : public Printer {
public:
    QtPrinter(std::unique_ptr<QPrinter> printer, PrintQueues* queues, std::string queue)
        : printer_(std::move(printer)), queues_(queues), queue_(std::move(queue)) {}

    std::string refusalBeforePrinting() override {
        if (queues_ == nullptr)
            return {};
        const std::optional<QueueState> state = queues_->queueState(queue_);
        if (!state)
            return PrinterRefusalText(queue_, PrinterRefusal::Unreachable);
        if (!state->acceptingJobs)
            return PrinterRefusalText(queue_, PrinterRefusal::NotAcceptingJobs, state->message);
        if (state->stopped)
            return PrinterRefusalText(queue_, PrinterRefusal::Stopped, state->message);
        return {};
    }

    std::unique_ptr<PrintPages> startJob(const std::string& jobName) override {
        return StartPrintJob(*printer_, jobName);
    }

    std::string deliver() override {
        if (queues_ == nullptr)
            return {};
        std::string refusal;
        const int job = queues_->submit(queue_, printer_->outputFileName().toStdString(),
                                        printer_->docName().toStdString(), refusal);
        if (job == 0)
            return JobRefusedText(queue_, refusal);
        const WaitCursor waiting;
        return FollowPrintJob(*queues_, queue_, job);
    }

private:
    std::unique_ptr<QPrinter> printer_;
    PrintQueues* queues_;
    std::string queue_;
};

} // namespace

std::unique_ptr<PrintPages> StartPrintJob(QPrinter& printer, const std::string& jobName) {
    printer.setDocName(QString::fromStdString(jobName));
    auto pages = std::make_unique<QtPrintPages>(printer);
    if (!pages->begin())
        return nullptr;
    return pages;
}

std::unique_ptr<Printer> SystemPrinters::defaultPrinter() {
    if (queues_ == nullptr) {
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull())
            return nullptr;
        return std::make_unique<QtPrinter>(
            std::make_unique<QPrinter>(info, QPrinter::HighResolution), nullptr, std::string());
    }
    const std::optional<std::string> queue = queues_->defaultQueue();
    if (!queue)
        return nullptr;
    auto printer = std::make_unique<SpooledPrinter>();
    const QPrinterInfo info = QPrinterInfo::printerInfo(QString::fromStdString(*queue));
    if (!info.isNull() && info.defaultPageSize().isValid())
        printer->setPageSize(info.defaultPageSize());
    return std::make_unique<QtPrinter>(std::move(printer), queues_, *queue);
}

} // namespace kestrova::qt
