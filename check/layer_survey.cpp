#include "check/layer_survey.h"

#include "check/check_failure.h"

namespace kestrova {
namespace {

std::string Where(std::int64_t layerNumber) {
    return "in layer " + std::to_string(layerNumber);
}

Millis ReadTime(const XmlNode& node, std::int64_t layerNumber) {
    try {
        return ParseTimeText(node.text());
    } catch (const TimeConversionError& failure) {
        throw DocumentProblem(Where(layerNumber) + ", " + failure.what());
    }
}

class LayerSurvey {
public:
    LayerSurvey(CheckRunState& state, Findings& findings) : state_(state), findings_(findings) {}

    void reserveVisualItems(std::size_t count) { visualItems_.reserve(count); }
    std::vector<VisualItem> takeVisualItems() { return std::move(visualItems_); }

    void surveyLayer(const XmlNode& layer) {
        ++state_.layerNumber;
        const std::size_t firstItemOfLayer = visualItems_.size();
        std::optional<std::string> ownName;
        for (const XmlNode child : layer.childNodes()) {
            const ElementKind kind = child.kind();
            if (kind == ElementKind::Name) {
                ownName = child.text();
                state_.layerLine = LayerLine(state_.layerNumber, *ownName);
            } else if (kind == ElementKind::Scrap) {
                readScrap(child);
            } else if (const std::optional<ItemKind> itemKind = ItemKindOf(kind)) {
                surveyItem(child, *itemKind);
            }
        }
        findings_.layer({state_.layerNumber, state_.layerLine, std::move(ownName),
                         state_.isScrapped(state_.layerNumber), layer.line()});
        // A scrap element may follow the items it scraps, so the layer's items cover the
        // timeline only if the layer is still live at its end.
        if (state_.isScrapped(state_.layerNumber))
            visualItems_.resize(firstItemOfLayer);
    }

private:
    void readScrap(const XmlNode& scrap) {
        const auto layer = static_cast<std::size_t>(state_.layerNumber);
        state_.layerScrapped.resize(layer + 1);
        const bool scrapped = scrap.text() == "yes";
        if (scrapped)
            state_.layerLine += "\t - SCRAPPED";
        state_.layerScrapped[layer] = scrapped;
    }

    void surveyItem(const XmlNode& item, ItemKind kind) {
        VisualItem read;
        read.line = item.line();
        for (const XmlNode child : item.childNodes()) {
            const ElementKind childKind = child.kind();
            if (childKind == ElementKind::StartTime) {
                state_.itemStart = read.start = ReadTime(child, state_.layerNumber);
                read.hasStart = true;
            } else if (childKind == ElementKind::EndTime) {
                state_.itemEnd = read.end = ReadTime(child, state_.layerNumber);
                read.hasEnd = true;
                if (!state_.isScrapped(state_.layerNumber) && state_.itemEnd > state_.timelineEnd) {
                    state_.timelineEnd = state_.itemEnd;
                    state_.timelineEndLine = read.line;
                }
            }
        }
        findings_.item({state_.layerNumber, kind, state_.itemStart, state_.itemEnd});
        checkLength(read.line);
        if (CoversTimeline(kind))
            visualItems_.push_back(read);
    }

    // An item whose start is not before its end gets a warning.
    void checkLength(std::uint32_t line) {
        if (state_.itemStart < state_.itemEnd)
            return;
        try {
            findings_.warning({state_.layerNumber, state_.itemStart, state_.itemEnd, line});
        } catch (const TimeConversionError& failure) {
            throw DocumentProblem(Where(state_.layerNumber) + ", " + failure.what());
        }
        state_.errorsFound = true;
    }

    CheckRunState& state_;
    Findings& findings_;
    // The visual items of live layers so far.
    std::vector<VisualItem> visualItems_;
};

} // namespace

std::string LayerLine(std::int64_t layerNumber, std::string_view name) {
    std::string line = layerNumber >= 1 && layerNumber <= 9 ? " " : "";
    line += std::to_string(layerNumber);
    line += ": \t";
    line += name;
    return line;
}

std::vector<VisualItem> SurveyLayers(const XmlDocument& document, CheckRunState& state,
                                     Findings& findings) {
    const XmlNode root = document.selectSingleNode(ElementKind::Document);
    if (!root)
        throw DocumentProblem("it has no kestrovadocument2 document element");
    const XmlNode multilayer = root.selectSingleNode(ElementKind::Multilayer);
    if (!multilayer)
        throw DocumentProblem("its kestrovadocument2 element has no multilayer element");

    state.timelineEnd = 0;
    state.layerNumber = 0;
    LayerSurvey survey(state, findings);
    // Taken at once, so that the list is never moved as it grows: the visual items are some of
    // the items.
    survey.reserveVisualItems(document.itemCount());
    for (const XmlNode node : multilayer.childNodes()) {
        if (node.kind() == ElementKind::Layer)
            survey.surveyLayer(node);
    }
    return survey.takeVisualItems();
}

} // namespace kestrova
