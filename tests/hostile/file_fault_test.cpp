// File-system faults around the working copy: the project file vanishing or unreadable, a
// folder where nothing can be written, a full disk, every working-copy name taken, and
// candidate names that are not ordinary files. Every run must end with a clear message (or,
// where the fault is only in the way, a normal report), leave no working copy behind and leave
// every file that was there before unchanged.

#include "check/working_copy.h"
#include "hostile_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <map>
#include <optional>
#include <thread>
#include <vector>

namespace kestrova::hostile {
namespace {

const std::string kCleanProject =
    "<?xml version=\"1.0\" standalone=\"yes\" "
    "?>\n<kestrovadocument2><multilayer><layer><name>V</name>"
    "<scrap>no</scrap><layeritem_video><starttime>0h 00m 00s 000</starttime><endtime>0h 00m 05s 000"
    "</endtime></layeritem_video></layer></multilayer></kestrovadocument2>\n";

// The candidate names a fresh run tries, in order.
std::vector<std::string> CandidatesInOrder(std::size_t count) {
    UnseededRandom random;
    std::vector<std::string> names;
    while (names.size() < count) {
        std::string name = NextCandidateName(random);
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    return names;
}

// Runs the check from inside `folder` as the current directory, restoring it afterwards.
class InFolder {
public:
    explicit InFolder(const fs::path& folder) : previous_(fs::current_path()) {
        fs::current_path(folder);
    }
    ~InFolder() { fs::current_path(previous_); }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

private:
    fs::path previous_;
};

// A small tmpfs mounted on a fresh folder for the test's lifetime; needs root and mount rights.
class SmallMount {
public:
    SmallMount(const fs::path& at, const char* options) : at_(at) {
        mounted_ = ::mount("tmpfs", at.c_str(), "tmpfs", 0, options) == 0;
    }
    ~SmallMount() {
        if (mounted_)
            ::umount2(at_.c_str(), MNT_DETACH);
    }
    SmallMount(const SmallMount&) = delete;
    SmallMount& operator=(const SmallMount&) = delete;
    bool mounted() const { return mounted_; }
    bool remountReadOnly() {
        return ::mount("tmpfs", at_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    fs::path at_;
    bool mounted_ = false;
};

TEST(ProjectFileFaults, ProjectRemovedBetweenChoiceAndCopyStopsTheRun) {
    TempFolder folder;
    const fs::path project = folder / "project.kpj";
    WriteBytes(project, kCleanProject);
    const RunResult run =
        RunOn(project.string(), WorkingCopyPlace::ProjectFolder, [&] { fs::remove(project); });
    ExpectFailureShown(run);
    EXPECT_EQ(run.result->status, CheckStatus::Stopped);
    EXPECT_NE(MessageText(*run.result).find("Cannot read the project file"), std::string::npos)
        << MessageText(*run.result);
    EXPECT_TRUE(fs::is_empty(folder.path())) << "a working copy was left behind";
}

TEST(ProjectFileFaults, MissingPathOrFolderInsteadOfFileStopsTheRun) {
    TempFolder folder;
    WriteBytes(folder / "other.kpj", "keep me");
    fs::create_directory(folder / "folder.kpj");
    const auto before = Snapshot(folder.path());
    for (const char* name : {"missing.kpj", "folder.kpj"}) {
        SCOPED_TRACE(name);
        const RunResult run = RunOn((folder / name).string());
        ExpectFailureShown(run);
        EXPECT_EQ(run.result->status, CheckStatus::Stopped);
        EXPECT_TRUE(Snapshot(folder.path()) == before);
    }
}

// Replaces the process's standard input for the guard's lifetime.
class StandardInputFrom {
public:
    explicit StandardInputFrom(const char* path) : saved_(::dup(0)) {
        const int replacement = ::open(path, O_RDONLY | O_CLOEXEC);
        ::dup2(replacement, 0);
        ::close(replacement);
    }
    ~StandardInputFrom() {
        ::dup2(saved_, 0);
        ::close(saved_);
    }
    StandardInputFrom(const StandardInputFrom&) = delete;
    StandardInputFrom& operator=(const StandardInputFrom&) = delete;

private:
    int saved_;
};

struct SpecialProject {
    const char* name;
    std::function<void(const fs::path&)> make;
    const char* kind;
};

void PrintTo(const SpecialProject& project, std::ostream* os) {
    *os << project.name;
}

class NotAnOrdinaryFile : public ::testing::TestWithParam<SpecialProject> {};

// A named pipe would hold the run for ever; /dev/zero, or standard input fed from it, would
// fill the disk. Each is refused before a working copy exists.
TEST_P(NotAnOrdinaryFile, StopsTheRunNamingTheFileBeforeAnyCopyIsMade) {
    TempFolder folder;
    const fs::path project = folder / "project.kpj";
    GetParam().make(project);
    const auto before = Snapshot(folder.path());
    const StandardInputFrom zeros("/dev/zero");
    auto running = std::async(std::launch::async, [&] { return RunOn(project.string()); });
    if (running.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        const int writer = ::open(project.c_str(), O_WRONLY | O_NONBLOCK);
        running.wait();
        if (writer >= 0)
            ::close(writer);
        FAIL() << "the run waited on the project";
    }
    const RunResult run = running.get();
    ExpectFailureShown(run);
    EXPECT_EQ(MessageText(*run.result), "Cannot read the project file \"" + project.string() +
                                            "\": it is " + GetParam().kind +
                                            ", not an ordinary file.");
    EXPECT_TRUE(Snapshot(folder.path()) == before);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, NotAnOrdinaryFile,
    ::testing::Values(
        SpecialProject{"NamedPipe", [](const fs::path& at) { ::mkfifo(at.c_str(), 0600); },
                       "a named pipe"},
        SpecialProject{"LinkToDevZero",
                       [](const fs::path& at) { fs::create_symlink("/dev/zero", at); }, "a device"},
        SpecialProject{"LinkToStandardInputFedFromDevZero",
                       [](const fs::path& at) { fs::create_symlink("/proc/self/fd/0", at); },
                       "a device"},
        SpecialProject{"Folder", [](const fs::path& at) { fs::create_directory(at); }, "a folder"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WorkingCopyFaults, FolderThatCannotTakeFilesStopsTheRun) {
    TempFolder outside;
    TempFolder gone;
    WriteBytes(outside / "project.kpj", kCleanProject);
    const auto before = Snapshot(outside.path());
    // A current directory that has been removed takes no new file, and not for want of
    // permission: the run stops instead of moving to the temporary folder.
    InFolder inside(gone.path());
    fs::remove(gone.path());
    const RunResult run =
        RunOn((outside / "project.kpj").string(), WorkingCopyPlace::CurrentDirectory);
    ExpectFailureShown(run);
    EXPECT_NE(MessageText(*run.result).find("Cannot create the working copy"), std::string::npos)
        << MessageText(*run.result);
    EXPECT_NE(MessageText(*run.result).find(": there is no such file or folder."),
              std::string::npos)
        << MessageText(*run.result);
    EXPECT_TRUE(Snapshot(outside.path()) == before);
}

// Sets an environment variable for the guard's lifetime.
class EnvironmentSetting {
public:
    EnvironmentSetting(const char* name, const std::string& value) : name_(name) {
        if (const char* previous = std::getenv(name))
            previous_ = previous;
        ::setenv(name, value.c_str(), 1);
    }
    ~EnvironmentSetting() {
        if (previous_)
            ::setenv(name_, previous_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    EnvironmentSetting(const EnvironmentSetting&) = delete;
    EnvironmentSetting& operator=(const EnvironmentSetting&) = delete;

private:
    const char* name_;
    std::optional<std::string> previous_;
};

// A project on a read-only medium is checked all the same: the copy goes to $TMPDIR, and the
// report is the one a writable folder gives.
TEST(WorkingCopyFaults, ReadOnlyFolderGetsItsCopyInTheTemporaryFolder) {
    TempFolder outside;
    TempFolder place;
    TempFolder temporary;
    WriteBytes(outside / "project.kpj", kCleanProject);
    SmallMount mount(place.path(), "size=256k");
    if (!mount.mounted() || !mount.remountReadOnly())
        GTEST_SKIP() << "cannot mount a read-only tmpfs here (needs root and mount rights); "
                        "as root a chmod would not stop the writes";
    const EnvironmentSetting tmpdir("TMPDIR", temporary.path().string());
    const std::string project = (outside / "project.kpj").string();
    const RunResult writable = RunOn(project, WorkingCopyPlace::ProjectFolder);
    ASSERT_EQ(writable.result->status, CheckStatus::NoErrors) << MessageText(*writable.result);

    struct Seen final : CopyListener {
        void copied(std::string_view) override {
            for (const auto& entry : fs::directory_iterator(folder))
                names.push_back(entry.path().filename().string());
        }
        fs::path folder;
        std::vector<std::string> names;
    } seen;
    seen.folder = temporary.path();
    UnseededRandom random;
    const WorkingCopy copy = MakeWorkingCopy(project, place.path(), random, &seen);
    EXPECT_EQ(copy.path().parent_path(), temporary.path());
    EXPECT_EQ(seen.names, std::vector<std::string>{copy.path().filename().string()});

    InFolder inside(place.path());
    const RunResult readOnly = RunOn(project);
    EXPECT_EQ(readOnly.result->status, CheckStatus::NoErrors) << MessageText(*readOnly.result);
    EXPECT_EQ(readOnly.report, writable.report);
    EXPECT_TRUE(fs::is_empty(place.path()));
    EXPECT_EQ(Snapshot(temporary.path()).size(), 1u) << "only the copy held above";
    EXPECT_EQ(ReadBytes(outside / "project.kpj"), kCleanProject);
}

// When the temporary folder takes no copy either, the message names both folders.
TEST(WorkingCopyFaults, ReadOnlyFolderAndTemporaryFolderStopTheRunNamingBoth) {
    TempFolder outside;
    TempFolder place;
    WriteBytes(outside / "project.kpj", kCleanProject);
    SmallMount mount(place.path(), "size=256k");
    if (!mount.mounted() || !mount.remountReadOnly())
        GTEST_SKIP() << "cannot mount a read-only tmpfs here (needs root and mount rights)";
    const EnvironmentSetting tmpdir("TMPDIR", place.path().string() + "/");
    InFolder inside(place.path());
    const RunResult run =
        RunOn((outside / "project.kpj").string(), WorkingCopyPlace::CurrentDirectory);
    ExpectFailureShown(run);
    const std::string folder = "\"" + place.path().string() + "\"";
    EXPECT_NE(MessageText(*run.result)
                  .find(" in the folder " + folder +
                        ": the file system is read-only, nor in the "
                        "temporary folder " +
                        folder + ": the file system is read-only."),
              std::string::npos)
        << MessageText(*run.result);
    EXPECT_TRUE(fs::is_empty(place.path()));
}

// A project of about 70 bytes a layer.
std::string ProjectOfLayers(int layerCount) {
    std::string layers;
    for (int i = 0; i < layerCount; ++i)
        layers +=
            "<layer><name>Layer number " + std::to_string(i) + "</name><scrap>no</scrap></layer>\n";
    return "<kestrovadocument2><multilayer>\n" + layers + "</multilayer></kestrovadocument2>\n";
}

// A folder without room for the copy is passed over as a read-only one is: the copy moves to
// the temporary folder, taking along what was written, and the report is the one a folder with
// room gives. Where the temporary folder has no room either, the run stops naming both.
TEST(WorkingCopyFaults, FullDiskWhileCopyingMovesTheCopyToTheTemporaryFolder) {
    for (const bool temporaryFull : {false, true}) {
        SCOPED_TRACE(temporaryFull ? "temporary folder full too" : "temporary folder with room");
        TempFolder outside;
        TempFolder place;
        TempFolder temporary;
        // About 3 MB for a disk of 1.5 MB: the copy is full after its first MiB was written.
        const std::string project = ProjectOfLayers(42'000);
        WriteBytes(outside / "project.kpj", project);
        SmallMount mount(place.path(), "size=1536k");
        if (!mount.mounted())
            GTEST_SKIP() << "cannot mount a small tmpfs here (needs root and mount rights)";
        std::optional<SmallMount> temporaryMount;
        if (temporaryFull) {
            temporaryMount.emplace(temporary.path(), "size=64k");
            ASSERT_TRUE(temporaryMount->mounted());
        }
        WriteBytes(place / "already-here.txt", "an earlier file");
        const auto before = Snapshot(place.path());
        const EnvironmentSetting tmpdir("TMPDIR", temporary.path().string());
        const RunResult roomy = RunOn((outside / "project.kpj").string());
        ASSERT_EQ(roomy.result->status, CheckStatus::NoErrors) << MessageText(*roomy.result);

        InFolder inside(place.path());
        const RunResult run =
            RunOn((outside / "project.kpj").string(), WorkingCopyPlace::CurrentDirectory);
        if (temporaryFull) {
            ExpectFailureShown(run);
            EXPECT_NE(MessageText(*run.result)
                          .find(" in the folder \"" + place.path().string() +
                                "\": there is no space left on the device, nor in the temporary "
                                "folder \"" +
                                temporary.path().string() +
                                "\": there is no space left on the device."),
                      std::string::npos)
                << MessageText(*run.result);
        } else {
            EXPECT_EQ(run.result->status, CheckStatus::NoErrors) << MessageText(*run.result);
            EXPECT_EQ(run.report, roomy.report);
            UnseededRandom random;
            const WorkingCopy copy = MakeWorkingCopy(outside / "project.kpj", place.path(), random);
            EXPECT_EQ(copy.path().parent_path(), temporary.path());
            EXPECT_TRUE(ReadBytes(copy.path()) == RewriteProjectText(project));
        }
        EXPECT_TRUE(Snapshot(place.path()) == before) << "a working copy was left behind";
        EXPECT_TRUE(fs::is_empty(temporary.path()));
        EXPECT_EQ(ReadBytes(outside / "project.kpj"), project);
    }
}

TEST(WorkingCopyNames, AllNamesTakenStopsTheRunAndChangesNone) {
    TempFolder folder;
    WriteBytes(folder / "project.kpj", kCleanProject);
    for (const std::string& name : CandidatesInOrder(256))
        WriteBytes(folder / name, "earlier file " + name);
    const auto before = Snapshot(folder.path());
    const RunResult run = RunOn((folder / "project.kpj").string());
    ExpectFailureShown(run);
    EXPECT_NE(MessageText(*run.result).find("All 256 working-copy names"), std::string::npos);
    EXPECT_NE(MessageText(*run.result)
                  .find("are in use, by other files or by checks running at the same moment"),
              std::string::npos)
        << MessageText(*run.result);
    EXPECT_TRUE(Snapshot(folder.path()) == before);
}

// A candidate name already used by something that is not an ordinary readable file: the run
// passes it over, checks normally with another name, and leaves it exactly as it was.
class OddCandidate : public ::testing::Test {
protected:
    void SetUp() override {
        WriteBytes(folder_ / "project.kpj", kCleanProject);
        first_ = folder_ / CandidatesInOrder(1)[0];
    }
    void ExpectCheckedAroundIt() {
        const auto before = Snapshot(folder_.path());
        const RunResult run = RunOn((folder_ / "project.kpj").string());
        EXPECT_EQ(run.result->status, CheckStatus::NoErrors) << MessageText(*run.result);
        EXPECT_TRUE(Snapshot(folder_.path()) == before);
    }

    TempFolder folder_;
    fs::path first_;
};

TEST_F(OddCandidate, FolderWithTheNameIsPassedOver) {
    fs::create_directory(first_);
    WriteBytes(first_ / "inside.txt", "untouched");
    ExpectCheckedAroundIt();
    EXPECT_EQ(ReadBytes(first_ / "inside.txt"), "untouched");
}

TEST_F(OddCandidate, DanglingLinkWithTheNameIsNotFollowed) {
    TempFolder elsewhere;
    fs::create_symlink(elsewhere / "created-through-link", first_);
    ExpectCheckedAroundIt();
    EXPECT_FALSE(fs::exists(elsewhere / "created-through-link"))
        << "the copy was written through a link";
}

TEST_F(OddCandidate, LinkToAnOutsideFileLeavesThatFileAlone) {
    TempFolder elsewhere;
    WriteBytes(elsewhere / "precious.txt", "precious bytes");
    fs::create_symlink(elsewhere / "precious.txt", first_);
    ExpectCheckedAroundIt();
    EXPECT_EQ(ReadBytes(elsewhere / "precious.txt"), "precious bytes");
}

TEST_F(OddCandidate, FifoWithTheNameDoesNotBlockTheRun) {
    ASSERT_EQ(::mkfifo(first_.c_str(), 0600), 0);
    auto run = std::async(std::launch::async, [&] { ExpectCheckedAroundIt(); });
    if (run.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        // Give the blocked open a writer so that the run, and the test, can end.
        const int writer = ::open(first_.c_str(), O_WRONLY | O_NONBLOCK);
        run.wait();
        if (writer >= 0)
            ::close(writer);
        FAIL() << "the run waited on a FIFO that has a working-copy name";
    }
    run.get();
}

// ---------------------------------------------------------------------------------------------
// Ways out of the process

// The working-copy names in a folder.
std::vector<std::string> CopiesIn(const fs::path& folder) {
    std::vector<std::string> copies;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".tmp")
            copies.push_back(entry.path().filename().string());
    return copies;
}

// kpjcheck started with the arguments, its standard output `output` (thrown away when -1) and
// its standard error `errorOutput`. Ended with SIGKILL if the test leaves it running.
class Kpjcheck {
public:
    Kpjcheck(const std::vector<std::string>& arguments, int output, int errorOutput,
             bool hangupIgnored = false, rlim_t fileSizeLimit = RLIM_INFINITY) {
        std::vector<char*> argv{const_cast<char*>("kpjcheck")};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        std::fflush(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(output >= 0 ? output : ::open("/dev/null", O_WRONLY), 1);
            ::dup2(errorOutput, 2);
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore);
            const rlimit fileSize{fileSizeLimit, fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &fileSize);
            ::signal(SIGHUP, hangupIgnored ? SIG_IGN : SIG_DFL);
            ::execv(KPJCHECK, argv.data());
            ::_exit(127);
        }
    }
    Kpjcheck(const fs::path& project, int errorOutput, bool hangupIgnored = false,
             rlim_t fileSizeLimit = RLIM_INFINITY)
        : Kpjcheck({project.string()}, -1, errorOutput, hangupIgnored, fileSizeLimit) {}
    ~Kpjcheck() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            wait();
        }
    }
    Kpjcheck(const Kpjcheck&) = delete;
    Kpjcheck& operator=(const Kpjcheck&) = delete;

    pid_t pid() const { return pid_; }
    // Without reaping it, so that wait() still gets the status.
    bool running() const {
        siginfo_t info{};
        return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == 0;
    }
    int wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

private:
    pid_t pid_ = -1;
};

struct EndingSignal {
    const char* name;
    int signal;
    bool hangupIgnored;
};

void PrintTo(const EndingSignal& ending, std::ostream* os) {
    *os << ending.name;
}

class SignalDuringCheck : public ::testing::TestWithParam<EndingSignal> {};

// Watches a folder for new files.
class NewFilesWatch {
public:
    explicit NewFilesWatch(const fs::path& folder) : fd_(::inotify_init1(IN_CLOEXEC)) {
        ::inotify_add_watch(fd_, folder.c_str(), IN_CREATE);
    }
    ~NewFilesWatch() { ::close(fd_); }
    NewFilesWatch(const NewFilesWatch&) = delete;
    NewFilesWatch& operator=(const NewFilesWatch&) = delete;

    // Waits up to ten seconds for a file to be made; false when none was.
    bool waitForOne() const {
        pollfd watched{fd_, POLLIN, 0};
        return ::poll(&watched, 1, 10'000) == 1;
    }

    // Waits up to ten seconds for `count` working copies (*.tmp) to be made; false when fewer
    // were.
    bool waitForCopies(int count) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        alignas(inotify_event) char events[4096];
        while (count > 0 && std::chrono::steady_clock::now() < deadline) {
            pollfd watched{fd_, POLLIN, 0};
            if (::poll(&watched, 1, 100) != 1)
                continue;
            const ssize_t got = ::read(fd_, events, sizeof events);
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                if (event->len > 0 && EndsWith(event->name, ".tmp"))
                    --count;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return count <= 0;
    }

private:
    int fd_;
};

// The signal is sent the moment the working copy is made, while kpjcheck is still copying and
// parsing a project of some 64 MiB.
TEST_P(SignalDuringCheck, RemovesTheWorkingCopyAndEndsByThatSignal) {
    TempFolder folder;
    const fs::path project = folder / "large.kpj";
    WriteBytes(project, "<kestrovadocument2><multilayer><!--\n" +
                            std::string(std::size_t{64} << 20, ' ') +
                            "\n--></multilayer></kestrovadocument2>\n");
    const NewFilesWatch watch(folder.path());
    Kpjcheck checker(project, 2, GetParam().hangupIgnored);
    ASSERT_TRUE(watch.waitForOne()) << "no working copy appeared";
    if (GetParam().hangupIgnored)
        ::kill(checker.pid(), SIGHUP);
    ::kill(checker.pid(), GetParam().signal);
    const int status = checker.wait();
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
    EXPECT_EQ(WTERMSIG(status), GetParam().signal)
        << "ended by " << WTERMSIG(status) << " (1 is SIGHUP)";
    EXPECT_TRUE(CopiesIn(folder.path()).empty());
}

// A hangup ignored from the start (nohup) stays ignored: pending together, SIGHUP would be
// acted on before SIGTERM. The fault signals (SIGSEGV, SIGBUS, SIGFPE) are not sent here: under
// the sanitizers they are the sanitizer's own.
INSTANTIATE_TEST_SUITE_P(
    Signals, SignalDuringCheck,
    ::testing::Values(
        EndingSignal{"Interrupt", SIGINT, false}, EndingSignal{"Terminate", SIGTERM, false},
        EndingSignal{"Hangup", SIGHUP, false}, EndingSignal{"Quit", SIGQUIT, false},
        EndingSignal{"TerminateWithHangupIgnored", SIGTERM, true},
        EndingSignal{"User1", SIGUSR1, false}, EndingSignal{"User2", SIGUSR2, false},
        EndingSignal{"Alarm", SIGALRM, false}, EndingSignal{"CpuTimeLimit", SIGXCPU, false},
        EndingSignal{"Abort", SIGABRT, false}, EndingSignal{"FirstRealTime", SIGRTMIN, false},
        EndingSignal{"LastRealTime", SIGRTMAX, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Under a file size limit (ulimit -f) the copy cannot be written whole: the check stops with
// its message instead of the process ending by SIGXFSZ, and the copy goes.
TEST(FileSizeLimit, KpjcheckStopsTheCheckWithStatusTwoAndRemovesItsCopy) {
    TempFolder folder;
    const fs::path project = folder / "project.kpj";
    WriteBytes(project, ProjectOfLayers(12'000));
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    Kpjcheck checker(project, ends[1], false, 64 << 10);
    ::close(ends[1]);
    std::string errors;
    char buffer[4096];
    for (ssize_t got; (got = ::read(ends[0], buffer, sizeof buffer)) > 0;)
        errors.append(buffer, static_cast<std::size_t>(got));
    ::close(ends[0]);
    const int status = checker.wait();
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(errors.find(": the file is too large."), std::string::npos) << errors;
    EXPECT_EQ(folder.entries(), std::set<std::string>{"project.kpj"});
}

// `kpjcheck damaged.kpj 2>&1 | true`: the reader is gone before the first message.
TEST(ClosedOutput, KpjcheckWritingIntoAClosedPipeRemovesItsCopyAndEndsWithStatusTwo) {
    TempFolder folder;
    const fs::path project = folder / "damaged.kpj";
    WriteBytes(project, "<kestrovadocument2><multilayer>\n");
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    ::close(ends[0]);
    Kpjcheck checker(project, ends[1]);
    ::close(ends[1]);
    const int status = checker.wait();
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_EQ(folder.entries(), std::set<std::string>{"damaged.kpj"});
}

// ---------------------------------------------------------------------------------------------
// Several checks at once (kpjcheck -j)

// Projects of some `mebibytes` each, so that their checks are still running when they are
// stopped.
std::vector<std::string> LargeProjects(const TempFolder& folder, int count, int mebibytes) {
    const std::string bytes = "<kestrovadocument2><multilayer><!--\n" +
                              std::string(std::size_t(mebibytes) << 20, ' ') +
                              "\n--></multilayer></kestrovadocument2>\n";
    std::vector<std::string> projects;
    for (int i = 0; i < count; ++i) {
        projects.push_back((folder / ("large" + std::to_string(i) + ".kpj")).string());
        WriteBytes(projects.back(), bytes);
    }
    return projects;
}

// Ctrl+C while twelve checks are copying (more copies than a small removal list would hold):
// every copy is removed, and the process ends by the signal.
TEST(ChecksAtOnce, InterruptRemovesTheCopiesOfEveryRunningCheck) {
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal == SIGINT ? "SIGINT" : "SIGTERM");
        TempFolder folder;
        LargeProjects(folder, 12, 16);
        const NewFilesWatch watch(folder.path());
        Kpjcheck checker({"-j", "12", folder.path().string()}, -1, 2);
        ASSERT_TRUE(watch.waitForCopies(12)) << "twelve working copies did not appear at once";
        ::kill(checker.pid(), signal);
        const int status = checker.wait();
        ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_TRUE(CopiesIn(folder.path()).empty());
    }
}

// `kpjcheck -j 4 FOLDER | head -c 0`: the first report cannot be written; no further check
// starts, the running ones end and remove their copies, and the status is 2.
TEST(ChecksAtOnce, ClosedOutputStopsTheChecksAndLeavesNoCopy) {
    TempFolder folder;
    for (int i = 0; i < 40; ++i)
        WriteBytes(folder / ("p" + std::to_string(i) + ".kpj"), kCleanProject);
    LargeProjects(folder, 2, 32);
    TempFolder logs;
    const int errors = ::open((logs / "errors").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    ::close(ends[0]);
    Kpjcheck checker({"-j", "4", folder.path().string()}, ends[1], errors);
    ::close(ends[1]);
    ::close(errors);
    const int status = checker.wait();
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_EQ(ReadBytes(logs / "errors"),
              "kpjcheck: cannot write to standard output; the output is incomplete.\n");
    EXPECT_TRUE(CopiesIn(folder.path()).empty());
}

// Where no working copy can be made, each message names the candidate refused. Checks running
// at once draw names in the order they come to it; still every message names the candidate
// that one check after another names.
TEST(ChecksAtOnce, RefusedCopiesAreNamedAsOneCheckAfterAnotherNamesThem) {
    TempFolder place;
    TempFolder logs;
    SmallMount mount(place.path(), "size=256k");
    if (!mount.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root and mount rights)";
    for (int i = 0; i < 12; ++i)
        WriteBytes(place / ("p" + std::to_string(i) + ".kpj"), kCleanProject);
    ASSERT_TRUE(mount.remountReadOnly());
    const EnvironmentSetting tmpdir("TMPDIR", place.path().string());
    std::map<std::string, std::string> outputs;
    for (const char* jobs : {"1", "2", "8"}) {
        const fs::path out = logs / (std::string("out") + jobs);
        const fs::path err = logs / (std::string("err") + jobs);
        const int outFile = ::open(out.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        const int errFile = ::open(err.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        Kpjcheck checker({"-j", jobs, place.path().string()}, outFile, errFile);
        ::close(outFile);
        ::close(errFile);
        const int status = checker.wait();
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 2);
        outputs[jobs] = ReadBytes(out) + "\n--- standard error ---\n" + ReadBytes(err);
    }
    EXPECT_NE(outputs["1"].find("Cannot create the working copy \""), std::string::npos)
        << outputs["1"];
    EXPECT_EQ(outputs["2"], outputs["1"]);
    EXPECT_EQ(outputs["8"], outputs["1"]);
}

// The window ends through exit() when its display connection is lost.
TEST(ExitDuringCheck, RemovesTheWorkingCopy) {
    TempFolder folder;
    WriteBytes(folder / "project.kpj", kCleanProject);
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        RemoveListedFilesOnExit();
        struct ExitWhileCopying final : CopyListener {
            void copied(std::string_view) override { std::exit(3); }
        } exiting;
        UnseededRandom random;
        MakeWorkingCopy(folder / "project.kpj", folder.path(), random, &exiting);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_EQ(folder.entries(), std::set<std::string>{"project.kpj"});
}

} // namespace
} // namespace kestrova::hostile
