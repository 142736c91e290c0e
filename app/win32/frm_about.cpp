#include "app/win32/frm_about.h"

#include "app/about_texts.h"
#include "app/command_guard.h"
#include "app/win32/resource_ids.h"
#include "check/wide_text.h"

#include <iterator>

namespace kestrova::win32 {
namespace {

using kestrova::win32::Wide;

struct Placed {
    int id;
    TwipsRect twips;
};

// The controls' places; picIcon is sized to its picture instead (below).
constexpr Placed kPlaces[] = {
    {IDC_LBL_TITLE, {1770, 240, 3885, 480}},         {IDC_LBL_VERSION, {1770, 780, 3885, 225}},
    {IDC_LBL_DESCRIPTION, {1770, 1320, 3885, 1050}}, {IDC_LBL_DISCLAIMER, {255, 2625, 3870, 825}},
    {IDC_CMD_OK, {4245, 2625, 1260, 345}},           {IDC_CMD_SYS_INFO, {4260, 3075, 1245, 345}},
};
constexpr int kPictureLeft = 240;
constexpr int kPictureTop = 240;
// The picture's 88 x 92 pixels and its 2-pixel sunken border on every side, at 96 dpi.
constexpr int kPictureWidth = 92;
constexpr int kPictureHeight = 96;

struct DialogState {
    AboutServices services;
    const std::function<void(HWND)>* loaded;
};

UINT DpiOf(HWND window) {
    const UINT dpi = GetDpiForWindow(window);
    return dpi != 0 ? dpi : 96;
}

// Form_Load: the caption and texts, the fixed size and every control in its place.
void Load(HWND dialog) {
    SetWindowTextW(dialog, Wide(AboutCaption()).c_str());
    SetDlgItemTextW(dialog, IDC_LBL_TITLE, Wide(AboutTitle()).c_str());
    SetDlgItemTextW(dialog, IDC_LBL_VERSION, Wide(AboutVersion()).c_str());
    SetDlgItemTextW(dialog, IDC_LBL_DESCRIPTION, Wide(AboutDescription()).c_str());
    SetDlgItemTextW(dialog, IDC_LBL_DISCLAIMER, L"");

    const UINT dpi = DpiOf(dialog);
    RECT frame{0, 0, PixelsOf(kAboutWidthTwips, dpi), PixelsOf(kAboutHeightTwips, dpi)};
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE));
    AdjustWindowRectExForDpi(&frame, style, FALSE, exStyle, dpi);
    // Centred over the owner, as a dialog of the program.
    RECT over{};
    HWND owner = GetWindow(dialog, GW_OWNER);
    if (owner == nullptr || !GetWindowRect(owner, &over))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &over, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(dialog, nullptr, over.left + (over.right - over.left - width) / 2,
                 over.top + (over.bottom - over.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    for (const Placed& place : kPlaces) {
        MoveWindow(GetDlgItem(dialog, place.id), PixelsOf(place.twips.left, dpi),
                   PixelsOf(place.twips.top, dpi), PixelsOf(place.twips.width, dpi),
                   PixelsOf(place.twips.height, dpi), FALSE);
    }
    MoveWindow(GetDlgItem(dialog, IDC_PIC_ICON), PixelsOf(kPictureLeft, dpi),
               PixelsOf(kPictureTop, dpi), MulDiv(kPictureWidth, static_cast<int>(dpi), 96),
               MulDiv(kPictureHeight, static_cast<int>(dpi), 96), FALSE);
}

void FillRectWith(HDC dc, int left, int top, int width, int height, COLORREF colour) {
    const RECT area{left, top, left + width, top + height};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &area, brush);
    DeleteObject(brush);
}

void RoundedBlock(HDC dc, int left, int top, int width, int height, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    RoundRect(dc, left, top, left + width + 1, top + height + 1, 4, 4);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
}

HPEN RoundPen(int width, COLORREF colour) {
    LOGBRUSH brush{BS_SOLID, colour, 0};
    return ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND,
                        static_cast<DWORD>(width), &brush, 0, nullptr);
}

