#include "app/win32/gdi_printing.h"

#include "app/printer_messages.h"
#include "check/wide_text.h"

#include <winspool.h>

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <iterator>
#include <vector>

namespace kestrova::win32 {

std::unique_ptr<Printer> GdiPrinterSource::defaultPrinter() {
    DWORD size = 0;
    GetDefaultPrinterW(nullptr, &size);
    if (size == 0)
        return nullptr;
    std::wstring name(size, L'\0');
    if (!GetDefaultPrinterW(name.data(), &size))
        return nullptr;
    name.resize(wcslen(name.c_str()));
    if (name.empty())
        return nullptr;
    return std::make_unique<GdiPrinter>(std::move(name));
}

std::string GdiPrinter::refusalBeforePrinting() {
    HANDLE printer = nullptr;
    if (!OpenPrinterW(name_.data(), &printer, nullptr))
        return PrinterRefusalText(Utf8(name_), PrinterRefusal::Unreachable);
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    std::string refusal;
    if (needed > 0) {
        std::vector<BYTE> buffer(needed);
        if (GetPrinterW(printer, 2, buffer.data(), needed, &needed)) {
            const DWORD status = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data())->Status;
            if (status & PRINTER_STATUS_PAUSED)
                refusal = PrinterRefusalText(Utf8(name_), PrinterRefusal::Paused);
            else if (status & (PRINTER_STATUS_OFFLINE | PRINTER_STATUS_NOT_AVAILABLE))
                refusal = PrinterRefusalText(Utf8(name_), PrinterRefusal::Offline);
        }
    }
    ClosePrinter(printer);
    return refusal;
}

std::unique_ptr<PrintPages> GdiPrinter::startJob(const std::string& jobName) {
    HDC dc = CreateDCW(L"WINSPOOL", name_.c_str(), nullptr, nullptr);
    if (dc == nullptr)
        return nullptr;
    const std::wstring title = Wide(jobName);
    DOCINFOW document{};
    document.cbSize = sizeof document;
    document.lpszDocName = title.c_str();
    if (StartDocW(dc, &document) <= 0) {
        DeleteDC(dc);
        return nullptr;
    }
    auto pages = std::make_unique<GdiPrintPages>(dc);
    if (pages->failed()) {
        pages->abandon();
        return nullptr;
    }
    return pages;
}

PrintFontFit FitPrintFont(HDC printer) {
    LOGFONTW face{};
    face.lfHeight = -MulDiv(kPrintPoints, GetDeviceCaps(printer, LOGPIXELSY), 72);
    face.lfWeight = FW_BOLD;
    face.lfCharSet = DEFAULT_CHARSET;
    face.lfOutPrecision = OUT_TT_PRECIS;
    face.lfQuality = PROOF_QUALITY;
    face.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    const std::wstring faceName = Wide(kPrintFace);
    faceName.copy(face.lfFaceName, LF_FACESIZE - 1);
    PrintFontFit fit;
    fit.font = CreateFontIndirectW(&face);
    HGDIOBJ previous = SelectObject(printer, fit.font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(printer, &metrics);
    // The step each character takes in a line, which the average width may fall short of: the
    // widest printable ASCII character's.
    INT widths['~' - ' ' + 1] = {};
    int advance = static_cast<int>(metrics.tmAveCharWidth);
    if (GetCharWidth32W(printer, ' ', '~', widths))
        advance = *std::max_element(std::begin(widths), std::end(widths));
    SelectObject(printer, previous);
    fit.lineHeight = std::max(1, static_cast<int>(metrics.tmHeight + metrics.tmExternalLeading));
    PrintSheet sheet;
    sheet.width = GetDeviceCaps(printer, PHYSICALWIDTH);
    sheet.height = GetDeviceCaps(printer, PHYSICALHEIGHT);
    sheet.printableLeft = GetDeviceCaps(printer, PHYSICALOFFSETX);
    sheet.printableTop = GetDeviceCaps(printer, PHYSICALOFFSETY);
    sheet.printableWidth = GetDeviceCaps(printer, HORZRES);
    sheet.printableHeight = GetDeviceCaps(printer, VERTRES);
    sheet.dotsPerInchX = GetDeviceCaps(printer, LOGPIXELSX);
    sheet.dotsPerInchY = GetDeviceCaps(printer, LOGPIXELSY);
    fit.layout = LayOutPage(sheet, advance, fit.lineHeight);
    return fit;
}

GdiPrintPages::GdiPrintPages(HDC printer) : dc_(printer) {
    const PrintFontFit fit = FitPrintFont(dc_);
    font_ = fit.font;
    lineHeight_ = fit.lineHeight;
    layout_ = fit.layout;
    previousFont_ = SelectObject(dc_, font_);
    SetBkMode(dc_, TRANSPARENT);
    failed_ = StartPage(dc_) <= 0;
}

GdiPrintPages::~GdiPrintPages() {
    if (!ended_)
        AbortDoc(dc_);
    SelectObject(dc_, previousFont_);
    DeleteObject(font_);
    DeleteDC(dc_);
}

void GdiPrintPages::drawLine(int row, std::string_view text) {
    const std::wstring line = Wide(text);
    const int x = static_cast<int>(std::ceil(layout_.left));
    const int y = static_cast<int>(std::ceil(layout_.top)) + row * lineHeight_;
    if (!TextOutW(dc_, x, y, line.c_str(), static_cast<int>(line.size())))
        failed_ = true;
}

bool GdiPrintPages::newPage() {
    // A new page is drawn without any state of the last one: the font is selected again.
    if (EndPage(dc_) <= 0 || StartPage(dc_) <= 0) {
        failed_ = true;
        return false;
    }
    SelectObject(dc_, font_);
    SetBkMode(dc_, TRANSPARENT);
    return true;
}

bool GdiPrintPages::finish() {
    ended_ = true;
    if (EndPage(dc_) <= 0) {
        AbortDoc(dc_);
        failed_ = true;
        return false;
    }
    if (EndDoc(dc_) <= 0) {
        failed_ = true;
        return false;
    }
    return !failed_;
}

void GdiPrintPages::abandon() {
    if (!ended_)
        AbortDoc(dc_);
    ended_ = true;
}

} // namespace kestrova::win32
