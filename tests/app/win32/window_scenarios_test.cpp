// The scenario table played on the Win32 window, through its menu commands, report box, dropped
// files and About dialog, as Windows delivers them.

#include "app/win32/main_window.h"

#include "app/win32/resource_ids.h"
#include "check/wide_text.h"

#include "../window_scenarios.h"
#include "window_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

namespace kestrova::win32 {
namespace {

using kestrova::testing::AboutTexts;
using kestrova::testing::ScenarioServices;
using testing::ReportIn;

class Win32WindowDriver final : public kestrova::testing::WindowDriver {
public:
    explicit Win32WindowDriver(ScenarioServices& services)
        : window_(GetModuleHandleW(nullptr), services.printers,
                  {services.registry, services.launcher}, {&services.files, &services.messages},
                  [this](HWND dialog) {
                      if (dialogShown_)
                          dialogShown_(dialog);
                  }) {
        if (window_.create())
            ShowWindow(window_.handle(), SW_SHOWNORMAL);
    }

    bool created() const { return window_.handle() != nullptr; }
    ReportBox& box() override { return ReportIn(window_); }
    std::string shownText() override {
        return Utf8(testing::WindowText(GetDlgItem(window_.handle(), IDC_LST_REPORTS)));
    }
    void open() override { SendMessageW(window_.handle(), WM_COMMAND, IDM_FILE_OPEN, 0); }
    void print() override { SendMessageW(window_.handle(), WM_COMMAND, IDM_FILE_PRINT, 0); }
    void drop(const std::string& file) override { testing::DropFile(window_.handle(), Wide(file)); }

    AboutTexts about(bool pressSystemInfo) override {
        AboutTexts texts;
        dialogShown_ = [&](HWND dialog) {
            texts = {Utf8(testing::WindowText(dialog)),
                     Utf8(testing::WindowText(GetDlgItem(dialog, IDC_LBL_TITLE))),
                     Utf8(testing::WindowText(GetDlgItem(dialog, IDC_LBL_VERSION)))};
            if (pressSystemInfo)
                SendMessageW(dialog, WM_COMMAND, IDC_CMD_SYS_INFO, 0);
            PostMessageW(dialog, WM_COMMAND, IDC_CMD_OK, 0);
        };
        SendMessageW(window_.handle(), WM_COMMAND, IDM_HELP_ABOUT, 0);
        dialogShown_ = {};
        return texts;
    }

private:
    std::function<void(HWND)> dialogShown_;
    MainWindow window_;
};

// Where the Win32 window does not yet do what the table says, and why.
class Win32WindowScenario : public ::testing::TestWithParam<kestrova::testing::Scenario> {};

TEST_P(Win32WindowScenario, PlaysAsTheTableSays) {
    ScenarioServices services;
    Win32WindowDriver window(services);
    ASSERT_TRUE(window.created()) << "the window was not created";
    kestrova::testing::PlayScenario(GetParam(), services, window);
}

INSTANTIATE_TEST_SUITE_P(Table, Win32WindowScenario,
                         ::testing::ValuesIn(kestrova::testing::Scenarios()),
                         kestrova::testing::ScenarioName);

} // namespace
} // namespace kestrova::win32
