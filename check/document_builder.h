#pragma once
// Builds the compact document from the parser's element and text events, keeping only the
// elements the check reads and their texts.

#include "check/xml_document.h"

#include <cstdint>
#include <string_view>
#include <utility>

namespace kestrova {

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

} // namespace kestrova
