// The Windows window in the process of the test, under a real window system: its frame, menu,
// accelerators, report box, File > Open with the real dialog and with scripted answers, the
// message box, the About dialog, and the command-line and dropped file.

#include "app/win32/main_window.h"

#include "app/command_guard.h"
#include "app/report_printing.h"
#include "app/win32/resource_ids.h"
#include "check/check_project.h"
#include "check/report_writer.h"
#include "check/wide_text.h"

#include "window_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commdlg.h>
#include <shlobj.h>

#include <chrono>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

namespace kestrova::win32 {
namespace {

using testing::DropFile;
using testing::DropFiles;
using testing::NoPrinters;
using testing::PlaceInParent;
using testing::PumpUntil;
using testing::Px;
using testing::ReportIn;
using testing::WindowFixture;
using testing::WindowText;

class Win32Window : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fixture.created) << "the window was not created"; }

    HWND main() const { return fixture.window.handle(); }
    HWND box() const { return GetDlgItem(fixture.window.handle(), IDC_LST_REPORTS); }
    MainWindow& window() { return fixture.window; }

    NoPrinters printers;
    WindowFixture fixture{printers};
};

TEST_F(Win32Window, HasItsCaptionFrameAndClientAreaInTwips) {
    EXPECT_EQ(WindowText(main()), L"Kestrova Timeline Checker");
    const LONG_PTR style = GetWindowLongPtrW(main(), GWL_STYLE);
    for (LONG_PTR bit : {WS_CAPTION, WS_SYSMENU, WS_THICKFRAME, WS_MINIMIZEBOX, WS_MAXIMIZEBOX})
        EXPECT_EQ(style & bit, bit);
    RECT client{};
    GetClientRect(main(), &client);
    EXPECT_EQ(client.right, Px(7170, main()));
    EXPECT_EQ(client.bottom, Px(4950, main()));
    POINT origin{0, 0};
    ClientToScreen(main(), &origin);
    EXPECT_EQ(origin.x, Px(3720, main()));
    EXPECT_EQ(origin.y, Px(3375, main()));
}

TEST_F(Win32Window, HasTheIconAtBothSizes) {
    for (auto [index, metric] : {std::pair{GCLP_HICON, SM_CXICON}, {GCLP_HICONSM, SM_CXSMICON}}) {
        HICON icon = reinterpret_cast<HICON>(GetClassLongPtrW(main(), index));
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP picture{};
        GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof picture,
                   &picture);
        EXPECT_EQ(picture.bmWidth, GetSystemMetrics(metric));
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
}

struct MenuEntry {
    std::wstring text;
    UINT id;
};

std::vector<MenuEntry> Entries(HMENU menu) {
    std::vector<MenuEntry> entries;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        entries.push_back({text, GetMenuItemID(menu, i)});
    }
    return entries;
}

TEST_F(Win32Window, MenusHoldOpenPrintAndAboutOnly) {
    HMENU bar = GetMenu(main());
    ASSERT_NE(bar, nullptr);
    const std::vector<MenuEntry> top = Entries(bar);
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(top[0].text, L"&File");
    EXPECT_EQ(top[1].text, L"&Help");
    const std::vector<MenuEntry> file = Entries(GetSubMenu(bar, 0));
    const std::vector<MenuEntry> help = Entries(GetSubMenu(bar, 1));
    ASSERT_EQ(file.size(), 2u);
    ASSERT_EQ(help.size(), 1u);
    EXPECT_EQ(file[0].text, L"&Open\tCtrl+O");
    EXPECT_EQ(file[0].id, static_cast<UINT>(IDM_FILE_OPEN));
    EXPECT_EQ(file[1].text, L"&Print\tCtrl+P");
    EXPECT_EQ(file[1].id, static_cast<UINT>(IDM_FILE_PRINT));
    EXPECT_EQ(help[0].text, L"&About");
    EXPECT_EQ(help[0].id, static_cast<UINT>(IDM_HELP_ABOUT));

    ACCEL keys[4] = {};
    ASSERT_EQ(CopyAcceleratorTableW(window().accelerators(), keys, 4), 2);
    for (const ACCEL& key : keys) {
        if (key.cmd == 0)
            continue;
        EXPECT_EQ(key.fVirt, FVIRTKEY | FCONTROL);
        EXPECT_EQ(key.key, key.cmd == IDM_FILE_OPEN ? 'O' : 'P');
    }
}

