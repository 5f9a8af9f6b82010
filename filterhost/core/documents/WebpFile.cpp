// WebP documents through libwebp: RGB at 8 bits, with or without alpha, lossy or lossless; the
// ICC profile, EXIF and XMP travel in the container's chunks.
#include "core/HostFailure.h"
#include "core/documents/FileBytes.h"
#include "core/documents/ImageFormats.h"
#include "core/documents/SizeClaims.h"

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <memory>

namespace quillon::filterhost {
namespace {

struct DemuxDelete {
    void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};
struct MuxDelete {
    void operator()(WebPMux* m) const { WebPMuxDelete(m); }
};

const char* StatusText(VP8StatusCode status) {
    switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY:
        return "out of memory";
    case VP8_STATUS_NOT_ENOUGH_DATA:
        return "the data ends early";
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        return "a feature libwebp does not decode";
    default:
        return "the data is damaged";
    }
}

std::vector<uint8_t> Chunk(WebPDemuxer* demux, const char* fourcc) {
    WebPChunkIterator chunk;
    if (!WebPDemuxGetChunk(demux, fourcc, 1, &chunk)) return {};
    std::vector<uint8_t> bytes(chunk.chunk.bytes, chunk.chunk.bytes + chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);
    return bytes;
}

struct EncodeCancel {
    const CancelCheck* cancel;
    bool cancelled = false;
};

int OnEncodeProgress(int, const WebPPicture* picture) {
    auto* state = static_cast<EncodeCancel*>(picture->user_data);
    if (*state->cancel && (*state->cancel)()) state->cancelled = true;
    return state->cancelled ? 0 : 1;
}

} // namespace

Document DecodeWebp(const std::vector<uint8_t>& bytes, int64_t maxPixels,
                    const std::string& shown) {
    WebPBitstreamFeatures features;
    const VP8StatusCode status = WebPGetFeatures(bytes.data(), bytes.size(), &features);
    if (status != VP8_STATUS_OK) throw HostFailure(shown + ": broken WebP: " + StatusText(status));
    if (features.has_animation) throw HostFailure(shown + ": animated WebP is not read");
    if (features.width <= 0 || features.height <= 0 ||
        !PixelsWithin(uint64_t(features.width), uint64_t(features.height), maxPixels))
        throw HostFailure(shown + ": picture too large (" + std::to_string(features.width) + " x " +
                          std::to_string(features.height) + ")");

    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) throw HostFailure(shown + ": libwebp does not start");
    const bool alpha = features.has_alpha != 0;
    config.output.colorspace = alpha ? MODE_RGBA : MODE_RGB;
    const VP8StatusCode decoded = WebPDecode(bytes.data(), bytes.size(), &config);
    struct Release {
        WebPDecBuffer* buffer;
        ~Release() { WebPFreeDecBuffer(buffer); }
    } release{&config.output};
    if (decoded != VP8_STATUS_OK)
        throw HostFailure(shown + ": broken WebP: " + StatusText(decoded));

    Document d = MakeDocument(ColorMode::RGB, 8, features.width, features.height, alpha);
    const size_t channels = alpha ? 4 : 3;
    const WebPRGBABuffer& rgba = config.output.u.RGBA;
    for (int32_t y = 0; y < d.height; ++y) {
        const uint8_t* row = rgba.rgba + size_t(y) * size_t(rgba.stride);
        for (size_t c = 0; c < channels; ++c) {
            uint16_t* to = d.planes[c].data() + size_t(y) * size_t(d.width);
            for (int32_t x = 0; x < d.width; ++x)
                to[x] = row[size_t(x) * channels + c];
        }
    }
    d.metadata.lossyCoding = features.format == 1;

    WebPData data{bytes.data(), bytes.size()};
    const std::unique_ptr<WebPDemuxer, DemuxDelete> demux(WebPDemux(&data));
    if (!demux) return d; // a bare bitstream without a container has no metadata
    const std::vector<uint8_t> exif = Chunk(demux.get(), "EXIF");
    if (!exif.empty()) {
        d.metadata.exif = ExifFromTiffHeader(exif.data(), exif.size());
        d.metadata.orientation = ExifOrientation(d.metadata.exif);
        ReadExifResolution(d.metadata.exif, d.metadata);
    }
    const std::vector<uint8_t> xmp = Chunk(demux.get(), "XMP ");
    d.metadata.xmp.assign(xmp.begin(), xmp.end());
    SettleProfile(d, Chunk(demux.get(), "ICCP"), false);
    return d;
}

Document ReadWebp(const std::filesystem::path& file, int64_t maxPixels) {
    return DecodeWebp(ReadFileBytes(file), maxPixels, file.string());
}

