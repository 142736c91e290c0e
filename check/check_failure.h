#pragma once
// Why a check run could not go on. The message is a complete sentence for the user.

#include <stdexcept>

namespace kestrova {

// The working copy or the project file failed at the file-system level.
class CheckStopped : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The project document lacks what the check reads, or holds a value it cannot use. The message
// says where ("in layer 3, ..."); the check run adds the file's name.
class DocumentProblem : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace kestrova
