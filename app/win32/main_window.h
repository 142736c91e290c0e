#pragma once
// The main window frmMain on Windows: the report box lstReports under a menu of File > Open,
// File > Print and Help > About. The commands are the shell's, written once for every window;
// this class gives them the Win32 controls and dialogs.

#include "app/report_printing.h"
#include "app/shell_seams.h"
#include "app/sys_info.h"
#include "app/win32/busy_window.h"
#include "app/win32/message_box.h"
#include "app/win32/open_dialog.h"
#include "app/win32/report_box.h"
#include "check/check_result.h"
#include "check/random_source.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kestrova::win32 {

inline constexpr wchar_t kMainWindowClass[] = L"KestrovaTimelineChecker";

// The layout in twips (15 twips per pixel at 96 dpi): the client area's size and its top left
// on the screen, and the report box's place in it.
inline constexpr int kClientLeftTwips = 3720;
inline constexpr int kClientTopTwips = 3375;
inline constexpr int kClientWidthTwips = 7170;
inline constexpr int kClientHeightTwips = 4950;
inline constexpr int kReportLeftTwips = 240;
inline constexpr int kReportTopTwips = 240;
inline constexpr int kReportWidthTwips = 6495;
inline constexpr int kReportHeightTwips = 3855;

// The report box: multi-line, a vertical scroll bar, lines wrapped at its width, editable.
inline constexpr DWORD kReportBoxStyle =
    WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL;

// Where the About dialog's System Info button looks and what it starts.
struct SystemServices {
    Registry& registry;
    ProgramLauncher& launcher;
};

class MainWindow {
public:
    // `dialogs` left empty are the window's own; `dialogShown` is told of each dialog the window
    // opens (the About dialog and the print progress) once it shows.
    MainWindow(HINSTANCE instance, PrinterSource& printers, SystemServices system,
               CommandDialogs dialogs = {}, std::function<void(HWND)> dialogShown = {});
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window, hidden, with its report box holding the focus; false when Windows
    // refused.
    bool create();

    HWND handle() const { return window_; }
    HACCEL accelerators() const { return accelerators_; }

    // The menu commands.
    void mnuFileOpen_Click();
    void Print_Click();
    void mnuHelpAbout_Click();

    // Checks a file (its path UTF-8) as File > Open does one the user chooses: the program's
    // argument and a file dropped on the window come this way.
    void openFile(const std::string& path);

    // Closing the window ends the thread's message loop (the program's window does; a test's
    // windows leave the loop to the test).
    void endLoopOnClose(bool ends) { endsLoop_ = ends; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Places the report box and sets its font for the window's dots per inch.
    void layOut(UINT dpi);
    // Runs the check as a command and keeps the name of the project it checked.
    void runCheck(const std::function<std::optional<CheckResult>()>& check);

    HINSTANCE instance_;
    PrinterSource& printers_;
    SystemServices system_;
    HWND window_ = nullptr;
    HWND reportControl_ = nullptr;
    HACCEL accelerators_ = nullptr;
    HFONT font_ = nullptr;
    std::unique_ptr<EditReportBox> reportBox_;
    OpenFileDialog openDialog_;
    WindowsMessageBox ownMessages_;
    FileSelection& files_;
    MessageDisplay& messages_;
    UnseededRandom random_; // one per window, its position kept from run to run
    PaintingBusyWindow busy_;
    std::function<void(HWND)> dialogShown_;
    std::string lastProject_; // the project checked last, after which a print job is named
    bool endsLoop_ = false;
};

} // namespace kestrova::win32
