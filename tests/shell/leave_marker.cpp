// Stands in for the System Information tool in the launcher's tests: leaves a marker file, at
// the path given as its argument or beside itself when it has none, and ends.

#include <fstream>
#include <string>

int main(int argc, char** argv) {
    const std::string marker = argc > 1 ? argv[1] : std::string(argv[0]) + ".marker";
    std::ofstream(marker) << "started\n";
    return 0;
}
