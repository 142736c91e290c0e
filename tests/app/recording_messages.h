#pragma once
// A message display that only writes down what it was asked to show.

#include "app/shell_seams.h"

#include <string>
#include <vector>

namespace kestrova::testing {

class RecordingMessages final : public MessageDisplay {
public:
    void showMessage(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

} // namespace kestrova::testing
