// The image codec layer: byte sources, recognition by content, decoding to 24-bit RGB and the
// resampler. Every operation sets the calling thread's last error code (0 on success).
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillon::codec {

// Last error codes.
enum CodecError : int {
    kCodecOk = 0,
    kCodecOutOfMemory = 1,
    kCodecUnrecognised = 2, // also: no source could be made on the handle
    kCodecBadData = 3,      // a read failed, the data ended early or is malformed
    kCodecBadArgument = 5,  // also: a variant the reader does not support
    kCodecBmpBadHeader = 6,
    kCodecGifBad = 12,
    kCodecUnsupportedVariant = 17,
    kCodecPcxBadHeader = 22,
    kCodecPcxUnsupportedDepth = 28,
    kCodecTgaUnsupported = 32,
    kCodecInvalidSource = 38,
    kCodecBadSignature = 46,
    kCodecUnsupportedMode = 47,
    kCodecNotReadable = 52, // recognised, but not a format the generic reader reads
};

// Largest block the layer allocates for one picture; larger requests fail as out of memory.
inline constexpr size_t kMaxImageBytes = 2'147'348'478;

struct ImageSource;

// Reads from caller-owned memory that must outlive the source.
ImageSource* SourceFromMemory(const void* bytes, size_t size);
// Reads from an open file descriptor; closing the source leaves the descriptor open.
ImageSource* SourceFromHandle(int fd);
// Opens a file by name; the only kind whose extension may decide an unrecognised format.
ImageSource* SourceFromFile(const char* path);
void CloseImageSource(ImageSource* source);

// Recognises the format and decodes it at 24 bits per pixel into an RGB image: width x height
// pixels of red, green, blue, rows from the top, no padding. Returns the pixels (and writes width
// and height) only on success; anything else returns null with a non-zero last error. The block
// belongs to the caller and goes back through ReleaseRgbImage.
uint8_t* DecodeImage(ImageSource* source, int32_t* width, int32_t* height);
void ReleaseRgbImage(uint8_t* pixels);

int CodecLastError();

// Nearest-neighbour point sampling, the only mode the layer offers.
inline constexpr int kResampleNearest = 18;

// Scales interleaved pixels (bytesPerPixel each, rows from the top, strides in bytes). Returns
// false with code 5 on a bad argument, leaving the destination untouched.
bool ResampleImage(const uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcStride,
                   uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                   int32_t bytesPerPixel, int32_t mode, uint32_t flags);

} // namespace quillon::codec
