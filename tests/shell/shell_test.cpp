// The application shell's File > Print without a toolkit: the printed lines, the line loop over
// the pages and the messages. File > Open is tried through the check tests' runs.

#include "app/report_printing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrova {
namespace {

using Lines = std::vector<std::string>;

const std::string kIndent(10, ' ');

TEST(PrintedLines, IndentEveryReportLineAfterTwoEmptyLines) {
    EXPECT_EQ(PrintedLines("\r\nReporting on /p.kpj\r\n\r\nLayers:\r\n\r\nNo errors found"),
              (Lines{"", "", kIndent, kIndent + "Reporting on /p.kpj", kIndent,
                     kIndent + "Layers:", kIndent, kIndent + "No errors found"}));
}

TEST(PrintedLines, SplitOnlyAtCrLf) {
    EXPECT_EQ(PrintedLines("\r\n"), (Lines{"", "", kIndent, kIndent}));
    EXPECT_EQ(PrintedLines("one line only"), (Lines{"", "", kIndent + "one line only"}));
    EXPECT_EQ(PrintedLines("ends\r\n"), (Lines{"", "", kIndent + "ends", kIndent}));
    EXPECT_EQ(PrintedLines("a\nb\rc\r\nd"), (Lines{"", "", kIndent + "a\nb\rc", kIndent + "d"}));
    EXPECT_EQ(PrintedLines("\r\r\n\n"), (Lines{"", "", kIndent + "\r", kIndent + "\n"}));
}

TEST(PrintedLines, ExpandTabsToEveryEighthColumnOfTheReportLine) {
    EXPECT_EQ(PrintedLines("\tW\r\n 1: \tVideo\r\n12345678\tx\r\n\xC3\xA9\tx"),
              (Lines{"", "", kIndent + "        W", kIndent + " 1:     Video",
                     kIndent + "12345678        x", kIndent + "\xC3\xA9       x"}));
}

TEST(PrintedLines, KeepLinesLongerThan32764CharactersWhole) {
    const std::string exact(32764, 'a');
    const std::string longer(40000, 'b');
    EXPECT_EQ(PrintedLines(exact + "\r\n" + longer + "\r\nend"),
              (Lines{"", "", kIndent + exact, kIndent + longer, kIndent + "end"}));
}

TEST(PrintedLines, GoOnInTheNextLinesWithTheSameIndentWhenWiderThanThePage) {
    const int columns = 10 + 12; // twelve characters of text fit
    const struct {
        std::string line;
        Lines printed;
    } cases[] = {
        {"fits exactly", {"fits exactly"}},
        {"break at the last space", {"break at the", "last space"}},
        {"averyveryverylongword end", {"averyveryver", "ylongword", "end"}},
        {"twelve chars next", {"twelve chars", "next"}},
        {"\tindented tab text", {"        inde", "nted tab", "text"}},
        // A character of several bytes is one column, and is never cut in two.
        {"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
         "\xC3\xA9\xC3\xA9\xC3\xA9",
         {"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
          "\xC3\xA9\xC3\xA9",
          "\xC3\xA9"}},
        {"", {""}},
    };
    for (const auto& c : cases) {
        Lines expected{"", ""};
        for (const std::string& piece : c.printed)
            expected.push_back(kIndent + piece);
        EXPECT_EQ(PrintedLines(c.line, columns), expected) << c.line;
    }
}

// Pages that write down what is drawn on them; the page break numbered `failingBreak` fails.
class RecordedPages final : public PrintPages {
public:
    RecordedPages(int linesPerPage, int failingBreak = 0)
        : linesPerPage_(linesPerPage), failingBreak_(failingBreak) {}
    int columns() const override { return 80; }
    int linesPerPage() const override { return linesPerPage_; }
    void drawLine(int row, std::string_view text) override {
        pages.back().push_back(std::to_string(row) + ":" + std::string(text));
    }
    bool newPage() override {
        if (static_cast<int>(pages.size()) == failingBreak_)
            return false;
        pages.emplace_back();
        return true;
    }
    bool failed() const override { return false; }
    bool finish() override { return ended = true; }
    void abandon() override { abandoned = true; }

