#pragma once
// The threaded feed: the working copy's bytes go to a parse on a thread of its own as they are
// written, so that the copy and the parse run side by side with the bytes read once.

#include "check/parse_session.h"
#include "check/working_copy.h"
#include "check/xml_document.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace kestrova {

// Takes the working copy's bytes as they are written and parses them on a thread of its own.
// The parser reads the same bytes it would read from the file, in the same way, so its verdict
// and its first fatal error are those of a parse of the file.
class DocumentParser final : public CopyListener, private ParserSource {
public:
    // Starts the parsing thread; throws DocumentProblem when the system cannot start it.
    DocumentParser();
    ~DocumentParser() override;
    DocumentParser(const DocumentParser&) = delete;
    DocumentParser& operator=(const DocumentParser&) = delete;

    void projectOpened(std::uint64_t size) override;
    void copied(std::string_view bytes) override;
    // False once the parser has ended or given up on the document: the rest of the copy cannot
    // change the outcome.
    bool wantsMore() const override;
    // Ends the input and waits for the parse. Throws what ParseDocument throws; a document that
    // is not well-formed is no failure (see XmlDocument::parseError()).
    XmlDocument finish();

private:
    // What the parsing thread reads.
    int read(char* buffer, int length) override;
    void refuseInput() override;
    std::uint64_t projectSize() const override;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::string pending_; // written by copied(), taken whole by read()
    std::string reading_; // what read() serves from
    std::size_t readAt_ = 0;
    bool inputEnded_ = false;
    bool inputAbandoned_ = false;
    bool parseEnded_ = false;
    bool inputRefused_ = false;
    std::uint64_t projectSize_ = 0;

    XmlDocument document_;
    std::exception_ptr failure_;
    std::thread thread_;
};

} // namespace kestrova
