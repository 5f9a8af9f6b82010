// Writes the module's own terminology as a seed for the terminology fuzzer.
#include "resources/PluginResources.h"

#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const auto bytes = quillon::resources::BuildTerminology();
    std::ofstream(argv[1], std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return 0;
}
