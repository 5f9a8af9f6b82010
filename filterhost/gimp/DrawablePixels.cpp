#include "gimp/DrawablePixels.h"

#include "core/HostFailure.h"
#include "core/documents/ImageFiles.h"

#include <libgimp/gimp.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace quillon::gimp {
namespace {

using filterhost::Document;
using filterhost::HostFailure;

// Rows read and written at a time: a strip stays small whatever the drawable's size.
constexpr int32_t kStripRows = 64;

struct Unref {
    void operator()(GeglBuffer* buffer) const { g_object_unref(buffer); }
};
using BufferRef = std::unique_ptr<GeglBuffer, Unref>;

std::string ModeWords(int32_t drawable) {
    if (gimp_drawable_is_gray(drawable)) return "a grayscale";
    if (gimp_drawable_is_indexed(drawable)) return "an indexed";
    return "a non-RGB";
}

uint16_t Sample16(const uint8_t* at) {
    uint16_t v;
    std::memcpy(&v, at, 2);
    return v;
}

// The colour space of the image's profile, and the profile's bytes; sRGB and none without one.
const Babl* ImageSpace(int32_t image, std::vector<uint8_t>& bytes) {
    GimpColorProfile* profile = gimp_image_get_color_profile(image);
    if (!profile) return babl_space("sRGB");
    gsize length = 0;
    const guint8* icc = gimp_color_profile_get_icc_profile(profile, &length);
    bytes.assign(icc, icc + length);
    GError* error = nullptr;
    const Babl* space = gimp_color_profile_get_space(
        profile, GIMP_COLOR_RENDERING_INTENT_RELATIVE_COLORIMETRIC, &error);
    g_object_unref(profile);
    if (!space) {
        const std::string why = error ? error->message : "no colour space";
        g_clear_error(&error);
        throw HostFailure("the image's colour profile cannot be used (" + why + ")");
    }
    return space;
}

} // namespace

DrawablePixels::DrawablePixels(int32_t image, int32_t drawable)
    : image_(image), drawable_(drawable) {
    if (!gimp_item_is_layer(drawable))
        throw HostFailure("Quillon filters layers, not masks or channels");
    if (!gimp_drawable_is_rgb(drawable))
        throw HostFailure("Quillon filters RGB images and this is " + ModeWords(drawable) +
                          " one; Image > Mode > RGB converts it");
    if (!gimp_drawable_mask_intersect(drawable, &x_, &y_, &width_, &height_)) width_ = height_ = 0;
    alpha_ = gimp_drawable_has_alpha(drawable);
    const GimpPrecision precision = gimp_image_get_precision(image);
    depth_ = precision == GIMP_PRECISION_U8_GAMMA || precision == GIMP_PRECISION_U8_LINEAR ? 8 : 16;
    const Babl* space = ImageSpace(image, profile_);
    stored_ = gimp_drawable_get_format(drawable);
    native_ = babl_format_with_space(babl_format_get_encoding(stored_), space);
    const char* work = depth_ == 8 ? (alpha_ ? "R'G'B'A u8" : "R'G'B' u8")
                                   : (alpha_ ? "R'G'B'A u16" : "R'G'B' u16");
    work_ = babl_format_with_space(work, space);
}

