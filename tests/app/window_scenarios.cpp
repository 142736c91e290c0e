#include "window_scenarios.h"

#include "app/long_lines.h"
#include "app/open_command.h"
#include "check/check_project.h"
#include "check/file_access.h"
#include "check/report_writer.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>

namespace kestrova::testing {
namespace {

constexpr const char* kEarlierReport = "\r\nearlier report";

// Pages of a few lines, so that a report of some lines goes over more than one.
class RecordingPages final : public PrintPages {
public:
    static constexpr int kLinesPerPage = 5;

    explicit RecordingPages(std::vector<std::string>& printed) : printed_(printed) {}
    int columns() const override { return 200; }
    int linesPerPage() const override { return kLinesPerPage; }
    void drawLine(int row, std::string_view text) override {
        std::vector<std::string>& page = pages_.back();
        page.resize(std::max(page.size(), static_cast<std::size_t>(row) + 1));
        page[static_cast<std::size_t>(row)] = text;
    }
    bool newPage() override {
        pages_.back().resize(kLinesPerPage);
        pages_.emplace_back();
        return true;
    }
    bool failed() const override { return false; }
    bool finish() override {
        for (const std::vector<std::string>& page : pages_)
            printed_.insert(printed_.end(), page.begin(), page.end());
        return true;
    }
    void abandon() override {}

private:
    std::vector<std::string>& printed_;
    std::vector<std::vector<std::string>> pages_{1};
};

class RecordingPrinter final : public Printer {
public:
    explicit RecordingPrinter(RecordingPrinters& source) : source_(source) {}
    std::unique_ptr<PrintPages> startJob(const std::string& jobName) override {
        if (source_.refuses)
            return nullptr;
        source_.jobName = jobName;
        return std::make_unique<RecordingPages>(source_.lines);
    }

private:
    RecordingPrinters& source_;
};

std::string NameOf(const std::string& words) {
    std::string name;
    for (const char c : words)
        name += std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
    return name;
}

// Every project file under the folder, in name order.
std::vector<std::filesystem::path> ProjectsIn(const char* root) {
    std::vector<std::filesystem::path> projects;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(PathFromUtf8(root))) {
        if (entry.path().extension() == ".kpj")
            projects.push_back(entry.path());
    }
    std::sort(projects.begin(), projects.end());
    return projects;
}

std::string TestData(const char* name) {
    return Utf8FromPath(PathFromUtf8(KESTROVA_TEST_DATA) / "app" / name);
}

Scenario Row(std::string name, Act act, std::string boxBefore = kEarlierReport) {
    Scenario row;
    row.name = std::move(name);
    row.act = act;
    row.boxBefore = std::move(boxBefore);
    return row;
}

// The rows that are not one project opened each.
std::vector<Scenario> OtherScenarios() {
    std::vector<Scenario> rows;
    rows.push_back(Row("OpenCancelled", Act::Open));
    rows.push_back(Row("DropProject", Act::Drop));
    rows.back().file = TestData("two_layers.kpj");
    rows.back().checked = true;
    // The shell has no rule of its own for dropped files: a file that is not a project is left
    // alone.
    rows.push_back(Row("DropTextFile", Act::Drop));
    rows.back().file = TestData("dropped_notes.txt");

    const std::string longLine(5000, 'g');
    rows.push_back(Row("LongLine", Act::Show, "\r\nfirst\r\n" + longLine + "\r\nlast"));
    rows.back().shown = "\r\nfirst\r\n" + longLine.substr(0, kLongestShownLine) +
                        LineCutNote(longLine.size()) + "\r\nlast";

    rows.push_back(Row("PrintRefused", Act::Print, "\r\nsomething"));
    rows.back().printerRefuses = true;
    rows.back().messages = {kPrinterRefused};
    rows.push_back(
        Row("PrintReport", Act::Print,
            "\r\nReporting on two_layers.kpj\r\n\r\nLayers:\r\n 1: \tCaf\xC3\xA9 video\r\n"
            "No errors found"));
    const std::string indent(kPrintIndent, ' ');
    rows.back().printed = {"",
                           "",
                           indent,
                           indent + "Reporting on two_layers.kpj",
                           indent,
                           indent + "Layers:",
                           indent + " 1:     Caf\xC3\xA9 video",
                           indent + "No errors found"};

    const AboutTexts about{"About Kestrova Checker", "Kestrova Checker", "Version 1.2.0"};
    rows.push_back(Row("About", Act::About));
    rows.back().about = about;
    rows.push_back(Row("SystemInfoUnavailable", Act::SystemInfo));
    rows.back().about = about;
    rows.back().messages = {kSysInfoUnavailable};
    return rows;
}

// What the box must give back and which messages must show, with what the box held meanwhile.
// A checked file: the engine's report; a project that does not parse shows its message while
// the box holds the report's header, any other message shows with the whole report in the box.
void ExpectBoxAndMessages(const Scenario& row, std::string& box,
                          std::vector<ShownMessage>& messages) {
    if (!row.checked) {
        box = row.boxBefore;
        for (const std::string& text : row.messages)
            messages.push_back({text, row.boxBefore});
        return;
    }
    UnseededRandom random;
    const CheckResult result =
        CheckProject({TakeProjectFile(row.file), WorkingCopyPlace::ProjectFolder, false}, random);
    box = ReportText(result);
    if (result.parseError)
        messages.push_back({ParseErrorMessage(*result.parseError), ReportHeader(result)});
    else if (const std::string message = MessageText(result); !message.empty())
        messages.push_back({message, box});
}

} // namespace

