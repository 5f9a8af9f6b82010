// PNG documents through libpng: RGB at 8 or 16 bits; grey and palettes open as RGB.
#include "core/HostFailure.h"
#include "core/documents/ImageFiles.h"
#include "core/documents/ImageFormats.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace quillon::filterhost {
namespace {

struct PngHeader {
    png_uint_32 width, height;
    int bitDepth, channels;
    png_bytep icc;
    png_uint_32 iccLength;
};

struct PngErrors {
    char message[200];
};

void OnPngError(png_structp png, png_const_charp message) {
    auto* errors = static_cast<PngErrors*>(png_get_error_ptr(png));
    std::snprintf(errors->message, sizeof errors->message, "%s", message);
    longjmp(png_jmpbuf(png), 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// libpng leaves through longjmp on errors: these functions own no C++ objects.
bool ReadPngHeader(png_structp png, png_infop info, FILE* file, PngHeader* header) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_user_limits(png, 1u << 20, 1u << 20);
    png_read_info(png, info);
    int colorType = png_get_color_type(png, info);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        if (png_get_bit_depth(png, info) < 8) png_set_expand_gray_1_2_4_to_8(png);
        png_set_gray_to_rgb(png);
    }
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (png_get_bit_depth(png, info) == 16) png_set_swap(png);
    png_read_update_info(png, info);
    header->width = png_get_image_width(png, info);
    header->height = png_get_image_height(png, info);
    header->bitDepth = png_get_bit_depth(png, info);
    header->channels = png_get_channels(png, info);
    header->icc = nullptr;
    header->iccLength = 0;
    png_charp name;
    int compression;
    if (png_get_iCCP(png, info, &name, &compression, &header->icc, &header->iccLength) == 0)
        header->icc = nullptr;
    return true;
}

bool ReadPngRows(png_structp png, png_infop info, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    png_read_end(png, info);
    return true;
}

bool WritePngAll(png_structp png, png_infop info, FILE* file, const PngHeader* header,
                 png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, header->width, header->height, header->bitDepth,
                 header->channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (header->icc)
        png_set_iCCP(png, info, "ICC profile", PNG_COMPRESSION_TYPE_BASE, header->icc,
                     header->iccLength);
    png_write_info(png, info);
    if (header->bitDepth == 16) png_set_swap(png);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

File Open(const std::filesystem::path& path, const char* mode) {
    File f(std::fopen(path.c_str(), mode));
    if (!f) throw HostFailure("cannot open " + path.string() + ": " + std::strerror(errno));
    return f;
}

} // namespace

Document ReadPng(const std::filesystem::path& path, int64_t maxPixels) {
    File file = Open(path, "rb");
    PngErrors errors{};
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &errors, OnPngError, OnPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        throw HostFailure("out of memory reading " + path.string());
    }
    struct Release {
        png_structp* png;
        png_infop* info;
        ~Release() { png_destroy_read_struct(png, info, nullptr); }
    } release{&png, &info};

    PngHeader header{};
    if (!ReadPngHeader(png, info, file.get(), &header))
        throw HostFailure(path.string() + ": broken PNG: " + errors.message);
    if (int64_t(header.width) * header.height > maxPixels)
        throw HostFailure(path.string() + ": picture too large");
    Document d = MakeDocument(ColorMode::RGB, header.bitDepth == 16 ? 16 : 8, int32_t(header.width),
                              int32_t(header.height), header.channels == 4);
    if (header.icc) d.iccProfile.assign(header.icc, header.icc + header.iccLength);

    const size_t bytesPerSample = header.bitDepth == 16 ? 2 : 1;
    const size_t rowBytes = size_t(header.width) * size_t(header.channels) * bytesPerSample;
    std::vector<uint8_t> pixels(rowBytes * header.height);
    std::vector<png_bytep> rows(header.height);
    for (size_t y = 0; y < header.height; ++y)
        rows[y] = pixels.data() + y * rowBytes;
    if (!ReadPngRows(png, info, rows.data()))
        throw HostFailure(path.string() + ": broken PNG: " + errors.message);

    for (int32_t y = 0; y < d.height; ++y) {
        const uint8_t* row = rows[size_t(y)];
        for (int32_t x = 0; x < d.width; ++x)
            for (int c = 0; c < header.channels; ++c) {
                const size_t at =
                    (size_t(x) * size_t(header.channels) + size_t(c)) * bytesPerSample;
                uint16_t v = row[at];
                if (bytesPerSample == 2) {
                    uint16_t raw;
                    std::memcpy(&raw, row + at, 2);
                    v = FromFile16(raw);
                }
                d.At(c, x, y) = v;
            }
    }
    return d;
}

void WritePng(const Document& d, const std::filesystem::path& path) {
    if (d.mode != ColorMode::RGB)
        throw HostFailure(std::string("PNG cannot hold ") + ModeName(d.mode) +
                          " documents; use TIFF");
    File file = Open(path, "wb");
    PngErrors errors{};
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &errors, OnPngError, OnPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        throw HostFailure("out of memory writing " + path.string());
    }
    struct Release {
        png_structp* png;
        png_infop* info;
        ~Release() { png_destroy_write_struct(png, info); }
    } release{&png, &info};

    const int channels = d.hasAlpha ? 4 : 3;
    const size_t bytesPerSample = d.depth == 16 ? 2 : 1;
    const size_t rowBytes = size_t(d.width) * size_t(channels) * bytesPerSample;
    std::vector<uint8_t> pixels(rowBytes * size_t(d.height));
    std::vector<png_bytep> rows(size_t(d.height));
    for (int32_t y = 0; y < d.height; ++y) {
        uint8_t* row = rows[size_t(y)] = pixels.data() + size_t(y) * rowBytes;
        for (int32_t x = 0; x < d.width; ++x)
            for (int c = 0; c < channels; ++c) {
                const size_t at = (size_t(x) * size_t(channels) + size_t(c)) * bytesPerSample;
                if (bytesPerSample == 2) {
                    uint16_t raw = ToFile16(d.At(c, x, y));
                    std::memcpy(row + at, &raw, 2);
                } else {
                    row[at] = uint8_t(d.At(c, x, y));
                }
            }
    }
    std::vector<uint8_t> icc = d.iccProfile;
    PngHeader header{png_uint_32(d.width),
                     png_uint_32(d.height),
                     d.depth,
                     channels,
                     icc.empty() ? nullptr : icc.data(),
                     png_uint_32(icc.size())};
    if (!WritePngAll(png, info, file.get(), &header, rows.data()))
        throw HostFailure("cannot write " + path.string() + ": " + errors.message);
    if (std::fflush(file.get()) != 0)
        throw HostFailure("cannot write " + path.string() + ": " + std::strerror(errno));
}

} // namespace quillon::filterhost
