#include "check/working_copy.h"

#include "check/check_failure.h"
#include "check/file_identity.h"
#include "check/line_rewriter.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>

namespace kestrova {
namespace {

constexpr int kCandidateCount = 256;

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
    return SameFile(copy.path().parent_path(), UserTemporaryFolder());
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
            const auto buffer = std::make_unique_for_overwrite<char[]>(kCopyChunkSize);
            for (std::uint64_t left = written_; left > 0;) {
                const std::size_t got = earlier.read(
                    buffer.get(),
                    static_cast<std::size_t>(std::min<std::uint64_t>(left, kCopyChunkSize)));
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
    if (listener != nullptr)
        listener->projectOpened(input.sizeAtOpening());
    CopyWriter writer(CreateWorkingCopyFile(folder, random), random);
    const auto buffer = std::make_unique_for_overwrite<char[]>(kCopyChunkSize);
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
            static_cast<std::size_t>(std::min<std::uint64_t>(left, kCopyChunkSize));
        const std::size_t got = ReadSome(input, buffer.get(), wanted, projectFile);
        if (got == 0)
            break;
        left -= got;
        rewriter.feed(std::string_view(buffer.get(), got));
        StopOnUnreadableEncoding(rewriter, projectFile);
        if (rewritten.size() >= kCopyChunkSize)
            pass();
    }
    rewriter.finish();
    StopOnUnreadableEncoding(rewriter, projectFile);
    pass();
    return writer.finish();
}
} // namespace kestrova
