// "Colors" text and settings from outside, through parse, rebuild and transform.
//
// Input: one byte of flags (bit 0: Preserve Luminosity; bit 1: also edit the table through the
// dialog's operations; bit 2: take that edit's target from the transformation), the fuzziness as
// text up to ';' (may be "nan", "inf", "-3e38"), then the "Colors" text.

#include "engine/ColorEngine.h"
#include "filter/ColorsText.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace {

using quillon::engine::ColorEngine;
using quillon::engine::ColorRecord16;
using quillon::engine::ColorRecord8;

int32_t Random(void* context) {
    auto* state = static_cast<uint32_t*>(context);
    *state = *state * 1103515245u + 12345u;
    return int32_t((*state >> 1) & 0x7FFFFFFF);
}

void Check(bool condition) {
    if (!condition) std::abort();
}

void TransformGrid(ColorEngine& engine) {
    ColorRecord16 colours16[6 * 6 * 6];
    ColorRecord8 colours8[6 * 6 * 6];
    int n = 0;
    for (int l = 0; l < 6; ++l)
        for (int a = 0; a < 6; ++a)
            for (int b = 0; b < 6; ++b, ++n) {
                colours16[n] = {uint16_t(n), uint16_t(l * 6553), uint16_t(a * 6553 + 3),
                                uint16_t(b == 5 ? 32768 : b * 6553)};
                colours8[n] = {uint8_t(n), uint8_t(l * 51), uint8_t(a * 51), uint8_t(b * 51)};
            }
    engine.Transform16(colours16, n);
    engine.Transform8(colours8, n);
    for (int i = 0; i < n; ++i) {
        Check(colours16[i].c0 == uint16_t(i) && colours8[i].c0 == uint8_t(i));
        Check(colours16[i].c1 <= 32768 && colours16[i].c2 <= 32768 && colours16[i].c3 <= 32768);
        if (engine.PreserveLuminosity()) Check(colours16[i].c1 == (i / 36) * 6553);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const auto engine = std::make_unique<ColorEngine>();
    static const auto reread = std::make_unique<ColorEngine>();
    if (size == 0) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const uint8_t flags = data[0];
    const size_t semicolon = input.find(';', 1);
    float fuzziness = quillon::engine::kDefaultFuzziness;
    std::string_view text = input.substr(1);
    if (semicolon != std::string_view::npos) {
        std::from_chars(input.data() + 1, input.data() + semicolon, fuzziness);
        text = input.substr(semicolon + 1);
    }

    uint32_t state = 1;
    engine->SetRandomSource(Random, &state);
    engine->Reset();
    engine->SetPreserveLuminosity(flags & 1);
    engine->SetFuzziness(fuzziness);
    quillon::filter::ParseColors(*engine, text);
    engine->Rebuild();
    Check(engine->UserCount() <= quillon::engine::kMaxUserAdjustments);
    Check(engine->PointCount() <= quillon::engine::kPointLimit ||
          engine->PointCount() == engine->EntryCount());
    TransformGrid(*engine);

    // What is written reads back to the same text.
    const std::string written = quillon::filter::FormatColors(*engine);
    uint32_t state2 = 1;
    reread->SetRandomSource(Random, &state2);
    reread->Reset();
    Check(bool(quillon::filter::ParseColors(*reread, written)));
    Check(quillon::filter::FormatColors(*reread) == written);

    if (flags & 2) {
        ColorRecord16 colour{0, uint16_t(flags * 128), uint16_t(size * 64), uint16_t(text.size())};
        ColorRecord16 rgb{};
        engine->AddAdjustment(colour, rgb, {1, 2}, (flags & 4) != 0);
        engine->SetTarget(ColorRecord16{0, 100, 200, 300}, rgb, std::nullopt);
        engine->Select(engine->FirstUserIndex());
        engine->RemoveSelected();
        TransformGrid(*engine);
    }
    return 0;
}
