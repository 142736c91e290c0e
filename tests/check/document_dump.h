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

#include <string>
#include <string_view>

namespace kestrova::testing_support {

// The name the check looks for that a node carries, or "?".
template <typename Name> std::string NameText(const Name& name) {
    using namespace element;
    for (const std::string_view known : {kDocument, kMultilayer, kLayer, kName, kScrap, kStartTime,
                                         kEndTime, kEffect, kBitmap, kVideo, kAudio, kFilter}) {
        if (name == known)
            return std::string(known);
    }
    return "?";
}

template <typename Node> std::string TextOf(const Node& node) {
    try {
        return "=" + node.text();
    } catch (const DocumentProblem& problem) {
        return std::string("!") + problem.what();
    }
}

template <typename Node> void DumpChildren(const Node& parent, std::string& out) {
    using namespace element;
    for (const Node child : parent.childNodes()) {
        const auto name = child.nodeName();
        if (name == kName || name == kScrap) {
            out += "\n  " + NameText(name) + TextOf(child);
        } else if (name == kEffect || name == kBitmap || name == kVideo || name == kAudio ||
                   name == kFilter) {
            out += "\n  " + NameText(name);
            for (const Node time : child.childNodes()) {
                if (time.nodeName() == kStartTime || time.nodeName() == kEndTime)
                    out += "\n    " + NameText(time.nodeName()) + TextOf(time);
            }
        }
    }
}

template <typename Document> std::string Dump(const Document& document) {
    const auto& error = document.parseError();
    if (error.errorCode != 0)
        return "parse error: " + error.reason + " @" + std::to_string(error.line);
    const auto root = document.selectSingleNode(element::kDocument);
    if (!root)
        return "no document element";
    const auto multilayer = root.selectSingleNode(element::kMultilayer);
    if (!multilayer)
        return "no multilayer";
    std::string out = "multilayer";
    for (const auto layer : multilayer.childNodes()) {
        if (layer.nodeName() == element::kLayer) {
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