std::ostream& operator<<(std::ostream& out, const Scenario& row) {
    return out << row.name;
}

void PrintTo(const AboutTexts& texts, std::ostream* out) {
    *out << ::testing::PrintToString(
        std::vector<std::string>{texts.caption, texts.title, texts.version});
}

void PrintTo(const ShownMessage& message, std::ostream* out) {
    *out << ::testing::PrintToString(message.text) << " shown while the box held "
         << ::testing::PrintToString(message.boxWhileShown);
}

std::string ScenarioName(const ::testing::TestParamInfo<Scenario>& info) {
    return info.param.name;
}

std::vector<Scenario> Scenarios() {
    // Among the projects: a damaged one (examples/damaged.kpj, tests/data/app/not_xml.kpj), whose
    // message shows while the box holds the header, and checks that stop
    // (tests/data/check/no_multilayer.kpj and others), whose message shows with the whole report.
    std::vector<Scenario> rows;
    for (const char* root : {KESTROVA_TEST_DATA, KESTROVA_EXAMPLES}) {
        const std::filesystem::path base = PathFromUtf8(root);
        for (const std::filesystem::path& project : ProjectsIn(root)) {
            const std::string where = Utf8FromPath(
                base.filename() / project.lexically_relative(base).replace_extension());
            rows.push_back(Row("Open_" + NameOf(where), Act::Open));
            rows.back().file = Utf8FromPath(project);
            rows.back().checked = true;
        }
    }
    std::vector<Scenario> others = OtherScenarios();
    rows.insert(rows.end(), others.begin(), others.end());
    return rows;
}

void BoxWatchingMessages::showMessage(const std::string& text) {
    shown.push_back({text, box_ != nullptr ? box_->text() : std::string()});
}

std::unique_ptr<Printer> RecordingPrinters::defaultPrinter() {
    return std::make_unique<RecordingPrinter>(*this);
}

void PlayScenario(const Scenario& row, ScenarioServices& services, WindowDriver& window) {
    services.messages.watch(window.box());
    window.box().setText(row.boxBefore);
    services.printers.refuses = row.printerRefuses;
    std::optional<AboutTexts> about;
    switch (row.act) {
    case Act::Open:
        if (row.file.empty())
            services.files.cancel();
        else
            services.files.answer(row.file);
        window.open();
        break;
    case Act::Drop:
        window.drop(row.file);
        break;
    case Act::Print:
        window.print();
        break;
    case Act::Show:
        break;
    case Act::About:
    case Act::SystemInfo:
        about = window.about(row.act == Act::SystemInfo);
        break;
    }

    std::string box;
    std::vector<ShownMessage> messages;
    ExpectBoxAndMessages(row, box, messages);
    EXPECT_EQ(window.box().text(), box);
    EXPECT_EQ(window.shownText(), row.shown.value_or(box));
    EXPECT_EQ(services.messages.shown, messages);
    EXPECT_EQ(services.files.timesAsked, row.act == Act::Open ? 1 : 0) << "Open dialogs shown";
    // A dropped project is taken as a choice in the dialog is, and offered by the dialog next.
    const bool dropped = row.checked && row.act == Act::Drop;
    EXPECT_EQ(services.files.offered, dropped ? TakeProjectFile(row.file) : "");
    EXPECT_EQ(services.printers.lines, row.printed);
    if (!row.printed.empty()) {
        EXPECT_EQ(services.printers.jobName, "Kestrova Checker");
    }
    EXPECT_EQ(about, row.about);
}

} // namespace kestrova::testing
