// One step of mapping colours through the transformation: a run of colour records of one host
// colour space into the engine's space, through the engine, and out into a colour space of the
// caller's, noting which records the engine moved. The filtering pass and the dialog's preview
// both map through it.
#pragma once

#include "engine/ColorEngine.h"
#include "pluginapi/PIColorSpace.h"

#include <cstdint>
#include <vector>

namespace quillon::mapping {

// The host converts at most this many records per call.
inline constexpr int32_t kConvertBatch = 32767;

class MapStep {
  public:
    // `from` is the records' colour space, `to` the one they leave in; `longestRun` the most
    // records one call maps, for the scratch the step keeps. With `eightBitsThrough16`, 8-bit
    // records are widened to the 16-bit scale, converted and mapped at 16 bits and rounded once
    // at the end: a trip through 8-bit Lab merges neighbouring colours and bands smooth
    // gradients.
    MapStep(engine::ColorEngine& engine, const PSColorSpaceSuite1& colorSpace, int16_t from,
            int16_t to, int32_t longestRun, bool eightBitsThrough16 = false);

    // Maps the records in place with the caller's search order (the engine's own when null).
    // `moved`, when given, says for each record whether the engine changed it: a change of one
    // unit is the engine's truncation of an identity (an 8-bit value v enters as 128v and may come
    // back as 128v - 1), not an adjustment. Returns the host's code of a conversion that failed,
    // which leaves the records part converted.
    SPErr Map(Color8* records, int32_t count, bool* moved, engine::SearchOrder* order);
    SPErr Map(Color16* records, int32_t count, bool* moved, engine::SearchOrder* order);

    int16_t From() const { return from_; }

  private:
    template <typename Record>
    SPErr MapRun(Record* records, int32_t count, bool* moved, engine::SearchOrder* order,
                 std::vector<Record>& before);

    engine::ColorEngine& engine_;
    const PSColorSpaceSuite1& colorSpace_;
    SPErr MapWidened(Color8* records, int32_t count, bool* moved, engine::SearchOrder* order);

    int16_t from_, to_, ics_;
    bool eightBitsThrough16_;
    std::vector<Color8> before8_;
    std::vector<Color16> before16_;
    std::vector<Color16> wide_;
};

// Converts records between two host colour spaces in batches the host takes.
SPErr ConvertRun(const PSColorSpaceSuite1& colorSpace, int16_t from, int16_t to, Color8* records,
                 int32_t count);
SPErr ConvertRun(const PSColorSpaceSuite1& colorSpace, int16_t from, int16_t to, Color16* records,
                 int32_t count);

} // namespace quillon::mapping
