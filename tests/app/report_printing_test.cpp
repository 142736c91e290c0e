// Report printing with Qt: the page read back from a PDF, and the message for a printer that
// refuses the job or fails part way.

#include "app/qt/qt_printing.h"

#include "gui_test_support.h"
#include "recording_messages.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace kestrova::qt {
namespace {

std::unique_ptr<QPrinter> PdfPrinter(const QString& path) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(path);
    printer->setPageSize(QPageSize(QPageSize::A4));
    return printer;
}

// The default printer as a PDF file.
class PdfJobPrinter final : public Printer {
public:
    explicit PdfJobPrinter(const QString& path) : printer_(PdfPrinter(path)) {}
    std::unique_ptr<PrintPages> startJob(const std::string& jobName) override {
        return StartPrintJob(*printer_, jobName);
    }

private:
    std::unique_ptr<QPrinter> printer_;
};

class PdfPrinters final : public PrinterSource {
public:
    explicit PdfPrinters(QString path) : path_(std::move(path)) {}
    std::unique_ptr<Printer> defaultPrinter() override {
        ++asked;
        return std::make_unique<PdfJobPrinter>(path_);
    }
    int asked = 0;

private:
    QString path_;
};

// The report's lines drawn onto the printer's pages, as File > Print draws them.
PrintResult PrintReport(QPrinter& printer, const std::string& report,
                        PrintProgress* progress = nullptr) {
    const std::unique_ptr<PrintPages> pages = StartPrintJob(printer, "Kestrova Checker");
    return pages ? PrintLines(*pages, report, progress) : PrintResult::Failed;
}

// A printer whose page break fails, as a printer that goes away in the middle of a job does.
class FailingPagePrinter final : public QPrinter {
public:
    bool newPage() override { return false; }
};

// Cancels the print when the first page is done.
class CancelAtFirstPage final : public PrintProgress {
public:
    void start(int pages) override { total = pages; }
    bool pageDone(int) override { return false; }
    int total = 0;
};

std::string NumberedLines(int count) {
    std::string report;
    for (int i = 0; i < count; ++i) {
        report += "\r\nline " + std::to_string(i);
    }
    return report;
}

class PrintToPdf : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder_.isValid()); }
    QString pdf() const { return folder_.filePath(QStringLiteral("report.pdf")); }
    QTemporaryDir folder_;
};

struct Word {
    QString text;
    double x = 0;
    double y = 0;
};

// The words of the first page with their positions in points, read back with pdftotext.
std::vector<Word> FirstPageWords(const QString& path) {
    const QString html = testing::ToolOutput(QStringLiteral("pdftotext"),
                                             {"-bbox", "-f", "1", "-l", "1", path, "-"});
    static const QRegularExpression word(
        QString::fromLatin1(R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)"[^>]*>([^<]*)</word>)re"));
    std::vector<Word> words;
    for (auto match = word.globalMatch(html); match.hasNext();) {
        const auto m = match.next();
        words.push_back({m.captured(3), m.captured(1).toDouble(), m.captured(2).toDouble()});
    }
    return words;
}

TEST_F(PrintToPdf, PrintsTheReportInBoldCourierIndentedByTenCharacters) {
    const std::string report = "\r\nReporting on /projects/show.kpj\r\n\r\nLayers:\r\n 1: "
                               "\tVideo\r\n\tWARNING - Zero length item at "
                               "0h 00m 02s 000\r\n\r\n\r\nNo errors found";
    auto printer = PdfPrinter(pdf());
    const QRectF page = printer->pageLayout().paintRect(QPageLayout::Point);
    ASSERT_EQ(PrintReport(*printer, report), PrintResult::Printed);

    const QString text = testing::PdfText(pdf());
    QStringList lines = text.split(u'\n');
    const qsizetype first = lines.indexOf(QRegularExpression(QStringLiteral(".*Reporting on.*")));
    ASSERT_GE(first, 0) << text.toStdString();
    EXPECT_TRUE(lines[first].trimmed() == QStringLiteral("Reporting on /projects/show.kpj"));
    EXPECT_TRUE(lines[first + 2].trimmed() == QStringLiteral("Layers:"));
    EXPECT_TRUE(lines[first + 3].trimmed() == QStringLiteral("1:     Video"));
    EXPECT_TRUE(lines[first + 4].trimmed() ==
                QStringLiteral("WARNING - Zero length item at 0h 00m 02s 000"));
    EXPECT_TRUE(lines[first + 7].trimmed() == QStringLiteral("No errors found"));

    // A character of 10-point Courier is 6 points wide; two empty lines and the report's own
    // empty first line stand above "Reporting on". The lines start half an inch from the
    // sheet's edges, or at the printable area's where that is further in.
    const double left = std::max(36.0, page.left());
    const double top = std::max(36.0, page.top());
    const std::vector<Word> words = FirstPageWords(pdf());
    ASSERT_FALSE(words.empty());
    EXPECT_EQ(words[0].text, QStringLiteral("Reporting"));
    EXPECT_NEAR(words[0].x - left, 60.0, 1.0);
    EXPECT_GT(words[0].y - top, 3 * 10.0);
    EXPECT_LT(words[0].y - top, 4 * 13.0);
    for (const Word& w : words) {
        if (w.text == QStringLiteral("WARNING")) {
            EXPECT_NEAR(w.x - left, 60.0 + 48.0, 1.0); // the tab reaches column 8
        }
        if (w.text == QStringLiteral("1:")) {
            EXPECT_NEAR(w.x - left, 60.0 + 6.0, 1.0);
        }
    }

    const QString fonts = testing::PdfFonts(pdf());
    EXPECT_TRUE(fonts.contains(QStringLiteral("Mono-Bold")) ||
                fonts.contains(QStringLiteral("Courier")))
        << fonts.toStdString();
    EXPECT_TRUE(fonts.contains(QStringLiteral("Bold"))) << fonts.toStdString();
}

