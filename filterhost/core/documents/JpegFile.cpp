// JPEG documents through libjpeg: RGB (grey opens as RGB) and CMYK, 8 bits.
#include "core/HostFailure.h"
#include "core/documents/ImageFormats.h"

#include <cstdio>
// jpeglib.h needs stdio's FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstring>
#include <memory>
#include <vector>

namespace quillon::filterhost {
namespace {

void OnJpegError(j_common_ptr info);
void OnJpegMessage(j_common_ptr info, int level);

struct JpegErrors {
    jpeg_error_mgr manager;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];

    // libjpeg's standard manager with our exits: errors jump back, warnings stay quiet.
    jpeg_error_mgr* Attach() {
        jpeg_std_error(&manager);
        manager.error_exit = OnJpegError;
        manager.emit_message = OnJpegMessage;
        return &manager;
    }
};

void OnJpegError(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    info->err->format_message(info, errors->message);
    longjmp(errors->jump, 1);
}

// A file that ends early would decode with grey in place of the missing rows: refuse it.
void OnJpegMessage(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) OnJpegError(info);
}

// libjpeg leaves through longjmp on errors: these functions own no C++ objects.
bool ReadJpegHeader(jpeg_decompress_struct* info, FILE* file) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    if (setjmp(errors->jump)) return false;
    jpeg_stdio_src(info, file);
    jpeg_save_markers(info, JPEG_APP0 + 2, 0xffff);
    jpeg_read_header(info, TRUE);
    if (info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK)
        info->out_color_space = JCS_CMYK;
    else
        info->out_color_space = JCS_RGB;
    jpeg_start_decompress(info);
    return true;
}

bool ReadJpegRows(jpeg_decompress_struct* info, JSAMPROW* rows) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    if (setjmp(errors->jump)) return false;
    while (info->output_scanline < info->output_height)
        jpeg_read_scanlines(info, rows + info->output_scanline,
                            info->output_height - info->output_scanline);
    jpeg_finish_decompress(info);
    return true;
}

bool WriteJpegAll(jpeg_compress_struct* info, FILE* file, JSAMPROW* rows, const uint8_t* icc,
                  unsigned iccLength) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    if (setjmp(errors->jump)) return false;
    jpeg_stdio_dest(info, file);
    jpeg_set_defaults(info);
    jpeg_set_quality(info, 95, TRUE);
    jpeg_start_compress(info, TRUE);
    // One APP2 marker holds a profile of up to 65519 bytes; larger ones are not written.
    if (icc && iccLength <= 65519) {
        static const char kTag[] = "ICC_PROFILE";
        jpeg_write_m_header(info, JPEG_APP0 + 2, iccLength + 14);
        for (const char* c = kTag; *c; ++c)
            jpeg_write_m_byte(info, *c);
        jpeg_write_m_byte(info, 0);
        jpeg_write_m_byte(info, 1);
        jpeg_write_m_byte(info, 1);
        for (unsigned i = 0; i < iccLength; ++i)
            jpeg_write_m_byte(info, icc[i]);
    }
    jpeg_write_scanlines(info, rows, info->image_height);
    jpeg_finish_compress(info);
    return true;
}

// Reassembles an ICC profile split over APP2 markers; empty when absent or malformed.
std::vector<uint8_t> EmbeddedProfile(const jpeg_decompress_struct& info) {
    std::vector<std::vector<uint8_t>> parts;
    for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next) {
        if (m->marker != JPEG_APP0 + 2 || m->data_length < 14 ||
            std::memcmp(m->data, "ICC_PROFILE", 12) != 0)
            continue;
        const unsigned index = m->data[12], count = m->data[13];
        if (index == 0 || count == 0 || index > count) return {};
        if (parts.size() < count) parts.resize(count);
        parts[index - 1].assign(m->data + 14, m->data + m->data_length);
    }
    std::vector<uint8_t> profile;
    for (const auto& part : parts) {
        if (part.empty()) return {};
        profile.insert(profile.end(), part.begin(), part.end());
    }
    return profile;
}

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

} // namespace

