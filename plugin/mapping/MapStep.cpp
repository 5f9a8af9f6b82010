#include "mapping/MapStep.h"

#include <algorithm>
#include <cstdlib>

namespace quillon::mapping {
namespace {

static_assert(sizeof(Color8) == sizeof(engine::ColorRecord8));
static_assert(sizeof(Color16) == sizeof(engine::ColorRecord16));

template <typename Record> bool Moved(const Record& after, const Record& before) {
    constexpr int kTolerance = 1;
    return std::abs(after.c1 - before.c1) > kTolerance ||
           std::abs(after.c2 - before.c2) > kTolerance ||
           std::abs(after.c3 - before.c3) > kTolerance;
}

void Transform(engine::ColorEngine& engine, Color8* records, int32_t count,
               engine::SearchOrder* order) {
    auto* r = reinterpret_cast<engine::ColorRecord8*>(records);
    order ? engine.Transform8(r, count, *order) : engine.Transform8(r, count);
}

void Transform(engine::ColorEngine& engine, Color16* records, int32_t count,
               engine::SearchOrder* order) {
    auto* r = reinterpret_cast<engine::ColorRecord16*>(records);
    order ? engine.Transform16(r, count, *order) : engine.Transform16(r, count);
}

} // namespace

SPErr ConvertRun(const PSColorSpaceSuite1& cs, int16_t from, int16_t to, Color8* records,
                 int32_t count) {
    for (int32_t done = 0; done < count; done += kConvertBatch)
        if (const SPErr error =
                cs.Convert8(from, to, records + done, int16(std::min(kConvertBatch, count - done))))
            return error;
    return kSPNoError;
}

SPErr ConvertRun(const PSColorSpaceSuite1& cs, int16_t from, int16_t to, Color16* records,
                 int32_t count) {
    for (int32_t done = 0; done < count; done += kConvertBatch)
        if (const SPErr error = cs.Convert16(from, to, records + done,
                                             int16(std::min(kConvertBatch, count - done))))
            return error;
    return kSPNoError;
}

MapStep::MapStep(engine::ColorEngine& engine, const PSColorSpaceSuite1& colorSpace, int16_t from,
                 int16_t to, int32_t longestRun, bool eightBitsThrough16)
    : engine_(engine), colorSpace_(colorSpace), from_(from), to_(to),
      ics_(int16_t(engine.IcsCode())), eightBitsThrough16_(eightBitsThrough16) {
    const size_t run = size_t(std::max(longestRun, 0));
    before8_.resize(run);
    before16_.resize(run);
    if (eightBitsThrough16) wide_.resize(run);
}

template <typename Record>
SPErr MapStep::MapRun(Record* records, int32_t count, bool* moved, engine::SearchOrder* order,
                      std::vector<Record>& before) {
    if (from_ != ics_)
        if (const SPErr error = ConvertRun(colorSpace_, from_, ics_, records, count)) return error;
    if (moved) std::copy(records, records + count, before.begin());
    Transform(engine_, records, count, order);
    if (moved)
        for (int32_t i = 0; i < count; ++i)
            moved[i] = Moved(records[i], before[size_t(i)]);
    if (to_ != ics_) return ConvertRun(colorSpace_, ics_, to_, records, count);
    return kSPNoError;
}

SPErr MapStep::Map(Color8* records, int32_t count, bool* moved, engine::SearchOrder* order) {
    if (eightBitsThrough16_) return MapWidened(records, count, moved, order);
    return MapRun(records, count, moved, order, before8_);
}

// Widened and narrowed on the host's own scale between 8 and 16 bits; every sample of a record
// at once.
SPErr MapStep::MapWidened(Color8* records, int32_t count, bool* moved, engine::SearchOrder* order) {
    static_assert(sizeof(Color8) == 4 && sizeof(Color16) == 8);
    constexpr int32_t kRecordsPerCall = kConvertBatch / 4;
    Color16* wide = wide_.data();
    for (int32_t done = 0; done < count; done += kRecordsPerCall) {
        const auto samples = int16(4 * std::min(kRecordsPerCall, count - done));
        if (const SPErr error =
                colorSpace_.Convert8to16(reinterpret_cast<const uint8*>(records + done),
                                         reinterpret_cast<uint16*>(wide + done), samples))
            return error;
    }
    if (const SPErr error = MapRun(wide, count, moved, order, before16_)) return error;
    for (int32_t done = 0; done < count; done += kRecordsPerCall) {
        const auto samples = int16(4 * std::min(kRecordsPerCall, count - done));
        if (const SPErr error =
                colorSpace_.Convert16to8(reinterpret_cast<const uint16*>(wide + done),
                                         reinterpret_cast<uint8*>(records + done), samples))
            return error;
    }
    return kSPNoError;
}

SPErr MapStep::Map(Color16* records, int32_t count, bool* moved, engine::SearchOrder* order) {
    return MapRun(records, count, moved, order, before16_);
}

} // namespace quillon::mapping
