// The file-access seam on POSIX systems.

#include "check/file_access.h"

#include "check/removal_table.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace kestrova {
namespace {

int Descriptor(const FileHandle& handle) {
    return static_cast<int>(handle.native());
}

FileKind KindOf(mode_t mode) {
    if (S_ISREG(mode))
        return FileKind::Regular;
    if (S_ISDIR(mode))
        return FileKind::Folder;
    if (S_ISFIFO(mode))
        return FileKind::NamedPipe;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return FileKind::Device;
    if (S_ISSOCK(mode))
        return FileKind::Socket;
    return FileKind::Other;
}

// ---------------------------------------------------------------------------------------------
// The removal list. A signal handler may only read it, so every entry is a fixed buffer
// prepared before the entry is marked armed; only lock-free atomics guard it.

RemovalTable<char, PATH_MAX, pid_t> gListed;

// Every signal that ends the process unless it is caught: those another process sends (these
// are held back while a file is made) and those a fault raises in the process itself. SIGKILL
// and SIGSTOP cannot be caught; SIGXFSZ is ignored instead (RemoveListedFilesOnExit). The
// real-time signals, which also end the process, are numbered at run time.
constexpr int kSentEndingSignals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT,   SIGUSR1,
                                      SIGUSR2, SIGALRM, SIGPIPE, SIGVTALRM, SIGPROF,
                                      SIGIO,   SIGPWR,  SIGXCPU, SIGSTKFLT};
constexpr int kFaultSignals[] = {SIGABRT, SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGSYS};

template <typename Action> void ForEachSentEndingSignal(Action action) {
    for (const int signal : kSentEndingSignals)
        action(signal);
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal)
        action(signal);
}

void RemoveListedFiles() noexcept {
    gListed.removeAll(::getpid(), [](const char* path) { ::unlink(path); });
}

extern "C" void RemoveListedFilesAtExit() {
    RemoveListedFiles();
}

// Between the open that makes a file and its listing, the file exists unlisted. The making
// thread holds the ending signals back meanwhile, but the process may take one on another
// thread (the parser's). That thread leaves the ending to the maker, which ends the process as
// soon as its file is listed, so the file goes with the rest.
std::atomic<int> gFilesBeingMade{0};
std::atomic<pid_t> gMakingProcess{0};
std::atomic<int> gPostponedEnding{0};

bool FileBeingMadeElsewhere() noexcept {
    // A child forked meanwhile inherits the count but makes no file.
    return gFilesBeingMade.load() > 0 && gMakingProcess.load() == ::getpid();
}

void RemoveListedFilesAndRaise(int signal) noexcept {
    RemoveListedFiles();
    // The handler was installed with SA_RESETHAND, so the default action is back: raised again,
    // the signal ends the process as it would have without the handler.
    ::raise(signal);
}

extern "C" void RemoveListedFilesAndEnd(int signal) {
    const int savedErrno = errno;
    if (FileBeingMadeElsewhere()) {
        gPostponedEnding.store(signal);
        // The maker may have finished between the look and the store and missed the ending;
        // whichever side takes the postponed signal back ends the process.
        if (FileBeingMadeElsewhere() || gPostponedEnding.exchange(0) == 0) {
            errno = savedErrno;
            return;
        }
    }
    RemoveListedFilesAndRaise(signal);
    errno = savedErrno;
}

// Counts one file being made for as long as it lives; the last maker out carries out an
// ending that came meanwhile.
class FileBeingMade {
public:
    FileBeingMade() {
        gMakingProcess.store(::getpid());
        gFilesBeingMade.fetch_add(1);
    }
    ~FileBeingMade() {
        if (gFilesBeingMade.fetch_sub(1) != 1)
            return;
        if (const int signal = gPostponedEnding.exchange(0); signal != 0)
            RemoveListedFilesAndRaise(signal);
    }
    FileBeingMade(const FileBeingMade&) = delete;
    FileBeingMade& operator=(const FileBeingMade&) = delete;
};

// A file that is being made is listed before a signal can end the process, so the ending
// signals wait while the file is created and listed.
class EndingSignalsHeld {
public:
    EndingSignalsHeld() {
        sigset_t ending;
        sigemptyset(&ending);
        ForEachSentEndingSignal([&](int signal) { sigaddset(&ending, signal); });
        ::pthread_sigmask(SIG_BLOCK, &ending, &previous_);
    }
    ~EndingSignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    EndingSignalsHeld(const EndingSignalsHeld&) = delete;
    EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;

private:
    sigset_t previous_;
};