TEST_F(Win32Window, TheReportBoxWrapsScrollsDownIsEditableAndHasTheFocus) {
    const LONG_PTR style = GetWindowLongPtrW(box(), GWL_STYLE);
    EXPECT_NE(style & ES_MULTILINE, 0);
    EXPECT_NE(style & WS_VSCROLL, 0);
    EXPECT_EQ(style & (WS_HSCROLL | ES_AUTOHSCROLL | ES_READONLY), 0);
    EXPECT_EQ(GetFocus(), box());
    const RECT place = PlaceInParent(box());
    EXPECT_EQ(place.left, Px(240, main()));
    EXPECT_EQ(place.top, Px(240, main()));
    EXPECT_EQ(place.right - place.left, Px(6495, main()));
    EXPECT_EQ(place.bottom - place.top, Px(3855, main()));
    // The system's default GUI font.
    LOGFONTW used{}, system{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(box(), WM_GETFONT, 0, 0)), sizeof used, &used);
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof system, &system);
    EXPECT_EQ(std::wstring(used.lfFaceName), std::wstring(system.lfFaceName));
    // A larger window keeps the box where it was.
    SetWindowPos(main(), nullptr, 0, 0, 900, 700, SWP_NOMOVE | SWP_NOZORDER);
    const RECT after = PlaceInParent(box());
    EXPECT_EQ(after.right - after.left, place.right - place.left);
    EXPECT_EQ(after.bottom - after.top, place.bottom - place.top);
}

// A report of `lines` gap lines, as the engine writes them.
std::string GapReport(int lines) {
    std::string report = "\r\nKestrova project: many gaps\r\nLayers:\r\n";
    for (int i = 0; i < lines; ++i)
        report +=
            "\r\nGap in layer 1 from " + std::to_string(i) + "s to " + std::to_string(i) + ".5s";
    return report;
}

TEST_F(Win32Window, TheReportBoxGivesBackEveryTextExactly) {
    const std::vector<std::string> texts = {
        "",
        "\r\nLayers:\r\nLayer 1: \xC3\x9C"
        "berblick \xF0\x9F\x8E\xAC\r\nNo errors found",
        "a lone\nline feed and a lone\rcarriage return\r\n\r\n",
        "\ttabs\tstay\t",
        std::string(40000, 'x'), // over the control's default limit of 32,767
        GapReport(100000),
    };
    for (const std::string& text : texts) {
        ReportIn(window()).setText(text);
        EXPECT_EQ(ReportIn(window()).text(), text) << text.substr(0, 60);
    }
    // A long report goes into the control by parts while the window waits for input.
    EXPECT_TRUE(PumpUntil(
        [&] {
            return static_cast<std::size_t>(GetWindowTextLengthW(box())) >= texts.back().size();
        },
        std::chrono::minutes(3)));
    EXPECT_EQ(static_cast<std::size_t>(GetWindowTextLengthW(box())), texts.back().size())
        << "the whole report is in the box";
    EXPECT_EQ(ReportIn(window()).text(), texts.back());
}

