#pragma once

#include "check/report_text.h"
#include "check/run_state.h"
#include "check/xml_document.h"

#include <optional>
#include <string_view>
#include <vector>

namespace kestrova {

// Element names of the project document.
namespace element {
inline constexpr std::string_view kDocument = "kestrovadocument2";
inline constexpr std::string_view kMultilayer = "multilayer";
inline constexpr std::string_view kLayer = "layer";
inline constexpr std::string_view kName = "name";
inline constexpr std::string_view kScrap = "scrap";
inline constexpr std::string_view kStartTime = "starttime";
inline constexpr std::string_view kEndTime = "endtime";
inline constexpr std::string_view kEffect = "layeritem_effect";
inline constexpr std::string_view kBitmap = "layeritem_bitmap";
inline constexpr std::string_view kVideo = "layeritem_video";
inline constexpr std::string_view kAudio = "layeritem_audio";
inline constexpr std::string_view kFilter = "layeritem_filter";
} // namespace element

// Video, picture and effect items cover the timeline; audio and filter items do not.
bool IsVisualItem(const NodeName& name);
bool IsItem(const NodeName& name);
std::optional<ItemKind> KindOfItem(const NodeName& name);

// " 1: \tname" for layers 1 to 9, "10: \tname" from 10 on.
std::string LayerLine(std::int64_t layerNumber, std::string_view name);

// Lists the layers, marks scrapped ones, finds the end of the timeline and warns about items of
// zero or negative length. Returns the visual items of live layers, in document order, for the
// gap scan. Throws DocumentProblem when the document lacks the document element or the
// multilayer element, or holds a time or text it cannot read.
std::vector<VisualItem> SurveyLayers(const XmlDocument& document, CheckRunState& state,
                                     ReportText& report);

} // namespace kestrova
