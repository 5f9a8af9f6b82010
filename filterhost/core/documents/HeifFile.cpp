// HEIF and AVIF documents through libheif: RGB at 8 bits, or at 10 and 12 bits read as 16-bit
// documents, with or without alpha; the ICC profile, EXIF and XMP kept. Coding needs the
// machine's HEVC or AV1 encoder, which a machine may lack.
#include "core/HostFailure.h"
#include "core/documents/FileBytes.h"
#include "core/documents/HeifCanvases.h"
#include "core/documents/ImageFormats.h"
#include "core/documents/SizeClaims.h"

#include <libheif/heif.h>

#include <cstring>
#include <memory>

namespace quillon::filterhost {
namespace {

struct ContextFree {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleRelease {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageRelease {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
struct EncoderRelease {
    void operator()(heif_encoder* e) const { heif_encoder_release(e); }
};
using Context = std::unique_ptr<heif_context, ContextFree>;
using Handle = std::unique_ptr<heif_image_handle, HandleRelease>;
using Image = std::unique_ptr<heif_image, ImageRelease>;

// The widest side libheif is let to decode; the pixel count is checked against the caller's
// limit before decoding.
constexpr int kMaxSide = 1 << 16;
constexpr int kDefaultQuality = 90;

Context NewContext() {
    static const bool started = heif_init(nullptr).code == heif_error_Ok;
    Context context(started ? heif_context_alloc() : nullptr);
    if (!context) throw HostFailure("libheif does not start");
    return context;
}

// The metadata blocks of one type (and content type, when given), joined.
std::vector<uint8_t> Block(const heif_image_handle* handle, const char* type,
                           const char* contentType) {
    const int count = heif_image_handle_get_number_of_metadata_blocks(handle, type);
    if (count <= 0) return {};
    std::vector<heif_item_id> ids(static_cast<size_t>(count), 0);
    heif_image_handle_get_list_of_metadata_block_IDs(handle, type, ids.data(), count);
    for (const heif_item_id id : ids) {
        if (contentType &&
            std::strcmp(heif_image_handle_get_metadata_content_type(handle, id), contentType) != 0)
            continue;
        std::vector<uint8_t> bytes(heif_image_handle_get_metadata_size(handle, id));
        if (heif_image_handle_get_metadata(handle, id, bytes.data()).code == heif_error_Ok)
            return bytes;
    }
    return {};
}

// HEIF's EXIF block starts with the big-endian offset of the TIFF header past those 4 bytes.
std::vector<uint8_t> ExifOfBlock(const std::vector<uint8_t>& block) {
    if (block.size() < 4) return {};
    const uint64_t offset = uint64_t(block[0]) << 24 | uint64_t(block[1]) << 16 |
                            uint64_t(block[2]) << 8 | uint64_t(block[3]);
    if (offset > block.size() - 4) return {};
    return ExifFromTiffHeader(block.data() + 4 + offset, size_t(block.size() - 4 - offset));
}

heif_compression_format CompressionOf(FileFormat format) {
    return format == FileFormat::Avif ? heif_compression_AV1 : heif_compression_HEVC;
}

const char* EncoderName(FileFormat format) {
    return format == FileFormat::Avif ? "an AVIF (AV1)" : "a HEIF (HEVC)";
}

// libheif's messages may run over lines; ours are one.
void Check(heif_error error, const std::string& what) {
    if (error.code == heif_error_Ok) return;
    std::string message = error.message ? error.message : "unknown error";
    for (char& c : message)
        if (c == '\n' || c == '\r') c = ' ';
    while (!message.empty() && message.back() == ' ')
        message.pop_back();
    throw HostFailure(what + ": " + message);
}

} // namespace

void CheckHeifEncoder(FileFormat format, const std::filesystem::path& file) {
    static_cast<void>(NewContext());
    if (!heif_have_encoder_for_format(CompressionOf(format)))
        throw HostFailure("cannot write " + file.string() + ": this machine's libheif has no " +
                          EncoderName(format) + " encoder");
}

Document DecodeHeif(const std::vector<uint8_t>& bytes, int64_t maxPixels,
                    const std::string& shown) {
    CheckHeifCanvases(bytes, maxPixels, shown);
    const Context context = NewContext();
    heif_context_set_maximum_image_size_limit(context.get(), kMaxSide);
    const std::string broken = shown + ": broken HEIF";
    Check(heif_context_read_from_memory_without_copy(context.get(), bytes.data(), bytes.size(),
                                                     nullptr),
          broken);
    heif_image_handle* primary = nullptr;
    Check(heif_context_get_primary_image_handle(context.get(), &primary), broken);
    const Handle handle(primary);
    const int width = heif_image_handle_get_width(primary);
    const int height = heif_image_handle_get_height(primary);
    if (width <= 0 || height <= 0 || !PixelsWithin(uint64_t(width), uint64_t(height), maxPixels))
        throw HostFailure(shown + ": picture too large (" + std::to_string(width) + " x " +
                          std::to_string(height) + ")");
    const bool alpha = heif_image_handle_has_alpha_channel(primary) != 0;
    const bool deep = heif_image_handle_get_luma_bits_per_pixel(primary) > 8;
    const heif_chroma chroma =
        deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
             : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    heif_image* decoded = nullptr;
    Check(heif_decode_image(primary, &decoded, heif_colorspace_RGB, chroma, nullptr), broken);
    const Image image(decoded);
    int stride = 0;
    const uint8_t* plane =
        heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
    const int bits = heif_image_get_bits_per_pixel_range(decoded, heif_channel_interleaved);
    const size_t channels = alpha ? 4 : 3, bytesPerSample = deep ? 2 : 1;
    if (!plane || heif_image_get_width(decoded, heif_channel_interleaved) != width ||
        heif_image_get_height(decoded, heif_channel_interleaved) != height || bits < 8 ||
        bits > 16 || stride < 0 || size_t(stride) < size_t(width) * channels * bytesPerSample)
        throw HostFailure(broken + ": the decoder gave no picture of the size it announced");

    Document d = MakeDocument(ColorMode::RGB, deep ? 16 : 8, width, height, alpha);
    const uint32_t top = (1u << bits) - 1;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = plane + size_t(y) * size_t(stride);
        for (size_t c = 0; c < channels; ++c) {
            uint16_t* to = d.planes[c].data() + size_t(y) * size_t(width);
            for (int32_t x = 0; x < width; ++x) {
                const uint8_t* at = row + (size_t(x) * channels + c) * bytesPerSample;
                const uint32_t v =
                    deep ? std::min<uint32_t>(uint32_t(at[0] | at[1] << 8), top) : at[0];
                to[x] = deep ? uint16_t((v * 32768 + top / 2) / top) : uint16_t(v);
            }
        }
    }

