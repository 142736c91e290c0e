#pragma once
// File > Print's pages on Windows: GDI on the default printer. The shared line loop lays the
// report out; these classes only open the job, draw the lines and end the pages.

#include "app/report_printing.h"

#include <windows.h>

#include <memory>
#include <string>

namespace kestrova::win32 {

// The system's default printer, as GetDefaultPrinterW names it.
class GdiPrinterSource final : public PrinterSource {
public:
    std::unique_ptr<Printer> defaultPrinter() override;
};

class GdiPrinter final : public Printer {
public:
    explicit GdiPrinter(std::wstring name) : name_(std::move(name)) {}

    const std::wstring& name() const { return name_; }
    // Names the printer when the spooler cannot reach it or it is paused.
    std::string refusalBeforePrinting() override;
    // A device context on the printer and a document of that name on it, its first page
    // started; nothing when the printer does not take the job.
    std::unique_ptr<PrintPages> startJob(const std::string& jobName) override;

private:
    std::wstring name_;
};

// The print font on a printer, and the page laid out for it (LayOutPage): where the lines go
// and how many of its characters and lines fit.
struct PrintFontFit {
    HFONT font = nullptr; // the caller deletes it
    int lineHeight = 1;
    PageLayout layout;
};
PrintFontFit FitPrintFont(HDC printer);

// One print job's pages, in the print font: kPrintFace, bold, kPrintPoints, one line below the
// other inside the page's margins.
class GdiPrintPages final : public PrintPages {
public:
    // Takes over the device context, on which StartDoc has succeeded.
    explicit GdiPrintPages(HDC printer);
    ~GdiPrintPages() override;
    GdiPrintPages(const GdiPrintPages&) = delete;
    GdiPrintPages& operator=(const GdiPrintPages&) = delete;

    int columns() const override { return layout_.columns; }
    int linesPerPage() const override { return layout_.linesPerPage; }
    void drawLine(int row, std::string_view text) override;
    bool newPage() override;
    bool failed() const override { return failed_; }
    bool finish() override;
    void abandon() override;

private:
    HDC dc_;
    HFONT font_ = nullptr;
    HGDIOBJ previousFont_ = nullptr;
    int lineHeight_ = 1;
    PageLayout layout_;
    bool failed_ = false;
    bool ended_ = false;
};

} // namespace kestrova::win32
