#include "app/long_lines.h"

#include <algorithm>

namespace kestrova {

std::size_t LongLineBudget::shownLength(std::size_t length) {
    if (length <= kLongLine)
        return length;
    const std::size_t shown = std::min({length, kLongestShownLine, std::max(kLongLine, roomLeft_)});
    roomLeft_ -= std::min(shown, roomLeft_);
    return shown;
}

std::string LineCutNote(std::size_t length) {
    return " \xE2\x80\xA6 [line shortened on screen: " + std::to_string(length) +
           " characters in all; printing prints it whole]";
}

} // namespace kestrova