    // libheif turns the picture upright itself, so an EXIF orientation would turn it again.
    d.metadata.exif = ExifOfBlock(Block(primary, "Exif", nullptr));
    if (ExifOrientation(d.metadata.exif) != 0) {
        d.metadata.exif = ExifWithOrientation(d.metadata.exif, 1);
        d.metadata.orientation = 1;
    }
    ReadExifResolution(d.metadata.exif, d.metadata);
    const std::vector<uint8_t> xmp = Block(primary, "mime", "application/rdf+xml");
    d.metadata.xmp.assign(xmp.begin(), xmp.end());
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(primary);
    if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
        std::vector<uint8_t> profile(heif_image_handle_get_raw_color_profile_size(primary));
        if (heif_image_handle_get_raw_color_profile(primary, profile.data()).code == heif_error_Ok)
            SettleProfile(d, std::move(profile), false);
    }
    d.metadata.lossyCoding = true;
    return d;
}

Document ReadHeif(const std::filesystem::path& file, int64_t maxPixels) {
    return DecodeHeif(ReadFileBytes(file), maxPixels, file.string());
}

void WriteHeif(const Document& d, FileFormat format, const std::filesystem::path& path,
               const std::filesystem::path& shown, const CancelCheck& cancel) {
    const char* name = format == FileFormat::Avif ? "AVIF" : "HEIF";
    if (d.mode != ColorMode::RGB)
        throw HostFailure("cannot write " + shown.string() + ": " + name + " cannot hold " +
                          ModeName(d.mode) + " documents; use TIFF");
    CheckHeifEncoder(format, shown);
    const Context context = NewContext();
    const std::string failed = "cannot write " + shown.string();
    heif_encoder* made = nullptr;
    Check(heif_context_get_encoder_for_format(context.get(), CompressionOf(format), &made), failed);
    const std::unique_ptr<heif_encoder, EncoderRelease> encoder(made);
    const int quality = d.metadata.jpegCoding.quality;
    Check(heif_encoder_set_lossy_quality(made, quality > 0 ? quality : kDefaultQuality), failed);
    // libaom as Debian ships it stops the process (an assertion) on what libheif asks of it for
    // 8-bit 4:4:4 and for 10-bit 4:2:0 or 4:4:4; 4:2:0 at 8 or 12 bits codes, and 4:2:0 is what
    // AVIF pictures commonly are.
    if (format == FileFormat::Avif)
        Check(heif_encoder_set_parameter_string(made, "chroma", "420"), failed);

    // 16-bit documents are coded deep: HEVC at 10 bits (Main 10), AV1 at 12.
    const bool deep = d.depth == 16;
    const int bits = !deep ? 8 : format == FileFormat::Avif ? 12 : 10;
    const size_t channels = d.hasAlpha ? 4 : 3, bytesPerSample = deep ? 2 : 1;
    const heif_chroma chroma =
        deep
            ? (d.hasAlpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
            : (d.hasAlpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    heif_image* created = nullptr;
    Check(heif_image_create(d.width, d.height, heif_colorspace_RGB, chroma, &created), failed);
    const Image image(created);
    Check(heif_image_add_plane(created, heif_channel_interleaved, d.width, d.height, bits), failed);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(created, heif_channel_interleaved, &stride);
    if (!plane) throw HostFailure(failed + ": out of memory");
    const uint32_t top = (1u << bits) - 1;
    for (int32_t y = 0; y < d.height; ++y) {
        if (y % 64 == 0 && cancel && cancel()) throw Cancelled();
        uint8_t* row = plane + size_t(y) * size_t(stride);
        for (size_t c = 0; c < channels; ++c) {
            const uint16_t* from = d.planes[c].data() + size_t(y) * size_t(d.width);
            for (int32_t x = 0; x < d.width; ++x) {
                uint8_t* at = row + (size_t(x) * channels + c) * bytesPerSample;
                if (!deep) {
                    at[0] = uint8_t(from[x]);
                    continue;
                }
                const uint32_t v = (std::min<uint32_t>(from[x], 32768) * top + 16384) / 32768;
                at[0] = uint8_t(v);
                at[1] = uint8_t(v >> 8);
            }
        }
    }
    if (!d.iccProfile.empty())
        Check(heif_image_set_raw_color_profile(created, "prof", d.iccProfile.data(),
                                               d.iccProfile.size()),
              failed);
    // The orientation goes into the container's own transforms, which readers apply; the EXIF
    // block then says upright, so that no reader turns the picture twice.
    const std::unique_ptr<heif_encoding_options, void (*)(heif_encoding_options*)> options(
        heif_encoding_options_alloc(), heif_encoding_options_free);
    const uint16_t orientation = d.metadata.orientation;
    if (options && orientation >= 1 && orientation <= 8)
        options->image_orientation = heif_orientation(orientation);
    heif_image_handle* encoded = nullptr;
    Check(heif_context_encode_image(context.get(), created, made, options.get(), &encoded), failed);
    const Handle handle(encoded);
    if (cancel && cancel()) throw Cancelled();
    const std::vector<uint8_t> exif =
        ExifWithOrientation(d.metadata.exif, orientation != 0 ? 1 : 0);
    if (!exif.empty())
        Check(heif_context_add_exif_metadata(context.get(), encoded, exif.data(), int(exif.size())),
              failed);
    const std::string& xmp = d.metadata.xmp;
    if (!xmp.empty())
        Check(heif_context_add_XMP_metadata(context.get(), encoded, xmp.data(), int(xmp.size())),
              failed);
    Check(heif_context_write_to_file(context.get(), path.c_str()), failed);
}

} // namespace quillon::filterhost
