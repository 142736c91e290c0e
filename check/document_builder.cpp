#include "check/document_builder.h"

#include <algorithm>
#include <new>
#include <optional>
#include <utility>

namespace kestrova {
namespace {

bool IsXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

bool DocumentBuilder::keeps(int depth, ElementKind kind) const {
    if (depth != keptDepth_ + 1)
        return false;
    switch (depth) {
    case 1:
        return kind == ElementKind::Document;
    case 2:
        return kind == ElementKind::Multilayer && !multilayerSeen_;
    case 3:
        return kind == ElementKind::Layer;
    case 4:
        return kind == ElementKind::Name || kind == ElementKind::Scrap || IsItemKind(kind);
    case 5:
        return IsItemKind(document_.nodes_[open_[4]].kind) &&
               (kind == ElementKind::StartTime || kind == ElementKind::EndTime);
    default:
        return false;
    }
}

void DocumentBuilder::startElement(int depth, bool prefixed, std::string_view localName,
                                   std::uint32_t line) {
    if (prefixed)
        return;
    if (const std::optional<ElementKind> kind = ElementKindOf(localName);
        kind && keeps(depth, *kind))
        keep(depth, *kind, line);
}

void DocumentBuilder::keep(int depth, ElementKind kind, std::uint32_t line) {
    auto& nodes = document_.nodes_;
    const std::uint32_t index = nodes.size();
    XmlDocument::Node& node = nodes.append(kind);
    if (depth > 1) {
        XmlDocument::Node& parent = nodes[open_[depth - 1]];
        if (parent.hasChildren)
            nodes[lastChild_[depth - 1]].nextSibling = index;
        parent.hasChildren = true;
        lastChild_[depth - 1] = index;
    }
    open_[depth] = index;
    keptDepth_ = depth;
    multilayerSeen_ = multilayerSeen_ || kind == ElementKind::Multilayer;
    if (IsItemKind(kind))
        ++document_.itemCount_;
    if (XmlDocument::KeepsLine(kind))
        node.line = line;
    if (XmlDocument::ReadsText(kind)) {
        if (document_.texts_.size() >= UINT32_MAX - kLongestText)
            throw std::bad_alloc();
        gatherDepth_ = depth;
        node.textOffset = static_cast<std::uint32_t>(document_.texts_.size());
    }
}

void DocumentBuilder::endElement(int depth) {
    if (depth != keptDepth_)
        return;
    if (depth == gatherDepth_) {
        XmlDocument::Node& node = document_.nodes_[open_[depth]];
        std::string& texts = document_.texts_;
        while (texts.size() > node.textOffset && IsXmlSpace(texts.back()))
            texts.pop_back();
        std::size_t begin = node.textOffset;
        while (begin < texts.size() && IsXmlSpace(texts[begin]))
            ++begin;
        texts.erase(node.textOffset, begin - node.textOffset);
        node.textLength = static_cast<std::uint32_t>(texts.size() - node.textOffset);
        gatherDepth_ = 0;
    }
    --keptDepth_;
}

void DocumentBuilder::appendText(std::string_view text) {
    XmlDocument::Node& node = document_.nodes_[open_[gatherDepth_]];
    if (node.textState != TextState::Readable)
        return;
    std::string& texts = document_.texts_;
    if (text.size() > kLongestText - (texts.size() - node.textOffset)) {
        refuseText(TextState::TooLong);
        return;
    }
    texts.append(text);
}

void DocumentBuilder::refuseText(TextState why) {
    XmlDocument::Node& node = document_.nodes_[open_[gatherDepth_]];
    node.textState = why;
    document_.texts_.resize(node.textOffset);
}

TextState DocumentBuilder::textState() const {
    return document_.nodes_[open_[gatherDepth_]].textState;
}

void DocumentBuilder::reserveTexts(std::uint64_t projectSize) {
    // Only a large project's texts are worth it: a small one's are moved a few times at little
    // cost. The kept texts are characters of the project, at most two bytes each once decoded;
    // room reserved but never written costs no resident memory. Entity expansions past the
    // bound make the texts grow as they come.
    constexpr std::uint64_t kLargeProject = std::uint64_t{4} << 20;
    if (projectSize < kLargeProject)
        return;
    const std::uint64_t bound = std::min<std::uint64_t>(2 * projectSize, UINT32_MAX);
    try {
        document_.texts_.reserve(static_cast<std::size_t>(bound));
    } catch (const std::bad_alloc&) {
        // The texts grow as they come instead.
    }
}

XmlDocument DocumentBuilder::finish() {
    return std::move(document_);
}

} // namespace kestrova
