#pragma once
// The working copy's text for a project's bytes, rewritten in memory as the copy is.

#include "check/line_rewriter.h"

#include <string>
#include <string_view>

namespace kestrova {

inline std::string RewriteProjectText(std::string_view bytes) {
    std::string rewritten;
    LineRewriter rewriter(rewritten);
    rewriter.feed(bytes);
    rewriter.finish();
    return rewritten;
}

} // namespace kestrova
