// Without a Windows registry no key opens, so the System Information tool is never found; the
// file test and the program start are still real, for the launcher's own sake.

#include "about/sys_info.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace kestrova::about {
namespace {

constexpr long kFileNotFound = 2;  // ERROR_FILE_NOT_FOUND
constexpr long kInvalidHandle = 6; // ERROR_INVALID_HANDLE

class AbsentRegistry final : public Registry {
public:
    long OpenKey(std::uint32_t, const std::string&, std::uint32_t, std::uint32_t,
                 RegistryKey&) override {
        return kFileNotFound;
    }
    long QueryValue(RegistryKey, const std::string&, std::uint32_t&, unsigned char*,
                    std::uint32_t&) override {
        return kInvalidHandle;
    }
    long CloseKey(RegistryKey) override { return kInvalidHandle; }
};

// The words of a command line as Windows splits one: blanks separate words, double quotes
// group blanks into a word and are dropped.
std::vector<std::string> CommandWords(const std::string& commandLine) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (const char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

// Both ends of a pipe, closed when it goes out of scope.
class Pipe {
public:
    Pipe() {
        if (::pipe2(ends_, O_CLOEXEC) != 0)
            ends_[0] = ends_[1] = -1;
    }
    ~Pipe() {
        closeEnd(0);
        closeEnd(1);
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    bool ok() const { return ends_[0] >= 0; }
    int readEnd() const { return ends_[0]; }
    int writeEnd() const { return ends_[1]; }
    void closeEnd(int end) {
        if (ends_[end] >= 0)
            ::close(ends_[end]);
        ends_[end] = -1;
    }

private:
    int ends_[2];
};

class ProcessLauncher final : public ProgramLauncher {
public:
    bool IsOrdinaryFile(const std::string& path) override {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            return false;
        const std::size_t nameStart = path.find_last_of('/') + 1; // npos + 1 is 0
        return path.compare(nameStart, 1, ".") != 0;              // a dot file is hidden
    }

    // The program is started by a short-lived intermediate process, so that it is not our
    // child: we never wait for it, and it leaves no zombie behind. A pipe that exec closes
    // tells whether the start succeeded.
    bool Start(const std::string& commandLine) override {
        std::vector<std::string> words = CommandWords(commandLine);
        if (words.empty())
            return false;
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);

        Pipe execResult;
        if (!execResult.ok())
            return false;
        const pid_t middle = ::fork();
        if (middle < 0)
            return false;
        if (middle == 0)
            StartFromIntermediate(argv, execResult.writeEnd());
        execResult.closeEnd(1);
        int status = 0;
        while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
        }
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return false;
        int execError = 0;
        ssize_t got;
        while ((got = ::read(execResult.readEnd(), &execError, sizeof execError)) < 0 &&
               errno == EINTR) {
        }
        return got == 0; // closed by a successful exec, without an error number written
    }

private:
    // Runs in the intermediate process: only calls that are safe after fork.
    [[noreturn]] static void StartFromIntermediate(const std::vector<char*>& argv, int report) {
        const pid_t program = ::fork();
        if (program == 0) {
            ::setsid();
            ::execvp(argv[0], argv.data());
            const int error = errno;
            [[maybe_unused]] const ssize_t written = ::write(report, &error, sizeof error);
            ::_exit(127);
        }
        ::_exit(program < 0 ? 1 : 0);
    }
};

} // namespace

Registry& PlatformRegistry() {
    static AbsentRegistry registry;
    return registry;
}

ProgramLauncher& PlatformLauncher() {
    static ProcessLauncher launcher;
    return launcher;
}

} // namespace kestrova::about
