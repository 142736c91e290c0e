#include "check/report_writer.h"

#include "check/findings.h"

#include <algorithm>

namespace kestrova {
namespace {

using namespace report_line;

class ReportWriter {
public:
    explicit ReportWriter(const ReportSink& sink) : sink_(sink) {}

    void line(std::string_view text) {
        sink_(kLineBreak);
        sink_(text);
    }

    void lineBreak() { sink_(kLineBreak); }

    void header(const std::string& file) {
        sink_(kLineBreak);
        sink_(kHeader);
        sink_(file);
        lineBreak();
    }

    void warning(const LengthWarning& warning) {
        sink_(kLineBreak);
        if (warning.negative()) {
            sink_(kNegativeLength);
            sink_(FormatTime(warning.start));
            sink_(kNegativeLengthTo);
            sink_(FormatTime(warning.end));
        } else {
            sink_(kZeroLength);
            sink_(FormatTime(warning.start));
        }
        sink_(kLineBreak);
    }

    void gap(const GapFound& gap) {
        sink_(kLineBreak);
        sink_(kGapFrom);
        sink_(FormatTime(gap.from));
        sink_(kGapTo);
        sink_(FormatTime(gap.to));
    }

    // The warnings of a layer stand above its line, as the survey reads its items before it
    // writes the line; warnings of a layer whose line was never written come last.
    void layersAndWarnings(const CheckResult& result) {
        auto warning = result.warnings.begin();
        for (const LayerFound& layer : result.layers) {
            for (; warning != result.warnings.end() && warning->layer <= layer.number; ++warning)
                this->warning(*warning);
            line(layer.line);
        }
        for (; warning != result.warnings.end(); ++warning)
            this->warning(*warning);
    }

    void stopLine(const std::string& message) {
        // The message may span lines; the report gives it one.
        std::string oneLine = message;
        std::replace_if(
            oneLine.begin(), oneLine.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
        sink_(kLineBreak);
        sink_(kStopped);
        sink_(oneLine);
    }

private:
    const ReportSink& sink_;
};

} // namespace

void WriteReport(const CheckResult& result, const ReportSink& sink) {
    ReportWriter report(sink);
    if (result.parseError) {
        report.header(result.file);
        report.line(kNotParsed);
        report.line(kNotParsedFollowUp);
    } else if (result.reached >= CheckStage::Surveying) {
        report.header(result.file);
        report.line(kLayers);
        report.layersAndWarnings(result);
        if (result.reached >= CheckStage::Scanning) {
            report.lineBreak();
            for (const GapFound& gap : result.gaps)
                report.gap(gap);
        }
        if (result.status == CheckStatus::NoErrors)
            report.line(kNoErrors);
    }
    if (result.stop)
        report.stopLine(result.stop->message);
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
    ReportWriter(ReportSink([&text](std::string_view piece) {
        text += piece;
    })).header(result.file);
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
