// Writes the about box's template, marked for the template parser, as a seed of its fuzzer.
#include "resources/DialogResources.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) return 1;
    const auto bytes = quillon::resources::BuildAboutDialog();
    std::fputc(0, out);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    return std::fclose(out) == 0 ? 0 : 1;
}
