#pragma once
// Everything the layer survey and the gap scan can read of a document, written out through the
// seven operations they use: the parse error, the paths they walk, and every text they read (or
// why it cannot be read). Two documents with the same dump give the same report.

#include "check/check_failure.h"
#include "check/layer_survey.h"
#include "check/working_copy.h"
#include "tests/check/document_from_bytes.h"
#include "tests/check/rewrite_text.h"
#include "tests/check/tree_document.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova::testing_support {

// The kind of element the check reads that a node is, or nothing. The compact document keeps
// kinds; the tree-built reference keeps names, matched here against the names the check reads.
template <typename Node> std::optional<ElementKind> KindOf(const Node& node) {
    if constexpr (requires { node.kind(); }) {
        return node.kind();
    } else {
        for (std::size_t i = 0; i < kElementNames.size(); ++i) {
            if (node.nodeName() == kElementNames[i])
                return static_cast<ElementKind>(i);
        }
        return std::nullopt;
    }
}

// The name of the kind the check reads that a node is, or "?".
template <typename Node> std::string NameText(const Node& node) {
    const std::optional<ElementKind> kind = KindOf(node);
    return kind ? std::string(ElementName(*kind)) : "?";
}

// The first child element of that kind (of a document: its document element, if of that kind).
template <typename Parent> auto SelectKind(const Parent& parent, ElementKind kind) {
    if constexpr (requires { parent.selectSingleNode(kind); })
        return parent.selectSingleNode(kind);
    else
        return parent.selectSingleNode(ElementName(kind));
}

template <typename Node> std::string TextOf(const Node& node) {
    try {
        return "=" + node.text();
    } catch (const DocumentProblem& problem) {
        return std::string("!") + problem.what();
    }
}

template <typename Node> void DumpChildren(const Node& parent, std::string& out) {
    for (const Node child : parent.childNodes()) {
        const std::optional<ElementKind> kind = KindOf(child);
        if (kind == ElementKind::Name || kind == ElementKind::Scrap) {
            out += "\n  " + NameText(child) + TextOf(child);
        } else if (kind && ItemKindOf(*kind)) {
            out += "\n  " + NameText(child);
            for (const Node time : child.childNodes()) {
                const std::optional<ElementKind> timeKind = KindOf(time);
                if (timeKind == ElementKind::StartTime || timeKind == ElementKind::EndTime)
                    out += "\n    " + NameText(time) + TextOf(time);
            }
        }
    }
}

template <typename Document> std::string Dump(const Document& document) {
    const auto& error = document.parseError();
    if (error.errorCode != 0)
        return "parse error: " + error.reason + " @" + std::to_string(error.line);
    const auto root = SelectKind(document, ElementKind::Document);
    if (!root)
        return "no document element";
    const auto multilayer = SelectKind(root, ElementKind::Multilayer);
    if (!multilayer)
        return "no multilayer";
    std::string out = "multilayer";
    for (const auto layer : multilayer.childNodes()) {
        if (KindOf(layer) == ElementKind::Layer) {
            out += "\nlayer";
            DumpChildren(layer, out);
        }
    }
    return out;
}

// The dumps of the working copy of `projectBytes` read by the check and by the tree-built
// reference.
struct BothDumps {
    std::string streamed;
    std::string tree;
};

inline BothDumps DumpBothWays(std::string_view projectBytes) {
    const std::string copy = RewriteProjectText(projectBytes);
    tree::TreeDocument reference;
    reference.loadFromMemory(copy);
    return {Dump(DocumentFromBytes(copy)), Dump(reference)};
}

} // namespace kestrova::testing_support
