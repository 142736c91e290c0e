#include "cli/timeline_picture.h"

#include "cli/picture_text.h"
#include "cli/svg_writer.h"
#include "cli/text_safety.h"
#include "cli/timeline_layout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

namespace kestrova {
namespace {

// A time text as the report writes it, or "?" for a count the report cannot write.
std::string TimeOrUnknown(Millis count) {
    try {
        return FormatTime(count);
    } catch (const TimeConversionError&) {
        return "?";
    }
}

// Okabe-Ito colours, told apart with every common kind of colour blindness: visual items in
// blues and bluish green, audio and filter in orange and vermillion, gaps in reddish purple.
constexpr const char* kStyle =
    "text{font-family:'DejaVu Sans','Liberation Sans',Arial,sans-serif;font-size:12px;"
    "fill:#222}"
    ".title{font-size:16px;font-weight:bold}.note{fill:#555}.scrappedlabel{fill:#888}"
    ".noname{font-style:italic;fill:#666}"
    ".row{fill:#F4F4F4}.scrappedrow{fill:#E2E2E2}.grid{stroke:#D0D0D0;stroke-width:1}"
    ".axis{stroke:#444;stroke-width:1}.end{stroke:#222;stroke-width:1.5;"
    "stroke-dasharray:5 3}"
    ".gap,.gapkey{fill:#CC79A7;fill-opacity:0.45;stroke:#A0507E;stroke-width:1}"
    ".video,.picture,.effect,.scrappedvisual{stroke-width:10}"
    ".audio,.filter,.scrappedother{stroke-width:6}"
    ".video{stroke:#0072B2}.picture{stroke:#56B4E9}.effect{stroke:#009E73}"
    ".audio{stroke:#E69F00}.filter{stroke:#D55E00}"
    ".scrappedvisual{stroke:#A8A8A8}.scrappedother{stroke:#C4C4C4}"
    ".start{stroke:#FFF;stroke-width:1}"
    ".zero{fill:#000;stroke:#FFF;stroke-width:1}"
    ".negative{fill:#FFF;stroke:#000;stroke-width:1.5}"
    ".backwards{stroke:#000;stroke-width:1.5;stroke-dasharray:3 2}"
    ".box{fill:#FFF4EE;stroke:#D55E00;stroke-width:2}";

std::string LayersSummary(const CheckResult& findings) {
    const auto scrapped = std::count_if(findings.layers.begin(), findings.layers.end(),
                                        [](const LayerFound& layer) { return layer.scrapped; });
    std::string text = Counted(findings.layers.size(), "layer", "layers");
    if (scrapped != 0)
        text += " (" + Grouped(static_cast<std::uint64_t>(scrapped)) + " scrapped)";
    return text;
}

std::string Summary(const CheckResult& check) {
    const CheckResult& findings = check;
    std::string text = check.status == CheckStatus::NoErrors ? "No errors found" : "Errors found";
    text += " \xC2\xB7 " + LayersSummary(findings);
    text += " \xC2\xB7 " + Counted(findings.items.size(), "item", "items");
    text += " \xC2\xB7 " + Counted(findings.warnings.size(), "zero- or negative-length item",
                                   "zero- or negative-length items");
    text += " \xC2\xB7 " + Counted(findings.gaps.size(), "gap", "gaps") + " in all";
    if (findings.timelineEnd)
        text += " \xC2\xB7 timeline end " + TimeOrUnknown(*findings.timelineEnd);
    return text;
}

class TimelinePicture {
public:
    TimelinePicture(std::ostream& out, const CheckResult& check)
        : svg_(out), check_(check), findings_(check), scale_(ScaleOf(findings_)),
          plan_(findings_.layers), raster_(plan_.rows()) {}