TEST_F(Win32Window, ALongReportShowsItsTopAtOnceAndTheRestKeepsTheUsersPlace) {
    const std::string report = GapReport(static_cast<int>(kLinesSetAtOnce) * 4);
    ReportIn(window()).setText(report);
    const std::wstring top = WindowText(box());
    ASSERT_LT(top.size(), report.size());
    EXPECT_EQ(Utf8(top), report.substr(0, top.size()));
    SendMessageW(box(), EM_SETSEL, 100, 120);
    SendMessageW(box(), EM_LINESCROLL, 0, 7);
    const LRESULT firstVisible = SendMessageW(box(), EM_GETFIRSTVISIBLELINE, 0, 0);
    ASSERT_GT(firstVisible, 0);
    EXPECT_TRUE(PumpUntil(
        [&] { return static_cast<std::size_t>(GetWindowTextLengthW(box())) >= report.size(); },
        std::chrono::minutes(1)));
    EXPECT_EQ(Utf8(WindowText(box())), report);
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(box(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 100u);
    EXPECT_EQ(end, 120u);
    EXPECT_EQ(SendMessageW(box(), EM_GETFIRSTVISIBLELINE, 0, 0), firstVisible);

    // A report set while the last one is still going in replaces it whole.
    ReportIn(window()).setText(report);
    ReportIn(window()).setText("\r\nshort");
    PumpUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(WindowText(box()), L"\r\nshort");
}

TEST_F(Win32Window, AMegabyteLineIsShownCutAtOnceAndGivenBackWhole) {
    const std::string line(1 << 20, 'g');
    const std::string report = "\r\nfirst\r\n" + line + "\r\nlast";
    const auto start = std::chrono::steady_clock::now();
    ReportIn(window()).setText(report);
    UpdateWindow(main());
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_LT(static_cast<std::size_t>(GetWindowTextLengthW(box())), kLongestShownLine + 200);
    EXPECT_NE(WindowText(box()).find(L"line shortened on screen: 1048576 characters"),
              std::wstring::npos);
    EXPECT_EQ(ReportIn(window()).text(), report);
    // Once the user edits the shortened line, the box gives back what it shows.
    SendMessageW(box(), EM_SETSEL, 9, 9);
    SendMessageW(box(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"h"));
    const std::string edited = ReportIn(window()).text();
    EXPECT_EQ(edited.substr(0, 10), "\r\nfirst\r\nh");
    EXPECT_LT(edited.size(), kLongestShownLine + 200);
    EXPECT_EQ(edited.substr(edited.size() - 6), "\r\nlast");
}

// A long layer name that nameless layers repeat: thousands of lines just under the longest.
TEST_F(Win32Window, ThousandsOfLongLinesAreShownWithinTheRoomForLongLinesAndGivenBackWhole) {
    std::string report = "\r\nLayers:";
    for (int i = 1; i <= 3000; ++i)
        report += "\r\n " + std::to_string(i) + ": \t" + std::string(4990, 'n');
    ReportIn(window()).setText(report);
    EXPECT_LT(static_cast<std::size_t>(GetWindowTextLengthW(box())),
              kLongLinesShown + 3000 * (kLongLine + LineCutNote(4999).size() + 2));
    EXPECT_EQ(ReportIn(window()).text(), report);
}

std::vector<std::filesystem::path> Projects() {
    std::vector<std::filesystem::path> projects;
    for (const char* root : {KESTROVA_TEST_DATA, KESTROVA_EXAMPLES}) {
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(std::filesystem::u8path(root))) {
            if (entry.path().extension() != ".kpj")
                continue;
            // The full path as the Open dialog gives it, with backslashes.
            wchar_t full[MAX_PATH] = {};
            GetFullPathNameW(entry.path().c_str(), MAX_PATH, full, nullptr);
            projects.emplace_back(full);
        }
    }
    return projects;
}

// A project under a name outside every Windows code page, in a folder of the test's own.
TEST_F(Win32Window, OpensAProjectWhoseNameNeedsUnicode) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::filesystem::path folder =
        std::filesystem::path(temp) /
        (L"\u00dcberblick \u0436\u2013" + std::to_wstring(GetCurrentProcessId()));
    std::filesystem::create_directory(folder);
    const std::filesystem::path project = folder / L"\u00dcberblick \U0001F3AC.kpj";
    std::filesystem::copy_file(std::filesystem::u8path(KESTROVA_EXAMPLES) / "rough-cut.kpj",
                               project);
    UnseededRandom random;
    const std::string expected = ReportText(
        CheckProject({Utf8(project.wstring()), WorkingCopyPlace::CurrentDirectory}, random));
    window().openFile(Utf8(project.wstring()));
    const std::string shown = ReportIn(window()).text();
    SetCurrentDirectoryW(temp);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    EXPECT_EQ(shown, expected);
    EXPECT_NE(shown.find(Utf8(project.filename().wstring())), std::string::npos);
    EXPECT_EQ(fixture.files.offered, Utf8(project.wstring())) << "offered by the dialog next";
}

TEST_F(Win32Window, TheOpenDialogFiltersProjectFilesAndOffersTheLastOne) {
    OpenFileDialog openDialog;
    WindowFixture withDialog(printers, &openDialog);
    ASSERT_TRUE(withDialog.created);
    openDialog.setOwner(withDialog.window.handle());
    OPENFILENAMEW dialog;
    std::wstring buffer;
    openDialog.prepare(dialog, buffer);
    EXPECT_EQ(dialog.Flags, 0x201004u);
    EXPECT_EQ(dialog.hwndOwner, withDialog.window.handle());
    EXPECT_EQ(std::wstring(dialog.lpstrFilter, 31),
              std::wstring(L"Kestrova 4 Project file\0*.kpj\0\0", 31));
    EXPECT_EQ(std::wstring(buffer.c_str()), L"");
    const std::filesystem::path project = Projects().front();
    withDialog.window.openFile(Utf8(project.wstring()));
    openDialog.prepare(dialog, buffer);
    EXPECT_EQ(std::filesystem::path(buffer.c_str()), project);
}

