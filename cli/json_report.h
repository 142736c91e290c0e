#pragma once
// The machine-readable report of kpjcheck --json: one JSON object per checked file, on one line
// (JSON Lines). doc/kpjcheck-report.schema.json describes it.

#include "cli/file_check.h"

#include <nlohmann/json.hpp>

#include <iosfwd>

namespace kestrova {

// The object for one file, its keys in the documented order. The report text is moved in.
// Every text is valid UTF-8: bytes of a path that are not become U+FFFD, in "file" and in
// "report" alike.
nlohmann::ordered_json JsonReport(FileCheck&& check);

// Writes the object on one line, followed by a line feed, without a whole copy of it in memory.
void WriteJsonLine(std::ostream& out, const nlohmann::ordered_json& report);

} // namespace kestrova
