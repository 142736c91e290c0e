#pragma once
// The project document as the check reads it. The bytes of the working copy are parsed in one
// streaming pass while the copy is written (check/document_parser.h); what is kept is only what the
// layer survey and the gap scan can reach: the document element, its first multilayer element, the
// layers, their name, scrap and item elements, the items' start and end times, and the trimmed
// texts of the elements whose text is read. Everything else costs the parse and nothing more.

#include "check/parse_error.h"
#include "check/project_vocabulary.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrova {

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

// Why a kept text cannot be read.
enum class TextState : std::uint8_t { Readable, TooLong, ExpansionsExhausted, NestedTooDeeply };

// Why a document whose text cannot be read is refused, as the words of its DocumentProblem.
std::string TextRefusal(TextState state);

class XmlDocument;

class XmlNode {
public:
    XmlNode() = default;
    XmlNode(const XmlDocument* document, std::uint32_t index)
        : document_(document), index_(index) {}

    explicit operator bool() const { return document_ != nullptr; }

    // The first child element of that kind, or an empty node.
    XmlNode selectSingleNode(ElementKind kind) const;
    // Every kept node is an element without a prefix whose name is one the check reads, so
    // its kind is its name.
    ElementKind kind() const;
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

class XmlDocument {
public:
    const ParseError& parseError() const { return parseError_; }
    // How many item elements the document keeps.
    std::uint32_t itemCount() const { return itemCount_; }
    // The document element when it is of that kind, or an empty node.
    XmlNode selectSingleNode(ElementKind kind) const;

private:
    friend class XmlNode;
    friend class XmlNode::ChildRange::iterator;
    friend class DocumentBuilder;

    static constexpr std::uint32_t kNone = UINT32_MAX;

    // The elements whose text the check reads.
    static constexpr bool ReadsText(ElementKind kind) {
        return kind == ElementKind::Name || kind == ElementKind::Scrap ||
               kind == ElementKind::StartTime || kind == ElementKind::EndTime;
    }
    // The elements whose findings name their line.
    static constexpr bool KeepsLine(ElementKind kind) {
        return kind == ElementKind::Layer || IsItemKind(kind);
    }

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

} // namespace kestrova
