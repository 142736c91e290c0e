#pragma once
// One table of scenarios that every window must play alike: the Qt window and the Win32 window
// each give a driver over their real adapters (report box, menu commands, drop, About dialog),
// and every row holds one expectation for both: what the box gives back and shows, the messages
// shown (with what the box held at that moment), the printed lines and the About texts.

#include "app/report_printing.h"
#include "app/shell_seams.h"
#include "app/sys_info.h"

#include "fake_system.h"
#include "scripted_files.h"

#include <gtest/gtest.h>

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::testing {

struct ShownMessage {
    std::string text;
    std::string boxWhileShown;
    bool operator==(const ShownMessage&) const = default;
};

struct AboutTexts {
    std::string caption;
    std::string title;
    std::string version;
    bool operator==(const AboutTexts&) const = default;
};

// What a row does once the box holds its text.
enum class Act {
    Open,       // File > Open, the dialog answered with the row's file (or cancelled without one)
    Drop,       // the row's file dropped on the window
    Print,      // File > Print of what the box holds
    Show,       // nothing: the box shows the text it was given
    About,      // Help > About, closed at once
    SystemInfo, // Help > About, then System Info on a machine without the tool
};

struct Scenario {
    std::string name; // the test's name: letters, digits and underscores
    Act act = Act::Show;
    std::string file;      // UTF-8; empty for a cancelled Open
    std::string boxBefore; // set into the box before the act
    bool printerRefuses = false;
    // What the window must do. A checked file puts the engine's report for it in the box and
    // shows the engine's message, if any; otherwise the box keeps boxBefore.
    bool checked = false;
    std::vector<std::string> messages; // shown while the box holds boxBefore
    std::optional<std::string> shown;  // what the box shows, where it differs from the text
    std::vector<std::string> printed;  // the printed lines
    std::optional<AboutTexts> about;   // the About dialog's texts
};

// Readable values in a failure's message.
std::ostream& operator<<(std::ostream& out, const Scenario& row);
void PrintTo(const AboutTexts& texts, std::ostream* out);
void PrintTo(const ShownMessage& message, std::ostream* out);
// The row's name, for the test's name.
std::string ScenarioName(const ::testing::TestParamInfo<Scenario>& info);

// Every row: each project in the test data and the examples opened, then the other cases.
std::vector<Scenario> Scenarios();

// A message display that writes down each message with the report box's text at that moment.
class BoxWatchingMessages final : public MessageDisplay {
public:
    void watch(ReportBox& box) { box_ = &box; }
    void showMessage(const std::string& text) override;
    std::vector<ShownMessage> shown;

private:
    ReportBox* box_ = nullptr;
};

// A default printer whose pages write down the lines drawn on them, or that refuses every job.
class RecordingPrinters final : public PrinterSource {
public:
    std::unique_ptr<Printer> defaultPrinter() override;

    bool refuses = false;
    std::string jobName;
    // The printed lines, page after page, an undrawn (empty) line as an empty text.
    std::vector<std::string> lines;
};

// The fakes a window is built with: its Open dialog, message box, printers, registry (without
// the System Information tool) and program launcher.
struct ScenarioServices {
    ScriptedFiles files;
    BoxWatchingMessages messages;
    RecordingPrinters printers;
    testing::FakeRegistry registry;
    testing::FakeLauncher launcher;
};

// One window, built over the services, driven through its own commands and controls.
class WindowDriver {
public:
    virtual ~WindowDriver() = default;
    // The window's report box as the commands see it.
    virtual ReportBox& box() = 0;
    // What the box shows on screen (UTF-8, CR LF line breaks).
    virtual std::string shownText() = 0;
    virtual void open() = 0;
    virtual void drop(const std::string& file) = 0;
    virtual void print() = 0;
    // Opens Help > About, presses System Info when asked, closes it; the dialog's texts.
    virtual AboutTexts about(bool pressSystemInfo) = 0;
};

// Plays the row on the window and checks every expectation of the row.
void PlayScenario(const Scenario& row, ScenarioServices& services, WindowDriver& window);

} // namespace kestrova::testing
