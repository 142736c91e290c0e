// kpjcheck on Windows: the arguments arrive in UTF-16, with their wildcards unexpanded; the
// output goes to a console in UTF-16 and elsewhere in UTF-8, with CR LF line ends.

#include "check/file_access.h"
#include "check/wide_text.h"
#include "cli/argument_patterns_win32.h"
#include "cli/kpjcheck.h"
#include "cli/standard_output_win32.h"
#include "cli/standard_streams.h"

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

// The last of the output goes out here; a report the system did not take in full makes the
// run a failure whatever the checks found, so that a lost report never passes for a clean one.
// Every message has been flushed, and its loss counted, as it was written.
int DeliveredStatus(int status, std::ostream& out, std::ostream& err) {
    out.flush();
    if (out.good() || status == kestrova::kNotChecked)
        return status;
    err << "kpjcheck: cannot write to standard output; the output is incomplete.\n";
    err.flush();
    return kestrova::kNotChecked;
}

} // namespace

// Windows hands the arguments over in UTF-16; the checker takes paths in UTF-8.
int wmain(int argc, wchar_t** argv) {
    kestrova::RemoveListedFilesOnExit();
    kestrova::FailWritesToClosedPipes();
    kestrova::PrepareStandardStreams();
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(kestrova::win32::Utf8(argv[i]));
    kestrova::win32::StandardStreamBuffer outBuffer(GetStdHandle(STD_OUTPUT_HANDLE));
    kestrova::win32::StandardStreamBuffer errBuffer(GetStdHandle(STD_ERROR_HANDLE));
    std::ostream out(&outBuffer);
    std::ostream err(&errBuffer);
    // A program started with standard output closed checks nothing: no report could arrive.
    if (!outBuffer.open())
        out.setstate(std::ios::badbit);
    if (!errBuffer.open())
        err.setstate(std::ios::badbit);
    const int status =
        kestrova::RunKpjcheck(kestrova::win32::ExpandArgumentPatterns(arguments), out, err);
    return DeliveredStatus(status, out, err);
}
