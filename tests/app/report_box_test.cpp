// The report box gives back exactly the text it was given, and typed text with CR LF breaks.

#include "app/qt/report_box.h"

#include "app/long_lines.h"

#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <string>

namespace kestrova::qt {
namespace {

std::string RoundTrip(const std::string& text) {
    QPlainTextEdit box;
    PlainTextReportBox report(box);
    report.setText(text);
    return report.text();
}

TEST(ReportBox, GivesBackEveryTextExactlyAsSet) {
    const std::string cases[] = {
        "",
        "\r\nReporting on /tmp/a.kpj\r\n\r\nLayers:\r\n 1: \tVideo\r\n\r\nNo errors found",
        "\r\n",
        "\r\n\r\n\r\n",
        "ends with a break\r\n",
        "\tWARNING - Zero length item at 0h 00m 02s 000\r\n",
        "layer with\na line feed inside",
        "\n",
        "\n\n\r\n\n",
        "lone\rcarriage return",
        "\r",
        "\r\r\n\n\r",
        "Caf\xC3\xA9 \xC3\x9F \xE2\x82\xAC \xF0\x9F\x8E\xAC", // é ß € and a clapper board
        "non\xC2\xA0"
        "breaking space",                                                // U+00A0 must stay itself
        "\xE2\x80\xA8 and \xE2\x80\xA9 written as characters",           // U+2028 and U+2029
        "\xEE\x80\x80\xEE\x80\x8D\xEE\x80\x8E\xEE\x80\xA8x\xEE\x80\x80", // the private-use
                                                                         // characters we use
        "\xEF\xB7\x90\xEF\xB7\x91",                                      // U+FDD0 U+FDD1
        "tab\tin\t\tline",
    };
    for (const std::string& text : cases) {
        EXPECT_EQ(RoundTrip(text), text) << "text: " << ::testing::PrintToString(text);
    }
}

TEST(ReportBox, ShowsCrLfAsLinesAndLoneLineFeedAsBreakInsideTheLine) {
    QPlainTextEdit box;
    PlainTextReportBox report(box);
    report.setText("\r\nfirst\r\nname\nwith break");
    EXPECT_EQ(box.document()->blockCount(), 3);
    EXPECT_EQ(box.document()->findBlockByNumber(2).text(),
              QString::fromUtf8("name\u2028with break"));
}

TEST(ReportBox, ShowsAVeryLongLineCutButGivesItBackWhole) {
    const std::string line = "1: \t" + std::string(1 << 20, 'x') + "\n\xE2\x80\xA8";
    const std::string report = "\r\n" + line + "\r\n" + std::string(40000, 'y') + "\r\nend";
    QPlainTextEdit box;
    PlainTextReportBox reportBox(box);
    reportBox.setText(report);
    EXPECT_EQ(reportBox.text(), report);
    // The box keeps what it needs to give the whole report back, not the adapter.
    EXPECT_EQ(PlainTextReportBox(box).text(), report);
    ASSERT_EQ(box.document()->blockCount(), 4);
    for (const int cut : {1, 2}) {
        const QString shown = box.document()->findBlockByNumber(cut).text();
        EXPECT_LT(shown.size(), 20100);
        EXPECT_TRUE(shown.contains(QStringLiteral("line shortened on screen")));
    }

    // Typing elsewhere keeps the cut lines whole; editing the shown part of one takes the edit.
    box.moveCursor(QTextCursor::End);
    QTest::keyClicks(&box, "!");
    EXPECT_EQ(reportBox.text(), report + "!");
    QTextCursor inCutLine(box.document()->findBlockByNumber(2));
    inCutLine.insertText(QStringLiteral("z"));
    const std::string edited = reportBox.text();
    EXPECT_EQ(edited.rfind("\r\n" + line + "\r\nzyyy", 0), 0u);
    EXPECT_LT(edited.size(), report.size());

    // A text without long lines is shown as it is again.
    reportBox.setText("\r\nshort");
    EXPECT_EQ(reportBox.text(), "\r\nshort");
    EXPECT_EQ(box.document()->findBlockByNumber(1).text(), QStringLiteral("short"));
}

// A long layer name that nameless layers repeat: thousands of lines just under the longest.
TEST(ReportBox, ShowsThousandsOfLongLinesWithinTheRoomForLongLinesAndGivesThemBackWhole) {
    std::string report = "\r\nLayers:";
    for (int i = 1; i <= 3000; ++i)
        report += "\r\n " + std::to_string(i) + ": \t" + std::string(4990, 'n');
    QPlainTextEdit box;
    PlainTextReportBox reportBox(box);
    reportBox.setText(report);
    EXPECT_LT(static_cast<std::size_t>(box.document()->characterCount()),
              kLongLinesShown + 3000 * (kLongLine + LineCutNote(4999).size() + 2));
    EXPECT_EQ(reportBox.text(), report);
}

TEST(ReportBox, AppendingLineByLineKeepsEveryEarlierLine) {
    QPlainTextEdit box;
    PlainTextReportBox report(box);
    report.setText("");
    std::string expected;
    for (int i = 0; i < 50; ++i) {
        const std::string line = "line " + std::to_string(i) + (i % 7 == 0 ? "\r\n" : "");
        report.setText(report.text() + "\r\n" + line);
        expected += "\r\n" + line;
    }
    EXPECT_EQ(report.text(), expected);

    // An appended LF that joins a lone CR at the end into CR LF changes the earlier line too.
    report.setText("a\r");
    report.setText(report.text() + "\nb");
    EXPECT_EQ(report.text(), "a\r\nb");
    EXPECT_EQ(box.document()->blockCount(), 2);
}

TEST(ReportBox, TypedTextComesBackWithCrLfLineBreaks) {
    QPlainTextEdit box;
    PlainTextReportBox report(box);
    report.setText("\r\nold");
    box.moveCursor(QTextCursor::End);
    QTest::keyClick(&box, Qt::Key_Return);
    QTest::keyClicks(&box, "typed");
    QTest::keyClick(&box, Qt::Key_Return);
    EXPECT_EQ(report.text(), "\r\nold\r\ntyped\r\n");
}

TEST(ReportBox, PastedTextWithAnyLineEndsBecomesCrLfLines) {
    QPlainTextEdit box;
    PlainTextReportBox report(box);
    box.insertPlainText(QStringLiteral("a\r\nb\nc"));
    EXPECT_EQ(report.text(), "a\r\nb\r\nc");
}

} // namespace
} // namespace kestrova::qt
