#include "cli/timeline_picture.h"

#include "cli/text_safety.h"

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

// Layout, in pixels. The time axis has one pixel column per plotted step of time; everything
// narrower than a column is merged into the column, so the picture's size depends on its
// rows and columns, not on the number of items.
constexpr int kWidth = 1200;
constexpr int kPlotLeft = 250;
constexpr int kPlotWidth = 920;
constexpr int kRowsTop = 130;
constexpr int kRowHeight = 26;
constexpr int kBottomMargin = 16;
constexpr std::int64_t kMaxRows = 100;
// A bar at least this wide shows where it starts, so that touching items stay apart.
constexpr std::int64_t kMinSeparatedColumns = 4;
constexpr std::size_t kMaxTitledWarnings = 1000;
// Row labels end this far left of the plot, so that no bar is drawn over them.
constexpr double kLabelRightEdge = kPlotLeft - 8;
constexpr double kNameLabelLeft = 60;
constexpr double kGroupLabelLeft = 16;
constexpr std::size_t kHeaderCharacters = 120;
constexpr std::size_t kMessageCharacters = 140;

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

// What a bar is painted as, in drawing order within its lane.
enum Paint { kScrappedVisual, kEffect, kPicture, kVideo, kScrappedOther, kAudio, kFilter };
constexpr int kPaintCount = 7;
constexpr std::array<const char*, kPaintCount> kPaintClass = {
    "scrappedvisual", "effect", "picture", "video", "scrappedother", "audio", "filter"};

bool IsVisualPaint(int paint) {
    return paint <= kVideo;
}

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

// How wide a text is drawn, estimated for the picture's 12-pixel font, in 1/2048 of its size:
// for ASCII the advance widths of DejaVu Sans, the widest of the fonts the style names; for
// other characters the width of a whole em (more for pictographs, nothing for combining marks),
// which no letter of those fonts exceeds by much. An estimate errs on the wide side, so that a
// label fitted by it stays clear of the bars.
constexpr std::array<std::uint16_t, 95> kAsciiAdvance = {
    651,  821,  942,  1716, 1303, 1946, 1597, 563,  799,  799,  1024, 1716, 651,  739,  651,  690,
    1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 690,  690,  1716, 1716, 1716, 1087,
    2048, 1401, 1405, 1430, 1577, 1294, 1178, 1587, 1540, 604,  604,  1343, 1141, 1767, 1532, 1612,
    1235, 1612, 1423, 1300, 1251, 1499, 1401, 2025, 1403, 1251, 1403, 799,  690,  799,  1716, 1024,
    1024, 1255, 1300, 1126, 1300, 1260, 721,  1300, 1298, 569,  569,  1186, 569,  1995, 1298, 1253,
    1300, 1300, 842,  1067, 803,  1298, 1212, 1675, 1212, 1212, 1075, 1303, 690,  1303, 1716};
constexpr double kFontPixels = 12;
constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

// The length of the UTF-8 sequence that starts at `at` (1 for a byte that starts none) and
// the character it holds.
std::pair<std::size_t, char32_t> CharacterAt(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (length == 1 || at + length > text.size())
        return {1, lead};
    char32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i)
        code = code << 6 | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    return {length, code};
}

double CharacterWidth(char32_t code) {
    if (code >= 0x20 && code <= 0x7E)
        return kAsciiAdvance[code - 0x20] * kFontPixels / 2048;
    if (code >= 0x300 && code <= 0x36F)
        return 0;
    return code >= 0x1F000 ? 1.25 * kFontPixels : kFontPixels;
}

double TextWidth(std::string_view text) {
    double width = 0;
    for (std::size_t at = 0; at < text.size();) {
        const auto [length, code] = CharacterAt(text, at);
        width += CharacterWidth(code);
        at += length;
    }
    return width;
}

// The text as it fits into `room` pixels: whole, or cut between two characters and ended with
// an ellipsis.
std::string Fitted(std::string_view text, double room) {
    if (TextWidth(text) <= room)
        return std::string(text);
    double used = TextWidth(kEllipsis);
    std::size_t at = 0;
    while (at < text.size()) {
        const auto [length, code] = CharacterAt(text, at);
        if (used + CharacterWidth(code) > room)
            break;
        used += CharacterWidth(code);
        at += length;
    }
    return std::string(text.substr(0, at)) + std::string(kEllipsis);
}

// "12,345"
std::string Grouped(std::uint64_t number) {
    std::string digits = std::to_string(number);
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

std::string Counted(std::uint64_t number, const std::string& one, const std::string& many) {
    return Grouped(number) + " " + (number == 1 ? one : many);
}

// A pixel coordinate with one decimal at most.
std::string Px(double value) {
    const auto tenths = static_cast<std::int64_t>(std::llround(value * 10));
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10 != 0) {
        if (tenths < 0 && tenths / 10 == 0)
            text = "-0";
        text += "." + std::to_string(std::llabs(tenths % 10));
    }
    return text;
}

