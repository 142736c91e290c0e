#include "check/report_writer.h"

#include "check/report_lines.h"

namespace kestrova {
namespace {

// Hands the pieces of the report's lines to the sink, times as FormatTime writes them.
class SinkPieces {
public:
    explicit SinkPieces(const ReportSink& sink) : sink_(sink) {}
    void text(std::string_view text) { sink_(text); }
    void time(Millis time) { sink_(FormatTime(time)); }

private:
    const ReportSink& sink_;
};

// The warnings of a layer stand above its line, as the survey reads its items before it writes
// the line; warnings of a layer whose line was never written come last.
void LayersAndWarnings(SinkPieces& out, const CheckResult& result) {
    auto warning = result.warnings.begin();
    for (const LayerFound& layer : result.layers) {
        for (; warning != result.warnings.end() && warning->layer <= layer.number; ++warning)
            report_lines::WarningLine(out, *warning);
        report_lines::Line(out, layer.line);
    }
    for (; warning != result.warnings.end(); ++warning)
        report_lines::WarningLine(out, *warning);
}

} // namespace

void WriteReport(const CheckResult& result, const ReportSink& sink) {
    SinkPieces out(sink);
    if (result.parseError) {
        report_lines::Header(out, result.file);
        report_lines::NotParsedLines(out);
    } else if (result.reached >= CheckStage::Surveying) {
        report_lines::SurveyOpening(out, result.file);
        LayersAndWarnings(out, result);
        if (result.reached >= CheckStage::Scanning) {
            report_lines::LineBreak(out);
            for (const GapFound& gap : result.gaps)
                report_lines::GapLine(out, gap);
        }
        if (result.status == CheckStatus::NoErrors)
            report_lines::Line(out, report_line::kNoErrors);
    }
    if (result.stop)
        report_lines::StopLine(out, OneLine(result.stop->message));
}

std::string ReportText(const CheckResult& result) {
    std::size_t size = 0;
    WriteReport(result, [&size](std::string_view piece) { size += piece.size(); });
    std::string text;
    text.reserve(size);
    WriteReport(result, [&text](std::string_view piece) { text += piece; });
    return text;
}

std::string ReportHeader(const CheckResult& result) {
    if (!result.parseError && result.reached < CheckStage::Surveying)
        return {};
    std::string text;
    PieceText out(text);
    report_lines::Header(out, result.file);
    return text;
}

std::string ParseErrorMessage(const ParseError& error) {
    return error.reason + "\r\n" + std::to_string(error.line);
}

std::string MessageText(const CheckResult& result) {
    if (result.stop)
        return result.stop->message;
    if (result.parseError)
        return ParseErrorMessage(*result.parseError);
    return {};
}

} // namespace kestrova
