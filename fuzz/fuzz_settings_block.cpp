// Saved-settings blocks come back from the host's storage: any bytes must load, build a mesh
// that covers the colour cube, and transform.
#include "engine/ColorEngine.h"
#include "filter/SettingsBlock.h"

#include <cstddef>
#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto engine = std::make_unique<quillon::engine::ColorEngine>();
    quillon::filter::ReadSettingsBlock({data, size}, *engine);
    quillon::engine::ColorRecord16 colors[64];
    for (int i = 0; i < 64; ++i)
        colors[i] = {0, uint16_t(i * 512), uint16_t((i * 7919) % 32769),
                     uint16_t((i * 104729) % 32769)};
    engine->Transform16(colors, 64);
    return 0;
}
