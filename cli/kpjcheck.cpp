#include "cli/kpjcheck.h"

#include "check/check_project.h"
#include "check/file_access.h"
#include "check/report_writer.h"
#include "cli/json_report.h"
#include "cli/output_format.h"
#include "cli/report_text_output.h"
#include "cli/timeline_picture.h"
#include "kestrova_version.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string_view>
#include <variant>

namespace kestrova {
namespace {

constexpr const char* kUsage =
    "Usage: kpjcheck [--format FORMAT] FILE...\n"
    "       kpjcheck [--format FORMAT] --svg OUT.svg FILE\n"
    "Checks Kestrova project files (*.kpj): lists the timeline's layers, warns about items of\n"
    "zero or negative length and reports every gap in the video layers.\n"
    "\n"
    "  --format FORMAT  how to write the results (each finding with its line in the file):\n"
    "                   text    the report, as the window shows it (the default)\n"
    "                   json    one JSON object per file, one per line\n"
    "                   sarif   one SARIF 2.1.0 log for all files (code scanning)\n"
    "                   junit   one JUnit XML report, a testcase per file (Jenkins, GitLab)\n"
    "                   github  GitHub Actions ::warning and ::error commands\n"
    "                   gnu     FILE:LINE: warning: MESSAGE lines, as compilers write them\n"
    "  --json           the same as --format json\n"
    "  --svg OUT.svg    draw the timeline of FILE, with its gaps marked, into OUT.svg too\n"
    "  --help           show this help and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "Exit status: 0 no errors found, 1 warnings or gaps found, 2 a file could not be checked,\n"
    "or the command line was wrong, or output could not be written.\n";

struct Options {
    std::string format = "text";
    std::optional<std::string> picture;
    std::vector<std::string> files;
};

enum class Request { Check, Help, Version };

struct ParsedCommandLine {
    Request request = Request::Check;
    Options options;
};

// Everything written so far has reached the stream's destination.
bool Delivered(std::ostream& stream) {
    stream.flush();
    return stream.good();
}

int OutputLost(std::ostream& err) {
    err << "kpjcheck: cannot write to standard output; the output is incomplete.\n";
    err.flush();
    return kNotChecked;
}

// Writes the message a window would show, behind the file's path; false when it was lost.
bool WriteMessage(std::ostream& err, const std::string& file, const std::string& text) {
    err << file << ": ";
    WriteWithNewlines(err, text);
    err << '\n';
    return Delivered(err);
}

// The messages of one check, in the order the window shows them.
bool WriteMessages(std::ostream& err, const CheckResult& result) {
    bool delivered = true;
    if (result.parseError)
        delivered = WriteMessage(err, result.file, ParseErrorMessage(*result.parseError));
    if (result.stop)
        delivered = WriteMessage(err, result.file, result.stop->message) && delivered;
    return delivered;
}

// Reads --json, --format NAME or --format=NAME at `i` (moving past a separate name); returns
// what is wrong with it, if anything. Naming the format twice is wrong unless both agree.
std::optional<std::string> ReadFormat(const std::vector<std::string>& arguments, std::size_t& i,
                                      bool& formatGiven, Options& options) {
    const std::string& argument = arguments[i];
    std::string name = "json";
    if (argument.starts_with("--format="))
        name = argument.substr(9);
    else if (argument == "--format" && i + 1 < arguments.size())
        name = arguments[++i];
    else if (argument == "--format")
        return "--format needs one of " + std::string(kFormatNames);
    if (!MakeFormatNamed(name))
        return "unknown format '" + name + "'; --format takes one of " + std::string(kFormatNames);
    if (formatGiven && name != options.format)
        return "two formats are given: " + options.format + " and " + name;
    formatGiven = true;
    options.format = name;
    return std::nullopt;
}

std::variant<ParsedCommandLine, std::string> Parse(const std::vector<std::string>& arguments) {
    ParsedCommandLine parsed;
    Options& options = parsed.options;
    bool optionsEnded = false;
    bool formatGiven = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            options.files.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            return ParsedCommandLine{Request::Help, {}};
        } else if (argument == "--version") {
            return ParsedCommandLine{Request::Version, {}};
        } else if (argument == "--json" || argument == "--format" ||
                   argument.starts_with("--format=")) {
            if (std::optional<std::string> problem = ReadFormat(arguments, i, formatGiven, options))
                return *std::move(problem);
        } else if (argument == "--svg" || argument.starts_with("--svg=")) {
            if (options.picture)
                return std::string("--svg is given twice");
            if (argument != "--svg")
                options.picture = argument.substr(6);
            else if (i + 1 < arguments.size())
                options.picture = arguments[++i];
            if (!options.picture || options.picture->empty())
                return std::string("--svg needs the name of the picture file");
        } else {
            return "unknown option '" + argument + "'";
        }
    }
    if (options.files.empty())
        return std::string("no project file given");
    if (options.picture && options.files.size() != 1)
        return std::string("--svg draws the timeline of one project file; ") +
               std::to_string(options.files.size()) + " are given";
    return parsed;
}

