#include "app/about_texts.h"

#include "app/app_info.h"

namespace kestrova {

std::string AboutCaption() {
    return "About " + AboutTitle();
}

std::string AboutTitle() {
    return kApplicationTitle;
}

std::string AboutVersion() {
    return "Version " + VersionNumbers();
}

std::string AboutDescription() {
    return "Checks for gaps in video layers and for zero length effects which can cause "
           "problems with building movies";
}

} // namespace kestrova