// A tick's time, as short as it can be said: "0", "30s", "1m 30s", "1h 15m", "2.5s".
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

// The smallest step of a round size that puts at most ten intervals on the axis.
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

    void add(std::int64_t row, int paint, std::pair<std::int64_t, std::int64_t> columns) {
        std::int32_t* line = lineOf(row, paint);
        ++line[columns.first];
        --line[columns.second + 1];
        if (columns.second - columns.first + 1 >= kMinSeparatedColumns)
            starts_[static_cast<std::size_t>(row * kPlotWidth + columns.first)] = true;
    }

    // Runs of covered columns: [first, last] pairs, in order.
    std::vector<std::pair<int, int>> runs(std::int64_t row, int paint) const {
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

class SvgWriter {
public:
    explicit SvgWriter(std::ostream& out) : out_(out) {}

    void begin(int height, const std::string& title) {
        out_ << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\""
             << height << "\" viewBox=\"0 0 " << kWidth << ' ' << height << "\">\n"
             << "<title>" << XmlEscaped(title) << "</title>\n"
             << "<style>" << kStyle << "</style>\n"
             << "<rect width=\"" << kWidth << "\" height=\"" << height << "\" fill=\"#FFF\"/>\n";
    }
    void end() { out_ << "</svg>\n"; }

    void text(double x, double y, std::string_view content, std::string_view cssClass = {},
              std::string_view anchor = {}, std::string_view tooltip = {}) {
        out_ << "<text x=\"" << Px(x) << "\" y=\"" << Px(y) << '"';
        if (!cssClass.empty())
            out_ << " class=\"" << cssClass << '"';
        if (!anchor.empty())
            out_ << " text-anchor=\"" << anchor << '"';
        out_ << '>';
        if (!tooltip.empty())
            out_ << "<title>" << XmlEscaped(tooltip) << "</title>";
        out_ << XmlEscaped(content) << "</text>\n";
    }

    void rect(double x, double y, double width, double height, std::string_view cssClass,
              std::string_view tooltip = {}) {
        out_ << "<rect class=\"" << cssClass << "\" x=\"" << Px(x) << "\" y=\"" << Px(y)
             << "\" width=\"" << Px(width) << "\" height=\"" << Px(height) << '"';
        if (tooltip.empty()) {
            out_ << "/>\n";
            return;
        }
        out_ << "><title>" << XmlEscaped(tooltip) << "</title></rect>\n";
    }

    void path(std::string_view cssClass, const std::string& data, std::string_view tooltip = {}) {
        if (data.empty())
            return;
        out_ << "<path class=\"" << cssClass << "\" d=\"" << data << '"';
        if (tooltip.empty()) {
            out_ << "/>\n";
            return;
        }
        out_ << "><title>" << XmlEscaped(tooltip) << "</title></path>\n";
    }

private:
    std::ostream& out_;
};

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
        svg_.begin(rowsBottom + kBottomMargin + (plan_.rows() == 0 ? kRowHeight : 0),
                   "Timeline of " + check_.file);
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
            const char* cssClass;
            const char* label;
        };
        constexpr std::array<Key, 6> kKeys = {{{"video", "Video"},
                                               {"picture", "Picture"},
                                               {"effect", "Effect"},
                                               {"audio", "Audio"},
                                               {"filter", "Filter"},
                                               {"scrappedvisual", "Scrapped layer"}}};
        double x = 16;
        const int y = 84;
        for (const Key& key : kKeys) {
            svg_.path(key.cssClass, "M" + Px(x) + " " + std::to_string(y) + "h18");
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

// Where the character after the first `count` characters of UTF-8 text starts, or the text's
// end. A continuation byte never starts a character, so no character is cut there.
std::size_t CharacterOffset(std::string_view text, std::size_t count) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && count-- == 0)
            return at;
    }
    return text.size();
}

// Splits a message into lines at its line breaks and between words, none longer than `limit`
// characters; a word longer than a line is cut between two characters.
std::vector<std::string> MessageLines(const std::string& message, std::size_t limit) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= message.size()) {
        std::size_t end = message.find('\n', start);
        if (end == std::string::npos)
            end = message.size();
        std::string line = message.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        for (std::size_t full; (full = CharacterOffset(line, limit)) < line.size();) {
            std::size_t cut = line.rfind(' ', full);
            if (cut == std::string::npos || cut == 0)
                cut = full;
            lines.push_back(line.substr(0, cut));
            line.erase(0, cut == full ? cut : cut + 1);
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

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
    svg.begin(boxTop + boxHeight + kBottomMargin, "Timeline of " + check.file);
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
