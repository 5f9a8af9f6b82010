// Palettes come from files people keep and programs write: any bytes must give named colours
// within the limits, each name printable and each file-safe name free of '/' and "..", or fail
// with a HostFailure.
#include "core/HostFailure.h"
#include "core/looks/PaletteFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillon::filterhost;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const auto colors = ParsePaletteFile(text, "palette");
        if (colors.empty() || colors.size() > kMaxPaletteEntries) std::abort();
        for (const NamedColor& c : colors) {
            if (c.name.empty() || c.name.size() > kMaxColorName) std::abort();
            if (c.color.kind == WrittenColor::Kind::Pixel) std::abort();
            const std::string safe = FileSafeName(c.name);
            if (safe.empty() || safe.find('/') != std::string::npos || safe.front() == '.' ||
                safe == "..")
                std::abort();
        }
    } catch (const HostFailure&) {
    }
    return 0;
}