int UsageError(std::ostream& err, const std::string& problem) {
    err << "kpjcheck: " << problem << '\n' << kUsage;
    err.flush();
    return kNotChecked;
}

// The picture must never take the place of the project it shows.
bool WouldOverwriteProject(const std::string& picture, const std::string& project) {
    std::error_code ignored;
    return std::filesystem::equivalent(picture, project, ignored);
}

// Hands the picture to its file in pieces. The first failure is kept, and nothing more is
// written after it.
class PictureBuffer final : public std::streambuf {
public:
    explicit PictureBuffer(OutputFile& file) : file_(file) { empty(); }
    const std::optional<FileFailure>& failure() const { return failure_; }

protected:
    int_type overflow(int_type c) override {
        if (!writeHeld())
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return writeHeld() ? 0 : -1; }

private:
    void empty() { setp(held_.data(), held_.data() + held_.size()); }
    bool writeHeld() {
        if (failure_)
            return false;
        try {
            file_.writeAll(std::string_view(pbase(), static_cast<std::size_t>(pptr() - pbase())));
        } catch (const FileFailure& failure) {
            failure_ = failure;
            return false;
        }
        empty();
        return true;
    }

    OutputFile& file_;
    std::array<char, 1 << 16> held_;
    std::optional<FileFailure> failure_;
};

bool WritePicture(const std::string& path, const CheckResult& check, std::ostream& err) {
    const std::filesystem::path file = PathFromUtf8(path);
    std::optional<FileFailure> failure;
    bool created = false;
    try {
        WritableFile picture = OpenForWriting(file);
        created = picture.created;
        PictureBuffer buffer(picture.file);
        std::ostream out(&buffer);
        WriteTimelinePicture(out, check);
        out.flush();
        failure = buffer.failure();
        if (!failure)
            picture.file.close();
    } catch (const FileFailure& refused) {
        failure = refused;
    }
    if (!failure)
        return true;
    // A picture cut short is worse than none, but only a file this run made is removed: a file
    // that was there before and could not be opened (another user's, a program running) stays.
    if (created)
        RemoveFile(file);
    err << "kpjcheck: cannot write the picture \"" << path << "\": " << failure->text() << ".\n";
    err.flush();
    return false;
}

int CheckAll(const Options& options, std::ostream& out, std::ostream& err) {
    if (options.picture && WouldOverwriteProject(*options.picture, options.files.front())) {
        err << "kpjcheck: the picture \"" << *options.picture
            << "\" would overwrite the project file; choose another name.\n";
        err.flush();
        return kNotChecked;
    }
    const std::unique_ptr<OutputFormat> format = MakeFormatNamed(options.format);
    format->begin(out);
    // One generator for the whole process: its position carries over from file to file.
    UnseededRandom random;
    int status = kAllClean;
    for (const std::string& file : options.files) {
        if (!out)
            return OutputLost(err);
        const auto started = std::chrono::steady_clock::now();
        const CheckResult result = CheckProject(
            {file, WorkingCopyPlace::ProjectFolder, options.picture.has_value()}, random);
        const ProjectCheck check{result, std::chrono::steady_clock::now() - started};
        status = std::max(status, ExitStatusOf(result.status));
        if (!WriteMessages(err, result))
            status = kNotChecked;
        if (options.picture && !WritePicture(*options.picture, result, err))
            status = kNotChecked;
        format->write(out, check);
        if (!Delivered(out))
            return OutputLost(err);
    }
    format->finish(out);
    return Delivered(out) ? status : OutputLost(err);
}

} // namespace

int RunKpjcheck(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    const auto parsed = Parse(arguments);
    if (const std::string* problem = std::get_if<std::string>(&parsed))
        return UsageError(err, *problem);
    const ParsedCommandLine& commandLine = std::get<ParsedCommandLine>(parsed);
    switch (commandLine.request) {
    case Request::Help:
        out << kUsage;
        return Delivered(out) ? kAllClean : OutputLost(err);
    case Request::Version:
        out << "kpjcheck " KESTROVA_VERSION_TEXT "\n";
        return Delivered(out) ? kAllClean : OutputLost(err);
    default:
        return CheckAll(commandLine.options, out, err);
    }
}

} // namespace kestrova
