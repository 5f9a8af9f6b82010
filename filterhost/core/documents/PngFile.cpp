// PNG documents through libpng: RGB at 8 or 16 bits; grey and palettes open as RGB. Resolution,
// EXIF, XMP and the colour profile travel along.
#include "core/HostFailure.h"
#include "core/documents/ImageFiles.h"
#include "core/documents/ImageFormats.h"
#include "core/documents/PngImageData.h"
#include "core/documents/SizeClaims.h"

#include <png.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace quillon::filterhost {
namespace {

constexpr char kXmpKeyword[] = "XML:com.adobe.xmp";
constexpr double kMetresPerInch = 0.0254;
// Largest ancillary chunk libpng may inflate (compressed profiles and text).
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t{32} << 20;

// Walks the chunk headers: a chunk that claims more bytes than the file has left is refused
// before libpng allocates for it (its own limit does not cover text chunks). Returns the bytes of
// compressed image data (IDAT), the most when the size of the file is unknown.
uint64_t CheckChunkLengths(FILE* file, const std::filesystem::path& path) {
    std::error_code error;
    const uint64_t size = std::filesystem::file_size(path, error);
    if (error) return UINT64_MAX;
    uint64_t at = 8, imageData = 0;
    uint8_t header[8];
    while (at + 12 <= size && std::fseek(file, long(at), SEEK_SET) == 0 &&
           std::fread(header, 1, 8, file) == 8) {
        const uint64_t length = uint64_t(header[0]) << 24 | uint64_t(header[1]) << 16 |
                                uint64_t(header[2]) << 8 | header[3];
        if (length > size - at - 12)
            throw HostFailure(path.string() + ": broken PNG: a chunk of " + std::to_string(length) +
                              " bytes in a file of " + std::to_string(size));
        if (std::memcmp(header + 4, "IEND", 4) == 0) break;
        if (std::memcmp(header + 4, "IDAT", 4) == 0) imageData += length;
        at += 12 + length;
    }
    std::rewind(file);
    return imageData;
}

struct PngHeader {
    png_uint_32 width, height;
    int bitDepth, channels;
    bool grey;
    int storedBits; // per pixel in the file, before expansion
};

// Filled before a write; pointers stay valid for the write.
struct PngExtras {
    png_bytep icc = nullptr;
    png_uint_32 iccLength = 0;
    png_bytep exif = nullptr;
    png_uint_32 exifLength = 0;
    png_charp xmp = nullptr;
    size_t xmpLength = 0;
    png_uint_32 xPerUnit = 0, yPerUnit = 0;
    int unit = PNG_RESOLUTION_UNKNOWN;
};

struct PngErrors {
    char message[200];
    const CancelCheck* cancel;
    bool cancelled;
    char profileRefused[200]; // why libpng dropped the file's colour profile, if it did
};

void OnPngError(png_structp png, png_const_charp message) {
    auto* errors = static_cast<PngErrors*>(png_get_error_ptr(png));
    std::snprintf(errors->message, sizeof errors->message, "%s", message);
    longjmp(png_jmpbuf(png), 1);
}

// libpng drops a colour profile it finds unfit with a warning only; the user hears of it.
void OnPngWarning(png_structp png, png_const_charp message) {
    auto* errors = static_cast<PngErrors*>(png_get_error_ptr(png));
    if (std::strncmp(message, "iCCP", 4) == 0 && !errors->profileRefused[0])
        std::snprintf(errors->profileRefused, sizeof errors->profileRefused, "%s", message);
}

// Called after every row read: the way out when the user cancels.
void OnPngRow(png_structp png, png_uint_32, int) {
    auto* errors = static_cast<PngErrors*>(png_get_error_ptr(png));
    if (errors->cancel && *errors->cancel && (*errors->cancel)()) {
        errors->cancelled = true;
        png_error(png, "cancelled");
    }
}

// Between libpng's rows, the samples are moved to and from the planes: a look at the interrupt
// every 16 rows keeps a cancel prompt however large the picture.
void CheckCancel(const CancelCheck& cancel, int32_t row) {
    if (row % 16 == 0 && cancel && cancel()) throw Cancelled();
}

// libpng leaves through longjmp on errors: these functions own no C++ objects.
bool ReadPngHeader(png_structp png, png_infop info, FILE* file, PngHeader* header) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_user_limits(png, 1u << 20, 1u << 20);
    png_set_chunk_malloc_max(png, kMaxChunkBytes);
    png_set_read_status_fn(png, OnPngRow);
    png_read_info(png, info);
    header->storedBits = png_get_bit_depth(png, info) * png_get_channels(png, info);
    int colorType = png_get_color_type(png, info);
    header->grey = colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA;
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (header->grey) {
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
    return true;
}

bool ReadPngRows(png_structp png, png_infop info, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    png_read_end(png, info);
    return true;
}

// Everything before the image data: signature, header and what travels beside the pixels.
bool WritePngHead(png_structp png, png_infop info, FILE* file, const PngHeader* header,
                  const PngExtras* extras) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    // Many real pictures carry an sRGB profile libpng knows to be slightly off (the HP one); it
    // is the picture's own profile, so it is kept as it came.
    png_set_option(png, PNG_SKIP_sRGB_CHECK_PROFILE, PNG_OPTION_ON);
    png_set_IHDR(png, info, header->width, header->height, header->bitDepth,
                 header->channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (extras->icc)
        png_set_iCCP(png, info, "ICC profile", PNG_COMPRESSION_TYPE_BASE, extras->icc,
                     extras->iccLength);
    if (extras->exif) png_set_eXIf_1(png, info, extras->exifLength, extras->exif);
    if (extras->xPerUnit && extras->yPerUnit)
        png_set_pHYs(png, info, extras->xPerUnit, extras->yPerUnit, extras->unit);
    if (extras->xmp) {
        png_text text{};
        text.compression = PNG_ITXT_COMPRESSION_NONE;
        text.key = const_cast<png_charp>(kXmpKeyword);
        text.text = extras->xmp;
        text.itxt_length = extras->xmpLength;
        png_set_text(png, info, &text, 1);
    }
    png_write_info(png, info);
    return true;
}

// The image data is filtered and compressed by our own threads, so libpng writes it, and the end
// of the file, as plain chunks.
bool WritePngChunk(png_structp png, const char* name, const uint8_t* data, size_t length) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_write_chunk(png, reinterpret_cast<png_const_bytep>(name), data, length);
    return true;
}

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

