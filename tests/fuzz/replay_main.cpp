// Runs a fuzz target over saved inputs without libFuzzer, so that the seed corpus and every
// input that once made a target fail are replayed by the ordinary test suite. Arguments:
// folders (every file in them) or files. A failing input aborts, as it would under the fuzzer.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
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

} // namespace

int main(int argc, char** argv) {
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
