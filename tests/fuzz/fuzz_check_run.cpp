// A whole check run on arbitrary bytes as the project file: no crash, an outcome that agrees
// with the report, the messages and the folder afterwards, and a document that reads the same
// as the tree-built reference.

#include "check/check_project.h"
#include "check/report_writer.h"
#include "document_dump.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// One folder for the whole fuzzing session; each input is written into it afresh.
const fs::path& ProjectFolder() {
    static const fs::path folder = [] {
        std::random_device seed;
        fs::path made;
        for (int attempt = 0; attempt < 100 && made.empty(); ++attempt) {
            const fs::path candidate =
                fs::temp_directory_path() / ("kestrova-fuzz-" + std::to_string(seed()));
            if (fs::create_directory(candidate))
                made = candidate;
        }
        if (made.empty())
            std::abort();
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(ProjectFolder(), ignored);
        });
        return made;
    }();
    return folder;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool EndsWith(const std::string& text, std::string_view tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void Expect(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path project = ProjectFolder() / "project.kpj";
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(project, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        Expect(out.good());
    }

    kestrova::UnseededRandom random;
    const kestrova::CheckResult outcome = kestrova::CheckProject(
        {project.string(), kestrova::WorkingCopyPlace::ProjectFolder, true}, random);
    const std::string text = kestrova::ReportText(outcome);
    const std::string description = kestrova::MessageText(outcome);

    using kestrova::CheckStatus;
    Expect(text.rfind("\r\n", 0) == 0);
    Expect(EndsWith(text, "\r\nNo errors found") == (outcome.status == CheckStatus::NoErrors));
    switch (outcome.status) {
    case CheckStatus::NoErrors:
    case CheckStatus::ErrorsFound:
        Expect(description.empty());
        Expect(text.rfind("\r\nReporting on " + project.string() + "\r\n\r\nLayers:", 0) == 0);
        break;
    case CheckStatus::NotParsed:
        Expect(description.find("\r\n") != std::string::npos);
        Expect(EndsWith(text, "but stops this program from checking further."));
        break;
    case CheckStatus::Stopped:
        Expect(!description.empty());
        Expect(text.find("\r\nCheck stopped: ") != std::string::npos);
        Expect(text.find("\r\n", text.rfind("\r\nCheck stopped: ") + 2) == std::string::npos);
        break;
    }

    // Only the project file is left, exactly as it was written.
    for (const auto& entry : fs::directory_iterator(ProjectFolder()))
        Expect(entry.path() == project);
    Expect(ReadAll(project) == bytes);

    const kestrova::testing_support::BothDumps dumps =
        kestrova::testing_support::DumpBothWays(bytes);
    Expect(dumps.streamed == dumps.tree);
    return 0;
}
