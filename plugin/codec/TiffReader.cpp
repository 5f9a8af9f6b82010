// TIFF through libtiff's RGBA interface: the first image, in bands so that only one band of
// 32-bit pixels is held besides the result. libtiff's messages go to handlers that say nothing.
#include "codec/Readers.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include <sys/mman.h>
#include <tiffio.h>

namespace quillon::codec {
namespace {

// What LZW, Deflate or JPEG could expand one stored byte into, with room to spare.
constexpr uint64_t kTiffBytesPerByte = 4096;
// Largest single allocation libtiff may make for one file (strips, tiles, tables).
constexpr tmsize_t kTiffMaxAlloc = tmsize_t{256} << 20;
// Pixels converted per call of the RGBA interface.
constexpr uint64_t kBandPixels = uint64_t{1} << 20;

int Silent(TIFF*, void*, const char*, const char*, va_list) noexcept {
    return 1;
}

ImageSource& SourceOf(thandle_t handle) {
    return *static_cast<ImageSource*>(handle);
}

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t size) noexcept {
    if (size <= 0) return 0;
    return tmsize_t(SourceOf(handle).ReadUpTo(buffer, size_t(size)));
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) noexcept {
    return -1;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) noexcept {
    ImageSource& source = SourceOf(handle);
    if (offset > toff_t(INT64_MAX) && whence == SEEK_SET) return toff_t(-1);
    if (!source.Seek(int64_t(offset), whence)) return toff_t(-1);
    return source.Tell();
}

int CloseProc(thandle_t) noexcept {
    return 0;
}

toff_t SizeProc(thandle_t handle) noexcept {
    uint64_t size = 0;
    return SourceOf(handle).Size(&size) ? size : 0;
}

// Memory sources are handed to libtiff as they are, which spares it copying strips; files are
// mapped. Both matter: libtiff reads uncompressed tiles of a file it has not mapped into a buffer
// rounded up to 1 KiB, then refuses them for not being the tile's size.
int MapProc(thandle_t handle, void** base, toff_t* size) noexcept {
    ImageSource& source = SourceOf(handle);
    if (source.kind == ImageSource::Kind::Memory) {
        *base = const_cast<uint8_t*>(source.bytes);
        *size = source.byteCount;
        return 1;
    }
    uint64_t bytes = 0;
    if (!source.Size(&bytes) || bytes == 0 || bytes > SIZE_MAX) return 0;
    void* mapped = mmap(nullptr, size_t(bytes), PROT_READ, MAP_PRIVATE, source.fd, 0);
    if (mapped == MAP_FAILED) return 0;
    *base = mapped;
    *size = bytes;
    return 1;
}

void UnmapProc(thandle_t handle, void* base, toff_t size) noexcept {
    if (SourceOf(handle).kind != ImageSource::Kind::Memory) munmap(base, size_t(size));
}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};

int DecodeFirstImage(TIFF* tif, uint64_t sourceBytes, DecodedImage& image) {
    char message[1024];
    if (!TIFFRGBAImageOK(tif, message)) return kCodecBadData;
    // Extra samples are declared unspecified so that libtiff does not premultiply colours by an
    // alpha channel we are going to drop.
    uint16_t extraCount = 0;
    uint16_t* extraTypes = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes) && extraCount > 0) {
        std::vector<uint16_t> unspecified(extraCount, EXTRASAMPLE_UNSPECIFIED);
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, extraCount, unspecified.data());
    }
    TIFFRGBAImage rgba{};
    if (!TIFFRGBAImageBegin(&rgba, tif, 1, message)) return kCodecBadData;
    std::unique_ptr<TIFFRGBAImage, void (*)(TIFFRGBAImage*)> end(&rgba, TIFFRGBAImageEnd);
    rgba.req_orientation = ORIENTATION_TOPLEFT;

    const uint64_t width = rgba.width, height = rgba.height;
    if (width == 0 || height == 0) return kCodecBadData;
    if (!FitsBlockLimit(width, height)) return kCodecOutOfMemory;
    uint64_t storedBits = SatMul(SatMul(width * height, rgba.samplesperpixel), rgba.bitspersample);
    if (width * height > kAlwaysAllowedPixels &&
        storedBits / 8 > SatMul(sourceBytes, kTiffBytesPerByte)) {
        return kCodecBadData;
    }
    int code = AllocateRgb(int64_t(width), int64_t(height), image);
    if (code != kCodecOk) return code;

    const uint32_t bandRows = uint32_t(std::clamp<uint64_t>(kBandPixels / width, 1, height));
    std::vector<uint32_t> band(size_t(width) * bandRows);
    uint8_t* out = image.pixels.get();
    for (uint32_t y = 0; y < height; y += bandRows) {
        uint32_t rows = uint32_t(std::min<uint64_t>(bandRows, height - y));
        rgba.row_offset = int(y);
        rgba.col_offset = 0;
        if (!TIFFRGBAImageGet(&rgba, band.data(), uint32_t(width), rows)) {
            image = DecodedImage{};
            return kCodecBadData;
        }
        for (size_t i = 0, n = size_t(width) * rows; i < n; ++i, out += 3) {
            out[0] = uint8_t(TIFFGetR(band[i]));
            out[1] = uint8_t(TIFFGetG(band[i]));
            out[2] = uint8_t(TIFFGetB(band[i]));
        }
    }
    return kCodecOk;
}

} // namespace

int ReadTiff(ImageSource& source, DecodedImage& image) {
    uint64_t sourceBytes = 0;
    if (!source.Size(&sourceBytes)) return kCodecBadData;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr) return kCodecOutOfMemory;
    TIFFOpenOptionsSetErrorHandlerExtR(options, Silent, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, Silent, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kTiffMaxAlloc);
    std::unique_ptr<TIFF, TiffCloser> tif(TIFFClientOpenExt("sample", "r", &source, ReadProc,
                                                            WriteProc, SeekProc, CloseProc,
                                                            SizeProc, MapProc, UnmapProc, options));
    TIFFOpenOptionsFree(options);
    if (tif == nullptr) return kCodecBadData;
    return DecodeFirstImage(tif.get(), sourceBytes, image);
}

} // namespace quillon::codec