    void draw() {
        const int rowsBottom = plan_.top(plan_.rows());
        svg_.begin(kWidth, rowsBottom + kBottomMargin + (plan_.rows() == 0 ? kRowHeight : 0),
                   "Timeline of " + check_.file, kStyle);
        header();
        legend();
        rowBackgrounds();
        axis(rowsBottom);
        gaps(rowsBottom);
        bars();
        warnings();
        timelineEnd(rowsBottom);
        if (plan_.rows() == 0)
            svg_.text(kPlotLeft, kRowsTop + 16, "The timeline has no layers.", "note");
        svg_.end();
    }

private:
    void header() {
        svg_.text(16, 26, Shortened(check_.file, kHeaderCharacters), "title", {}, check_.file);
        svg_.text(16, 48, Summary(check_));
        if (findings_.gaps.size() > kMaxSeparateGaps)
            svg_.text(16, 66,
                      "More than " + Grouped(kMaxSeparateGaps) +
                          " gaps: gaps that share a pixel column are drawn as one band.",
                      "note");
        else if (plan_.layersPerRow() > 1)
            svg_.text(16, 66,
                      "More than " + Grouped(kMaxRows) + " layers: each row shows " +
                          Grouped(static_cast<std::uint64_t>(plan_.layersPerRow())) + " layers.",
                      "note");
    }

    void legend() {
        struct Key {
            Paint paint;
            const char* label;
        };
        constexpr std::array<Key, 6> kKeys = {{{kVideo, "Video"},
                                               {kPicture, "Picture"},
                                               {kEffect, "Effect"},
                                               {kAudio, "Audio"},
                                               {kFilter, "Filter"},
                                               {kScrappedVisual, "Scrapped layer"}}};
        double x = 16;
        const int y = 84;
        for (const Key& key : kKeys) {
            svg_.path(kPaintClass[key.paint], "M" + Px(x) + " " + std::to_string(y) + "h18");
            svg_.text(x + 24, y + 4, key.label);
            x += 34 + 7.0 * std::string_view(key.label).size();
        }
        svg_.rect(x, y - 6, 18, 12, "gapkey");
        svg_.text(x + 24, y + 4, "Gap");
        x += 34 + 7.0 * 3;
        svg_.path("zero", Marker(x + 5, y + 6));
        svg_.path("negative", Marker(x + 17, y + 6));
        svg_.text(x + 28, y + 4, "Zero- / negative-length item");
    }

    void rowBackgrounds() {
        for (std::int64_t row = 0; row < plan_.rows(); ++row) {
            const int top = plan_.top(row);
            const auto [firstLayer, lastLayer] = layersOf(row);
            const bool allScrapped =
                scrappedIn(firstLayer, lastLayer) == lastLayer - firstLayer + 1;
            if (allScrapped || row % 2 == 0)
                svg_.rect(0, top, kWidth, kRowHeight, allScrapped ? "scrappedrow" : "row");
            label(top + 17, firstLayer, lastLayer, allScrapped);
        }
    }

    void label(int baseline, std::int64_t firstLayer, std::int64_t lastLayer, bool allScrapped) {
        if (firstLayer != lastLayer) {
            std::string text = "Layers " + Grouped(static_cast<std::uint64_t>(firstLayer)) +
                               "\xE2\x80\x93" + Grouped(static_cast<std::uint64_t>(lastLayer));
            const std::int64_t scrapped = scrappedIn(firstLayer, lastLayer);
            if (scrapped != 0)
                text += allScrapped
                            ? " (all scrapped)"
                            : " (" + Grouped(static_cast<std::uint64_t>(scrapped)) + " scrapped)";
            const std::string shown = Fitted(text, kLabelRightEdge - kGroupLabelLeft);
            svg_.text(kGroupLabelLeft, baseline, shown, allScrapped ? "scrappedlabel" : "", {},
                      shown != text ? text : "");
            return;
        }
        const LayerFound& layer = findings_.layers[static_cast<std::size_t>(firstLayer - 1)];
        svg_.text(52, baseline, Grouped(static_cast<std::uint64_t>(layer.number)),
                  layer.scrapped ? "scrappedlabel" : "", "end");
        const std::string suffix = layer.scrapped ? " (scrapped)" : "";
        if (!layer.ownName) {
            svg_.text(kNameLabelLeft, baseline, "(no name)" + suffix, "noname");
            return;
        }
        svg_.text(kNameLabelLeft, baseline,
                  Fitted(*layer.ownName, kLabelRightEdge - kNameLabelLeft - TextWidth(suffix)) +
                      suffix,
                  layer.scrapped ? "scrappedlabel" : "", {}, *layer.ownName);
    }

    std::pair<std::int64_t, std::int64_t> layersOf(std::int64_t row) const {
        const std::int64_t first = row * plan_.layersPerRow() + 1;
        return {first, std::min<std::int64_t>(first + plan_.layersPerRow() - 1,
                                              static_cast<std::int64_t>(findings_.layers.size()))};
    }

