// Writes a settings file as the host keeps it, a 32788-byte cell faded to 40 %, as a seed for the
// settings file fuzzer: a checksum is not found by chance.
#include "core/actions/StoredSettings.h"

#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    quillon::filterhost::StoredSettings settings;
    settings.cell.resize(32788);
    for (size_t i = 0; i < settings.cell.size(); ++i)
        settings.cell[i] = uint8_t(i * 7);
    settings.amount = 40;
    const std::string bytes = quillon::filterhost::FormatStoredSettings(settings);
    std::ofstream(argv[1], std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return 0;
}
