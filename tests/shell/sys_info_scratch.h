#pragma once
// A scratch folder and the marker program for the tests of the real launcher and registry.

#include <chrono>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>

namespace kestrova::testing {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder() {
        std::random_device seed;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const fs::path candidate =
                fs::temp_directory_path() / ("kestrova-sysinfo-" + std::to_string(seed()));
            if (fs::create_directory(candidate))
                path_ = candidate;
        }
        if (path_.empty())
            throw std::runtime_error("cannot make a scratch folder");
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    fs::path operator/(const std::string& name) const { return path_ / name; }
    std::string text() const { return path_.string(); }

private:
    fs::path path_;
};

// The small program that leaves a marker file (leave_marker.cpp), in the platform's own form.
inline std::string MarkerProgram() {
    return fs::path(KESTROVA_MARKER_PROGRAM).make_preferred().string();
}

// A started program runs on its own: its marker appears when it gets there.
inline bool MarkerAppears(const fs::path& marker) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(marker)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

} // namespace kestrova::testing