void DrawablePixels::ReadRows(GeglBuffer* buffer, int32_t top, int32_t rows,
                              std::vector<uint8_t>& raw, std::vector<uint8_t>& work) const {
    const size_t pixels = size_t(width_) * size_t(rows);
    raw.resize(pixels * size_t(babl_format_get_bytes_per_pixel(stored_)));
    const GeglRectangle rect{x_, y_ + top, width_, rows};
    gegl_buffer_get(buffer, &rect, 1.0, stored_, raw.data(), GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
    if (native_ == work_) {
        work = raw;
        return;
    }
    work.resize(pixels * size_t(babl_format_get_bytes_per_pixel(work_)));
    babl_process(babl_fish(native_, work_), raw.data(), work.data(), long(pixels));
}

Document DrawablePixels::Read() const {
    Document d =
        filterhost::MakeDocument(filterhost::ColorMode::RGB, depth_, width_, height_, alpha_);
    d.iccProfile = profile_;
    const BufferRef buffer(gimp_drawable_get_buffer(drawable_));
    const int planes = alpha_ ? 4 : 3;
    const size_t bytes = depth_ == 8 ? 1 : 2;
    std::vector<uint8_t> raw, work;
    for (int32_t top = 0; top < height_; top += kStripRows) {
        const int32_t rows = std::min(kStripRows, height_ - top);
        ReadRows(buffer.get(), top, rows, raw, work);
        const uint8_t* at = work.data();
        for (int32_t y = top; y < top + rows; ++y)
            for (int32_t x = 0; x < width_; ++x)
                for (int c = 0; c < planes; ++c, at += bytes)
                    d.At(c, x, y) = bytes == 1 ? *at : filterhost::FromFile16(Sample16(at));
    }
    return d;
}

void DrawablePixels::Write(const Document& filtered, const WriteProgress& progress) const {
    const BufferRef buffer(gimp_drawable_get_buffer(drawable_));
    BufferRef shadow(gimp_drawable_get_shadow_buffer(drawable_));
    const int planes = alpha_ ? 4 : 3;
    const size_t bytes = depth_ == 8 ? 1 : 2;
    const size_t rawPixel = size_t(babl_format_get_bytes_per_pixel(stored_));
    const size_t rawSample = rawPixel / size_t(babl_format_get_n_components(stored_));
    std::vector<uint8_t> raw, work, out, outRaw;
    std::vector<bool> moved;
    for (int32_t top = 0; top < height_; top += kStripRows) {
        const int32_t rows = std::min(kStripRows, height_ - top);
        ReadRows(buffer.get(), top, rows, raw, work);
        // Per sample: the stored value where the filter left it, else the filtered one; alpha
        // as stored.
        out = work;
        moved.assign(size_t(width_) * size_t(rows), false);
        uint8_t* at = out.data();
        size_t pixel = 0;
        for (int32_t y = top; y < top + rows; ++y)
            for (int32_t x = 0; x < width_; ++x, ++pixel, at += bytes * size_t(planes))
                for (int c = 0; c < 3; ++c) {
                    const uint16_t host = filtered.At(c, x, y);
                    uint8_t* sample = at + size_t(c) * bytes;
                    if (bytes == 1) {
                        moved[pixel] = moved[pixel] || *sample != host;
                        *sample = uint8_t(host);
                    } else if (filterhost::FromFile16(Sample16(sample)) != host) {
                        moved[pixel] = true;
                        const uint16_t v = filterhost::ToFile16(host);
                        std::memcpy(sample, &v, 2);
                    }
                }
        if (native_ == work_) {
            outRaw.swap(out);
        } else {
            // Back to the stored precision; pixels the filter left alone, and every alpha,
            // keep their stored bytes.
            outRaw.resize(raw.size());
            babl_process(babl_fish(work_, native_), out.data(), outRaw.data(), long(moved.size()));
            for (size_t p = 0; p < moved.size(); ++p) {
                const size_t from = moved[p] ? (alpha_ ? rawPixel - rawSample : rawPixel) : 0;
                std::memcpy(outRaw.data() + p * rawPixel + from, raw.data() + p * rawPixel + from,
                            rawPixel - from);
            }
        }
        const GeglRectangle rect{x_, y_ + top, width_, rows};
        gegl_buffer_set(shadow.get(), &rect, 0, stored_, outRaw.data(), GEGL_AUTO_ROWSTRIDE);
        if (progress) progress(double(top + rows) / height_);
    }
    // Releasing the shadow buffer sends its last tiles to GIMP, before the merge reads them.
    shadow.reset();
    gimp_drawable_merge_shadow(drawable_, TRUE);
    gimp_drawable_update(drawable_, x_, y_, width_, height_);
}

} // namespace quillon::gimp
