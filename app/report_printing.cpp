#include "app/report_printing.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

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

QString PrintedLine(const std::string& reportLine) {
    return QString(kPrintIndent, u' ') + ExpandTabs(QString::fromStdString(reportLine));
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

} // namespace

std::unique_ptr<QPrinter> SystemPrinters::defaultPrinter() {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        return nullptr;
    }
    return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

QStringList PrintedLines(const std::string& report) {
    QStringList lines{QString(), QString()};
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type end = report.find("\r\n", start);
        if (end == std::string::npos) {
            break;
        }
        lines.append(PrintedLine(report.substr(start, end - start)));
        start = end + 2;
    }
    // What follows the last CR LF is always printed, even when nothing follows it.
    lines.append(PrintedLine(report.substr(start)));
    return lines;
}

PrintResult PrintReport(QPrinter& printer, const std::string& report) {
    const QStringList lines = PrintedLines(report);

    QPainter painter;
    if (!painter.begin(&printer)) {
        return PrintResult::Refused;
    }
    painter.setFont(PrintFont());
    const QFontMetricsF metrics(painter.font(), &printer);
    const qreal lineStep = metrics.lineSpacing();
    const qreal pageHeight = printer.height();

    bool failed = false;
    qreal top = 0;
    for (const QString& line : lines) {
        if (top > 0 && top + lineStep > pageHeight) {
            if (!printer.newPage()) {
                failed = true;
                break;
            }
            top = 0;
        }
        if (!line.isEmpty()) {
            painter.drawText(QPointF(0, top + metrics.ascent()), line);
        }
        top += lineStep;
        if (PrinterInError(printer)) {
            failed = true;
            break;
        }
    }

    if (failed) {
        // Leave no half-printed job behind.
        printer.abort();
        painter.end();
        return PrintResult::Failed;
    }
    if (!painter.end() || PrinterInError(printer)) {
        return PrintResult::Failed;
    }
    return PrintResult::Printed;
}

void PrintReportCommand(const std::string& report, PrinterSource& printers,
                        MessageDisplay& messages) {
    if (report.empty()) {
        messages.showMessage(kNothingToPrint);
        return;
    }
    const std::unique_ptr<QPrinter> printer = printers.defaultPrinter();
    if (!printer) {
        messages.showMessage(kNoDefaultPrinter);
        return;
    }
    switch (PrintReport(*printer, report)) {
    case PrintResult::Printed:
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
