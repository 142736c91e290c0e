// File > Print through GDI on the default printer: under Wine a CUPS queue of the test stage's
// own whose cups-pdf backend writes a PDF. The test prints from the window and writes the
// pages it expects, one file per page, into the folder the stage names in KESTROVA_PRINT_CHECK;
// the stage then reads the PDF's pages back (scripts/test-windows.sh).

#include "app/win32/gdi_printing.h"

#include "app/win32/resource_ids.h"
#include "check/wide_text.h"

#include "window_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace kestrova::win32 {
namespace {

using testing::ReportIn;
using testing::WindowFixture;

TEST(GdiPrinting, PrintsTheReportOnTheDefaultPrinterPageAfterPageAndACancelledPrintNot) {
    const char* check = std::getenv("KESTROVA_PRINT_CHECK");
    if (check == nullptr)
        GTEST_SKIP() << "NOTICE: KESTROVA_PRINT_CHECK names no folder; printing is tested by "
                        "scripts/test-windows.sh with a CUPS queue of its own.";
    GdiPrinterSource printers;
    const std::unique_ptr<Printer> printer = printers.defaultPrinter();
    ASSERT_NE(printer, nullptr) << "no default printer";
    const std::wstring name = dynamic_cast<GdiPrinter&>(*printer).name();
    EXPECT_EQ(printer->refusalBeforePrinting(), "");
    HDC dc = CreateDCW(L"WINSPOOL", name.c_str(), nullptr, nullptr);
    ASSERT_NE(dc, nullptr);
    const PrintFontFit fit = FitPrintFont(dc);
    DeleteObject(fit.font);
    DeleteDC(dc);
    ASSERT_GT(fit.layout.columns, 40);
    ASSERT_GT(fit.layout.linesPerPage, 20);

    // Over four pages, so that the progress shows; one line wraps over three printed lines.
    std::string report;
    for (int i = 1; i <= 4 * fit.layout.linesPerPage + 5; ++i) {
        report += "\r\nGap on timeline number " + std::to_string(i);
        if (i == 7) {
            for (int word = 0; word < fit.layout.columns / 3; ++word)
                report += " w" + std::to_string(word);
        }
    }

    WindowFixture fixture(printers);
    ASSERT_TRUE(fixture.created);
    MainWindow& window = fixture.window;
    const std::filesystem::path project =
        std::filesystem::u8path(KESTROVA_TEST_DATA) / "app" / "two_layers.kpj";
    window.openFile(Utf8(project.wstring()));
    ReportIn(window).setText(report);
    int progressShown = 0;
    fixture.dialogShown = [&](HWND) { ++progressShown; };
    SendMessageW(window.handle(), WM_COMMAND, IDM_FILE_PRINT, 0);
    EXPECT_EQ(progressShown, 1);
    EXPECT_TRUE(fixture.messages.texts.empty());
    EXPECT_TRUE(IsWindowEnabled(window.handle()));

    // Cancel on the progress: the job is abandoned and nothing prints.
    fixture.dialogShown = [&](HWND progress) {
        ++progressShown;
        PostMessageW(progress, WM_COMMAND, IDCANCEL, 0);
    };
    SendMessageW(window.handle(), WM_COMMAND, IDM_FILE_PRINT, 0);
    EXPECT_EQ(progressShown, 2);
    EXPECT_TRUE(fixture.messages.texts.empty());

    // What the stage is to find in the PDF: the job's name and each page's lines.
    const std::filesystem::path folder = std::filesystem::u8path(check);
    std::ofstream(folder / "job-name.txt", std::ios::binary)
        << PrintJobName(Utf8(project.wstring()));
    const std::vector<std::string> lines = PrintedLines(report, fit.layout.columns);
    for (std::size_t first = 0, page = 1; first < lines.size();
         first += static_cast<std::size_t>(fit.layout.linesPerPage), ++page) {
        std::ofstream out(folder / ("page-" + std::to_string(page) + ".txt"), std::ios::binary);
        for (std::size_t i = first;
             i < lines.size() && i < first + static_cast<std::size_t>(fit.layout.linesPerPage); ++i)
            out << lines[i] << '\n';
    }
}

} // namespace
} // namespace kestrova::win32
