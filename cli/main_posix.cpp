#include "check/file_access.h"
#include "cli/kpjcheck.h"
#include "cli/standard_streams.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    kestrova::RemoveListedFilesOnExit();
    kestrova::FailWritesToClosedPipes();
    kestrova::PrepareStandardStreams();
    return kestrova::RunKpjcheck(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                 std::cerr);
}
