#include "cli/kpjcheck.h"

#include "check/check_project.h"
#include "check/file_access.h"
#include "check/file_identity.h"
#include "check/report_writer.h"
#include "cli/json_report.h"
#include "cli/timeline_picture.h"
#include "kestrova_version.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string_view>
#include <variant>

namespace kestrova {
namespace {

constexpr const char* kUsage =
    "Usage: kpjcheck FILE...\n"
    "       kpjcheck --json FILE...\n"
    "       kpjcheck [--json] --svg OUT.svg FILE\n"
    "Checks Kestrova project files (*.kpj): lists the timeline's layers, warns about items of\n"
    "zero or negative length and reports every gap in the video layers.\n"
    "\n"
    "  --json         write one JSON object per file, one per line, instead of the report\n"
    "  --svg OUT.svg  draw the timeline of FILE, with its gaps marked, into OUT.svg too\n"
    "  --help         show this help and exit\n"
    "  --version      show the version and exit\n"
    "\n"
    "Exit status: 0 no errors found, 1 warnings or gaps found, 2 a file could not be checked,\n"
    "or the command line was wrong, or output could not be written.\n";

struct Options {
    bool json = false;
    std::optional<std::string> picture;
    std::vector<std::string> files;
};

enum class Request { Check, Help, Version };

struct ParsedCommandLine {
    Request request = Request::Check;
    Options options;
};

// Writes the report text with the line breaks a terminal expects, piece by piece, without a
// second copy of it.
void WriteWithNewlines(std::ostream& out, std::string_view text) {
    std::size_t from = 0;
    for (std::size_t lineBreak = text.find("\r\n"); lineBreak != std::string_view::npos;
         lineBreak = text.find("\r\n", lineBreak + 2)) {
        out.write(text.data() + from, static_cast<std::streamsize>(lineBreak - from));
        from = lineBreak + 1;
    }
    out.write(text.data() + from, static_cast<std::streamsize>(text.size() - from));
}

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

std::variant<ParsedCommandLine, std::string> Parse(const std::vector<std::string>& arguments) {
    ParsedCommandLine parsed;
    Options& options = parsed.options;
    bool optionsEnded = false;
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
        } else if (argument == "--json") {
            options.json = true;
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

// The picture must never take the place of the project it shows, under any of its names.
bool WouldOverwriteProject(const std::string& picture, const std::string& project) {
    return SameFile(PathFromUtf8(picture), PathFromUtf8(project));
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

// Writes one file's report (or JSON object) to standard output; false when it did not arrive.
bool WriteResult(std::ostream& out, const CheckResult& result, bool json) {
    if (json) {
        WriteJsonReport(out, result);
    } else {
        WriteReport(result, [&out](std::string_view piece) { WriteWithNewlines(out, piece); });
        out << '\n';
    }
    return Delivered(out);
}

int CheckAll(const Options& options, std::ostream& out, std::ostream& err) {
    if (options.picture && WouldOverwriteProject(*options.picture, options.files.front())) {
        err << "kpjcheck: the picture \"" << *options.picture
            << "\" would overwrite the project file; choose another name.\n";
        err.flush();
        return kNotChecked;
    }
    // One generator for the whole process: its position carries over from file to file.
    UnseededRandom random;
    int status = kAllClean;
    for (const std::string& file : options.files) {
        if (!out)
            return OutputLost(err);
        const CheckResult result = CheckProject(
            {file, WorkingCopyPlace::ProjectFolder, options.picture.has_value()}, random);
        status = std::max(status, ExitStatusOf(result.status));
        if (!WriteMessages(err, result))
            status = kNotChecked;
        if (options.picture && !WritePicture(*options.picture, result, err))
            status = kNotChecked;
        if (!WriteResult(out, result, options.json))
            return OutputLost(err);
    }
    return status;
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