Document ReadJpeg(const std::filesystem::path& path, int64_t maxPixels) {
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) throw HostFailure("cannot open " + path.string() + ": " + std::strerror(errno));
    jpeg_decompress_struct info{};
    JpegErrors errors{};
    info.err = errors.Attach();
    jpeg_create_decompress(&info);
    struct Release {
        jpeg_decompress_struct* info;
        ~Release() { jpeg_destroy_decompress(info); }
    } release{&info};

    if (!ReadJpegHeader(&info, file.get()))
        throw HostFailure(path.string() + ": broken JPEG: " + errors.message);
    if (int64_t(info.output_width) * info.output_height > maxPixels)
        throw HostFailure(path.string() + ": picture too large");
    const bool cmyk = info.out_color_space == JCS_CMYK;
    const int channels = info.output_components;
    Document d = MakeDocument(cmyk ? ColorMode::CMYK : ColorMode::RGB, 8,
                              int32_t(info.output_width), int32_t(info.output_height));
    d.iccProfile = EmbeddedProfile(info);

    const size_t rowBytes = size_t(info.output_width) * size_t(channels);
    std::vector<uint8_t> pixels(rowBytes * info.output_height);
    std::vector<JSAMPROW> rows(info.output_height);
    for (size_t y = 0; y < rows.size(); ++y)
        rows[y] = pixels.data() + y * rowBytes;
    if (!ReadJpegRows(&info, rows.data()))
        throw HostFailure(path.string() + ": broken JPEG: " + errors.message);

    // Adobe's CMYK JPEGs store inverted inks; the Adobe marker says so.
    const bool inverted = cmyk && info.saw_Adobe_marker;
    for (int32_t y = 0; y < d.height; ++y)
        for (int32_t x = 0; x < d.width; ++x)
            for (int c = 0; c < d.ColorChannels(); ++c) {
                uint8_t v = rows[size_t(y)][size_t(x) * size_t(channels) + size_t(c)];
                d.At(c, x, y) = inverted ? uint8_t(255 - v) : v;
            }
    return d;
}

void WriteJpeg(const Document& d, const std::filesystem::path& path) {
    if (d.mode == ColorMode::Lab) throw HostFailure("JPEG cannot hold Lab documents; use TIFF");
    if (d.depth != 8) throw HostFailure("JPEG cannot hold 16-bit documents; use TIFF or PNG");
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) throw HostFailure("cannot open " + path.string() + ": " + std::strerror(errno));
    jpeg_compress_struct info{};
    JpegErrors errors{};
    info.err = errors.Attach();
    jpeg_create_compress(&info);
    struct Release {
        jpeg_compress_struct* info;
        ~Release() { jpeg_destroy_compress(info); }
    } release{&info};

    const bool cmyk = d.mode == ColorMode::CMYK;
    const int channels = cmyk ? 4 : 3;
    info.image_width = JDIMENSION(d.width);
    info.image_height = JDIMENSION(d.height);
    info.input_components = channels;
    info.in_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    const size_t rowBytes = size_t(d.width) * size_t(channels);
    std::vector<uint8_t> pixels(rowBytes * size_t(d.height));
    std::vector<JSAMPROW> rows(size_t(d.height));
    for (int32_t y = 0; y < d.height; ++y) {
        rows[size_t(y)] = pixels.data() + size_t(y) * rowBytes;
        for (int32_t x = 0; x < d.width; ++x)
            for (int c = 0; c < channels; ++c) {
                uint8_t v = uint8_t(d.At(c, x, y));
                // libjpeg writes the Adobe marker for CMYK, so inks are stored inverted.
                rows[size_t(y)][size_t(x) * size_t(channels) + size_t(c)] =
                    cmyk ? uint8_t(255 - v) : v;
            }
    }
    const std::vector<uint8_t>& icc = d.iccProfile;
    if (!WriteJpegAll(&info, file.get(), rows.data(), icc.empty() ? nullptr : icc.data(),
                      unsigned(icc.size())))
        throw HostFailure("cannot write " + path.string() + ": " + errors.message);
    if (std::fflush(file.get()) != 0)
        throw HostFailure("cannot write " + path.string() + ": " + std::strerror(errno));
}

} // namespace quillon::filterhost
