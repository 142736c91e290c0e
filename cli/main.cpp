#include "cli/kpjcheck.h"
#include "cli/standard_streams.h"

#include <iostream>

int main(int argc, char** argv) {
    kestrova::PrepareStandardStreams();
    return kestrova::RunKpjcheck(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                 std::cerr);
}
