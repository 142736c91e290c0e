#pragma once
// Where the timeline picture puts things: its fixed measures, the time axis's scale and ticks,
// the rows the layers take, and which pixel columns the items cover. Nothing here writes; the
// picture draws what these compute.

#include "check/check_result.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kestrova {

// Layout, in pixels. The time axis has one pixel column per plotted step of time; everything
// narrower than a column is merged into the column, so the picture's size depends on its
// rows and columns, not on the number of items.
inline constexpr int kWidth = 1200;
inline constexpr int kPlotLeft = 250;
inline constexpr int kPlotWidth = 920;
inline constexpr int kRowsTop = 130;
inline constexpr int kRowHeight = 26;
inline constexpr int kBottomMargin = 16;
inline constexpr std::int64_t kMaxRows = 100;
// A bar at least this wide shows where it starts, so that touching items stay apart.
inline constexpr std::int64_t kMinSeparatedColumns = 4;
inline constexpr std::size_t kMaxTitledWarnings = 1000;
// Row labels end this far left of the plot, so that no bar is drawn over them.
inline constexpr double kLabelRightEdge = kPlotLeft - 8;
inline constexpr double kNameLabelLeft = 60;
inline constexpr double kGroupLabelLeft = 16;
inline constexpr std::size_t kHeaderCharacters = 120;
inline constexpr std::size_t kMessageCharacters = 140;

// What a bar is painted as, in drawing order within its lane.
enum Paint { kScrappedVisual, kEffect, kPicture, kVideo, kScrappedOther, kAudio, kFilter };
inline constexpr int kPaintCount = 7;
inline constexpr std::array<const char*, kPaintCount> kPaintClass = {
    "scrappedvisual", "effect", "picture", "video", "scrappedother", "audio", "filter"};

inline bool IsVisualPaint(int paint) {
    return paint <= kVideo;
}

Paint PaintOf(ItemKind kind, bool scrapped);

// A tick's time, as short as it can be said: "0", "30s", "1m 30s", "1h 15m", "2.5s".
std::string TickText(std::int64_t ms);

// The smallest step of a round size that puts at most ten intervals on the axis.
std::int64_t TickStep(std::int64_t span);

// Division rounded towards minus infinity.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b);

// Milliseconds to pixels: time `first` at the left edge of the plot, `last` at its right edge.
class TimeScale {
public:
    TimeScale(std::int64_t first, std::int64_t last) : first_(first), span_(last - first) {}

    std::int64_t first() const { return first_; }
    std::int64_t last() const { return first_ + span_; }
    std::int64_t span() const { return span_; }
    double x(std::int64_t ms) const {
        return kPlotLeft +
               static_cast<double>(ms - first_) * kPlotWidth / static_cast<double>(span_);
    }
    // The pixel column that holds the millisecond starting at `ms`.
    std::int64_t column(std::int64_t ms) const {
        return std::clamp<std::int64_t>((ms - first_) * kPlotWidth / span_, 0, kPlotWidth - 1);
    }
    // The columns that a stretch [from, to) touches; one column at least.
    std::pair<std::int64_t, std::int64_t> columns(std::int64_t from, std::int64_t to) const {
        const std::int64_t left = column(from);
        return {left, std::max(left, to > from ? column(to - 1) : left)};
    }

private:
    std::int64_t first_;
    std::int64_t span_;
};

// The scale that shows the whole timeline: from its earliest time (0 at the latest) to its end or
// its latest item time.
TimeScale ScaleOf(const CheckResult& findings);

// Consecutive layers share a row when there are more than kMaxRows of them.
class RowPlan {
public:
    explicit RowPlan(const std::vector<LayerFound>& layers)
        : layers_(layers),
          perRow_(std::max<std::int64_t>(
              1, (static_cast<std::int64_t>(layers.size()) + kMaxRows - 1) / kMaxRows)) {}

    std::int64_t rows() const {
        return (static_cast<std::int64_t>(layers_.size()) + perRow_ - 1) / perRow_;
    }
    std::int64_t layersPerRow() const { return perRow_; }
    std::int64_t rowOf(std::int64_t layer) const {
        return std::clamp<std::int64_t>((layer - 1) / perRow_, 0,
                                        std::max<std::int64_t>(0, rows() - 1));
    }
    bool scrapped(std::int64_t layer) const {
        return layer >= 1 && layer <= static_cast<std::int64_t>(layers_.size()) &&
               layers_[static_cast<std::size_t>(layer - 1)].scrapped;
    }
    int top(std::int64_t row) const { return kRowsTop + static_cast<int>(row) * kRowHeight; }

private:
    const std::vector<LayerFound>& layers_;
    std::int64_t perRow_;
};

// Which pixel columns each paint covers in each row, counted with a difference array so that
// an item costs the same whatever its width.
class CoverageRaster {
public:
    explicit CoverageRaster(std::int64_t rows)
        : cells_(static_cast<std::size_t>(rows * kPaintCount * (kPlotWidth + 1)), 0),
          starts_(static_cast<std::size_t>(rows * kPlotWidth), false) {}

    void add(std::int64_t row, int paint, std::pair<std::int64_t, std::int64_t> columns);
    // Runs of covered columns: [first, last] pairs, in order.
    std::vector<std::pair<int, int>> runs(std::int64_t row, int paint) const;

    bool startsAt(std::int64_t row, int column) const {
        return starts_[static_cast<std::size_t>(row * kPlotWidth + column)];
    }

private:
    std::int32_t* lineOf(std::int64_t row, int paint) {
        return cells_.data() + (row * kPaintCount + paint) * (kPlotWidth + 1);
    }
    const std::int32_t* lineOf(std::int64_t row, int paint) const {
        return cells_.data() + (row * kPaintCount + paint) * (kPlotWidth + 1);
    }

    std::vector<std::int32_t> cells_;
    std::vector<bool> starts_;
};

} // namespace kestrova
