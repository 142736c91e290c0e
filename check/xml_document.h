#pragma once
// The project document as the check reads it. The bytes of the working copy are parsed in one
// streaming pass while the copy is written; what is kept is only what the layer survey and the
// gap scan can reach: the document element, its first multilayer element, the layers, their
// name, scrap and item elements, the items' start and end times, and the trimmed texts of the
// elements whose text is read. Everything else costs the parse and nothing more.

#include "check/project_vocabulary.h"
#include "check/working_copy.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kestrova {

struct ParseError {
    int errorCode = 0;  // 0 when the document parsed
    std::string reason; // the parser's own words, without a trailing line end
    long line = 0;      // the line in which the fault lies
};

// A node's name. Only the elements the check reads are kept, so every kept node is an element
// without a prefix whose name is one the check looks for.
class NodeName {
public:
    explicit NodeName(std::string_view name) : name_(name) {}
    bool operator==(std::string_view name) const { return name_ == name; }
    std::string_view view() const { return name_; }

private:
    std::string_view name_;
};

// Deeper nesting than any project has; a document nested deeper is refused before the
// parser's own bookkeeping grows with it.
inline constexpr int kDeepestNesting = 4096;
// Layer names, scrap flags and times are short; a longer text is refused when it is read.
inline constexpr std::size_t kLongestText = std::size_t{64} << 20;
// A few hundred bytes of entity declarations can stand for gigabytes of text (nested or
// repeated entities). Every reference the parser resolves, wherever it stands, counts with its
// replacement text against one allowance per document, and so does every node and character
// that expansions add to the texts read; past it the document is refused.
inline constexpr std::size_t kEntityExpansionAllowance = 10'000'000;

class XmlDocument;

class XmlNode {
public:
    XmlNode() = default;
    XmlNode(const XmlDocument* document, std::uint32_t index)
        : document_(document), index_(index) {}

    explicit operator bool() const { return document_ != nullptr; }

    // The first child element of that name, or an empty node.
    XmlNode selectSingleNode(std::string_view name) const;
    NodeName nodeName() const;
    // The project file's line that holds the start of a layer's or an item's start tag; 0 for
    // the other elements.
    std::uint32_t line() const;
    // The text of the node and all its descendants, CDATA and entity expansions included,
    // without the XML white space (space, tab, CR, LF) at either end. Throws DocumentProblem
    // for a text past kLongestText or once expansions pass kEntityExpansionAllowance.
    std::string text() const;

    class ChildRange;
    ChildRange childNodes() const;

private:
    const XmlDocument* document_ = nullptr;
    std::uint32_t index_ = 0;
};

class XmlNode::ChildRange {
public:
    class iterator {
    public:
        iterator(const XmlDocument* document, std::uint32_t index)
            : document_(document), index_(index) {}
        XmlNode operator*() const { return XmlNode(document_, index_); }
        iterator& operator++();
        bool operator==(const iterator& other) const { return index_ == other.index_; }

    private:
        const XmlDocument* document_;
        std::uint32_t index_;
    };

    ChildRange(const XmlDocument* document, std::uint32_t first)
        : document_(document), first_(first) {}
    iterator begin() const { return iterator(document_, first_); }
    iterator end() const;

private:
    const XmlDocument* document_;
    std::uint32_t first_;
};

// Why a kept text cannot be read.
enum class TextState : std::uint8_t { Readable, TooLong, ExpansionsExhausted, NestedTooDeeply };

class XmlDocument {
public:
    const ParseError& parseError() const { return parseError_; }
    // How many item elements the document keeps.
    std::uint32_t itemCount() const { return itemCount_; }
    // The document element when it carries that name, or an empty node.
    XmlNode selectSingleNode(std::string_view name) const;

private:
    friend class XmlNode;
    friend class XmlNode::ChildRange::iterator;
    friend class DocumentBuilder;

    static constexpr std::uint32_t kNone = UINT32_MAX;