// The picture: a timeline of three layers under a magnifying glass that finds the gap in the
// middle layer, and the tick of a finished check; drawn in 88 x 92 units scaled to `area`.
void DrawPicture(HDC dc, const RECT& area) {
    const int saved = SaveDC(dc);
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowExtEx(dc, 88, 92, nullptr);
    SetViewportExtEx(dc, area.right - area.left, area.bottom - area.top, nullptr);
    SetViewportOrgEx(dc, area.left, area.top, nullptr);
    for (int y = 0; y < 92; ++y) { // the night sky, lighter at the top
        const int r = 34 + (12 - 34) * y / 91;
        const int g = 52 + (20 - 52) * y / 91;
        const int b = 84 + (36 - 84) * y / 91;
        FillRectWith(dc, 0, y, 88, 1, RGB(r, g, b));
    }
    const COLORREF clips[] = {RGB(84, 156, 230), RGB(236, 170, 60), RGB(110, 196, 120)};
    for (int layer = 0; layer < 3; ++layer) {
        const int top = 14 + layer * 20;
        FillRectWith(dc, 6, top, 76, 14, RGB(52, 66, 92));
        if (layer == 1) {
            RoundedBlock(dc, 8, top + 2, 26, 10, clips[layer]);
            RoundedBlock(dc, 50, top + 2, 30, 10, clips[layer]);
            FillRectWith(dc, 37, top + 2, 10, 10, RGB(220, 50, 47));
        } else {
            RoundedBlock(dc, 8, top + 2, 72, 10, clips[layer]);
        }
    }
    HPEN glass = RoundPen(3, RGB(240, 240, 240));
    HGDIOBJ oldPen = SelectObject(dc, glass);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Ellipse(dc, 42 - 13, 41 - 13, 42 + 13, 41 + 13);
    HPEN handle = RoundPen(6, RGB(200, 160, 100));
    SelectObject(dc, handle);
    MoveToEx(dc, 52, 51, nullptr);
    LineTo(dc, 66, 66);
    HPEN tick = RoundPen(4, RGB(110, 220, 120));
    SelectObject(dc, tick);
    const POINT mark[] = {{14, 78}, {22, 86}, {38, 70}};
    Polyline(dc, mark, static_cast<int>(std::size(mark)));
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(glass);
    DeleteObject(handle);
    DeleteObject(tick);
    RestoreDC(dc, saved);
}

// The etched rule above the buttons: a gray line, and below it a white one 2 pixels thick
// whose top row is the row under the gray line.
void DrawRule(HWND dialog, HDC dc) {
    const UINT dpi = DpiOf(dialog);
    HPEN gray = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
    HGDIOBJ old = SelectObject(dc, gray);
    MoveToEx(dc, PixelsOf(90, dpi), PixelsOf(2445, dpi), nullptr);
    LineTo(dc, PixelsOf(5654, dpi), PixelsOf(2445, dpi));
    SelectObject(dc, old);
    DeleteObject(gray);
    const int top = PixelsOf(2460, dpi);
    FillRectWith(dc, PixelsOf(105, dpi), top, PixelsOf(5654, dpi) - PixelsOf(105, dpi),
                 MulDiv(2, static_cast<int>(dpi), 96), RGB(255, 255, 255));
}

// The buttons: OK (also Enter), the close button and Escape end the dialog; System Info starts
// the tool.
INT_PTR HandleCommand(HWND dialog, WORD command, DialogState& state) {
    switch (command) {
    case IDC_CMD_OK:
    case IDCANCEL:
        EndDialog(dialog, IDOK);
        return TRUE;
    case IDC_CMD_SYS_INFO:
        RunCommand(state.services.messages, [&state] {
            StartSysInfo(state.services.registry, state.services.launcher, state.services.messages);
        });
        return TRUE;
    }
    return FALSE;
}

INT_PTR HandleMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        Load(dialog);
        state = reinterpret_cast<DialogState*>(lParam);
        if (*state->loaded)
            PostMessageW(dialog, WM_APP, 0, 0); // once the dialog shows
        return TRUE;                            // the focus goes to cmdOK, first in tab order
    }
    case WM_APP:
        if (state != nullptr && *state->loaded)
            (*state->loaded)(dialog);
        return TRUE;
    case WM_COMMAND:
        return state != nullptr ? HandleCommand(dialog, LOWORD(wParam), *state) : FALSE;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlID != IDC_PIC_ICON)
            return FALSE;
        DrawPicture(item->hDC, item->rcItem);
        return TRUE;
    }
    case WM_CTLCOLORSTATIC: {
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
        if (id == IDC_LBL_TITLE || id == IDC_LBL_DESCRIPTION || id == IDC_LBL_DISCLAIMER) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, RGB(0, 0, 0));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
        }
        return FALSE;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(dialog, &paint);
        DrawRule(dialog, dc);
        EndPaint(dialog, &paint);
        return TRUE;
    }
    case WM_PRINTCLIENT: // the same drawing into a device context of the caller's
        DrawRule(dialog, reinterpret_cast<HDC>(wParam));
        return TRUE;
    case WM_DPICHANGED:
        Load(dialog);
        InvalidateRect(dialog, nullptr, TRUE);
        return TRUE;
    }
    return FALSE;
}

// No failure unwinds through the dialog manager: a message whose handling failed counts as not
// handled, and the dialog manager does its default.
INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return HandleMessage(dialog, message, wParam, lParam);
    } catch (...) {
        return FALSE;
    }
}

} // namespace

void ShowAboutDialog(HINSTANCE instance, HWND owner, AboutServices services,
                     const std::function<void(HWND)>& loaded) {
    DialogState state{services, &loaded};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_FRM_ABOUT), owner, Procedure,
                    reinterpret_cast<LPARAM>(&state));
}

} // namespace kestrova::win32
