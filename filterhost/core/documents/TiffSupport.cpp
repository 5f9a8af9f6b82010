#include "core/documents/TiffSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace quillon::filterhost::tiff {
namespace {

// libtiff's last message on this thread, for the failure that follows it.
thread_local char gTiffMessage[256];

void OnTiffError(const char*, const char* format, va_list args) {
    std::vsnprintf(gTiffMessage, sizeof gTiffMessage, format, args);
}

} // namespace

void SilenceTiff() {
    static const bool silenced = [] {
        TIFFSetErrorHandler(OnTiffError);
        TIFFSetWarningHandler(nullptr);
        return true;
    }();
    (void)silenced;
}

HostFailure Broken(const std::filesystem::path& path, const std::string& what) {
    std::string detail = gTiffMessage[0] ? std::string(": ") + gTiffMessage : "";
    gTiffMessage[0] = 0;
    return HostFailure(path.string() + ": " + what + detail);
}

uint16_t ToHostSample(uint16_t photometric, bool chroma, size_t bytes, uint16_t stored) {
    if (bytes == 1) {
        return photometric == PHOTOMETRIC_CIELAB && chroma ? uint16_t(uint8_t(stored ^ 0x80))
                                                           : stored;
    }
    if (!chroma) return FromFile16(stored);
    if (photometric == PHOTOMETRIC_CIELAB)
        return uint16_t(16384 + std::lround(int16_t(stored) / 2.0));
    return uint16_t(std::min(32768L, std::lround(stored * 128.0 / 257.0)));
}

uint16_t ToStoredSample(bool chroma, size_t bytes, uint16_t v) {
    if (bytes == 1) return chroma ? uint16_t(uint8_t(v) ^ 0x80) : v;
    if (!chroma) return ToFile16(v);
    return uint16_t(int16_t(std::clamp((int32_t(v) - 16384) * 2, -32768, 32767)));
}

const SampleScale16& PlainScale() {
    static const SampleScale16 scale(FromFile16, ToFile16);
    return scale;
}
const SampleScale16& CieLabChromaScale() {
    static const SampleScale16 scale(
        [](uint16_t v) { return ToHostSample(PHOTOMETRIC_CIELAB, true, 2, v); },
        [](uint16_t v) { return ToStoredSample(true, 2, v); });
    return scale;
}

} // namespace quillon::filterhost::tiff