    // Kept elements in document order; a node's children follow it directly. Sixteen bytes,
    // as a million items keep three million of them.
    // Trivial, so that a block of them is allocated without being filled.
    struct Node {
        // An element whose text is read keeps where its text lies in texts_; a layer or an
        // item, which reads none, keeps the line of its start tag in the same room.
        union {
            std::uint32_t textOffset;
            std::uint32_t line;
        };
        std::uint32_t textLength;
        std::uint32_t nextSibling;
        ElementKind kind;
        TextState textState;
        bool hasChildren;
    };

    static_assert(sizeof(Node) == 16);

    // The kept nodes in blocks of a fixed size, so that the store grows without moving them.
    class NodeStore {
    public:
        std::uint32_t size() const { return size_; }
        Node& operator[](std::uint32_t index) {
            return blocks_[index >> kBlockBits][index & kBlockMask];
        }
        const Node& operator[](std::uint32_t index) const {
            return blocks_[index >> kBlockBits][index & kBlockMask];
        }
        Node& append(ElementKind kind);

    private:
        static constexpr unsigned kBlockBits = 16;
        static constexpr std::uint32_t kBlockMask = (std::uint32_t{1} << kBlockBits) - 1;
        std::vector<std::unique_ptr<Node[]>> blocks_;
        std::uint32_t size_ = 0;
    };

    NodeStore nodes_;
    std::string texts_; // every kept text, one after another; less than 4 GiB
    std::uint32_t itemCount_ = 0;
    ParseError parseError_;
};

// Collects the kept elements and texts of one document in document order.
class DocumentBuilder {
public:
    // An element starts at this depth (1 is the document element); when it is one the check
    // reads, it is kept.
    // `line` is the line of its start tag, for a layer or an item.
    void startElement(int depth, bool prefixed, std::string_view localName, std::uint32_t line);
    void endElement(int depth);
    // Whether the text of the element open at `depth` belongs to a kept text.
    bool gatheringText() const { return gatherDepth_ != 0; }
    int gatherDepth() const { return gatherDepth_; }
    // Text of the innermost open element, when it belongs to a kept text.
    void appendText(std::string_view text);
    void refuseText(TextState why);
    TextState textState() const;
    void setParseError(ParseError error) { document_.parseError_ = std::move(error); }
    // Takes room for every text a project of that size can keep, so that the texts are never
    // moved as they grow.
    void reserveTexts(std::uint64_t projectSize);
    XmlDocument finish();

private:
    bool keeps(int depth, ElementKind kind) const;
    void keep(int depth, ElementKind kind, std::uint32_t line);

    XmlDocument document_;
    static constexpr int kKeptDepth = 5;
    // The kept element open at each depth up to kKeptDepth, or kNone.
    std::uint32_t open_[kKeptDepth + 1] = {};
    std::uint32_t lastChild_[kKeptDepth + 1] = {};
    int keptDepth_ = 0; // how deep the open kept elements reach
    bool multilayerSeen_ = false;
    int gatherDepth_ = 0; // depth of the element whose text is being kept, 0 for none
};

// Takes the working copy's bytes as they are written and parses them on a thread of its own, so
// that the copy and the parse run side by side with the bytes read once. The parser reads the
// same bytes it would read from the file, in the same way, so its verdict and its first fatal
// error are those of a parse of the file.
class DocumentParser final : public CopyListener {
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
    // Ends the input and waits for the parse. Throws DocumentProblem when a guard refused the
    // document (elements nested deeper than kDeepestNesting, entity references whose expansions
    // pass kEntityExpansionAllowance) and std::bad_alloc when memory ran out; a document that is
    // not well-formed is no failure (see parseError()).
    XmlDocument finish();

    // What the parsing thread reads.
    int read(char* buffer, int length);
    // The parsing thread takes no more input: the parse has failed for good.
    void refuseInput();

private:
    void parse();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::string pending_; // written by copied(), taken whole by read()
    std::string reading_; // what read() serves from
    std::size_t readAt_ = 0;
    bool inputEnded_ = false;
    bool inputAbandoned_ = false;
    bool parseEnded_ = false;
    bool inputRefused_ = false;
    std::uint64_t projectSize_ = 0; // read by the parsing thread once it has taken bytes

    XmlDocument document_;
    std::exception_ptr failure_;
    std::thread thread_;
};

} // namespace kestrova
