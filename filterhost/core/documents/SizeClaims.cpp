#include "core/documents/SizeClaims.h"

#include "core/HostFailure.h"

#include <algorithm>
#include <string>

namespace quillon::filterhost {
namespace {

// The most one stored byte expands to, 0 when the compression has no bound we rely on.
uint64_t ExpansionBound(uint16_t compression) {
    switch (compression) {
    case COMPRESSION_NONE:
        return 1;
    case COMPRESSION_PACKBITS:
        return 64; // a run of 128 bytes in two
    case COMPRESSION_LZW:
        return 4096; // a 12-bit code stands for at most 4096 bytes
    case COMPRESSION_DEFLATE:
    case COMPRESSION_ADOBE_DEFLATE:
        return kMaxDeflateRatio;
    default:
        return 0;
    }
}

} // namespace

void CheckTiffStoredBytes(TIFF* tiff, const std::filesystem::path& path) {
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    const uint64_t ratio = ExpansionBound(compression);
    if (ratio == 0) return;
    const uint32_t units = TIFFIsTiled(tiff) ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    // Tiles are stored whole; strips hold the rows of the picture, the last one perhaps fewer.
    uint64_t claimed = 0;
    if (TIFFIsTiled(tiff)) {
        claimed = Product(uint64_t(TIFFTileSize64(tiff)), units).value_or(UINT64_MAX);
    } else {
        uint32_t height = 0;
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
        const uint64_t rowBytes = uint64_t(TIFFScanlineSize64(tiff));
        uint16_t planar = PLANARCONFIG_CONTIG, samples = 1;
        TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
        TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
        const uint64_t planes = planar == PLANARCONFIG_SEPARATE ? samples : 1;
        claimed =
            Product(Product(rowBytes, height).value_or(UINT64_MAX), planes).value_or(UINT64_MAX);
    }
    if (claimed == 0) return;
    // Summed until the claim is met, so a sound file rarely reads every count; no count is
    // larger than the file.
    std::error_code error;
    const uint64_t fileBytes = std::filesystem::file_size(path, error);
    if (error) return;
    uint64_t stored = 0;
    for (uint32_t i = 0; i < units && !CanHold(stored, ratio, claimed); ++i)
        stored += std::min<uint64_t>(TIFFGetStrileByteCount(tiff, i), fileBytes);
    if (!CanHold(stored, ratio, claimed))
        throw HostFailure(path.string() + ": broken TIFF: " + std::to_string(stored) +
                          " bytes of image data cannot hold the " + std::to_string(claimed) +
                          " bytes of samples the picture claims");
}

} // namespace quillon::filterhost
