// Runs a fuzz target over saved inputs without libFuzzer, so that the seed corpus and every
// input that once made a target fail are replayed by the ordinary test suite. Arguments:
// folders (every file in them) or files. A failing input aborts, as it would under the fuzzer.
// The targets' scratch files go into a folder of the replay's own below its working folder, not
// into the system's temporary folder, and that folder goes when the replay ends.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

void Replay(const fs::path& input) {
    std::ifstream in(input, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    std::printf("replaying %s (%zu bytes)\n", input.string().c_str(), bytes.size());
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// Made fresh below the working folder and handed to the targets as their temporary folder.
class ScratchFolder {
public:
    ScratchFolder() {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        for (int attempt = 0;; ++attempt) {
            path_ = fs::absolute("fuzz-replay-scratch-" + std::to_string(stamp) + "-" +
                                 std::to_string(attempt));
            if (fs::create_directory(path_))
                break;
        }
#ifdef _WIN32
        _putenv_s("TMP", path_.string().c_str());
#else
        ::setenv("TMPDIR", path_.c_str(), 1);
#endif
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

private:
    fs::path path_;
};

} // namespace

int main(int argc, char** argv) {
    const ScratchFolder scratch;
    std::size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const fs::path given(argv[i]);
        if (fs::is_directory(given)) {
            std::vector<fs::path> inputs;
            for (const auto& entry : fs::directory_iterator(given))
                if (entry.is_regular_file())
                    inputs.push_back(entry.path());
            std::sort(inputs.begin(), inputs.end());
            for (const fs::path& input : inputs) {
                Replay(input);
                ++replayed;
            }
        } else if (fs::exists(given)) {
            Replay(given);
            ++replayed;
        }
    }
    std::printf("%zu inputs replayed without a failure\n", replayed);
    return replayed > 0 ? 0 : 1;
}