TEST_F(PrintToPdf, ContinuesOnNewPagesWithEveryLineInOrder) {
    std::string report;
    for (int i = 0; i < 200; ++i) {
        report += "\r\nline " + std::to_string(i);
    }
    auto printer = PdfPrinter(pdf());
    ASSERT_EQ(PrintReport(*printer, report), PrintResult::Printed);
    const QString text = testing::PdfText(pdf());
    EXPECT_GE(text.count(u'\f'), 3) << "200 lines of 10-point type fill more than two A4 pages";
    qsizetype at = 0;
    for (int i = 0; i < 200; ++i) {
        static const QRegularExpression number(QStringLiteral("line (\\d+)"));
        const auto match = number.match(text, at);
        ASSERT_TRUE(match.hasMatch()) << "missing line " << i;
        EXPECT_EQ(match.captured(1).toInt(), i);
        at = match.capturedEnd();
    }
}

TEST_F(PrintToPdf, KeepsALoneLineFeedInsideItsLine) {
    auto printer = PdfPrinter(pdf());
    ASSERT_EQ(PrintReport(*printer, "\r\nalpha\nbeta\r\ngamma"), PrintResult::Printed);
    const QStringList lines = testing::PdfText(pdf()).split(u'\n');
    const qsizetype alpha = lines.indexOf(QRegularExpression(QStringLiteral(".*alpha.*")));
    ASSERT_GE(alpha, 0);
    EXPECT_TRUE(lines[alpha].contains(QStringLiteral("beta")));
    EXPECT_TRUE(lines[alpha + 1].contains(QStringLiteral("gamma")));
}

TEST_F(PrintToPdf, PrintsEveryCharacterOfLinesWiderThanThePage) {
    std::string path = "Reporting on /projects/a very long folder name that certainly exceeds the "
                       "width of the paper/";
    for (int i = 0; i < 40; ++i) {
        path += "folder" + std::to_string(i) + "/";
    }
    const std::string word(40000, 'x');
    auto printer = PdfPrinter(pdf());
    ASSERT_EQ(PrintReport(*printer, "\r\n" + path + "show.kpj\r\n" + word + "\r\nafter"),
              PrintResult::Printed);
    const QRectF page = printer->pageLayout().paintRect(QPageLayout::Point);
    for (const Word& w : FirstPageWords(pdf())) {
        EXPECT_GT(w.x - page.left(), 59.0) << "every printed line keeps the indent";
    }
    QString text = testing::PdfText(pdf());
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    QString expected = QString::fromStdString(path + "show.kpj" + word + "after");
    expected.remove(QRegularExpression(QStringLiteral("\\s")));
    EXPECT_TRUE(text.contains(expected)) << "a character was lost on paper";
}

struct PrintedPage {
    double width = 0;
    double height = 0;
    std::vector<QRectF> words; // in points from the sheet's top left
};

