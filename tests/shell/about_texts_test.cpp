// The About dialog's texts, shared by every toolkit.

#include "app/about_texts.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

TEST(AboutTexts, CaptionTitleAndVersionComeFromTheApplicationsNameAndTheProjectVersion) {
    EXPECT_EQ(AboutTitle(), "Kestrova Checker");
    EXPECT_EQ(AboutCaption(), "About " + AboutTitle());
    EXPECT_EQ(AboutVersion(), std::string("Version ") + KESTROVA_PROJECT_VERSION);
}

TEST(AboutTexts, TheDescriptionSaysWhatIsChecked) {
    EXPECT_EQ(AboutDescription(), "Checks for gaps in video layers and for zero length effects "
                                  "which can cause problems with building movies");
}

} // namespace
} // namespace kestrova
