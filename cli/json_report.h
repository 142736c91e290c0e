#pragma once
// The machine-readable report of kpjcheck --json: one JSON object per checked file, on one line
// (JSON Lines). doc/kpjcheck-report.schema.json describes it.

#include "check/check_result.h"

#include <iosfwd>

namespace kestrova {

// The version of the object's layout that doc/kpjcheck-report.schema.json describes: 2 added the
// project file's line to layers, warnings and gaps.
inline constexpr int kJsonSchemaVersion = 2;

// kpjcheck's exit status for one file: 0 no errors found, 1 findings, 2 not checked.
int ExitStatusOf(CheckStatus status);

// Writes the object for one file, its keys in the documented order, followed by a line feed.
// It is written as the report is, piece by piece, so that no whole copy of the report or of the
// object is held in memory. Every text is valid UTF-8: bytes of a path that are not become
// U+FFFD, in "file" and in "report" alike.
void WriteJsonReport(std::ostream& out, const CheckResult& result);

} // namespace kestrova
