#include "cli/file_check.h"

#include <utility>

namespace kestrova {
namespace {

class GivenFile final : public FileSelection {
public:
    explicit GivenFile(std::string path) : path_(std::move(path)) {}
    std::optional<std::string> chooseProjectFile() override { return path_; }

private:
    std::string path_;
};

// The report box of a command-line check: its text is taken out whole at the end instead of
// being copied.
class HeldReport final : public ReportBox {
public:
    std::string text() const override { return text_; }
    void setText(std::string text) override { text_ = std::move(text); }
    std::string take() { return std::move(text_); }

private:
    std::string text_;
};

} // namespace

void Findings::itemRead(std::int64_t layer, ItemKind kind, Millis start, Millis end) {
    items.push_back({layer, kind, start, end});
}

void Findings::lengthWarning(std::int64_t layer, Millis start, Millis end) {
    warnings.push_back({layer, start, end});
}

void Findings::layerRead(std::int64_t layer, std::optional<std::string_view> ownName,
                         bool scrapped) {
    LayerFound found{layer, std::nullopt, scrapped};
    if (ownName)
        found.name.emplace(*ownName);
    layers.push_back(std::move(found));
}

void Findings::timelineEndFound(Millis end) {
    timelineEnd = end;
}

void Findings::gapFound(Millis from, Millis to) {
    gaps.push_back({from, to});
}

FileCheck CheckProjectFile(const std::string& path, RandomSource& random,
                           MessageDisplay& messages) {
    FileCheck check;
    check.path = path;
    GivenFile file(path);
    HeldReport report;
    check.outcome = RunCheck(
        {file, messages, report, random, WorkingCopyPlace::ProjectFolder, &check.findings});
    check.report = report.take();
    return check;
}

int ExitStatusOf(CheckStatus status) {
    switch (status) {
    case CheckStatus::NoErrors:
        return 0;
    case CheckStatus::ErrorsFound:
        return 1;
    default:
        return 2;
    }
}

const char* StatusName(CheckStatus status) {
    switch (status) {
    case CheckStatus::NoErrors:
        return "no-errors";
    case CheckStatus::ErrorsFound:
        return "errors-found";
    case CheckStatus::NotParsed:
        return "not-parsed";
    default:
        return "stopped";
    }
}

std::optional<std::string> ReportTime(Millis count) {
    try {
        return FormatTime(count);
    } catch (const TimeConversionError&) {
        return std::nullopt;
    }
}

} // namespace kestrova
