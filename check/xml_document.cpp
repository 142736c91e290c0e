#include "check/xml_document.h"

#include "check/check_failure.h"

#include <new>

namespace kestrova {

std::string TextRefusal(TextState state) {
    switch (state) {
    case TextState::Readable:
        break;
    case TextState::TooLong:
        return "it holds a text longer than " + std::to_string(kLongestText) + " bytes";
    case TextState::ExpansionsExhausted:
        return "its entity references expand to more than " +
               std::to_string(kEntityExpansionAllowance) + " characters";
    case TextState::NestedTooDeeply:
        return "its elements or entities are nested too deeply to read a text";
    }
    return {};
}

XmlNode XmlNode::selectSingleNode(ElementKind kind) const {
    for (const XmlNode child : childNodes()) {
        if (child.kind() == kind)
            return child;
    }
    return XmlNode();
}

std::uint32_t XmlNode::line() const {
    const XmlDocument::Node& node = document_->nodes_[index_];
    return XmlDocument::KeepsLine(node.kind) ? node.line : 0;
}

ElementKind XmlNode::kind() const {
    return document_->nodes_[index_].kind;
}

std::string XmlNode::text() const {
    const XmlDocument::Node& node = document_->nodes_[index_];
    if (!XmlDocument::ReadsText(node.kind))
        return {}; // a layer's or an item's text is never kept
    if (node.textState != TextState::Readable)
        throw DocumentProblem(TextRefusal(node.textState));
    return document_->texts_.substr(node.textOffset, node.textLength);
}

XmlNode::ChildRange XmlNode::childNodes() const {
    if (document_ == nullptr || !document_->nodes_[index_].hasChildren)
        return ChildRange(document_, XmlDocument::kNone);
    return ChildRange(document_, index_ + 1);
}

XmlNode::ChildRange::iterator XmlNode::ChildRange::end() const {
    return iterator(document_, XmlDocument::kNone);
}

XmlNode::ChildRange::iterator& XmlNode::ChildRange::iterator::operator++() {
    index_ = document_->nodes_[index_].nextSibling;
    return *this;
}

XmlDocument::Node& XmlDocument::NodeStore::append(ElementKind kind) {
    if (size_ == kNone)
        throw std::bad_alloc();
    if ((size_ >> kBlockBits) == blocks_.size())
        blocks_.push_back(std::make_unique_for_overwrite<Node[]>(std::size_t{1} << kBlockBits));
    Node& node = (*this)[size_++];
    node = Node{{0}, 0, kNone, kind, TextState::Readable, false};
    return node;
}

XmlNode XmlDocument::selectSingleNode(ElementKind kind) const {
    if (nodes_.size() == 0 || nodes_[0].kind != kind)
        return XmlNode();
    return XmlNode(this, 0);
}

} // namespace kestrova
