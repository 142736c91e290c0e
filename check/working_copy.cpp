#include "check/working_copy.h"

#include "check/check_failure.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>

namespace kestrova {
namespace {

constexpr std::size_t kChunkSize = 1 << 20;
constexpr int kCandidateCount = 256;

// Appends the text with every plain declaration rewritten. Declarations never overlap: each one
// holds a single "<".
void AppendRewritten(std::string_view text, std::string& out) {
    for (std::size_t found; (found = text.find(kPlainDeclaration)) != std::string_view::npos;) {
        out.append(text.substr(0, found));
        out += kLatin1Declaration;
        text.remove_prefix(found + kPlainDeclaration.size());
    }
    out.append(text);
}

const char* Find(const char* from, const char* to, char wanted) {
    const void* found = std::memchr(from, wanted, static_cast<std::size_t>(to - from));
    return found != nullptr ? static_cast<const char*>(found) : to;
}

// How the project's characters are written, as its first four bytes tell (a byte-order mark,
// or the "<?" of its declaration in a wider form).
enum class TextForm {
    Undecided,    // too few bytes read yet
    Bytes,        // one byte a character at least: UTF-8 or ISO-8859-1, as the declaration says
    Utf8WithMark, // UTF-8 whatever the declaration says
    Utf16Little,
    Utf16Big,
    Unreadable, // UTF-32, UCS-4 or EBCDIC
};

struct Detected {
    TextForm form;
    const char* name; // for an unreadable form
};

Detected DetectTextForm(std::string_view start) {
    const auto startsWith = [&](std::string_view bytes) { return start.starts_with(bytes); };
    using namespace std::string_view_literals;
    if (startsWith("\0\0\xFE\xFF"sv) || startsWith("\0\0\0<"sv))
        return {TextForm::Unreadable, "UTF-32 (big-endian)"};
    if (startsWith("\xFF\xFE\0\0"sv) || startsWith("<\0\0\0"sv))
        return {TextForm::Unreadable, "UTF-32 (little-endian)"};
    if (startsWith("\0\0\xFF\xFE"sv) || startsWith("\xFE\xFF\0\0"sv) || startsWith("\0\0<\0"sv) ||
        startsWith("\0<\0\0"sv))
        return {TextForm::Unreadable, "UCS-4 with an unusual byte order"};
    if (startsWith("\x4C\x6F\xA7\x94"sv))
        return {TextForm::Unreadable, "EBCDIC"};
    if (startsWith("\xFE\xFF"sv) || startsWith("\0<\0?"sv))
        return {TextForm::Utf16Big, nullptr};
    if (startsWith("\xFF\xFE"sv) || startsWith("<\0?\0"sv))
        return {TextForm::Utf16Little, nullptr};
    if (startsWith("\xEF\xBB\xBF"sv))
        return {TextForm::Utf8WithMark, nullptr};
    return {TextForm::Bytes, nullptr};
}

// Rewrites the project text as it streams through: a line ends at LF, CR LF or a lone CR and is
// written back with CR LF; the plain declaration becomes the ISO-8859-1 one. A line that runs
// on past the end of a chunk is held until its end arrives; a very long one is passed on in
// pieces, holding back only what could still be the start of a declaration.
//
// A byte-order mark settles the encoding, so a file that starts with one keeps its declaration
// as it is. UTF-16 is rewritten in its own code units (the line ends too), so that the parser
// reads it as it reads its UTF-8 twin. Encodings the parser is not given to read (see
// unreadableEncoding()) are passed through unchanged.
class LineRewriter {
public:
    explicit LineRewriter(std::string& out) : out_(out) {}

    void feed(std::string_view bytes) {
        if (form_ == TextForm::Undecided) {
            const std::size_t taken = std::min(bytes.size(), 4 - head_.size());
            head_.append(bytes.substr(0, taken));
            bytes.remove_prefix(taken);
            if (head_.size() < 4)
                return;
            decide();
        }
        feedDecided(bytes);
    }

