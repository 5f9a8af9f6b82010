#include "codec/CodecState.h"
#include "codec/ImageCodec.h"

#include <cstring>
#include <vector>

namespace quillon::codec {

bool ResampleImage(const uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcStride,
                   uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                   int32_t bytesPerPixel, int32_t mode, uint32_t /*flags*/) {
    // Only point sampling exists; the filtered modes below it were never needed.
    if (mode != kResampleNearest || src == nullptr || dst == nullptr || srcWidth <= 0 ||
        srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0 || bytesPerPixel <= 0 ||
        int64_t{srcStride} < int64_t{srcWidth} * bytesPerPixel ||
        int64_t{dstStride} < int64_t{dstWidth} * bytesPerPixel) {
        SetCodecError(kCodecBadArgument);
        return false;
    }
    if (srcWidth == dstWidth && srcHeight == dstHeight && srcStride == dstStride) {
        std::memcpy(dst, src, size_t(srcHeight) * size_t(srcStride));
        SetCodecError(kCodecOk);
        return true;
    }

    // Products are formed in 64 bits: i x srcWidth overflows 32 bits for wide pictures.
    std::vector<size_t> columns(static_cast<size_t>(dstWidth));
    for (size_t i = 0; i < columns.size(); ++i) {
        columns[i] =
            size_t(uint64_t(i) * uint64_t(srcWidth) / uint64_t(dstWidth)) * size_t(bytesPerPixel);
    }
    std::vector<size_t> rows(static_cast<size_t>(dstHeight));
    for (size_t j = 0; j < rows.size(); ++j) {
        rows[j] =
            size_t(uint64_t(j) * uint64_t(srcHeight) / uint64_t(dstHeight)) * size_t(srcStride);
    }

    const size_t bpp = size_t(bytesPerPixel);
    for (size_t j = 0; j < rows.size(); ++j) {
        const uint8_t* srcRow = src + rows[j];
        uint8_t* out = dst + j * size_t(dstStride);
        if (bpp == 3) {
            for (size_t col : columns) {
                out[0] = srcRow[col];
                out[1] = srcRow[col + 1];
                out[2] = srcRow[col + 2];
                out += 3;
            }
        } else {
            for (size_t col : columns) {
                std::memcpy(out, srcRow + col, bpp);
                out += bpp;
            }
        }
    }
    SetCodecError(kCodecOk);
    return true;
}

} // namespace quillon::codec
