// The fast gap scan against the literal one, on small timelines built from the input bytes:
// both must write the same gap lines and agree on whether anything was found.

#include "check/check_failure.h"
#include "check/gap_scan.h"
#include "check/layer_survey.h"
#include "check/run_state.h"
#include "check/xml_document.h"
#include "literal_gap_scan.h"
#include "tests/check/document_from_bytes.h"
#include "timefmt/timefmt.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using kestrova::Millis;

// Hands out the input's bytes one at a time, then zeros.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t next() { return at_ < size_ ? data_[at_++] : 0; }
    bool exhausted() const { return at_ >= size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Mostly whole seconds on a small grid, so that items touch, overlap and share ends; now and
// then any 32-bit count, or a text written by hand rather than by FormatTime.
std::string TimeText(Bytes& bytes) {
    const std::uint8_t kind = bytes.next();
    if (kind < 200)
        return kestrova::FormatTime((static_cast<int>(kind % 16) - 3) * 1000);
    if (kind < 240) {
        std::uint32_t raw = 0;
        for (int i = 0; i < 4; ++i)
            raw = raw << 8 | bytes.next();
        Millis count;
        std::memcpy(&count, &raw, sizeof count);
        // Counts too early to be written are folded onto positive ones.
        return kestrova::FormatTime(count < -2'145'600'000 ? count & 0x7FFFFFFF : count);
    }
    static constexpr std::array kHandWritten{"1h2m3s4",        "0h 90m 00s 000", "1.5h 00m 00s 000",
                                             "xh ym zs w",     "0h 00m 00s 2.5", " 0h 0 0m 1 2s 5",
                                             "0h 00m 00s 1,5", "-0h 00m 01s 000"};
    return kHandWritten[kind % kHandWritten.size()];
}

void AppendItem(Bytes& bytes, std::string& xml) {
    static constexpr std::array kKinds{"layeritem_video", "layeritem_bitmap", "layeritem_effect",
                                       "layeritem_audio", "layeritem_filter", "track"};
    const std::uint8_t shape = bytes.next();
    const std::string kind = kKinds[shape % kKinds.size()];
    xml += "<" + kind + ">";
    if ((shape & 0x08) == 0)
        xml += "<starttime>" + TimeText(bytes) + "</starttime>";
    if ((shape & 0x10) != 0)
        xml += "<!-- note -->";
    if ((shape & 0x20) == 0)
        xml += "<endtime>" + TimeText(bytes) + "</endtime>";
    if ((shape & 0x40) != 0)
        xml += "<starttime>" + TimeText(bytes) + "</starttime>";
    xml += "</" + kind + ">";
}

void AppendScrap(std::uint8_t shape, std::string& xml) {
    static constexpr std::array kTexts{"yes", "no", "Yes", " yes "};
    xml += std::string("<scrap>") + kTexts[(shape >> 4) % kTexts.size()] + "</scrap>";
}

std::string TimelineDocument(Bytes& bytes) {
    std::string xml = "<kestrovadocument2><multilayer>";
    for (int layers = bytes.next() % 6; layers > 0 && !bytes.exhausted(); --layers) {
        const std::uint8_t shape = bytes.next();
        if ((shape & 0x80) != 0)
            xml += "<!-- moved --><track/>";
        xml += "<layer>";
        if ((shape & 0x40) == 0)
            xml += "<name>L</name>";
        const int scrapPlace = shape & 0x03; // 0 before the items, 1 after, else none
        if (scrapPlace == 0)
            AppendScrap(shape, xml);
        for (int items = (shape >> 2) & 0x03 ? bytes.next() % 7 : 0; items > 0; --items)
            AppendItem(bytes, xml);
        if (scrapPlace == 1)
            AppendScrap(shape, xml);
        xml += "</layer>";
    }
    return xml + "</multilayer></kestrovadocument2>";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes bytes(data, size);
    const std::string xml = TimelineDocument(bytes);

    const kestrova::XmlDocument document = kestrova::DocumentFromBytes(xml);
    if (document.parseError().errorCode != 0)
        std::abort(); // the builder writes well-formed XML only

    using kestrova::ElementKind;
    const kestrova::XmlNode multilayer =
        document.selectSingleNode(ElementKind::Document).selectSingleNode(ElementKind::Multilayer);
    kestrova::CheckRunState fastState;
    kestrova::CheckResult fast;
    kestrova::Findings fastFindings(fast, false);
    std::vector<kestrova::VisualItem> visualItems;
    try {
        visualItems = kestrova::SurveyLayers(document, fastState, fastFindings);
    } catch (const kestrova::DocumentProblem&) {
        return 0; // a warning time that cannot be written stops the run before the scan
    }
    kestrova::CheckRunState literalState = fastState;
    kestrova::CheckResult literal;
    kestrova::Findings literalFindings(literal, false);

    kestrova::ScanTimelineGaps(visualItems, fastState, fastFindings);
    kestrova::ScanTimelineGapsLiteral(multilayer, literalState, literalFindings);
    if (kestrova::GapSpans(fast) != kestrova::GapSpans(literal) ||
        fastState.errorsFound != literalState.errorsFound)
        std::abort();
    return 0;
}
