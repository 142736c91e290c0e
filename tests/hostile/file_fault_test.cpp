// File-system faults around the working copy: the project file vanishing or unreadable, a
// folder where nothing can be written, a full disk, every working-copy name taken, and
// candidate names that are not ordinary files. Every run must end with a clear message (or,
// where the fault is only in the way, a normal report), leave no working copy behind and leave
// every file that was there before unchanged.

#include "check/working_copy.h"
#include "hostile_support.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

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
    EXPECT_EQ(run.outcome.status, CheckStatus::Stopped);
    EXPECT_NE(run.outcome.description.find("Cannot read the project file"), std::string::npos)
        << run.outcome.description;
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
        EXPECT_EQ(run.outcome.status, CheckStatus::Stopped);
        EXPECT_TRUE(Snapshot(folder.path()) == before);
    }
}

TEST(WorkingCopyFaults, FolderThatCannotTakeFilesStopsTheRun) {
    TempFolder folder;
    WriteBytes(folder / "project.kpj", kCleanProject);
    // The working copy's folder is a file: "blocker/.." cannot hold a new file.
    WriteBytes(folder / "blocker", "not a folder");
    const auto before = Snapshot(folder.path());
    const RunResult run = RunOn((folder / "blocker" / ".." / "project.kpj").string());
    ExpectFailureShown(run);
    EXPECT_NE(run.outcome.description.find("Cannot create the working copy"), std::string::npos)
        << run.outcome.description;
    EXPECT_TRUE(Snapshot(folder.path()) == before);
}

TEST(WorkingCopyFaults, ReadOnlyFolderStopsTheRun) {
    TempFolder outside;
    TempFolder place;
    WriteBytes(outside / "project.kpj", kCleanProject);
    SmallMount mount(place.path(), "size=256k");
    if (!mount.mounted() || !mount.remountReadOnly())
        GTEST_SKIP() << "cannot mount a read-only tmpfs here (needs root and mount rights); "
                        "as root a chmod would not stop the writes";
    InFolder inside(place.path());
    const RunResult run =
        RunOn((outside / "project.kpj").string(), WorkingCopyPlace::CurrentDirectory);
    ExpectFailureShown(run);
    EXPECT_NE(run.outcome.description.find("Read-only file system"), std::string::npos)
        << run.outcome.description;
    EXPECT_TRUE(fs::is_empty(place.path()));
    EXPECT_EQ(ReadBytes(outside / "project.kpj"), kCleanProject);
}

TEST(WorkingCopyFaults, FullDiskWhileCopyingStopsTheRunAndRemovesTheCopy) {
    TempFolder outside;
    TempFolder place;
    // About 1 MB of project for a 64 KB disk.
    std::string layers;
    for (int i = 0; i < 12'000; ++i)
        layers +=
            "<layer><name>Layer number " + std::to_string(i) + "</name><scrap>no</scrap></layer>\n";
    const std::string project =
        "<kestrovadocument2><multilayer>\n" + layers + "</multilayer></kestrovadocument2>\n";
    WriteBytes(outside / "project.kpj", project);
    SmallMount mount(place.path(), "size=64k");
    if (!mount.mounted())
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root and mount rights)";
    WriteBytes(place / "already-here.txt", "an earlier file");
    const auto before = Snapshot(place.path());

    InFolder inside(place.path());
    const RunResult run =
        RunOn((outside / "project.kpj").string(), WorkingCopyPlace::CurrentDirectory);
    ExpectFailureShown(run);
    EXPECT_NE(run.outcome.description.find("No space left on device"), std::string::npos)
        << run.outcome.description;
    EXPECT_TRUE(Snapshot(place.path()) == before) << "a working copy was left behind";
    EXPECT_EQ(ReadBytes(outside / "project.kpj"), project);
}

TEST(WorkingCopyNames, AllNamesTakenStopsTheRunAndChangesNone) {
    TempFolder folder;
    WriteBytes(folder / "project.kpj", kCleanProject);
    for (const std::string& name : CandidatesInOrder(256))
        WriteBytes(folder / name, "earlier file " + name);
    const auto before = Snapshot(folder.path());
    const RunResult run = RunOn((folder / "project.kpj").string());
    ExpectFailureShown(run);
    EXPECT_NE(run.outcome.description.find("All 256 working-copy names"), std::string::npos);
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
        EXPECT_EQ(run.outcome.status, CheckStatus::NoErrors) << run.outcome.description;
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