    // A last line without a line end still gets one.
    void finish() {
        if (form_ == TextForm::Undecided)
            decide();
        if (form_ == TextForm::Utf16Little || form_ == TextForm::Utf16Big) {
            if (oddByte_) {
                out_ += *oddByte_;
                lineOpen_ = true;
            }
            if (lineOpen_)
                appendLineEndUnits();
            return;
        }
        if (form_ == TextForm::Unreadable)
            return;
        if (lineOpen_)
            endLine({});
    }

    // The name of the encoding when the project is written in one the parser is not given to
    // read (UTF-32, UCS-4, EBCDIC); nothing otherwise or while too little has been read.
    const char* unreadableEncoding() const {
        return form_ == TextForm::Unreadable ? unreadableName_ : nullptr;
    }

private:
    void decide() {
        const Detected detected = DetectTextForm(head_);
        form_ = detected.form;
        unreadableName_ = detected.name;
        rewritesDeclarations_ = form_ == TextForm::Bytes;
        std::string head;
        head.swap(head_);
        feedDecided(head);
    }

    void feedDecided(std::string_view bytes) {
        switch (form_) {
        case TextForm::Bytes:
        case TextForm::Utf8WithMark:
            feedBytes(bytes);
            return;
        case TextForm::Utf16Little:
        case TextForm::Utf16Big:
            feedUnits(bytes);
            return;
        default:
            out_.append(bytes);
        }
    }

    // UTF-16: the same line ends, in code units; nothing else is changed.
    void feedUnits(std::string_view bytes) {
        std::size_t at = 0;
        if (oddByte_ && !bytes.empty()) {
            unit(*oddByte_, bytes[0]);
            oddByte_.reset();
            at = 1;
        }
        for (; at + 1 < bytes.size(); at += 2)
            unit(bytes[at], bytes[at + 1]);
        if (at < bytes.size())
            oddByte_ = bytes[at];
    }

    void unit(char first, char second) {
        const bool little = form_ == TextForm::Utf16Little;
        const char low = little ? first : second;
        const bool ascii = (little ? second : first) == '\0';
        const bool lineFeed = ascii && low == '\n';
        if (afterCarriageReturn_) {
            afterCarriageReturn_ = false;
            if (lineFeed)
                return;
        }
        if (ascii && (low == '\r' || lineFeed)) {
            appendLineEndUnits();
            afterCarriageReturn_ = low == '\r';
            lineOpen_ = false;
            return;
        }
        out_ += first;
        out_ += second;
        lineOpen_ = true;
    }

    void appendLineEndUnits() {
        using namespace std::string_view_literals;
        out_ += form_ == TextForm::Utf16Little ? "\r\0\n\0"sv : "\0\r\0\n"sv;
    }

    void feedBytes(std::string_view bytes) {
        const char* at = bytes.data();
        const char* const end = at + bytes.size();
        if (afterCarriageReturn_ && at < end && *at == '\n')
            ++at;
        afterCarriageReturn_ = false;
        const char* lineFeed = nullptr; // the next LF, found once for all the CRs before it
        while (at < end) {
            if (lineFeed == nullptr || lineFeed < at)
                lineFeed = Find(at, end, '\n');
            const char* const lineEnd = Find(at, lineFeed, '\r');
            if (lineEnd == end) {
                line_.append(at, end);
                lineOpen_ = true;
                break;
            }
            endLine(std::string_view(at, static_cast<std::size_t>(lineEnd - at)));
            at = lineEnd + 1;
            if (*lineEnd == '\r') {
                if (at == end)
                    afterCarriageReturn_ = true;
                else if (*at == '\n')
                    ++at;
            }
        }
        if (line_.size() > kChunkSize)
            passOnHeldText();
    }

    void endLine(std::string_view rest) {
        if (line_.empty()) {
            append(rest);
        } else {
            line_.append(rest);
            append(line_);
            line_.clear();
        }
        out_ += "\r\n";
        lineOpen_ = false;
    }

    void append(std::string_view text) {
        if (rewritesDeclarations_)
            AppendRewritten(text, out_);
        else
            out_.append(text);
    }

