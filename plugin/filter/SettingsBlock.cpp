#include "filter/SettingsBlock.h"

#include <algorithm>
#include <cstring>

namespace quillon::filter {
namespace {

constexpr uint32_t kSignature =
    uint32_t('N') << 24 | uint32_t('Q') << 16 | uint32_t('l') << 8 | 'n';
constexpr uint32_t kVersion = 2;

void Put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}
uint32_t Get16(const uint8_t* p) {
    return uint32_t(p[0] | p[1] << 8);
}
uint32_t Get32(const uint8_t* p) {
    return Get16(p) | Get16(p + 2) << 16;
}

int32_t RecordsThatFit(size_t size) {
    if (size < size_t(kSettingsHeaderSize)) return 0;
    return int32_t(std::min<size_t>((size - kSettingsHeaderSize) / kSettingsRecordSize, 1024));
}

} // namespace

void WriteSettingsBlock(const engine::ColorEngine& engine, std::span<uint8_t> block) {
    if (block.size() < size_t(kSettingsHeaderSize)) return;
    uint8_t* b = block.data();
    const int32_t count = std::min(engine.UserCount(), RecordsThatFit(block.size()));
    Put32(b, kSignature);
    Put32(b + 4, kVersion);
    b[8] = engine.PreserveLuminosity() ? 1 : 0;
    const float f = engine.Fuzziness();
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    Put32(b + 12, bits);
    Put16(b + 16, uint32_t(count));
    for (int32_t i = 0; i < count; ++i) {
        const engine::Adjustment& a = engine.Record(engine.FirstUserIndex() + i);
        uint8_t* r = b + kSettingsHeaderSize + i * kSettingsRecordSize;
        const int32_t* target = a.target;
        for (int c = 0; c < 3; ++c) {
            Put16(r + 2 * c, uint32_t(a.original[c]));
            Put16(r + 6 + 2 * c, uint32_t(target[c]));
        }
        Put32(r + 12, uint32_t(a.documentPosition.h));
        Put32(r + 16, uint32_t(a.documentPosition.v));
        Put32(r + 20, uint32_t(a.samplePosition.h));
        Put32(r + 24, uint32_t(a.samplePosition.v));
        r[28] = a.locked ? 1 : 0;
    }
}

void ReadSettingsBlock(std::span<const uint8_t> block, engine::ColorEngine& engine) {
    engine::ColorEngine::EditBatch batch(engine);
    engine.Reset();
    if (block.size() >= size_t(kSettingsHeaderSize)) {
        const uint8_t* b = block.data();
        engine.SetPreserveLuminosity(b[8] != 0);
        const uint32_t bits = Get32(b + 12);
        float f;
        std::memcpy(&f, &bits, 4);
        engine.SetFuzziness(f);
        const int32_t count =
            std::min<int32_t>(int32_t(Get16(b + 16)), RecordsThatFit(block.size()));
        for (int32_t i = 0; i < count; ++i) {
            const uint8_t* r = b + kSettingsHeaderSize + i * kSettingsRecordSize;
            engine::StoredAdjustment stored;
            for (int c = 0; c < 3; ++c) {
                stored.original[c] = int32_t(Get16(r + 2 * c));
                stored.target[c] = int32_t(Get16(r + 6 + 2 * c));
            }
            stored.document = {int32_t(Get32(r + 12)), int32_t(Get32(r + 16))};
            stored.sample = {int32_t(Get32(r + 20)), int32_t(Get32(r + 24))};
            stored.locked = r[28] != 0;
            if (!engine.LoadAdjustment(stored)) break;
        }
    }
    engine.Rebuild();
}

} // namespace quillon::filter
