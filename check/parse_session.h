#pragma once
// One libxml2 parse of a project document into the compact document, with the guards that keep
// any document within bounds: nothing outside the file is read, the parser's errors come here
// instead of being printed, nesting is bounded by kDeepestNesting, entity expansions by
// kEntityExpansionAllowance, kept texts by kLongestText, and everything the parse makes is
// freed on every way out. No exception crosses a libxml2 callback.

#include "check/xml_document.h"

#include <cstdint>

namespace kestrova {

// Where the parser takes the document's bytes from, on the thread that parses.
class ParserSource {
public:
    // Up to `length` bytes into `buffer`: their count, 0 at the end of the input, -1 when the
    // input has been abandoned.
    virtual int read(char* buffer, int length) = 0;
    // The parse has failed for good: no more bytes are wanted.
    virtual void refuseInput() = 0;
    // The project's size, known once the first bytes have been read.
    virtual std::uint64_t projectSize() const = 0;

protected:
    ~ParserSource() = default;
};

// Readies libxml2 once per process, from any thread: every resource outside a document (DTD,
// external entity, network address) is refused, as a project names none the check needs.
void PrepareParser();

// Parses the document the source gives. Throws DocumentProblem when a guard refused the
// document and std::bad_alloc when memory ran out; a document that is not well-formed is no
// failure (see XmlDocument::parseError()).
XmlDocument ParseDocument(ParserSource& source);

} // namespace kestrova