    void passOnHeldText() {
        if (!rewritesDeclarations_) {
            out_.append(line_);
            line_.clear();
            return;
        }
        const std::size_t keep = kPlainDeclaration.size() - 1;
        std::string_view held = line_;
        std::size_t done = 0;
        for (std::size_t found;
             (found = held.find(kPlainDeclaration, done)) != std::string_view::npos;
             done = found + kPlainDeclaration.size()) {
            out_.append(held.substr(done, found - done));
            out_ += kLatin1Declaration;
        }
        const std::size_t passed = std::max(done, held.size() - std::min(keep, held.size()));
        out_.append(held.substr(done, passed - done));
        line_.erase(0, passed);
    }

    std::string& out_;
    TextForm form_ = TextForm::Undecided;
    std::string head_; // the first bytes, until the form is known
    const char* unreadableName_ = nullptr;
    bool rewritesDeclarations_ = true;
    std::optional<char> oddByte_; // the first byte of a UTF-16 code unit cut by a chunk's end
    std::string line_;
    bool lineOpen_ = false;
    bool afterCarriageReturn_ = false;
};

// A folder's name as the user knows it: absolute, without "." or ".." and without a trailing
// separator (except for a root such as "/").
std::string FolderText(const std::filesystem::path& folder) {
    std::error_code ignored;
    std::filesystem::path shown = std::filesystem::absolute(folder, ignored);
    shown = ignored ? folder : shown.lexically_normal();
    if (!shown.has_filename() && shown.has_relative_path())
        shown = shown.parent_path();
    return Utf8FromPath(shown);
}

std::string Quoted(const std::filesystem::path& path) {
    return "\"" + Utf8FromPath(path) + "\"";
}

CheckStopped CannotRead(const std::filesystem::path& file, const std::string& why) {
    return CheckStopped("Cannot read the project file " + Quoted(file) + ": " + why + ".");
}

std::string CannotWriteText(const std::filesystem::path& copy, const FileFailure& failure) {
    return "Cannot write the working copy " + Quoted(copy.filename()) + " in the folder \"" +
           FolderText(copy.parent_path()) + "\": " + failure.text();
}

const char* KindText(FileKind kind) {
    switch (kind) {
    case FileKind::Folder:
        return "a folder";
    case FileKind::NamedPipe:
        return "a named pipe";
    case FileKind::Device:
        return "a device";
    case FileKind::Socket:
        return "a socket";
    default:
        return "a special file";
    }
}

// Opened before the working copy exists, so that a project that is not an ordinary file (a
// named pipe that never ends, a link to /dev/zero) stops the run before anything is made.
InputFile OpenProject(const std::filesystem::path& projectFile) {
    try {
        InputFile input = InputFile::open(projectFile);
        if (input.kind() != FileKind::Regular)
            throw CannotRead(projectFile, std::string("it is ") + KindText(input.kind()) +
                                              ", not an ordinary file");
        return input;
    } catch (const FileFailure& failure) {
        throw CannotRead(projectFile, failure.text());
    }
}

std::size_t ReadSome(InputFile& input, char* buffer, std::size_t size,
                     const std::filesystem::path& projectFile) {
    try {
        return input.read(buffer, size);
    } catch (const FileFailure& failure) {
        throw CannotRead(projectFile, failure.text());
    }
}

std::size_t CandidateIndex(std::string_view name) {
    std::size_t index = 0;
    for (std::size_t i = 0; i < 8; ++i)
        index = index * 2 + (name[i] == 'A' ? 1 : 0);
    return index;
}

struct CreatedCopy {
    WorkingCopy copy;
    OutputFile output;
};

// The system refused to create a candidate for a reason other than its name being taken.
struct CreationRefused {
    std::string name;
    FileFailure failure;
};

std::string CannotCreateText(const CreationRefused& refused, const std::filesystem::path& folder) {
    return "Cannot create the working copy \"" + refused.name + "\" in the folder \"" +
           FolderText(folder) + "\": " + refused.failure.text();
}

// Creates the first free candidate exclusively, so that no existing file is ever emptied or
// replaced, even one that appeared after the read probe. Throws CreationRefused.
CreatedCopy CreateFreeCandidate(const std::filesystem::path& folder, RandomSource& random) {
    std::bitset<kCandidateCount> taken;
    while (taken.count() < kCandidateCount) {
        const std::string name = NextCandidateName(random);
        const std::filesystem::path candidate = folder / name;
        if (!CanOpenForReading(candidate)) {
            // Copied before the file exists: nothing between creating it and owning it allocates.
            std::filesystem::path owned = candidate;
            try {
                if (std::optional<NewFile> made = CreateNewFile(candidate))
                    return {WorkingCopy(std::move(owned), std::move(made->removal)),
                            std::move(made->file)};
            } catch (const FileFailure& failure) {
                throw CreationRefused{name, failure};
            }
        }
        taken.set(CandidateIndex(name));
    }
    throw CheckStopped(
        "All 256 working-copy names (@@@@@@@@.tmp to AAAAAAAA.tmp) in the folder \"" +
        FolderText(folder) +
        "\" are in use, by other files or by checks running at the same moment. "
        "Check again once those checks have ended, or move the other files away.");
}

// In the chosen folder, or, where that folder takes no new files, in the temporary folder.
CreatedCopy CreateWorkingCopyFile(const std::filesystem::path& folder, RandomSource& random) {
    try {
        return CreateFreeCandidate(folder, random);
    } catch (const CreationRefused& refused) {
        if (!refused.failure.folderNotWritable() && !refused.failure.noRoom())
            throw CheckStopped(CannotCreateText(refused, folder) + ".");
        const std::filesystem::path temporary = UserTemporaryFolder();
        try {
            return CreateFreeCandidate(temporary, random);
        } catch (const CreationRefused& again) {
            throw CheckStopped(CannotCreateText(refused, folder) +
                               ", nor in the temporary folder \"" + FolderText(temporary) +
                               "\": " + again.failure.text() + ".");
        }
    }
}

void StopOnUnreadableEncoding(const LineRewriter& rewriter,
                              const std::filesystem::path& projectFile) {
    if (const char* encoding = rewriter.unreadableEncoding())
        throw CannotRead(projectFile, std::string("it is written in ") + encoding +
                                          ", which this program cannot read");
}

bool InTemporaryFolder(const WorkingCopy& copy) {
    std::error_code ignored;
    return std::filesystem::equivalent(copy.path().parent_path(), UserTemporaryFolder(), ignored);
}

// Writes the copy, and where its folder has no room left (a full device, a used-up quota),
// moves it to the temporary folder and goes on there, as a folder that takes no new files
// does at the start.
class CopyWriter {
public:
    CopyWriter(CreatedCopy made, RandomSource& random) : random_(random) {
        made_.emplace(std::move(made));
    }

