// The Windows About dialog, opened from the window's Help menu: texts, frame, layout in twips,
// tab order and buttons.

#include "app/win32/frm_about.h"

#include "app/about_texts.h"
#include "app/win32/resource_ids.h"
#include "check/wide_text.h"

#include "window_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace kestrova::win32 {
namespace {

using testing::NoPrinters;
using testing::PlaceInParent;
using testing::Px;
using testing::WindowFixture;
using testing::WindowText;

struct Place {
    int id;
    int left, top, width, height;
};

class Win32AboutDialog : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fixture.created); }

    // Opens the dialog through the menu; `inspect` runs once it shows, then it is closed.
    void WithDialog(const std::function<void(HWND)>& inspect) {
        bool shown = false;
        fixture.dialogShown = [&](HWND dialog) {
            shown = true;
            inspect(dialog);
            if (IsWindow(dialog))
                PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        };
        SendMessageW(fixture.window.handle(), WM_COMMAND, IDM_HELP_ABOUT, 0);
        EXPECT_TRUE(shown);
    }

    NoPrinters printers;
    WindowFixture fixture{printers};
};

TEST_F(Win32AboutDialog, LoadsItsTextsAndHasACloseButtonOnlyAndAFixedSize) {
    WithDialog([&](HWND dialog) {
        EXPECT_EQ(WindowText(dialog), Wide(AboutCaption()));
        EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_LBL_TITLE)), Wide(AboutTitle()));
        EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_LBL_VERSION)), Wide(AboutVersion()));
        EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_LBL_DESCRIPTION)), Wide(AboutDescription()));
        EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_LBL_DISCLAIMER)), L"");
        EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_CMD_OK)), L"OK");
        EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_CMD_SYS_INFO)), L"&System Info...");
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), fixture.window.handle());
        EXPECT_FALSE(IsWindowEnabled(fixture.window.handle())) << "modal";
        const LONG_PTR style = GetWindowLongPtrW(dialog, GWL_STYLE);
        EXPECT_NE(style & WS_SYSMENU, 0);
        EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
        RECT client{};
        GetClientRect(dialog, &client);
        EXPECT_EQ(client.right, Px(5730, dialog));
        EXPECT_EQ(client.bottom, Px(3555, dialog));
        EXPECT_EQ(LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)), IDC_CMD_OK);
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDC_CMD_OK));
    });
    EXPECT_TRUE(IsWindowEnabled(fixture.window.handle()));
}

TEST_F(Win32AboutDialog, PlacesItsControlsInTwipsInTabOrder) {
    WithDialog([&](HWND dialog) {
        const std::vector<Place> places = {
            {IDC_LBL_TITLE, 1770, 240, 3885, 480},
            {IDC_LBL_VERSION, 1770, 780, 3885, 225},
            {IDC_LBL_DESCRIPTION, 1770, 1320, 3885, 1050},
            {IDC_LBL_DISCLAIMER, 255, 2625, 3870, 825},
            {IDC_CMD_OK, 4245, 2625, 1260, 345},
            {IDC_CMD_SYS_INFO, 4260, 3075, 1245, 345},
        };
        for (const Place& p : places) {
            const RECT r = PlaceInParent(GetDlgItem(dialog, p.id));
            EXPECT_EQ(r.left, Px(p.left, dialog)) << p.id;
            EXPECT_EQ(r.top, Px(p.top, dialog)) << p.id;
            EXPECT_EQ(r.right - r.left, Px(p.width, dialog)) << p.id;
            EXPECT_EQ(r.bottom - r.top, Px(p.height, dialog)) << p.id;
        }
        // The picture: 88 x 92 pixels inside a 2-pixel sunken border.
        HWND picture = GetDlgItem(dialog, IDC_PIC_ICON);
        const RECT r = PlaceInParent(picture);
        EXPECT_EQ(r.left, Px(240, dialog));
        EXPECT_EQ(r.top, Px(240, dialog));
        RECT inside{};
        GetClientRect(picture, &inside);
        const int dpi = static_cast<int>(GetDpiForWindow(dialog));
        EXPECT_EQ(inside.right, MulDiv(88, dpi, 96));
        EXPECT_EQ(inside.bottom, MulDiv(92, dpi, 96));
        EXPECT_NE(GetWindowLongPtrW(picture, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
        // The description wraps its words (SS_LEFT); no label is left unwrapped.
        EXPECT_EQ(GetWindowLongPtrW(GetDlgItem(dialog, IDC_LBL_DESCRIPTION), GWL_STYLE) &
                      SS_TYPEMASK,
                  SS_LEFT);
        // The tab order is the order of the children.
        std::vector<int> order;
        for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT))
            order.push_back(GetDlgCtrlID(child));
        EXPECT_EQ(order,
                  (std::vector<int>{IDC_CMD_OK, IDC_PIC_ICON, IDC_CMD_SYS_INFO, IDC_LBL_DESCRIPTION,
                                    IDC_LBL_DISCLAIMER, IDC_LBL_TITLE, IDC_LBL_VERSION}));
    });
}

TEST_F(Win32AboutDialog, DrawsTheEtchedRuleAboveTheButtons) {
    WithDialog([&](HWND dialog) {
        RECT client{};
        GetClientRect(dialog, &client);
        HDC screen = GetDC(dialog);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP picture = CreateCompatibleBitmap(screen, client.right, client.bottom);
        HGDIOBJ old = SelectObject(dc, picture);
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        SendMessageW(dialog, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        for (const int x : {Px(200, dialog), Px(3000, dialog), Px(5600, dialog)}) {
            EXPECT_EQ(GetPixel(dc, x, Px(2445, dialog)), RGB(128, 128, 128)) << x;
            EXPECT_EQ(GetPixel(dc, x, Px(2460, dialog)), RGB(255, 255, 255)) << x;
            EXPECT_EQ(GetPixel(dc, x, Px(2460, dialog) + 1), RGB(255, 255, 255)) << x;
        }
        EXPECT_EQ(GetPixel(dc, Px(3000, dialog), Px(2400, dialog)), RGB(0, 0, 0));
        SelectObject(dc, old);
        DeleteObject(picture);
        DeleteDC(dc);
        ReleaseDC(dialog, screen);
    });
}

TEST_F(Win32AboutDialog, SystemInfoStartsTheToolOrSaysItIsUnavailable) {
    fixture.registry.set("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH",
                         {kTypeString, std::string("C:\\msinfo32.exe") + '\0'});
    fixture.registry.administrator = false;
    WithDialog([&](HWND dialog) { SendMessageW(dialog, WM_COMMAND, IDC_CMD_SYS_INFO, 0); });
    EXPECT_EQ(fixture.launcher.started, std::vector<std::string>{"C:\\msinfo32.exe"});
    EXPECT_TRUE(fixture.messages.texts.empty());

    kestrova::testing::FakeRegistry empty;
    WindowFixture other(printers);
    bool shown = false;
    other.dialogShown = [&](HWND dialog) {
        shown = true;
        SendMessageW(dialog, WM_COMMAND, IDC_CMD_SYS_INFO, 0);
        PostMessageW(dialog, WM_COMMAND, IDC_CMD_OK, 0);
    };
    SendMessageW(other.window.handle(), WM_COMMAND, IDM_HELP_ABOUT, 0);
    EXPECT_TRUE(shown);
    EXPECT_EQ(other.messages.texts, std::vector<std::string>{kSysInfoUnavailable});
}

} // namespace
} // namespace kestrova::win32