RemovalOnExit List(const std::filesystem::path& path) {
    return RemovalOnExit(gListed.list(path.native(), ::getpid()));
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Failures

std::string FileFailure::text() const {
    switch (code_) {
    case ENOENT:
        return "there is no such file or folder";
    case EACCES:
        return "permission denied";
    case EPERM:
        return "the operation is not permitted";
    case EROFS:
        return "the file system is read-only";
    case ENOSPC:
        return "there is no space left on the device";
    case EDQUOT:
        return "the disk quota is used up";
    case EISDIR:
        return "it is a folder";
    case ENOTDIR:
        return "a part of the path is not a folder";
    case ELOOP:
        return "there are too many symbolic links in the path";
    case ENAMETOOLONG:
        return "the name is too long";
    case EMFILE:
        return "this program has too many files open";
    case ENFILE:
        return "the system has too many files open";
    case EIO:
        return "an input/output error occurred";
    case EBUSY:
        return "the file or device is busy";
    case ETXTBSY:
        return "the file is in use";
    case EEXIST:
        return "a file of that name exists already";
    case EINVAL:
        return "the name or the operation is not valid";
    case ENXIO:
    case ENODEV:
        return "there is no such device";
    case EAGAIN:
        return "the file is not available at the moment";
    case EFBIG:
    case EOVERFLOW:
        return "the file is too large";
    case ENOMEM:
        return "there is not enough memory";
    case ESTALE:
        return "the file on the network share is no longer valid";
    default:
        return "the system reported error " + std::to_string(code_);
    }
}

bool FileFailure::folderNotWritable() const {
    return code_ == EACCES || code_ == EPERM || code_ == EROFS;
}

bool FileFailure::noRoom() const {
    return code_ == ENOSPC || code_ == EDQUOT;
}

// ---------------------------------------------------------------------------------------------
// Handles and files

bool FileHandle::close(int* error) noexcept {
    if (native_ == kNone)
        return true;
    const int descriptor = static_cast<int>(native_);
    native_ = kNone;
    // After EINTR the descriptor is closed all the same on Linux: no second close.
    if (::close(descriptor) == 0 || errno == EINTR)
        return true;
    if (error != nullptr)
        *error = errno;
    return false;
}

InputFile InputFile::open(const std::filesystem::path& path) {
    // O_NONBLOCK: a named pipe without a writer would otherwise hold the open for ever.
    FileHandle handle(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (handle.native() < 0)
        throw FileFailure(errno);
    struct stat status {};
    if (::fstat(Descriptor(handle), &status) != 0)
        throw FileFailure(errno);
    const FileKind kind = KindOf(status.st_mode);
    // Reads of an ordinary file wait for the disk as usual.
    if (kind == FileKind::Regular) {
        const int flags = ::fcntl(Descriptor(handle), F_GETFL);
        if (flags < 0 || ::fcntl(Descriptor(handle), F_SETFL, flags & ~O_NONBLOCK) != 0)
            throw FileFailure(errno);
    }
    return InputFile(std::move(handle), kind, static_cast<std::uint64_t>(status.st_size));
}

std::size_t InputFile::read(char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(Descriptor(handle_), buffer, size);
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR)
            throw FileFailure(errno);
    }
}

void OutputFile::writeAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(Descriptor(handle_), bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            throw FileFailure(put < 0 ? errno : EIO);
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
}

// ---------------------------------------------------------------------------------------------
// Names

std::optional<NewFile> CreateNewFile(const std::filesystem::path& path) {
    // The ending signals are held back on this thread until the file is listed (or refused).
    const EndingSignalsHeld held;
    const FileBeingMade making;
    // O_EXCL: never an existing file, and never through a link, even one that leads nowhere.
    FileHandle handle(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (handle.native() < 0) {
        if (errno == EEXIST)
            return std::nullopt;
        throw FileFailure(errno);
    }
    // The umask may have taken the owner's rights away. A file system without modes refuses
    // fchmod, and has no umask to undo either.
    ::fchmod(Descriptor(handle), S_IRUSR | S_IWUSR);
    return NewFile{OutputFile(std::move(handle)), List(path)};
}

WritableFile OpenForWriting(const std::filesystem::path& path) {
    FileHandle made(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (made.native() >= 0)
        return {OutputFile(std::move(made)), true};
    if (errno != EEXIST)
        throw FileFailure(errno);
    FileHandle existing(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (existing.native() < 0)
        throw FileFailure(errno);
    return {OutputFile(std::move(existing)), false};
}

bool CanOpenForReading(const std::filesystem::path& path) noexcept {
    FileHandle handle(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    return handle.native() >= 0;
}

std::optional<FileFailure> RemoveFile(const std::filesystem::path& path) noexcept {
    if (::unlink(path.c_str()) == 0 || errno == ENOENT)
        return std::nullopt;
    return FileFailure(errno);
}

std::filesystem::path UserTemporaryFolder() {
    const char* const folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

// ---------------------------------------------------------------------------------------------
// Removal on exit

RemovalOnExit::~RemovalOnExit() {
    if (slot_ >= 0)
        gListed.release(slot_);
}

void RemoveListedFilesOnExit() {
    static std::atomic<bool> installed{false};
    if (installed.exchange(true))
        return;
    std::atexit(RemoveListedFilesAtExit);
    // Only a signal left at its default action is taken over: one the process was started with
    // ignored stays ignored, and a handler installed before (a debugging tool's) stays.
    const auto takeOver = [](int signal) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) != 0 ||
            current.sa_handler != SIG_DFL)
            return;
        struct sigaction action {};
        action.sa_handler = RemoveListedFilesAndEnd;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        ::sigaction(signal, &action, nullptr);
    };
    ForEachSentEndingSignal(takeOver);
    for (const int signal : kFaultSignals)
        takeOver(signal);
    // A write past the file size limit (ulimit -f) then fails with EFBIG, which stops the check
    // with a message and removes its copy, instead of ending the process there.
    struct sigaction current {};
    if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) == 0 &&
        current.sa_handler == SIG_DFL)
        ::signal(SIGXFSZ, SIG_IGN);
}

void FailWritesToClosedPipes() {
    ::signal(SIGPIPE, SIG_IGN);
}

} // namespace kestrova