File Open(const std::filesystem::path& path, const std::filesystem::path& shown, const char* mode) {
    File f(std::fopen(path.c_str(), mode));
    if (!f) throw HostFailure("cannot open " + shown.string() + ": " + std::strerror(errno));
    return f;
}

// What the file says beside its pixels, once the whole file has been read.
void ReadExtras(png_structp png, png_infop info, Document& d, const PngHeader& header) {
    png_uint_32 x = 0, y = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &x, &y, &unit) && x && y) {
        const bool metres = unit == PNG_RESOLUTION_METER;
        d.metadata.xResolution = metres ? x / 100.0 : x;
        d.metadata.yResolution = metres ? y / 100.0 : y;
        d.metadata.resolutionUnit = metres ? ResolutionUnit::Centimetre : ResolutionUnit::None;
    }
    png_bytep exif = nullptr;
    png_uint_32 exifLength = 0;
    if (png_get_eXIf_1(png, info, &exifLength, &exif) && exif) {
        d.metadata.exif.assign(exif, exif + exifLength);
        d.metadata.orientation = ExifOrientation(d.metadata.exif);
    }
    png_textp texts = nullptr;
    const int count = png_get_text(png, info, &texts, nullptr);
    for (int i = 0; i < count; ++i)
        if (std::strcmp(texts[i].key, kXmpKeyword) == 0 && texts[i].text)
            d.metadata.xmp.assign(texts[i].text, texts[i].compression >= PNG_ITXT_COMPRESSION_NONE
                                                     ? texts[i].itxt_length
                                                     : texts[i].text_length);
    png_charp name;
    int compression;
    png_bytep icc = nullptr;
    png_uint_32 iccLength = 0;
    if (png_get_iCCP(png, info, &name, &compression, &icc, &iccLength) && icc)
        SettleProfile(d, std::vector<uint8_t>(icc, icc + iccLength), header.grey);
}

} // namespace

