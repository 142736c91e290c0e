#include "app/win32/main_window.h"

#include "app/app_info.h"
#include "app/command_guard.h"
#include "app/open_command.h"
#include "app/win32/frm_about.h"
#include "app/win32/print_progress.h"
#include "app/win32/resource_ids.h"
#include "check/wide_text.h"

#include <shellapi.h>

#include <string>
#include <vector>

namespace kestrova::win32 {
namespace {

constexpr DWORD kMainStyle = WS_OVERLAPPEDWINDOW; // sizable, system menu, minimise, maximise
constexpr DWORD kMainExStyle = WS_EX_ACCEPTFILES;

int Px(int twips, UINT dpi) {
    return MulDiv(twips, static_cast<int>(dpi), 1440);
}

// The outer rectangle that gives the client area its place and size at that dpi.
RECT FrameFor(UINT dpi) {
    const int left = Px(kClientLeftTwips, dpi);
    const int top = Px(kClientTopTwips, dpi);
    RECT frame{left, top, left + Px(kClientWidthTwips, dpi), top + Px(kClientHeightTwips, dpi)};
    AdjustWindowRectExForDpi(&frame, kMainStyle, TRUE, kMainExStyle, dpi);
    return frame;
}

// The names of the files a drop carries, UTF-8.
std::vector<std::string> DroppedFiles(HDROP drop) {
    std::vector<std::string> files;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, path.data(), length + 1));
        files.push_back(Utf8(path));
    }
    return files;
}

bool RegisterMainClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(instance, kMainWindowClass, &existing))
        return true;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_KESTROVA_CHECKER), IMAGE_ICON,
                   GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_KESTROVA_CHECKER), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEW(IDR_MAIN_MENU);
    windowClass.lpszClassName = kMainWindowClass;
    return RegisterClassExW(&windowClass) != 0;
}

} // namespace

MainWindow::MainWindow(HINSTANCE instance, PrinterSource& printers, SystemServices system,
                       CommandDialogs dialogs, std::function<void(HWND)> dialogShown)
    : instance_(instance), printers_(printers), system_(system),
      files_(dialogs.files != nullptr ? *dialogs.files : openDialog_),
      messages_(dialogs.messages != nullptr ? *dialogs.messages : ownMessages_),
      dialogShown_(std::move(dialogShown)) {}

MainWindow::~MainWindow() {
    if (window_ != nullptr)
        DestroyWindow(window_);
    if (font_ != nullptr)
        DeleteObject(font_);
}

bool MainWindow::create() {
    if (!RegisterMainClass(instance_, Procedure))
        return false;
    accelerators_ = LoadAcceleratorsW(instance_, MAKEINTRESOURCEW(IDR_MAIN_ACCELERATORS));
    const UINT dpi = GetDpiForSystem();
    const RECT frame = FrameFor(dpi);
    window_ = CreateWindowExW(kMainExStyle, kMainWindowClass, Wide(kMainWindowCaption).c_str(),
                              kMainStyle, frame.left, frame.top, frame.right - frame.left,
                              frame.bottom - frame.top, nullptr, nullptr, instance_, this);
    if (window_ == nullptr)
        return false;
    reportControl_ = CreateWindowExW(
        WS_EX_CLIENTEDGE, L"EDIT", L"", kReportBoxStyle, 0, 0, 0, 0, window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_LST_REPORTS)), instance_, nullptr);
    if (reportControl_ == nullptr)
        return false;
    reportBox_ = std::make_unique<EditReportBox>(reportControl_);
    openDialog_.setOwner(window_);
    ownMessages_.setOwner(window_);
    const UINT windowDpi = GetDpiForWindow(window_);
    if (windowDpi != 0 && windowDpi != dpi) {
        // The window came up on a monitor of another dpi: the layout follows it.
        const RECT scaled = FrameFor(windowDpi);
        SetWindowPos(window_, nullptr, scaled.left, scaled.top, scaled.right - scaled.left,
                     scaled.bottom - scaled.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    layOut(windowDpi != 0 ? windowDpi : dpi);
    DragAcceptFiles(window_, TRUE);
    SetFocus(reportControl_);
    return true;
}

void MainWindow::layOut(UINT dpi) {
    MoveWindow(reportControl_, Px(kReportLeftTwips, dpi), Px(kReportTopTwips, dpi),
               Px(kReportWidthTwips, dpi), Px(kReportHeightTwips, dpi), TRUE);
    // The system's default GUI font, at the size it has on this monitor.
    LOGFONTW face{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof face, &face);
    face.lfHeight =
        MulDiv(face.lfHeight, static_cast<int>(dpi), static_cast<int>(GetDpiForSystem()));
    HFONT font = CreateFontIndirectW(&face);
    SendMessageW(reportControl_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (font_ != nullptr)
        DeleteObject(font_);
    font_ = font;
}

void MainWindow::mnuFileOpen_Click() {
    runCheck([this] { return RunOpenCommand(files_, messages_, *reportBox_, random_, busy_); });
}

void MainWindow::runCheck(const std::function<std::optional<CheckResult>()>& check) {
    RunCommand(messages_, [this, &check] {
        if (const std::optional<CheckResult> result = check())
            lastProject_ = result->file;
    });
}

void MainWindow::Print_Click() {
    RunCommand(messages_, [this] {
        PrintProgressDialog progress(instance_, window_);
        if (dialogShown_)
            progress.onShown(dialogShown_);
        RunPrintCommand(reportBox_->text(), PrintJobName(lastProject_), printers_, messages_,
                        &progress);
    });
}

void MainWindow::mnuHelpAbout_Click() {
    RunCommand(messages_, [this] {
        ShowAboutDialog(instance_, window_, {messages_, system_.registry, system_.launcher},
                        dialogShown_);
    });
}

void MainWindow::openFile(const std::string& path) {
    runCheck([this, &path] {
        return RunOpenCommand(path, files_, messages_, *reportBox_, random_, busy_);
    });
}

LRESULT CALLBACK MainWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    // The commands tell the user of their own failures; whatever else fails leaves the message
    // to the system's handling rather than unwinding through Windows' own frames.
    try {
        return self->handleMessage(message, wParam, lParam);
    } catch (...) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT MainWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDM_FILE_OPEN:
            mnuFileOpen_Click();
            return 0;
        case IDM_FILE_PRINT:
            Print_Click();
            return 0;
        case IDM_HELP_ABOUT:
            mnuHelpAbout_Click();
            return 0;
        }
        break;
    case WM_SETFOCUS:
        if (reportControl_ != nullptr)
            SetFocus(reportControl_);
        return 0;
    case WM_DROPFILES: {
        HDROP drop = reinterpret_cast<HDROP>(wParam);
        RunCommand(messages_, [this, drop] {
            if (const std::optional<std::string> project = DroppedProjectFile(DroppedFiles(drop))) {
                SetForegroundWindow(window_);
                openFile(*project);
            }
        });
        DragFinish(drop);
        return 0;
    }
    case WM_DPICHANGED: {
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        layOut(HIWORD(wParam));
        return 0;
    }
    case WM_DESTROY:
        DragAcceptFiles(window_, FALSE);
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        window_ = nullptr;
        if (endsLoop_)
            PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

} // namespace kestrova::win32
