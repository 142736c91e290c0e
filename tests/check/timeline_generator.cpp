#include "timeline_generator.h"

#include "timefmt/timefmt.h"

#include <array>

namespace kestrova {
namespace {

bool Chance(std::mt19937& random, int percent) {
    return std::uniform_int_distribution<int>(0, 99)(random) < percent;
}

int Between(std::mt19937& random, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
}

// Times on a coarse grid, so that items often touch or share their ends; now and then a
// negative one.
std::string TimeText(std::mt19937& random) {
    const int seconds = Chance(random, 5) ? -Between(random, 1, 3) : Between(random, 0, 12);
    return FormatTime(seconds * 1000);
}

void AppendItem(std::mt19937& random, std::string& xml) {
    static constexpr std::array kKinds{"layeritem_video", "layeritem_bitmap", "layeritem_effect",
                                       "layeritem_video", "layeritem_effect", "layeritem_audio",
                                       "layeritem_filter"};
    const std::string kind =
        kKinds[static_cast<std::size_t>(Between(random, 0, kKinds.size() - 1))];
    xml += "<" + kind + ">";
    if (Chance(random, 85))
        xml += "<starttime>" + TimeText(random) + "</starttime>";
    if (Chance(random, 5))
        xml += "<starttime>" + TimeText(random) + "</starttime>";
    if (Chance(random, 85))
        xml += "<endtime>" + TimeText(random) + "</endtime>";
    if (Chance(random, 10))
        xml += "<file>clip.mp4</file>";
    xml += "</" + kind + ">";
}

void AppendScrap(std::mt19937& random, std::string& xml) {
    const int roll = Between(random, 0, 9);
    xml += roll < 3 ? "<scrap>yes</scrap>" : roll < 4 ? "<scrap>Yes</scrap>" : "<scrap>no</scrap>";
}

void AppendLayer(std::mt19937& random, std::string& xml, int number) {
    xml += "<layer><name>Layer " + std::to_string(number) + "</name>";
    const int scrapPlace = Between(random, 0, 3); // 0 before the items, 1 after, else none
    if (scrapPlace == 0)
        AppendScrap(random, xml);
    for (int items = Between(random, 0, 5); items > 0; --items)
        AppendItem(random, xml);
    if (scrapPlace == 1)
        AppendScrap(random, xml);
    xml += "</layer>";
}

} // namespace

std::string RandomTimelineDocument(std::mt19937& random) {
    std::string xml = "<kestrovadocument2><multilayer>";
    for (int layer = 1, layers = Between(random, 0, 4); layer <= layers; ++layer) {
        if (Chance(random, 10))
            xml += "<!-- moved --><track/>";
        AppendLayer(random, xml, layer);
    }
    return xml + "</multilayer></kestrovadocument2>";
}

} // namespace kestrova
