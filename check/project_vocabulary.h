#pragma once
// The names of the project document's elements that the check reads, named once: the strings as
// the file spells them, the kinds the compact document stores, and the kinds of items.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

namespace kestrova {

enum class ElementKind : std::uint8_t {
    Document,
    Multilayer,
    Layer,
    Name,
    Scrap,
    StartTime,
    EndTime,
    Effect,
    Bitmap,
    Video,
    Audio,
    Filter,
};

// The five item elements, in the order of their element kinds.
enum class ItemKind : std::uint8_t { Effect, Bitmap, Video, Audio, Filter };

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

// Indexed by ElementKind.
inline constexpr std::array<std::string_view, 12> kElementNames{
    element::kDocument, element::kMultilayer, element::kLayer,   element::kName,
    element::kScrap,    element::kStartTime,  element::kEndTime, element::kEffect,
    element::kBitmap,   element::kVideo,      element::kAudio,   element::kFilter,
};

constexpr std::string_view ElementName(ElementKind kind) {
    return kElementNames[static_cast<std::size_t>(kind)];
}

// The kind of an element the check reads, by its exact name; nothing for any other name.
constexpr std::optional<ElementKind> ElementKindOf(std::string_view name) {
    for (std::size_t i = 0; i < kElementNames.size(); ++i) {
        if (kElementNames[i] == name)
            return static_cast<ElementKind>(i);
    }
    return std::nullopt;
}

constexpr std::optional<ItemKind> ItemKindOf(ElementKind kind) {
    if (kind < ElementKind::Effect)
        return std::nullopt;
    return static_cast<ItemKind>(static_cast<int>(kind) - static_cast<int>(ElementKind::Effect));
}

constexpr bool IsItemKind(ElementKind kind) {
    return ItemKindOf(kind).has_value();
}

// Video, picture and effect items cover the timeline; audio and filter items do not.
constexpr bool CoversTimeline(ItemKind kind) {
    return kind == ItemKind::Effect || kind == ItemKind::Bitmap || kind == ItemKind::Video;
}

} // namespace kestrova
