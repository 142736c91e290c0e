#include "cli/kpjcheck.h"

#include "check/check_project.h"
#include "check/file_access.h"
#include "check/file_identity.h"
#include "check/report_writer.h"
#include "cli/json_report.h"
#include "cli/output_format.h"
#include "cli/parallel_checks.h"
#include "cli/project_search.h"
#include "cli/report_text_output.h"
#include "cli/timeline_picture.h"
#include "kestrova_version.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string_view>
#include <thread>
#include <variant>

namespace kestrova {
namespace {

constexpr const char* kUsage =
    "Usage: kpjcheck [--format FORMAT] FILE...\n"
    "       kpjcheck [--format FORMAT] --svg OUT.svg FILE\n"
    "Checks Kestrova project files (*.kpj): lists the timeline's layers, warns about items of\n"
    "zero or negative length and reports every gap in the video layers. A FILE that is a\n"
    "folder is searched, with the folders under it, for *.kpj files in any letter case, taken\n"
    "in the byte order of their names.\n"
    "\n"
    "  --format FORMAT  how to write the results (each finding with its line in the file):\n"
    "                   text    the report, as the window shows it (the default)\n"
    "                   json    one JSON object per file, one per line\n"
    "                   sarif   one SARIF 2.1.0 log for all files (code scanning)\n"
    "                   junit   one JUnit XML report, a testcase per file (Jenkins, GitLab)\n"
    "                   github  GitHub Actions ::warning and ::error commands\n"
    "                   gnu     FILE:LINE: warning: MESSAGE lines, as compilers write them\n"
    "  --json           the same as --format json\n"
    "  -j, --jobs N     check N projects at once (at most 64; the default is the number of\n"
    "                   processors); the output is the same, in the order the projects are\n"
    "                   named\n"
    "  --svg OUT.svg    draw the timeline of FILE, with its gaps marked, into OUT.svg too\n"
    "  --help           show this help and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "Exit status: 0 no errors found, 1 warnings or gaps found, 2 a file could not be checked\n"
    "or a folder searched, or the command line was wrong, or output could not be written.\n";

// Checks at once unless -j says otherwise: one per processor.
unsigned DefaultJobs() {
    return std::clamp(std::thread::hardware_concurrency(), 1u,
                      static_cast<unsigned>(kMostChecksAtOnce));
}

struct Options {
    std::string format = "text";
    unsigned jobs = DefaultJobs();
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

// The number after -j: 1 or more, and more than the most checks at once counts as the most.
std::optional<unsigned> JobCount(std::string_view text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos ||
        text.find_first_not_of('0') == std::string_view::npos)
        return std::nullopt;
    if (text.size() > 3)
        return kMostChecksAtOnce;
    return std::min(static_cast<unsigned>(std::stoul(std::string(text))),
                    static_cast<unsigned>(kMostChecksAtOnce));
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
        } else if (argument == "-j" || argument == "--jobs" || argument.starts_with("--jobs=") ||
                   (argument.starts_with("-j") &&
                    std::isdigit(static_cast<unsigned char>(argument[2])))) {
            std::string_view count = argument;
            if (argument == "-j" || argument == "--jobs")
                count = i + 1 < arguments.size() ? std::string_view(arguments[++i]) : "";
            else
                count.remove_prefix(argument.starts_with("--") ? 7 : 2);
            const std::optional<unsigned> jobs = JobCount(count);
            if (!jobs && count.empty())
                return std::string("-j needs the number of projects to check at once");
            if (!jobs)
                return "-j needs the number of projects to check at once, 1 or more; '" +
                       std::string(count) + "' is not";
            options.jobs = *jobs;
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

// One project's check, done on whichever thread took it.
struct TimedCheck {
    CheckResult result;
    std::chrono::duration<double> took;
    std::uint64_t firstDraw = 0; // where its draws from the generator began
    std::uint64_t draws = 0;
    bool drawsUnbroken = true; // no other check drew between its first draw and its last
};

TimedCheck TimeCheck(const CheckRequest& request, SharedRandom& random) {
    const auto started = std::chrono::steady_clock::now();
    CheckDraws draws(random);
    CheckResult result = CheckProject(request, draws);
    return {std::move(result), std::chrono::steady_clock::now() - started, draws.first(),
            draws.count(), draws.unbroken()};
}

// The working copy's name reaches the output only in the message of a check stopped over a
// file. Checks running at once draw names in the order they reach the generator, so such a
// check, where its draws did not begin where they would have with one check after another, is
// checked again from that place: the message is then the one `-j 1` writes. So is a check
// whose draws began in the right place but had another check's draws among them.
void AsOneAfterAnother(TimedCheck& done, const CheckRequest& request, std::uint64_t place) {
    const bool namesCopy = done.result.stop && done.result.stop->cause == StopCause::FileAccess;
    if (!namesCopy || done.draws == 0 || (done.firstDraw == place && done.drawsUnbroken))
        return;
    UnseededRandom fresh;
    SharedRandom sequence(fresh);
    for (std::uint64_t skipped = 0; skipped < place; ++skipped)
        sequence.draw();
    done = TimeCheck(request, sequence);
}

// A note from the folder search, in its place among the projects' output.
bool WriteNote(std::ostream& err, const FolderNote& note) {
    err << "kpjcheck: " << note.text << ".\n";
    return Delivered(err);
}

int CheckAll(const Options& options, std::ostream& out, std::ostream& err) {
    if (options.picture && WouldOverwriteProject(*options.picture, options.files.front())) {
        err << "kpjcheck: the picture \"" << *options.picture
            << "\" would overwrite the project file; choose another name.\n";
        err.flush();
        return kNotChecked;
    }
    // The picture shows one project file, so its argument is not searched as a folder.
    const std::vector<SearchTarget> targets = options.picture
                                                  ? std::vector<SearchTarget>{options.files.front()}
                                                  : SearchArguments(options.files);
    const std::unique_ptr<OutputFormat> format = MakeFormatNamed(options.format);
    format->begin(out);
    if (!out)
        return OutputLost(err);
    // One generator for the whole process: its position carries over from file to file.
    UnseededRandom random;
    SharedRandom shared(random);
    const auto requestFor = [&](std::size_t index) -> std::optional<CheckRequest> {
        const std::string* file = std::get_if<std::string>(&targets[index]);
        if (file == nullptr)
            return std::nullopt;
        return CheckRequest{*file, WorkingCopyPlace::ProjectFolder, options.picture.has_value()};
    };
    const auto check = [&](std::size_t index) -> std::optional<TimedCheck> {
        const std::optional<CheckRequest> request = requestFor(index);
        if (!request)
            return std::nullopt;
        return TimeCheck(*request, shared);
    };
    // Everything is written here, on the calling thread, in the order the projects were named.
    int status = kAllClean;
    std::uint64_t oneAfterAnother = 0; // where the next check's draws would begin with -j 1
    const auto write = [&](std::size_t index, std::optional<TimedCheck>& done) {
        if (!done) {
            const FolderNote& note = std::get<FolderNote>(targets[index]);
            if (!WriteNote(err, note) || note.unread)
                status = kNotChecked;
            return true;
        }
        AsOneAfterAnother(*done, *requestFor(index), oneAfterAnother);
        oneAfterAnother += done->draws;
        const CheckResult& result = done->result;
        status = std::max(status, ExitStatusOf(result.status));
        if (!WriteMessages(err, result))
            status = kNotChecked;
        if (options.picture && !WritePicture(*options.picture, result, err))
            status = kNotChecked;
        format->write(out, ProjectCheck{result, done->took});
        return Delivered(out);
    };
    if (!InTaskOrder<std::optional<TimedCheck>>(targets.size(), options.jobs, check).run(write))
        return OutputLost(err);
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
