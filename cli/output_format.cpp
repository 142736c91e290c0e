#include "cli/output_format.h"

#include "check/report_writer.h"
#include "cli/json_report.h"
#include "cli/report_text_output.h"

#include <ostream>
#include <utility>

namespace kestrova {

void WriteWithNewlines(std::ostream& out, std::string_view text) {
    std::size_t from = 0;
    for (std::size_t lineBreak = text.find("\r\n"); lineBreak != std::string_view::npos;
         lineBreak = text.find("\r\n", lineBreak + 2)) {
        out.write(text.data() + from, static_cast<std::streamsize>(lineBreak - from));
        from = lineBreak + 1;
    }
    out.write(text.data() + from, static_cast<std::streamsize>(text.size() - from));
}

namespace {

class TextFormat final : public OutputFormat {
public:
    void write(std::ostream& out, const ProjectCheck& check) override {
        WriteReport(check.result,
                    [&out](std::string_view piece) { WriteWithNewlines(out, piece); });
        out << '\n';
    }
};

class JsonFormat final : public OutputFormat {
public:
    void write(std::ostream& out, const ProjectCheck& check) override {
        WriteJsonReport(out, check.result);
    }
};

} // namespace

std::unique_ptr<OutputFormat> MakeTextFormat() {
    return std::make_unique<TextFormat>();
}

std::unique_ptr<OutputFormat> MakeJsonFormat() {
    return std::make_unique<JsonFormat>();
}

std::unique_ptr<OutputFormat> MakeFormatNamed(std::string_view name) {
    using Maker = std::unique_ptr<OutputFormat> (*)();
    static constexpr std::pair<std::string_view, Maker> kFormats[] = {
        {"text", MakeTextFormat},   {"json", MakeJsonFormat},     {"sarif", MakeSarifFormat},
        {"junit", MakeJunitFormat}, {"github", MakeGithubFormat}, {"gnu", MakeGnuFormat},
    };
    for (const auto& [formatName, make] : kFormats) {
        if (formatName == name)
            return make();
    }
    return nullptr;
}

} // namespace kestrova