    void write(std::string_view bytes) {
        try {
            made_->output.writeAll(bytes);
        } catch (const FileFailure& failure) {
            if (!failure.noRoom() || !movedFrom_.empty() || InTemporaryFolder(made_->copy))
                throw writeFailure(failure);
            moveToTemporaryFolder(failure);
            write(bytes);
            return;
        }
        written_ += bytes.size();
    }

    WorkingCopy finish() {
        try {
            made_->output.close();
        } catch (const FileFailure& failure) {
            throw writeFailure(failure);
        }
        return std::move(made_->copy);
    }

private:
    // A new copy in the temporary folder takes over what the full one holds so far; the full
    // one then goes.
    void moveToTemporaryFolder(const FileFailure& why) {
        movedFrom_ = CannotWriteText(made_->copy.path(), why);
        const std::filesystem::path temporary = UserTemporaryFolder();
        std::optional<CreatedCopy> moved;
        try {
            moved.emplace(CreateFreeCandidate(temporary, random_));
        } catch (const CreationRefused& again) {
            throw CheckStopped(movedFrom_ + ", nor in the temporary folder \"" +
                               FolderText(temporary) + "\": " + again.failure.text() + ".");
        }
        try {
            InputFile earlier = InputFile::open(made_->copy.path());
            const auto buffer = std::make_unique_for_overwrite<char[]>(kChunkSize);
            for (std::uint64_t left = written_; left > 0;) {
                const std::size_t got = earlier.read(
                    buffer.get(),
                    static_cast<std::size_t>(std::min<std::uint64_t>(left, kChunkSize)));
                if (got == 0)
                    throw CheckStopped(movedFrom_ + ", and what was copied so far cannot be read "
                                                    "back to move it to the temporary folder.");
                moved->output.writeAll(std::string_view(buffer.get(), got));
                left -= got;
            }
        } catch (const FileFailure& failure) {
            throw CheckStopped(movedFrom_ + ", nor in the temporary folder \"" +
                               FolderText(temporary) + "\": " + failure.text() + ".");
        }
        made_.reset();
        made_.emplace(std::move(*moved));
    }

