// PNG through libpng. libpng's error callback must not return: it jumps back into RunPng, a
// function that owns no C++ objects.
#include "codec/Readers.h"

#include <csetjmp>
#include <memory>

#include <png.h>

namespace quillon::codec {
namespace {

// Deflate expands at most 1032 times.
constexpr uint64_t kDeflateBytesPerByte = 1032;

struct PngJob {
    png_structp png;
    png_infop info;
    jmp_buf jump;
    ImageSource* source;
    uint64_t sourceBytes;
    uint8_t* pixels; // owned here until handed out
    int32_t width;
    int32_t height;
};

void OnError(png_structp png, png_const_charp) noexcept {
    auto* job = static_cast<PngJob*>(png_get_error_ptr(png));
    std::longjmp(job->jump, 1);
}

void OnWarning(png_structp, png_const_charp) noexcept {}

void ReadData(png_structp png, png_bytep data, size_t length) noexcept {
    auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
    if (!job->source->ReadExact(data, length)) png_error(png, "file ends early");
}

int RunPng(PngJob* job) noexcept {
    job->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, job, OnError, OnWarning);
    if (job->png == nullptr) return kCodecOutOfMemory;
    job->info = png_create_info_struct(job->png);
    if (job->info == nullptr) return kCodecOutOfMemory;
    if (setjmp(job->jump)) return kCodecBadData;

    png_structp png = job->png;
    png_set_read_fn(png, job, ReadData);
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
    png_read_info(png, job->info);

    png_uint_32 width = 0, height = 0;
    int depth = 0, colorType = 0;
    png_get_IHDR(png, job->info, &width, &height, &depth, &colorType, nullptr, nullptr, nullptr);
    if (!FitsBlockLimit(width, height)) return kCodecOutOfMemory;
    uint64_t filteredRow = (uint64_t(width) * png_get_channels(png, job->info) * depth + 7) / 8 + 1;
    if (SatMul(filteredRow, height) > SatMul(job->sourceBytes, kDeflateBytesPerByte) &&
        uint64_t(width) * height > kAlwaysAllowedPixels) {
        return kCodecBadData;
    }

    // To 8-bit RGB: palettes and low-depth grey expanded, 16 bits cut to their high byte, alpha
    // dropped without compositing, the tRNS chunk ignored (expanding a palette turns it into
    // alpha, which is dropped again).
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_palette_to_rgb(png);
        if (png_get_valid(png, job->info, PNG_INFO_tRNS)) png_set_strip_alpha(png);
    }
    if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (depth == 16) png_set_strip_16(png);
    if (colorType & PNG_COLOR_MASK_ALPHA) png_set_strip_alpha(png);
    if (!(colorType & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, job->info);
    if (png_get_rowbytes(png, job->info) != size_t(width) * 3) return kCodecBadData;

    int code = kCodecOk;
    job->pixels = AllocateRgbBlock(width, height, &code);
    if (job->pixels == nullptr) return code;
    job->width = int32_t(width);
    job->height = int32_t(height);
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, job->pixels + size_t(y) * width * 3, nullptr);
        }
    }
    return kCodecOk;
}

} // namespace

int ReadPng(ImageSource& source, DecodedImage& image) {
    auto job = std::make_unique<PngJob>();
    job->source = &source;
    if (!source.Size(&job->sourceBytes)) job->sourceBytes = 0;
    int code = RunPng(job.get());
    png_destroy_read_struct(&job->png, job->info != nullptr ? &job->info : nullptr, nullptr);
    return AdoptRgb(code, job->pixels, job->width, job->height, image);
}

} // namespace quillon::codec