void WriteWebp(const Document& d, const std::filesystem::path& path,
               const std::filesystem::path& shown, const CancelCheck& cancel) {
    if (d.mode != ColorMode::RGB)
        throw HostFailure("cannot write " + shown.string() + ": WebP cannot hold " +
                          ModeName(d.mode) + " documents; use TIFF");
    if (d.width > WEBP_MAX_DIMENSION || d.height > WEBP_MAX_DIMENSION)
        throw HostFailure("cannot write " + shown.string() + ": WebP holds at most " +
                          std::to_string(WEBP_MAX_DIMENSION) + " pixels a side");
    // Samples interleaved at 8 bits; 16-bit documents are rounded once.
    const size_t channels = d.hasAlpha ? 4 : 3;
    std::vector<uint8_t> pixels(size_t(d.width) * size_t(d.height) * channels);
    for (size_t c = 0; c < channels; ++c)
        for (size_t i = 0; i < d.planes[c].size(); ++i) {
            const uint16_t v = d.planes[c][i];
            pixels[i * channels + c] =
                d.depth == 16 ? uint8_t((std::min<uint32_t>(v, 32768) * 255 + 16384) / 32768)
                              : uint8_t(v);
        }

    // --quality asks for lossy coding; without it a lossy WebP stays lossy at 90, anything
    // else is written losslessly.
    const int quality = d.metadata.jpegCoding.quality;
    WebPConfig config;
    WebPPicture picture;
    if (!WebPConfigInit(&config) || !WebPPictureInit(&picture))
        throw HostFailure("cannot write " + shown.string() + ": libwebp does not start");
    config.lossless = quality == 0 && !d.metadata.lossyCoding;
    config.quality = config.lossless ? 75 : float(quality > 0 ? quality : 90);
    config.exact = 1; // colours under transparent pixels are kept, as every other format keeps them
    picture.use_argb = 1;
    picture.width = d.width;
    picture.height = d.height;
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    struct Release {
        WebPPicture* picture;
        WebPMemoryWriter* writer;
        ~Release() {
            WebPPictureFree(picture);
            WebPMemoryWriterClear(writer);
        }
    } release{&picture, &writer};
    const int stride = d.width * int(channels);
    if (!(d.hasAlpha ? WebPPictureImportRGBA(&picture, pixels.data(), stride)
                     : WebPPictureImportRGB(&picture, pixels.data(), stride)))
        throw HostFailure("cannot write " + shown.string() + ": out of memory");
    EncodeCancel state{&cancel};
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    picture.user_data = &state;
    picture.progress_hook = OnEncodeProgress;
    if (!WebPEncode(&config, &picture)) {
        if (state.cancelled) throw Cancelled();
        throw HostFailure("cannot write " + shown.string() + ": the WebP encoder failed (error " +
                          std::to_string(int(picture.error_code)) + ")");
    }

    // The metadata in the container's chunks.
    const Metadata& m = d.metadata;
    const std::vector<uint8_t> exif = ExifWithOrientation(m.exif, m.orientation);
    if (exif.empty() && m.xmp.empty() && d.iccProfile.empty()) {
        WriteFileBytes(path, shown, writer.mem, writer.size);
        return;
    }
    const std::unique_ptr<WebPMux, MuxDelete> mux(WebPMuxNew());
    const WebPData image{writer.mem, writer.size};
    const WebPData icc{d.iccProfile.data(), d.iccProfile.size()};
    const WebPData exifData{exif.data(), exif.size()};
    const WebPData xmp{reinterpret_cast<const uint8_t*>(m.xmp.data()), m.xmp.size()};
    WebPData assembled{nullptr, 0};
    const bool ok =
        mux && WebPMuxSetImage(mux.get(), &image, 0) == WEBP_MUX_OK &&
        (icc.size == 0 || WebPMuxSetChunk(mux.get(), "ICCP", &icc, 0) == WEBP_MUX_OK) &&
        (exifData.size == 0 || WebPMuxSetChunk(mux.get(), "EXIF", &exifData, 0) == WEBP_MUX_OK) &&
        (xmp.size == 0 || WebPMuxSetChunk(mux.get(), "XMP ", &xmp, 0) == WEBP_MUX_OK) &&
        WebPMuxAssemble(mux.get(), &assembled) == WEBP_MUX_OK;
    struct Free {
        WebPData* data;
        ~Free() { WebPDataClear(data); }
    } free{&assembled};
    if (!ok) throw HostFailure("cannot write " + shown.string() + ": the WebP container failed");
    WriteFileBytes(path, shown, assembled.bytes, assembled.size);
}

} // namespace quillon::filterhost
