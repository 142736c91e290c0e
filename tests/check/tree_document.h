#pragma once
// The project document as the check reads it: load a file, its parse error, the document
// element and first child elements by name, children in document order, node names and text.

#include "check/parse_error.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

struct _xmlDoc;
struct _xmlNode;

namespace kestrova::tree {

using ParseError = kestrova::ParseError;

// A node's name as the document writes it: "prefix:local" for a prefixed element, the local
// name otherwise, "#text", "#comment" and the like for nodes that are not elements.
class NodeName {
public:
    NodeName(bool element, std::string_view prefix, std::string_view local)
        : element_(element), prefix_(prefix), local_(local) {}
    // Only an element without a prefix matches one of the names the check looks for.
    bool operator==(std::string_view name) const;
    std::string str() const;

private:
    bool element_;
    std::string_view prefix_;
    std::string_view local_;
};

class TreeNode {
public:
    TreeNode() = default;
    explicit TreeNode(_xmlNode* node) : node_(node) {}

    explicit operator bool() const { return node_ != nullptr; }

    // The first child element of that name, or an empty node.
    TreeNode selectSingleNode(std::string_view name) const;
    NodeName nodeName() const;
    // The text of the node and all its descendants, CDATA included, without the XML white
    // space (space, tab, CR, LF) at either end. Entity references are expanded; throws
    // DocumentProblem once the expansions of one document pass 10,000,000 characters.
    std::string text() const;

    class ChildRange;
    ChildRange childNodes() const;

private:
    _xmlNode* node_ = nullptr;
};

class TreeNode::ChildRange {
public:
    class iterator {
    public:
        explicit iterator(_xmlNode* node) : node_(node) {}
        TreeNode operator*() const { return TreeNode(node_); }
        iterator& operator++();
        bool operator==(const iterator& other) const { return node_ == other.node_; }

    private:
        _xmlNode* node_;
    };

    explicit ChildRange(_xmlNode* first) : first_(first) {}
    iterator begin() const { return iterator(first_); }
    iterator end() const { return iterator(nullptr); }

private:
    _xmlNode* first_;
};

class TreeDocument {
public:
    TreeDocument();
    ~TreeDocument();
    TreeDocument(const TreeDocument&) = delete;
    TreeDocument& operator=(const TreeDocument&) = delete;

    // Parses the whole document before it returns. Honours its XML declaration; reads no DTD,
    // external entity or network resource. The result is also kept as parseError().
    const ParseError& loadFromMemory(std::string_view bytes);
    const ParseError& parseError() const { return parseError_; }

    // The document element when it carries that name, or an empty node.
    TreeNode selectSingleNode(std::string_view name) const;

private:
    template <typename Parse> const ParseError& parseWith(Parse parse);

    _xmlDoc* doc_ = nullptr;
    ParseError parseError_;
    // What entity references may still add to the texts read from this document.
    std::size_t entityAllowance_ = 0;
};

} // namespace kestrova::tree
