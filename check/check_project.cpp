#include "check/check_project.h"

#include "check/check_failure.h"
#include "check/document_parser.h"
#include "check/file_access.h"
#include "check/findings.h"
#include "check/gap_scan.h"
#include "check/layer_survey.h"
#include "check/working_copy.h"
#include "check/xml_document.h"

#include <new>
#include <optional>
#include <vector>

namespace kestrova {
namespace {

std::filesystem::path WorkingFolder(const std::string& projectFile, WorkingCopyPlace place) {
    if (place == WorkingCopyPlace::CurrentDirectory)
        return ".";
    const std::filesystem::path folder = PathFromUtf8(projectFile).parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

class CheckRun {
public:
    CheckRun(const CheckRequest& request, RandomSource& random, CheckResult& result)
        : request_(request), random_(random), result_(result),
          findings_(result, request.keepItems) {}

    void run() {
        // The copy hands its bytes to the parser as it writes them, so the file is read once.
        DocumentParser parser;
        WorkingCopy copy =
            MakeWorkingCopy(PathFromUtf8(request_.file),
                            WorkingFolder(request_.file, request_.place), random_, &parser);
        std::optional<XmlDocument> document(parser.finish());
        if (document->parseError().errorCode != 0) {
            result_.parseError = document->parseError();
            copy.remove();
            result_.status = CheckStatus::NotParsed;
            return;
        }

        findings_.reach(CheckStage::Surveying);
        const std::vector<VisualItem> visualItems = SurveyLayers(*document, state_, findings_);
        result_.timelineEnd = state_.timelineEnd;
        document.reset(); // the scan needs only the items
        findings_.reach(CheckStage::Scanning);
        ScanTimelineGaps(visualItems, state_, findings_);
        // Removed before the closing line, so that a failure to remove it is never followed by
        // "No errors found".
        copy.remove();
        if (!state_.errorsFound)
            findings_.noErrorsFound();
        result_.status = state_.errorsFound ? CheckStatus::ErrorsFound : CheckStatus::NoErrors;
    }

private:
    const CheckRequest& request_;
    RandomSource& random_;
    CheckResult& result_;
    Findings findings_;
    CheckRunState state_;
};

void Stop(CheckResult& result, StopCause cause, std::string message) {
    result.status = CheckStatus::Stopped;
    result.stop = CheckStop{cause, std::move(message)};
}

} // namespace

CheckResult CheckProject(const CheckRequest& request, RandomSource& random) {
    CheckResult result;
    try {
        result.file = request.file;
        CheckRun(request, random, result).run();
    } catch (const CheckStopped& stop) {
        Stop(result, StopCause::FileAccess, stop.what());
    } catch (const DocumentProblem& problem) {
        Stop(result, StopCause::Document,
             "Cannot check \"" + request.file + "\": " + problem.what() + ".");
    } catch (const std::bad_alloc&) {
        Stop(result, StopCause::Memory,
             "Cannot check \"" + request.file + "\": there is not enough memory.");
    }
    return result;
}

} // namespace kestrova