// Every page of a PDF with the boxes of its words, read back with pdftotext.
std::vector<PrintedPage> PrintedPages(const QString& path) {
    const QString html = testing::ToolOutput(QStringLiteral("pdftotext"), {"-bbox", path, "-"});
    static const QRegularExpression item(QString::fromLatin1(
        R"re(<page width="([0-9.]+)" height="([0-9.]+)">|<word xMin="([0-9.]+)" )re"
        R"re(yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)")re"));
    std::vector<PrintedPage> pages;
    for (auto match = item.globalMatch(html); match.hasNext();) {
        const auto m = match.next();
        if (!m.captured(1).isEmpty()) {
            pages.push_back({m.captured(1).toDouble(), m.captured(2).toDouble(), {}});
        } else if (!pages.empty()) {
            pages.back().words.push_back(
                QRectF(QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()),
                       QPointF(m.captured(5).toDouble(), m.captured(6).toDouble())));
        }
    }
    return pages;
}

// On a printer that can print up to the edges of the sheet, as a PDF printer can, every page
// keeps half an inch clear on each side, and the longest lines end before the right margin.
TEST_F(PrintToPdf, EveryPageKeepsItsMarginsClear) {
    std::string report;
    for (int i = 0; i < 150; ++i)
        report += "\r\nline " + std::to_string(i) + (i % 10 == 0 ? std::string(300, 'x') : "");
    auto printer = PdfPrinter(pdf());
    printer->setFullPage(true);
    printer->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    ASSERT_EQ(PrintReport(*printer, report), PrintResult::Printed);
    const std::vector<PrintedPage> pages = PrintedPages(pdf());
    ASSERT_GE(pages.size(), 2u);
    const double margin = 36, slack = 3; // glyph boxes as pdftotext measures them
    for (std::size_t page = 0; page < pages.size(); ++page) {
        const PrintedPage& p = pages[page];
        ASSERT_FALSE(p.words.empty()) << "page " << page + 1;
        for (const QRectF& word : p.words) {
            EXPECT_GE(word.left(), margin - slack) << "page " << page + 1;
            EXPECT_GE(word.top(), margin - slack) << "page " << page + 1;
            EXPECT_LE(word.right(), p.width - margin + slack) << "page " << page + 1;
            EXPECT_LE(word.bottom(), p.height - margin + slack) << "page " << page + 1;
        }
    }
}

TEST_F(PrintToPdf, CancelAbortsTheJobAndSaysNothing) {
    CancelAtFirstPage progress;
    auto printer = PdfPrinter(pdf());
    EXPECT_EQ(PrintReport(*printer, NumberedLines(1000), &progress), PrintResult::Cancelled);
    EXPECT_GE(progress.total, 10);
    EXPECT_NE(printer->printerState(), QPrinter::Active);
    EXPECT_FALSE(printer->paintingActive());

    PdfPrinters printers(pdf());
    testing::RecordingMessages messages;
    RunPrintCommand(NumberedLines(1000), "Kestrova Checker", printers, messages, &progress);
    EXPECT_TRUE(messages.texts.empty());
}

TEST_F(PrintToPdf, ProgressDialogCountsPagesAndItsCancelEndsThePrintSilently) {
    PdfPrinters printers(pdf());
    testing::RecordingMessages messages;
    PrintProgressDialog progress(nullptr);
    QString label;
    testing::WhenModalOpens([&label](QWidget* modal) {
        auto* dialog = qobject_cast<QProgressDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        label = dialog->labelText();
        dialog->cancel();
    });
    RunPrintCommand(NumberedLines(1000), "Kestrova Checker", printers, messages, &progress);
    EXPECT_TRUE(messages.texts.empty());
    EXPECT_TRUE(label.contains(QRegularExpression(QStringLiteral("\\d+ of \\d+ pages"))))
        << label.toStdString();
}

TEST(RunPrintCommand, SaysSoWhenThePrinterRefusesTheJob) {
    PdfPrinters printers(QStringLiteral("/nonexistent-folder/for/sure/report.pdf"));
    testing::RecordingMessages messages;
    RunPrintCommand("\r\nReport", "Kestrova Checker", printers, messages);
    EXPECT_EQ(messages.texts, std::vector<std::string>{kPrinterRefused});
}

TEST_F(PrintToPdf, AbandonsTheJobWhenThePrinterFailsPartWay) {
    FailingPagePrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf());
    std::string report;
    for (int i = 0; i < 200; ++i) {
        report += "\r\nline " + std::to_string(i);
    }
    EXPECT_EQ(PrintReport(printer, report), PrintResult::Failed);
    EXPECT_NE(printer.printerState(), QPrinter::Active);
    EXPECT_FALSE(printer.paintingActive());
}

TEST(SystemPrinters, GiveNoPrinterExactlyWhenTheSystemHasNoDefault) {
    SystemPrinters printers;
    const std::unique_ptr<Printer> printer = printers.defaultPrinter();
    EXPECT_EQ(printer == nullptr, QPrinterInfo::defaultPrinter().isNull());
}

} // namespace
} // namespace kestrova::qt