    std::int64_t scrappedIn(std::int64_t firstLayer, std::int64_t lastLayer) const {
        std::int64_t count = 0;
        for (std::int64_t layer = firstLayer; layer <= lastLayer; ++layer)
            count += plan_.scrapped(layer) ? 1 : 0;
        return count;
    }

    void axis(int rowsBottom) {
        const int axisY = kRowsTop - 6;
        svg_.path("axis", "M" + std::to_string(kPlotLeft) + " " + std::to_string(axisY) + "h" +
                              std::to_string(kPlotWidth));
        const std::int64_t step = TickStep(scale_.span());
        std::string grid;
        for (std::int64_t tick = FloorDiv(scale_.first() + step - 1, step) * step;
             tick <= scale_.last(); tick += step) {
            const std::string x = Px(scale_.x(tick));
            grid += "M" + x + " " + std::to_string(axisY) + "V" + std::to_string(rowsBottom);
            svg_.text(scale_.x(tick), axisY - 6, TickText(tick), {}, "middle");
        }
        svg_.path("grid", grid);
    }

    void gaps(int rowsBottom) {
        const double top = kRowsTop - 4;
        const double height = rowsBottom - top;
        if (findings_.gaps.size() <= kMaxSeparateGaps) {
            for (const GapFound& gap : findings_.gaps) {
                const double left = scale_.x(gap.from);
                const double width = std::max(1.0, scale_.x(gap.to) - left);
                svg_.rect(left, top, width, height, "gap", GapTitle(1, gap.from, gap.to));
            }
            return;
        }
        // Gaps that touch the same pixel columns become one band.
        std::size_t first = 0;
        while (first < findings_.gaps.size()) {
            auto [left, right] =
                scale_.columns(findings_.gaps[first].from, findings_.gaps[first].to);
            std::size_t last = first;
            while (last + 1 < findings_.gaps.size()) {
                const auto next =
                    scale_.columns(findings_.gaps[last + 1].from, findings_.gaps[last + 1].to);
                if (next.first > right + 1)
                    break;
                right = std::max(right, next.second);
                ++last;
            }
            svg_.rect(
                kPlotLeft + static_cast<double>(left), top, static_cast<double>(right - left + 1),
                height, "gap",
                GapTitle(last - first + 1, findings_.gaps[first].from, findings_.gaps[last].to));
            first = last + 1;
        }
    }

    static std::string GapTitle(std::size_t count, Millis from, Millis to) {
        return (count == 1 ? std::string("Gap") : Grouped(count) + " gaps") + " from " +
               TimeOrUnknown(from) + " to " + TimeOrUnknown(to);
    }

    void bars() {
        for (const ItemFound& item : findings_.items) {
            if (item.end <= item.start)
                continue; // marked as a warning instead
            raster_.add(plan_.rowOf(item.layer), PaintOf(item.kind, plan_.scrapped(item.layer)),
                        scale_.columns(item.start, item.end));
        }
        for (std::int64_t row = 0; row < plan_.rows(); ++row) {
            std::string starts;
            for (int paint = 0; paint < kPaintCount; ++paint) {
                const int laneMiddle = plan_.top(row) + (IsVisualPaint(paint) ? 9 : 20);
                std::string data;
                int pen = 0;
                for (const auto& [first, last] : raster_.runs(row, paint)) {
                    data += data.empty() ? "M" + std::to_string(kPlotLeft + first) + " " +
                                               std::to_string(laneMiddle)
                                         : "m" + std::to_string(first - pen) + " 0";
                    data += "h" + std::to_string(last - first + 1);
                    pen = last + 1;
                }
                svg_.path(kPaintClass[static_cast<std::size_t>(paint)], data);
            }
            for (int column = 1; column < kPlotWidth; ++column)
                if (raster_.startsAt(row, column))
                    starts += "M" + std::to_string(kPlotLeft + column) + " " +
                              std::to_string(plan_.top(row) + 3) + "v20";
            svg_.path("start", starts);
        }
    }

    static std::string Marker(double x, double tipY) {
        return "M" + Px(x) + " " + Px(tipY) + "l-4.5 -8h9z";
    }

