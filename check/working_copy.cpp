#include "check/working_copy.h"

#include "check/check_failure.h"

#include <fcntl.h>
#include <unistd.h>

#include <bitset>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>

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

// Rewrites the project text as it streams through: a line ends at LF, CR LF or a lone CR and is
// written back with CR LF; the plain declaration becomes the ISO-8859-1 one. A line that runs
// on past the end of a chunk is held until its end arrives; a very long one is passed on in
// pieces, holding back only what could still be the start of a declaration.
class LineRewriter {
public:
    explicit LineRewriter(std::string& out) : out_(out) {}

    void feed(std::string_view bytes) {
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

    // A last line without a line end still gets one.
    void finish() {
        if (lineOpen_)
            endLine({});
    }

private:
    void endLine(std::string_view rest) {
        if (line_.empty()) {
            AppendRewritten(rest, out_);
        } else {
            line_.append(rest);
            AppendRewritten(line_, out_);
            line_.clear();
        }
        out_ += "\r\n";
        lineOpen_ = false;
    }

    void passOnHeldText() {
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
    std::string line_;
    bool lineOpen_ = false;
    bool afterCarriageReturn_ = false;
};

std::string ErrorText(int error) {
    return std::strerror(error);
}

std::string FolderText(const std::filesystem::path& folder) {
    std::error_code ignored;
    const auto absolute = std::filesystem::absolute(folder, ignored);
    return (ignored ? folder : absolute.lexically_normal()).string();
}

class FileHandle {
public:
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileHandle(FileHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileHandle& operator=(FileHandle&&) = delete;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    int fd() const { return fd_; }
    // Closes now and says whether everything written reached the file system.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

// Reads up to `size` bytes; 0 at the end of the file. Throws with the errno on failure.
std::size_t ReadSome(int fd, char* buffer, std::size_t size, const std::filesystem::path& file) {
    for (;;) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR)
            throw CheckStopped("Cannot read the project file \"" + file.string() +
                               "\": " + ErrorText(errno) + ".");
    }
}

CheckStopped CannotWrite(const std::filesystem::path& copy, int error) {
    return CheckStopped("Cannot write the working copy \"" + copy.filename().string() +
                        "\" in the folder \"" + FolderText(copy.parent_path()) +
                        "\": " + ErrorText(error) + ".");
}

void WriteAll(int fd, std::string_view bytes, const std::filesystem::path& copy) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            throw CannotWrite(copy, put < 0 ? errno : EIO);
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
}

std::size_t CandidateIndex(std::string_view name) {
    std::size_t index = 0;
    for (std::size_t i = 0; i < 8; ++i)
        index = index * 2 + (name[i] == 'A' ? 1 : 0);
    return index;
}

// Without O_NONBLOCK, a named pipe of a candidate's name would hold the probe until some other
// process opened it for writing.
bool CanOpenForReading(const std::filesystem::path& candidate) {
    const int fd = ::open(candidate.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

// Creates the first free candidate exclusively, so that no existing file is ever emptied or
// replaced, even one that appeared after the read probe.
std::pair<WorkingCopy, FileHandle> CreateFreeCandidate(const std::filesystem::path& folder,
                                                       RandomSource& random) {
    std::bitset<kCandidateCount> taken;
    while (taken.count() < kCandidateCount) {
        const std::string name = NextCandidateName(random);
        const std::filesystem::path candidate = folder / name;
        if (!CanOpenForReading(candidate)) {
            // Copied before the file exists: nothing between creating it and owning it allocates.
            std::filesystem::path owned = candidate;
            const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0)
                return {WorkingCopy(std::move(owned)), FileHandle(fd)};
            if (errno != EEXIST)
                throw CheckStopped("Cannot create the working copy \"" + name +
                                   "\" in the folder \"" + FolderText(folder) +
                                   "\": " + ErrorText(errno) + ".");
        }
        taken.set(CandidateIndex(name));
    }
    throw CheckStopped("All 256 working-copy names (@@@@@@@@.tmp to AAAAAAAA.tmp) are taken in the "
                       "folder \"" +
                       FolderText(folder) + "\". Move some of these files away and check again.");
}

} // namespace

WorkingCopy::~WorkingCopy() {
    if (!path_.empty())
        ::unlink(path_.c_str());
}

WorkingCopy::WorkingCopy(WorkingCopy&& other) noexcept : path_(std::move(other.path_)) {
    other.path_.clear();
}

void WorkingCopy::remove() {
    if (path_.empty())
        return;
    if (::unlink(path_.c_str()) != 0 && errno != ENOENT)
        throw CheckStopped("Cannot remove the working copy \"" + path_.filename().string() +
                           "\" from the folder \"" + FolderText(path_.parent_path()) +
                           "\": " + ErrorText(errno) + ".");
    path_.clear();
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
    auto [copy, output] = CreateFreeCandidate(folder, random);
    FileHandle input(::open(projectFile.c_str(), O_RDONLY | O_CLOEXEC));
    if (input.fd() < 0)
        throw CheckStopped("Cannot read the project file \"" + projectFile.string() +
                           "\": " + ErrorText(errno) + ".");
    const auto buffer = std::make_unique_for_overwrite<char[]>(kChunkSize);
    std::string rewritten;
    LineRewriter rewriter(rewritten);
    while (const std::size_t got = ReadSome(input.fd(), buffer.get(), kChunkSize, projectFile)) {
        rewriter.feed(std::string_view(buffer.get(), got));
        if (rewritten.size() >= kChunkSize) {
            WriteAll(output.fd(), rewritten, copy.path());
            if (listener != nullptr)
                listener->copied(rewritten);
            rewritten.clear();
        }
    }
    rewriter.finish();
    WriteAll(output.fd(), rewritten, copy.path());
    if (listener != nullptr)
        listener->copied(rewritten);
    if (!output.close())
        throw CannotWrite(copy.path(), errno);
    return std::move(copy);
}

std::string RewriteProjectText(std::string_view bytes) {
    std::string rewritten;
    LineRewriter rewriter(rewritten);
    rewriter.feed(bytes);
    rewriter.finish();
    return rewritten;
}

} // namespace kestrova
