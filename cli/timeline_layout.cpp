#include "cli/timeline_layout.h"

#include <algorithm>
#include <cstdlib>

namespace kestrova {

Paint PaintOf(ItemKind kind, bool scrapped) {
    switch (kind) {
    case ItemKind::Effect:
        return scrapped ? kScrappedVisual : kEffect;
    case ItemKind::Bitmap:
        return scrapped ? kScrappedVisual : kPicture;
    case ItemKind::Video:
        return scrapped ? kScrappedVisual : kVideo;
    case ItemKind::Audio:
        return scrapped ? kScrappedOther : kAudio;
    default:
        return scrapped ? kScrappedOther : kFilter;
    }
}

std::string TickText(std::int64_t ms) {
    if (ms == 0)
        return "0";
    std::string text = ms < 0 ? "-" : "";
    ms = std::llabs(ms);
    const std::int64_t hours = ms / 3'600'000;
    const std::int64_t minutes = ms / 60'000 % 60;
    const std::int64_t seconds = ms / 1000 % 60;
    const std::int64_t millis = ms % 1000;
    std::vector<std::string> parts;
    if (hours != 0)
        parts.push_back(std::to_string(hours) + "h");
    if (minutes != 0)
        parts.push_back(std::to_string(minutes) + "m");
    if (seconds != 0 || millis != 0) {
        std::string secondsText = std::to_string(seconds);
        if (millis != 0) {
            std::string fraction = std::to_string(1000 + millis).substr(1);
            fraction.erase(fraction.find_last_not_of('0') + 1);
            secondsText += "." + fraction;
        }
        parts.push_back(secondsText + "s");
    }
    for (std::size_t i = 0; i < parts.size(); ++i)
        text += (i == 0 ? "" : " ") + parts[i];
    return text;
}

std::int64_t TickStep(std::int64_t span) {
    constexpr std::array<std::int64_t, 33> kSteps = {1,
                                                     2,
                                                     5,
                                                     10,
                                                     20,
                                                     50,
                                                     100,
                                                     200,
                                                     500,
                                                     1'000,
                                                     2'000,
                                                     5'000,
                                                     10'000,
                                                     15'000,
                                                     30'000,
                                                     60'000,
                                                     120'000,
                                                     300'000,
                                                     600'000,
                                                     900'000,
                                                     1'800'000,
                                                     3'600'000,
                                                     7'200'000,
                                                     10'800'000,
                                                     21'600'000,
                                                     43'200'000,
                                                     86'400'000,
                                                     172'800'000,
                                                     432'000'000,
                                                     864'000'000,
                                                     1'728'000'000,
                                                     4'320'000'000,
                                                     8'640'000'000};
    for (const std::int64_t step : kSteps)
        if (span / step <= 10)
            return step;
    return kSteps.back();
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}

TimeScale ScaleOf(const CheckResult& findings) {
    std::int64_t first = 0;
    std::int64_t last = findings.timelineEnd.value_or(0);
    for (const ItemFound& item : findings.items) {
        first = std::min<std::int64_t>({first, item.start, item.end});
        last = std::max<std::int64_t>({last, item.start, item.end});
    }
    if (last <= first)
        last = first + 1000;
    return {first, last};
}

void CoverageRaster::add(std::int64_t row, int paint,
                         std::pair<std::int64_t, std::int64_t> columns) {
    std::int32_t* line = lineOf(row, paint);
    ++line[columns.first];
    --line[columns.second + 1];
    if (columns.second - columns.first + 1 >= kMinSeparatedColumns)
        starts_[static_cast<std::size_t>(row * kPlotWidth + columns.first)] = true;
}

std::vector<std::pair<int, int>> CoverageRaster::runs(std::int64_t row, int paint) const {
    const std::int32_t* line = lineOf(row, paint);
    std::vector<std::pair<int, int>> found;
    std::int64_t depth = 0;
    for (int column = 0; column < kPlotWidth; ++column) {
        const bool wasCovered = depth > 0;
        depth += line[column];
        if (depth > 0 && !wasCovered)
            found.push_back({column, column});
        if (depth > 0)
            found.back().second = column;
    }
    return found;
}

} // namespace kestrova