// Types the file name (a std::wstring in lCustData) into the real dialog once it has opened,
// and presses OK.
UINT_PTR CALLBACK TypeNameAndPressOk(HWND hook, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(hook, GWLP_USERDATA,
                          reinterpret_cast<const OPENFILENAMEW*>(lParam)->lCustData);
    } else if (message == WM_NOTIFY &&
               reinterpret_cast<const OFNOTIFYW*>(lParam)->hdr.code == CDN_INITDONE) {
        HWND dialog = GetParent(hook);
        const auto* name =
            reinterpret_cast<const std::wstring*>(GetWindowLongPtrW(hook, GWLP_USERDATA));
        // The file name box: a combo box (cmb13) in newer dialogs, an edit (edt1) in older.
        if (!SetDlgItemTextW(dialog, cmb13, name->c_str()))
            SetDlgItemTextW(dialog, edt1, name->c_str());
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
    return 0;
}

// A window whose Open dialog is the real one, with the names it is to type.
struct TypingWindow {
    explicit TypingWindow(PrinterSource& printers)
        : openDialog(nullptr, {TypeNameAndPressOk, reinterpret_cast<LPARAM>(&typed)}),
          fixture(printers, &openDialog) {
        openDialog.setOwner(fixture.window.handle());
    }
    // The file the dialog offers when it next opens.
    std::filesystem::path offered() const {
        OPENFILENAMEW dialog;
        std::wstring buffer;
        openDialog.prepare(dialog, buffer);
        return buffer.c_str();
    }
    std::wstring typed;
    OpenFileDialog openDialog;
    WindowFixture fixture;
};

TEST_F(Win32Window, TheRealOpenDialogTakesATypedNameAndMovesTheWorkingFolder) {
    TypingWindow typing(printers);
    ASSERT_TRUE(typing.fixture.created);
    const std::filesystem::path project = Projects().front();
    SetCurrentDirectoryW(L"C:\\");
    typing.typed = project.wstring();
    SendMessageW(typing.fixture.window.handle(), WM_COMMAND, IDM_FILE_OPEN, 0);
    EXPECT_EQ(typing.offered(), project);
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    EXPECT_EQ(std::filesystem::path(folder), project.parent_path());
    EXPECT_FALSE(ReportIn(typing.fixture.window).text().empty());
}

