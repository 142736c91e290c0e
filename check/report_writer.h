#pragma once
// The report text and the message of a check, drawn from its result. Every line goes in behind a
// CR LF, so the report always begins with CR LF and ends with its last line.

#include "check/check_result.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace kestrova {

// Receives the report text in pieces, in order.
using ReportSink = std::function<void(std::string_view)>;

// Writes the report as far as the check got: the header, then the layer lines with the warnings
// of each layer above its line, the gap lines, and the closing line ("No errors found", the two
// lines of a document that does not parse, or "Check stopped: " and why).
void WriteReport(const CheckResult& result, const ReportSink& sink);

// The same, whole, in one string of the exact size.
std::string ReportText(const CheckResult& result);

// The report as it stands before the findings: the header alone (empty before it is written).
std::string ReportHeader(const CheckResult& result);

// The message of a document that does not parse: the parser's reason, CR LF, the line number.
std::string ParseErrorMessage(const ParseError& error);

// The last message the check gives the user: why it stopped, else the parse error's message,
// else nothing.
std::string MessageText(const CheckResult& result);

} // namespace kestrova