Document ReadPng(const std::filesystem::path& path, int64_t maxPixels, const CancelCheck& cancel) {
    File file = Open(path, path, "rb");
    const uint64_t imageData = CheckChunkLengths(file.get(), path);
    PngErrors errors{{}, &cancel, false, {}};
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
    const std::string size = std::to_string(header.width) + " x " + std::to_string(header.height);
    if (!PixelsWithin(header.width, header.height, maxPixels))
        throw HostFailure(path.string() + ": picture too large (" + size + ")");
    // The filtered rows inflate from the image data; a claim it cannot hold is refused before
    // the document is allocated.
    const uint64_t storedBytes =
        uint64_t(header.width) * header.height / 8 * uint64_t(header.storedBits);
    if (!CanHold(imageData, kMaxDeflateRatio, storedBytes))
        throw HostFailure(path.string() + ": broken PNG: " + std::to_string(imageData) +
                          " bytes of image data cannot hold a picture of " + size);
    Document d = MakeDocument(ColorMode::RGB, header.bitDepth == 16 ? 16 : 8, int32_t(header.width),
                              int32_t(header.height), header.channels == 4);

    const size_t bytesPerSample = header.bitDepth == 16 ? 2 : 1;
    const size_t rowBytes = size_t(header.width) * size_t(header.channels) * bytesPerSample;
    std::vector<uint8_t> pixels(rowBytes * header.height);
    std::vector<png_bytep> rows(header.height);
    for (size_t y = 0; y < header.height; ++y)
        rows[y] = pixels.data() + y * rowBytes;
    if (!ReadPngRows(png, info, rows.data())) {
        if (errors.cancelled) throw Cancelled();
        throw HostFailure(path.string() + ": broken PNG: " + errors.message);
    }

    const size_t channels = size_t(header.channels);
    if (bytesPerSample == 1) {
        for (int32_t y = 0; y < d.height; ++y) {
            CheckCancel(cancel, y);
            const uint8_t* row = rows[size_t(y)];
            for (size_t c = 0; c < channels; ++c) {
                uint16_t* to = d.planes[c].data() + size_t(y) * size_t(d.width);
                for (int32_t x = 0; x < d.width; ++x)
                    to[x] = row[size_t(x) * channels + c];
            }
        }
    } else {
        static const SampleScale16 scale(FromFile16, ToFile16);
        std::vector<uint16_t> stored(size_t(d.width) * channels);
        for (int32_t y = 0; y < d.height; ++y) {
            CheckCancel(cancel, y);
            std::memcpy(stored.data(), rows[size_t(y)], stored.size() * 2);
            const size_t from = size_t(y) * size_t(d.width);
            for (size_t c = 0; c < channels; ++c) {
                uint16_t* to = d.planes[c].data() + from;
                for (int32_t x = 0; x < d.width; ++x)
                    to[x] = scale.Read(stored[size_t(x) * channels + c]);
                KeepOffsets(d, c, from, stored.data() + c, size_t(d.width), channels, scale);
            }
        }
    }
    ReadExtras(png, info, d, header);
    if (errors.profileRefused[0] && d.iccProfile.empty())
        d.notes.push_back(std::string("its colour profile cannot be used (") +
                          errors.profileRefused + "); it is left out");
    return d;
}