    CheckStopped writeFailure(const FileFailure& failure) const {
        if (movedFrom_.empty())
            return CheckStopped(CannotWriteText(made_->copy.path(), failure) + ".");
        return CheckStopped(movedFrom_ + ", nor in the temporary folder \"" +
                            FolderText(made_->copy.path().parent_path()) + "\": " + failure.text() +
                            ".");
    }

    RandomSource& random_;
    std::optional<CreatedCopy> made_;
    std::uint64_t written_ = 0;
    std::string movedFrom_; // why the copy left its first folder, once it has
};

} // namespace

WorkingCopy::~WorkingCopy() {
    if (!path_.empty())
        RemoveFile(path_);
}

WorkingCopy::WorkingCopy(WorkingCopy&& other) noexcept
    : path_(std::move(other.path_)), removal_(std::move(other.removal_)) {
    other.path_.clear();
}

void WorkingCopy::remove() {
    if (path_.empty())
        return;
    if (const std::optional<FileFailure> failure = RemoveFile(path_))
        throw CheckStopped("Cannot remove the working copy " + Quoted(path_.filename()) +
                           " from the folder \"" + FolderText(path_.parent_path()) +
                           "\": " + failure->text() + ".");
    path_.clear();
    removal_ = RemovalOnExit();
}

std::string NextCandidateName(RandomSource& random) {
    std::string name;
    for (int i = 0; i < 8; ++i) {
        // 64 + f rounded half to even: "@" up to 0.5, "A" above it.
        name += static_cast<char>(64 + static_cast<int>(std::nearbyint(random.nextFraction())));
    }
    return name + ".tmp";
}

WorkingCopy MakeWorkingCopy(const std::filesystem::path& projectFile,
                            const std::filesystem::path& folder, RandomSource& random,
                            CopyListener* listener) {
    InputFile input = OpenProject(projectFile);
    CopyWriter writer(CreateWorkingCopyFile(folder, random), random);
    const auto buffer = std::make_unique_for_overwrite<char[]>(kChunkSize);
    std::string rewritten;
    LineRewriter rewriter(rewritten);
    const auto pass = [&] {
        writer.write(rewritten);
        if (listener != nullptr)
            listener->copied(rewritten);
        rewritten.clear();
    };
    // A file that grows while it is read (a log, /proc) is copied as it was when opened. Once
    // the listener wants no more (the parser has given up), the rest is left uncopied: a file
    // that is no XML from its first byte makes no copy of its own size.
    std::uint64_t left = input.sizeAtOpening();
    while (left > 0 && (listener == nullptr || listener->wantsMore())) {
        const std::size_t wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(left, kChunkSize));
        const std::size_t got = ReadSome(input, buffer.get(), wanted, projectFile);
        if (got == 0)
            break;
        left -= got;
        rewriter.feed(std::string_view(buffer.get(), got));
        StopOnUnreadableEncoding(rewriter, projectFile);
        if (rewritten.size() >= kChunkSize)
            pass();
    }
    rewriter.finish();
    StopOnUnreadableEncoding(rewriter, projectFile);
    pass();
    return writer.finish();
}

std::string RewriteProjectText(std::string_view bytes) {
    std::string rewritten;
    LineRewriter rewriter(rewritten);
    rewriter.feed(bytes);
    rewriter.finish();
    return rewritten;
}

} // namespace kestrova
