// File-system faults around the working copy: the project file vanishing or unreadable, a
// folder where nothing can be written, a full disk, every working-copy name taken, and
// candidate names that are not ordinary files. Every run must end with a clear message (or,
// where the fault is only in the way, a normal report), leave no working copy behind and leave
// every file that was there before unchanged.

#include "check/working_copy.h"
#include "fault_support.h"
#include "hostile_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <optional>
#include <vector>

namespace kestrova::hostile {
namespace {

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

} // namespace
} // namespace kestrova::hostile