void WritePng(const Document& d, const std::filesystem::path& path,
              const std::filesystem::path& shown, const CancelCheck& cancel) {
    if (d.mode != ColorMode::RGB)
        throw HostFailure("cannot write " + shown.string() + ": PNG cannot hold " +
                          ModeName(d.mode) + " documents; use TIFF");
    File file = Open(path, shown, "wb");
    PngErrors errors{{}, &cancel, false, {}};
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &errors, OnPngError, OnPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        throw HostFailure("out of memory writing " + shown.string());
    }
    struct Release {
        png_structp* png;
        png_infop* info;
        ~Release() { png_destroy_write_struct(png, info); }
    } release{&png, &info};

    std::vector<uint8_t> icc = d.iccProfile;
    const Metadata& m = d.metadata;
    std::vector<uint8_t> exif = ExifWithOrientation(m.exif, m.orientation);
    std::string xmp = m.xmp;
    PngExtras extras;
    if (!icc.empty()) extras.icc = icc.data(), extras.iccLength = png_uint_32(icc.size());
    if (!exif.empty()) extras.exif = exif.data(), extras.exifLength = png_uint_32(exif.size());
    if (!xmp.empty()) extras.xmp = xmp.data(), extras.xmpLength = xmp.size();
    if (m.xResolution > 0 && m.yResolution > 0) {
        const double perMetre = m.resolutionUnit == ResolutionUnit::Inch ? 1 / kMetresPerInch
                                : m.resolutionUnit == ResolutionUnit::Centimetre ? 100
                                                                                 : 1;
        extras.xPerUnit = png_uint_32(std::lround(std::min(m.xResolution * perMetre, 2e9)));
        extras.yPerUnit = png_uint_32(std::lround(std::min(m.yResolution * perMetre, 2e9)));
        extras.unit = m.resolutionUnit == ResolutionUnit::None ? PNG_RESOLUTION_UNKNOWN
                                                               : PNG_RESOLUTION_METER;
    }
    const int channels = d.hasAlpha ? 4 : 3;
    PngHeader header{png_uint_32(d.width), png_uint_32(d.height), d.depth, channels, false, 0};
    const auto failed = [&] {
        return HostFailure("cannot write " + shown.string() + ": " + errors.message);
    };
    if (!WritePngHead(png, info, file.get(), &header, &extras)) throw failed();

    // Rows as the file stores them: samples interleaved, 16-bit ones big-endian.
    const size_t bytesPerSample = d.depth == 16 ? 2 : 1;
    const size_t pixelBytes = size_t(channels) * bytesPerSample;
    static const SampleScale16 scale(FromFile16, ToFile16);
    const StoredRow stored = [&d, channels, pixelBytes](int32_t y, uint8_t* row) {
        const size_t from = size_t(y) * size_t(d.width);
        for (size_t c = 0; c < size_t(channels); ++c) {
            const uint16_t* plane = d.planes[c].data() + from;
            if (pixelBytes == size_t(channels)) {
                for (int32_t x = 0; x < d.width; ++x)
                    row[size_t(x) * pixelBytes + c] = uint8_t(plane[x]);
                continue;
            }
            const int8_t* offsets = c < d.fileOffsets.size() && !d.fileOffsets[c].empty()
                                        ? d.fileOffsets[c].data() + from
                                        : nullptr;
            for (int32_t x = 0; x < d.width; ++x) {
                const uint16_t raw = scale.Write(plane[x], offsets ? offsets[x] : 0);
                uint8_t* at = row + size_t(x) * pixelBytes + 2 * c;
                at[0] = uint8_t(raw >> 8);
                at[1] = uint8_t(raw);
            }
        }
    };
    const ImageDataShape shape{d.height, size_t(d.width) * pixelBytes, pixelBytes};
    CompressImageData(
        shape, stored,
        [&](const uint8_t* bytes, size_t count) {
            if (!WritePngChunk(png, "IDAT", bytes, count)) throw failed();
        },
        cancel, ImageDataLevel(d.depth));
    if (!WritePngChunk(png, "IEND", nullptr, 0)) throw failed();
    if (std::fflush(file.get()) != 0)
        throw HostFailure("cannot write " + shown.string() + ": " + std::strerror(errno));
}

} // namespace quillon::filterhost
