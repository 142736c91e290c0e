#pragma once
// File > Print's pages drawn with Qt: the system's default printer, where the platform has CUPS
// through its queue (asked first whether it takes jobs, the job followed until the queue has
// taken it), and the progress dialog of a long print.

#include "app/print_queues.h"
#include "app/report_printing.h"

#include <QProgressDialog>
#include <QTemporaryDir>

#include <memory>

class QPrinter;
class QWidget;

namespace kestrova::qt {

// The pages of one job on a QPrinter, in the print font.
std::unique_ptr<PrintPages> StartPrintJob(QPrinter& printer, const std::string& jobName);

// The system's default printer; through its CUPS queue where the platform has CUPS.
class SystemPrinters final : public PrinterSource {
public:
    explicit SystemPrinters(PrintQueues* queues = PlatformPrintQueues()) : queues_(queues) {}
    std::unique_ptr<Printer> defaultPrinter() override;

private:
    PrintQueues* queues_;
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

} // namespace kestrova::qt
