// Rows of a document's interleaved samples mapped in place through a MapStep: every pixel anew,
// or through one of the stores, which map each distinct colour once.
#pragma once

#include "mapping/ColorStores.h"
#include "mapping/MapStep.h"

#include <cstdint>
#include <memory>

namespace quillon::mapping {

// The most pixels one call maps; longer rows are mapped in pieces of this size.
inline constexpr int32_t kRowPixels = 16000;

class RowMapper {
  public:
    virtual ~RowMapper() = default;
    // Maps `count` pixels of samples (8- or 16-bit, as the mapper was made for) in place: three
    // samples a pixel, four in CMYK. A pixel the engine leaves as it was keeps its samples, for a
    // trip through 8-bit Lab and back would move it by a few levels, and through CMYK change its
    // inks, although nothing was asked of it. Returns the host's code of a conversion that failed.
    virtual SPErr MapRow(void* samples, int32_t count) = 0;
};

// The mapper for a pass over a document of `step.From()`'s space at `depth` bits: through the
// indexed store when given (three-channel 8-bit documents), else through the hashed store while it
// pays, else every pixel anew. Its scratch is its own, made once.
std::unique_ptr<RowMapper> MakeRowMapper(MapStep& step, int32_t depth, ColorStore* indexed,
                                         HashedColorStore* hashed);

} // namespace quillon::mapping
