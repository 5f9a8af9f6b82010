// "Colors" texts come from the command line, action files and scripts: any text must be read
// whole or refused with a position inside it, and a text that is read counts no more moves than
// items.
#include "core/HostFailure.h"
#include "core/looks/ColorsText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillon::filterhost;
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const ColorsSummary summary = CheckColorsText(text);
        if (summary.moves < 0 || summary.moves > summary.items) std::abort();
    } catch (const HostFailure& e) {
        const std::string what = e.what();
        const size_t at = what.find("at character ");
        if (at == std::string::npos) std::abort();
        const long position = std::strtol(what.c_str() + at + 13, nullptr, 10);
        if (position < 1 || size_t(position) > size + 1) std::abort();
    }
    return 0;
}
