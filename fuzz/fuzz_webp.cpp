// WebP files come from anywhere: the host's side of the reader (size checks, the
// decoded plane against the size announced, metadata blocks, the profile) must give a sound
// document or a HostFailure for any bytes.
#include "core/HostFailure.h"
#include "core/documents/ImageFormats.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillon::filterhost;
    const std::vector<uint8_t> bytes(data, data + size);
    try {
        const Document d = DecodeWebp(bytes, 1 << 20, "fuzz");
        if (d.width <= 0 || d.height <= 0 || int64_t(d.width) * d.height > (1 << 20)) std::abort();
        for (const auto& plane : d.planes)
            if (plane.size() != size_t(d.width) * size_t(d.height)) std::abort();
    } catch (const HostFailure&) {
    }
    return 0;
}