    std::vector<Lines> pages{Lines{}};
    bool ended = false;
    bool abandoned = false;

private:
    int linesPerPage_;
    int failingBreak_;
};

class ScriptedProgress final : public PrintProgress {
public:
    explicit ScriptedProgress(int cancelAt) : cancelAt_(cancelAt) {}
    void start(int pages) override { total = pages; }
    bool pageDone(int done) override {
        reported.push_back(done);
        return done != cancelAt_;
    }
    int total = 0;
    std::vector<int> reported;

private:
    int cancelAt_;
};

// Every page keeps half an inch clear on each side, or what the printer cannot print on where
// that is more; characters and lines fit by the font's real steps. A4 at 600 dots per inch.
TEST(LayOutPage, KeepsTheSameMarginsAndFitsWholeCharactersAndLines) {
    const double width = 4960, height = 7016, margin = 300;
    const auto sheet = [&](double edge) {
        return PrintSheet{width, height, edge, edge, width - 2 * edge, height - 2 * edge, 600, 600};
    };
    const struct {
        const char* name;
        PrintSheet sheet;
        double advance;
        PageLayout expected;
    } cases[] = {
        {"printable to the edges", sheet(0), 50, {margin, margin, 87, 64}},
        {"narrow unprintable edge", sheet(150), 50, {margin - 150, margin - 150, 87, 64}},
        {"wide unprintable edge", sheet(450), 50, {0, 0, 81, 61}},
        {"a step that is no whole number", sheet(0), 60.1, {margin, margin, 72, 64}},
        {"a step that fits exactly", sheet(0), (width - 2 * margin) / 80, {margin, margin, 80, 64}},
    };
    for (const auto& c : cases) {
        const PageLayout layout = LayOutPage(c.sheet, c.advance, 100);
        EXPECT_DOUBLE_EQ(layout.left, c.expected.left) << c.name;
        EXPECT_DOUBLE_EQ(layout.top, c.expected.top) << c.name;
        EXPECT_EQ(layout.columns, c.expected.columns) << c.name;
        EXPECT_EQ(layout.linesPerPage, c.expected.linesPerPage) << c.name;
    }
}

TEST(PrintLines, FillEachPageThenGoOnToTheNextAndEndTheJob) {
    RecordedPages pages(3);
    EXPECT_EQ(PrintLines(pages, "\r\na\r\nb\r\nc", nullptr), PrintResult::Printed);
    // Empty lines are not drawn, but take their row.
    EXPECT_EQ(pages.pages, (std::vector<Lines>{{"2:" + kIndent},
                                               {"0:" + kIndent + "a", "1:" + kIndent + "b",
                                                "2:" + kIndent + "c"}}));
    EXPECT_TRUE(pages.ended);
    EXPECT_FALSE(pages.abandoned);
}

TEST(PrintLines, ShowProgressOnlyBeyondThreePagesAndAbandonOnCancelOrFailure) {
    const struct {
        int lines;
        int cancelAt;
        int failingBreak;
        PrintResult result;
        int total;
        std::vector<int> reported;
    } cases[] = {
        // Two empty lines, the report's empty first line and the numbered ones, 4 to a page.
        {9, 0, 0, PrintResult::Printed, 0, {}},            // 3 pages: no progress
        {13, 0, 0, PrintResult::Printed, 4, {1, 2, 3, 4}}, // 4 pages
        {13, 2, 0, PrintResult::Cancelled, 4, {1, 2}},     // cancelled after page 2
        {13, 0, 2, PrintResult::Failed, 4, {1, 2}},        // the second page break fails
    };
    for (const auto& c : cases) {
        std::string report;
        for (int i = 0; i < c.lines; ++i)
            report += "\r\nline";
        RecordedPages pages(4, c.failingBreak);
        ScriptedProgress progress(c.cancelAt);
        EXPECT_EQ(PrintLines(pages, report, &progress), c.result) << c.lines;
        EXPECT_EQ(progress.total, c.total) << c.lines;
        EXPECT_EQ(progress.reported, c.reported) << c.lines;
        EXPECT_EQ(pages.abandoned, c.result != PrintResult::Printed) << c.lines;
        EXPECT_EQ(pages.ended, c.result == PrintResult::Printed) << c.lines;
    }
}

class RecordedMessages final : public MessageDisplay {
public:
    void showMessage(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

// A printer that answers as it is told, and a source that hands it out.
struct ScriptedPrinter final : Printer {
    std::string refusal;
    bool refusesJob = false;
    std::string deliveryProblem;
    std::string jobName;
    std::string refusalBeforePrinting() override { return refusal; }
    std::unique_ptr<PrintPages> startJob(const std::string& name) override {
        jobName = name;
        return refusesJob ? nullptr : std::make_unique<RecordedPages>(60);
    }
    std::string deliver() override { return deliveryProblem; }
};

struct ScriptedSource final : PrinterSource {
    bool hasPrinter = true;
    ScriptedPrinter answers;
    ScriptedPrinter* handedOut = nullptr;
    std::unique_ptr<Printer> defaultPrinter() override {
        if (!hasPrinter)
            return nullptr;
        auto printer = std::make_unique<ScriptedPrinter>(answers);
        handedOut = printer.get();
        return printer;
    }
};

TEST(RunPrintCommand, TellsTheUserWhyNothingWasPrintedAndIsSilentOnSuccess) {
    const struct {
        const char* name;
        std::string report;
        bool hasPrinter;
        std::string refusal;
        bool refusesJob;
        std::string deliveryProblem;
        std::vector<std::string> messages;
    } cases[] = {
        {"empty box", "", true, "", false, "", {kNothingToPrint}},
        {"only a line break", "\r\n", true, "", false, "", {}},
        {"no default printer", "\r\nReport", false, "", false, "", {kNoDefaultPrinter}},
        {"queue refuses",
         "\r\nReport",
         true,
         "The printer \"q\" is stopped.",
         false,
         "",
         {"The printer \"q\" is stopped."}},
        {"job refused", "\r\nReport", true, "", true, "", {kPrinterRefused}},
        {"job failed in the queue",
         "\r\nReport",
         true,
         "",
         false,
         "The job was aborted.",
         {"The job was aborted."}},
    };
    for (const auto& c : cases) {
        ScriptedSource printers;
        printers.hasPrinter = c.hasPrinter;
        printers.answers.refusal = c.refusal;
        printers.answers.refusesJob = c.refusesJob;
        printers.answers.deliveryProblem = c.deliveryProblem;
        RecordedMessages messages;
        RunPrintCommand(c.report, "Kestrova Checker", printers, messages);
        EXPECT_EQ(messages.texts, c.messages) << c.name;
    }
}

TEST(PrintJobName, NamesTheProjectCheckedLast) {
    EXPECT_EQ(PrintJobName(""), "Kestrova Checker");
    EXPECT_EQ(PrintJobName("/films/holiday.kpj"), "Kestrova Checker \xE2\x80\x93 holiday.kpj");
}

} // namespace
} // namespace kestrova
