// The ways out of a kpjcheck process during a check: a signal, the file-size limit, a closed
// output, several checks at once, exit() from inside. However the process ends, its working
// copies are removed and it ends with the status or signal that says why.

#include "fault_support.h"
#include "hostile_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <set>
#include <vector>

namespace kestrova::hostile {
namespace {

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