TEST_F(Win32Window, AProjectFileDroppedOnTheWindowIsCheckedAndOtherDropsAreNot) {
    const std::filesystem::path project = Projects().front();
    const std::wstring name = project.wstring();
    ReportIn(window()).setText("\r\nearlier report");
    const std::filesystem::path notes = std::filesystem::u8path(KESTROVA_TEST_DATA) / "notes.txt";
    DropFile(main(), notes.wstring());
    DropFiles(main(), {name, name});
    EXPECT_EQ(ReportIn(window()).text(), "\r\nearlier report");
    EXPECT_TRUE(fixture.files.offered.empty()) << "no check ran";
    EXPECT_TRUE(fixture.messages.texts.empty());

    DropFile(main(), name);
    EXPECT_EQ(fixture.files.offered, Utf8(name)) << "offered by the dialog next";
    EXPECT_EQ(fixture.files.timesAsked, 0);
    UnseededRandom random;
    EXPECT_EQ(ReportIn(window()).text(),
              ReportText(CheckProject({Utf8(name), WorkingCopyPlace::CurrentDirectory}, random)));
    EXPECT_NE(GetWindowLongPtrW(main(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
}

// Latin, Cyrillic and CJK names, for the folder and the project, dropped and typed into the
// real Open dialog: each is checked, and its working copy goes again.
TEST_F(Win32Window, NamesInEveryScriptAreCheckedWhenDroppedOrTypedIntoTheOpenDialog) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::filesystem::path root =
        std::filesystem::path(temp) / (L"kestrova-names-" + std::to_wstring(GetCurrentProcessId()));
    UnseededRandom random;
    TypingWindow typing(printers);
    ASSERT_TRUE(typing.fixture.created);
    const HWND typingMain = typing.fixture.window.handle();
    ReportBox& box = ReportIn(typing.fixture.window);
    for (const wchar_t* name : {L"Caf\u00e9", L"\u041a\u0438\u043d\u043e", L"\u6620\u753b"}) {
        const std::filesystem::path folder = root / name;
        std::filesystem::create_directories(folder);
        const std::filesystem::path project = folder / (std::wstring(name) + L".kpj");
        std::filesystem::copy_file(std::filesystem::u8path(KESTROVA_EXAMPLES) / "rough-cut.kpj",
                                   project);
        SetCurrentDirectoryW(folder.c_str());
        const std::string expected = ReportText(
            CheckProject({Utf8(project.wstring()), WorkingCopyPlace::CurrentDirectory}, random));
        box.setText("");
        DropFile(typingMain, project.wstring());
        EXPECT_EQ(box.text(), expected) << Utf8(name);
        box.setText("");
        SetCurrentDirectoryW(temp);
        typing.typed = project.wstring();
        SendMessageW(typingMain, WM_COMMAND, IDM_FILE_OPEN, 0);
        EXPECT_EQ(box.text(), expected) << Utf8(name);
        EXPECT_EQ(typing.offered(), project);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                                std::filesystem::directory_iterator()),
                  1)
            << "a working copy was left beside " << Utf8(name);
    }
    SetCurrentDirectoryW(temp);
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

// The message box, found while it shows and closed with OK.
struct ShownBox {
    std::wstring caption;
    std::wstring text;
    HWND owner = nullptr;
    bool icon = false;
    int buttons = 0;
};
ShownBox g_box;
bool g_boxSeen = false;

BOOL CALLBACK CountButton(HWND child, LPARAM) {
    wchar_t name[32] = {};
    GetClassNameW(child, name, 32);
    if (std::wstring(name) == L"Button" && IsWindowVisible(child))
        ++g_box.buttons;
    return TRUE;
}

void CALLBACK CloseMessageBox(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = FindWindowW(L"#32770", L"Kestrova Checker");
    if (box == nullptr)
        return;
    KillTimer(nullptr, timer);
    g_boxSeen = true;
    g_box.caption = WindowText(box);
    g_box.text = WindowText(GetDlgItem(box, 0xFFFF));
    g_box.owner = GetWindow(box, GW_OWNER);
    g_box.icon = GetDlgItem(box, 0x14) != nullptr && IsWindowVisible(GetDlgItem(box, 0x14));
    EnumChildWindows(box, CountButton, 0);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST_F(Win32Window, MessagesShowInABoxOwnedByTheWindowWithOkOnly) {
    g_boxSeen = false;
    g_box = {};
    SetTimer(nullptr, 0, 50, CloseMessageBox);
    WindowsMessageBox messages(main());
    messages.showMessage("First line\r\nsecond line \xE2\x80\x93 Gr\xC3\xBC\xC3\x9F"
                         "e");
    ASSERT_TRUE(g_boxSeen);
    EXPECT_EQ(g_box.caption, L"Kestrova Checker");
    EXPECT_EQ(g_box.text, L"First line\r\nsecond line \u2013 Gr\u00fc\u00dfe");
    EXPECT_EQ(g_box.owner, main());
    EXPECT_FALSE(g_box.icon);
    EXPECT_EQ(g_box.buttons, 1);
}

TEST_F(Win32Window, PrintingAnEmptyBoxOrWithoutAPrinterSaysSo) {
    SendMessageW(main(), WM_COMMAND, IDM_FILE_PRINT, 0);
    ReportIn(window()).setText("\r\nsomething");
    SendMessageW(main(), WM_COMMAND, IDM_FILE_PRINT, 0);
    EXPECT_EQ(fixture.messages.texts,
              (std::vector<std::string>{kNothingToPrint, kNoDefaultPrinter}));
}

// Memory runs out while a command lays out its work.
class MemoryShortPrinters final : public PrinterSource {
public:
    std::unique_ptr<Printer> defaultPrinter() override { throw std::bad_alloc(); }
};

TEST(Win32WindowMemory, ACommandThatRunsOutOfMemorySaysSoAndTheWindowGoesOn) {
    MemoryShortPrinters printers;
    testing::WindowFixture fixture{printers};
    ASSERT_TRUE(fixture.created);
    MainWindow& window = fixture.window;
    ReportIn(window).setText("\r\nsomething");
    SendMessageW(window.handle(), WM_COMMAND, IDM_FILE_PRINT, 0);
    ASSERT_TRUE(IsWindow(window.handle()));
    ReportIn(window).setText("");
    SendMessageW(window.handle(), WM_COMMAND, IDM_FILE_PRINT, 0);
    EXPECT_EQ(fixture.messages.texts,
              (std::vector<std::string>{kNotEnoughMemory, kNothingToPrint}));
}

} // namespace
} // namespace kestrova::win32