    // One marker per row and pixel column; with many warnings the markers go without titles.
    void warnings() {
        struct Placed {
            std::int64_t row;
            std::int64_t column;
            std::size_t index;
        };
        std::vector<Placed> placed;
        placed.reserve(findings_.warnings.size());
        for (std::size_t i = 0; i < findings_.warnings.size(); ++i) {
            const LengthWarning& warning = findings_.warnings[i];
            placed.push_back({plan_.rowOf(warning.layer), scale_.column(warning.start), i});
        }
        std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
            return std::pair(a.row, a.column) < std::pair(b.row, b.column);
        });
        const bool titled = findings_.warnings.size() <= kMaxTitledWarnings;
        std::string zeros;
        std::string negatives;
        std::string backwards;
        for (std::size_t at = 0; at < placed.size();) {
            std::size_t next = at;
            bool anyNegative = false;
            while (next < placed.size() && placed[next].row == placed[at].row &&
                   placed[next].column == placed[at].column)
                anyNegative |= findings_.warnings[placed[next++].index].negative();
            const LengthWarning& warning = findings_.warnings[placed[at].index];
            const double x = scale_.x(warning.start);
            const int tip = plan_.top(placed[at].row) + 11;
            if (warning.negative())
                backwards +=
                    "M" + Px(scale_.x(warning.end)) + " " + std::to_string(tip - 2) + "H" + Px(x);
            const std::string marker = Marker(x, tip);
            if (titled)
                svg_.path(anyNegative ? "negative" : "zero", marker,
                          WarningTitle(warning, next - at));
            else
                (anyNegative ? negatives : zeros) += marker;
            at = next;
        }
        svg_.path("backwards", backwards);
        svg_.path("zero", zeros);
        svg_.path("negative", negatives);
    }

    static std::string WarningTitle(const LengthWarning& warning, std::size_t count) {
        if (count > 1)
            return Grouped(count) + " items of zero or negative length";
        if (!warning.negative())
            return "Zero-length item at " + TimeOrUnknown(warning.start);
        return "Negative-length item from " + TimeOrUnknown(warning.start) + " to " +
               TimeOrUnknown(warning.end);
    }

    void timelineEnd(int rowsBottom) {
        if (!findings_.timelineEnd || *findings_.timelineEnd <= 0)
            return;
        const std::string x = Px(scale_.x(*findings_.timelineEnd));
        svg_.path("end",
                  "M" + x + " " + std::to_string(kRowsTop - 4) + "V" + std::to_string(rowsBottom),
                  "Timeline end " + TimeOrUnknown(*findings_.timelineEnd));
    }

    SvgWriter svg_;
    const CheckResult& check_;
    const CheckResult& findings_;
    TimeScale scale_;
    RowPlan plan_;
    CoverageRaster raster_;
};

// For a project that was not checked: what the report and the message said instead.
void DrawNotChecked(std::ostream& out, const CheckResult& check) {
    std::vector<std::string> lines;
    std::string message;
    if (check.parseError) {
        lines.push_back("Not checked: there is an error in this file - it is not well-formed XML.");
        message = "The XML parser says: " + check.parseError->reason + "\nat line " +
                  std::to_string(check.parseError->line);
    } else {
        lines.push_back("Check stopped: the project could not be checked to the end.");
    }
    if (check.stop)
        message = check.stop->message;
    for (std::string& line : MessageLines(message, kMessageCharacters))
        lines.push_back(std::move(line));

    const int boxTop = 64;
    const int lineHeight = 20;
    const int boxHeight = 16 + lineHeight * static_cast<int>(lines.size());
    SvgWriter svg(out);
    svg.begin(kWidth, boxTop + boxHeight + kBottomMargin, "Timeline of " + check.file, kStyle);
    svg.text(16, 26, Shortened(check.file, kHeaderCharacters), "title", {}, check.file);
    svg.text(16, 48, "No timeline to show.", "note");
    svg.rect(8, boxTop, kWidth - 16, boxHeight, "box");
    for (std::size_t i = 0; i < lines.size(); ++i)
        svg.text(20, boxTop + 22 + lineHeight * static_cast<int>(i), lines[i]);
    svg.end();
}

} // namespace

void WriteTimelinePicture(std::ostream& out, const CheckResult& check) {
    if (!check.checked()) {
        DrawNotChecked(out, check);
        return;
    }
    TimelinePicture(out, check).draw();
}

} // namespace kestrova
