#pragma once
// kpjcheck run in this process, with its standard output and standard error caught.

#include "cli/kpjcheck.h"

#include <sstream>
#include <string>
#include <vector>

namespace kestrova::testing_support {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

inline ToolRun RunTool(const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunKpjcheck(arguments, out, err);
    return {status, out.str(), err.str()};
}

} // namespace kestrova::testing_support
