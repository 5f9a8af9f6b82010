// JPEG documents through libjpeg: RGB (grey opens as RGB) and CMYK, 8 bits.
#include "core/HostFailure.h"
#include "core/documents/ImageFormats.h"
#include "core/documents/SizeClaims.h"

#include <cstdio>
// jpeglib.h needs stdio's FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <vector>

namespace quillon::filterhost {
namespace {

constexpr char kExifTag[] = "Exif\0";                      // 6 bytes with the second NUL
constexpr char kXmpTag[] = "http://ns.adobe.com/xap/1.0/"; // and a NUL
constexpr char kIccTag[] = "ICC_PROFILE";                  // and a NUL
// The most one marker holds, and the most of a profile one APP2 marker holds.
constexpr unsigned kMarkerBytes = 65533;
constexpr unsigned kIccChunk = kMarkerBytes - 14;
// libjpeg's own allocations beyond what the picture's pixels need: tables, buffers of a row.
constexpr long kDecoderOverhead = 64L << 20;

void OnJpegError(j_common_ptr info);
void OnJpegMessage(j_common_ptr info, int level);
void OnJpegProgress(j_common_ptr info);

struct JpegErrors {
    jpeg_error_mgr manager;
    jpeg_progress_mgr progress;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    const CancelCheck* cancel;
    bool cancelled;
    bool decoding;      // the scans are being decoded
    bool acceptDamaged; // damaged data is decoded anyway and only noted
    char damage[JMSG_LENGTH_MAX];

    // libjpeg's standard manager with our exits: errors jump back, warnings stay quiet unless
    // they mean damaged data, and the progress monitor asks whether the user cancelled.
    jpeg_error_mgr* Attach(const CancelCheck* check) {
        jpeg_std_error(&manager);
        manager.error_exit = OnJpegError;
        manager.emit_message = OnJpegMessage;
        progress.progress_monitor = OnJpegProgress;
        cancel = check;
        return &manager;
    }
};

void OnJpegError(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    info->err->format_message(info, errors->message);
    longjmp(errors->jump, 1);
}

// Whether a warning means the picture decodes wrongly: grey fill, stripes, shifted blocks.
// Bytes left over before a marker only count inside the scans, where they mean the decoder lost
// its way; between the header's markers some writers leave padding.
bool MeansDamage(int code, bool decoding) {
    switch (code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_NOT_SEQUENTIAL:
        return true;
    case JWRN_EXTRANEOUS_DATA:
        return decoding;
    default:
        return false;
    }
}

// Damaged data is refused, or with acceptDamaged kept for a note while decoding goes on.
void OnJpegMessage(j_common_ptr info, int level) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    if (level >= 0 || !MeansDamage(info->err->msg_code, errors->decoding)) return;
    if (!errors->acceptDamaged) OnJpegError(info);
    if (!errors->damage[0]) info->err->format_message(info, errors->damage);
}

void OnJpegProgress(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    if (errors->cancel && *errors->cancel && (*errors->cancel)()) {
        errors->cancelled = true;
        std::snprintf(errors->message, sizeof errors->message, "cancelled");
        longjmp(errors->jump, 1);
    }
}

// libjpeg leaves through longjmp on errors: these functions own no C++ objects.
bool ReadJpegHeader(jpeg_decompress_struct* info, FILE* file) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    if (setjmp(errors->jump)) return false;
    jpeg_stdio_src(info, file);
    jpeg_save_markers(info, JPEG_APP0 + 1, 0xffff);
    jpeg_save_markers(info, JPEG_APP0 + 2, 0xffff);
    jpeg_read_header(info, TRUE);
    if (info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK)
        info->out_color_space = JCS_CMYK;
    else
        info->out_color_space = JCS_RGB;
    jpeg_calc_output_dimensions(info);
    return true;
}

// Hands decoded rows first.. first + count - 1, held in the band, to the document.
struct RowSink {
    void (*store)(RowSink* sink, JDIMENSION first, JDIMENSION count);
};

// Decodes a band of rows at a time, so no second copy of the picture is held.
bool ReadJpegRows(jpeg_decompress_struct* info, JSAMPROW* band, JDIMENSION bandRows,
                  RowSink* sink) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    if (setjmp(errors->jump)) return false;
    errors->decoding = true;
    jpeg_start_decompress(info);
    while (info->output_scanline < info->output_height) {
        const JDIMENSION first = info->output_scanline;
        sink->store(sink, first, jpeg_read_scanlines(info, band, bandRows));
    }
    jpeg_finish_decompress(info);
    return true;
}

// One marker per piece of metadata, in the order readers expect: JFIF (written by libjpeg),
// EXIF, XMP, then the profile split over as many APP2 markers as it needs.
struct JpegExtras {
    const uint8_t* exif = nullptr;
    unsigned exifLength = 0;
    const char* xmp = nullptr;
    unsigned xmpLength = 0;
    const uint8_t* icc = nullptr;
    size_t iccLength = 0;
    UINT8 densityUnit = 0;
    UINT16 xDensity = 0, yDensity = 0; // 0 when the document gives no resolution
    const JpegCoding* coding = nullptr;
};

// A source JPEG's sampling and tables, when they are of the same colour space and components as
// the file being written; a quality asked for replaces the tables but keeps the sampling.
void UseCoding(jpeg_compress_struct* info, const JpegCoding& coding) {
    if (coding.quality > 0) jpeg_set_quality(info, coding.quality, TRUE);
    if (coding.colorSpace != info->jpeg_color_space ||
        coding.components.size() != size_t(info->num_components))
        return;
    for (const JpegCoding::Component& c : coding.components)
        if (c.horizontal < 1 || c.horizontal > 4 || c.vertical < 1 || c.vertical > 4) return;
    for (size_t c = 0; c < coding.components.size(); ++c) {
        info->comp_info[c].h_samp_factor = coding.components[c].horizontal;
        info->comp_info[c].v_samp_factor = coding.components[c].vertical;
    }
    if (coding.quality > 0 || coding.tables.empty()) return;
    for (size_t t = 0; t < coding.tables.size() && t < NUM_QUANT_TBLS; ++t) {
        unsigned int table[64];
        for (size_t i = 0; i < 64; ++i)
            table[i] = std::clamp<unsigned>(coding.tables[t][i], 1, 32767);
        // A scale of 100 % keeps every value; tables of 16-bit values stay so.
        jpeg_add_quant_table(info, int(t), table, 100, FALSE);
    }
    for (size_t c = 0; c < coding.components.size(); ++c)
        info->comp_info[c].quant_tbl_no = coding.components[c].table;
}

bool WriteJpegAll(jpeg_compress_struct* info, FILE* file, JSAMPROW* rows,
                  const JpegExtras* extras) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    if (setjmp(errors->jump)) return false;
    jpeg_stdio_dest(info, file);
    jpeg_set_defaults(info);
    jpeg_set_quality(info, 95, TRUE);
    if (extras->coding) UseCoding(info, *extras->coding);
    if (extras->xDensity && extras->yDensity) {
        // libjpeg leaves JFIF out of CMYK files; it is where JPEG keeps the resolution.
        info->write_JFIF_header = TRUE;
        info->density_unit = extras->densityUnit;
        info->X_density = extras->xDensity;
        info->Y_density = extras->yDensity;
    }
    jpeg_start_compress(info, TRUE);
    if (extras->exif) {
        jpeg_write_m_header(info, JPEG_APP0 + 1, extras->exifLength + 6);
        for (unsigned i = 0; i < 6; ++i)
            jpeg_write_m_byte(info, kExifTag[i]);
        for (unsigned i = 0; i < extras->exifLength; ++i)
            jpeg_write_m_byte(info, extras->exif[i]);
    }
    if (extras->xmp) {
        jpeg_write_m_header(info, JPEG_APP0 + 1, extras->xmpLength + sizeof kXmpTag);
        for (unsigned i = 0; i < sizeof kXmpTag; ++i)
            jpeg_write_m_byte(info, kXmpTag[i]);
        for (unsigned i = 0; i < extras->xmpLength; ++i)
            jpeg_write_m_byte(info, extras->xmp[i]);
    }
    const size_t chunks = (extras->iccLength + kIccChunk - 1) / kIccChunk;
    for (size_t chunk = 0; chunk < chunks; ++chunk) {
        const size_t from = chunk * kIccChunk;
        const size_t length = std::min<size_t>(kIccChunk, extras->iccLength - from);
        jpeg_write_m_header(info, JPEG_APP0 + 2, unsigned(length + 14));
        for (unsigned i = 0; i < sizeof kIccTag; ++i)
            jpeg_write_m_byte(info, kIccTag[i]);
        jpeg_write_m_byte(info, int(chunk + 1));
        jpeg_write_m_byte(info, int(chunks));
        for (size_t i = 0; i < length; ++i)
            jpeg_write_m_byte(info, extras->icc[from + i]);
    }
    // In bands, so the progress monitor looks at the interrupt between them.
    while (info->next_scanline < info->image_height)
        jpeg_write_scanlines(info, rows + info->next_scanline,
                             std::min<JDIMENSION>(16, info->image_height - info->next_scanline));
    jpeg_finish_compress(info);
    return true;
}

// Reassembles an ICC profile split over APP2 markers; empty when absent or malformed.
std::vector<uint8_t> EmbeddedProfile(const jpeg_decompress_struct& info) {
    std::vector<std::vector<uint8_t>> parts;
    for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next) {
        if (m->marker != JPEG_APP0 + 2 || m->data_length < 14 ||
            std::memcmp(m->data, kIccTag, sizeof kIccTag) != 0)
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

// The sampling and quantisation of the coded data; no tables when a component's is missing.
JpegCoding CodingOf(const jpeg_decompress_struct& info) {
    JpegCoding coding;
    coding.colorSpace = info.jpeg_color_space;
    bool tables = true;
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& component = info.comp_info[c];
        coding.components.push_back({uint8_t(component.h_samp_factor),
                                     uint8_t(component.v_samp_factor),
                                     uint8_t(component.quant_tbl_no)});
        tables = tables && component.quant_tbl_no >= 0 && component.quant_tbl_no < NUM_QUANT_TBLS &&
                 info.quant_tbl_ptrs[component.quant_tbl_no];
    }
    for (int t = 0; tables && t < NUM_QUANT_TBLS && info.quant_tbl_ptrs[t]; ++t) {
        std::array<uint16_t, 64> table{};
        std::copy(std::begin(info.quant_tbl_ptrs[t]->quantval),
                  std::end(info.quant_tbl_ptrs[t]->quantval), table.begin());
        coding.tables.push_back(table);
    }
    for (const JpegCoding::Component& component : coding.components)
        if (component.table >= coding.tables.size()) coding.tables.clear();
    return coding;
}

// Resolution, EXIF and XMP into the document; returns the profile. Saved markers live only until
// decompression finishes.
std::vector<uint8_t> ReadExtras(const jpeg_decompress_struct& info, Document& d) {
    Metadata& m = d.metadata;
    if (info.saw_JFIF_marker && info.X_density && info.Y_density) {
        m.xResolution = info.X_density;
        m.yResolution = info.Y_density;
        m.resolutionUnit = info.density_unit == 1   ? ResolutionUnit::Inch
                           : info.density_unit == 2 ? ResolutionUnit::Centimetre
                                                    : ResolutionUnit::None;
    }
    for (jpeg_saved_marker_ptr marker = info.marker_list; marker; marker = marker->next) {
        if (marker->marker != JPEG_APP0 + 1) continue;
        const uint8_t* data = marker->data;
        const size_t length = marker->data_length;
        if (m.exif.empty() && length > 6 && std::memcmp(data, kExifTag, 6) == 0)
            m.exif.assign(data + 6, data + length);
        else if (m.xmp.empty() && length > sizeof kXmpTag &&
                 std::memcmp(data, kXmpTag, sizeof kXmpTag) == 0)
            m.xmp.assign(reinterpret_cast<const char*>(data) + sizeof kXmpTag,
                         length - sizeof kXmpTag);
    }
    m.orientation = ExifOrientation(m.exif);
    m.jpegCoding = CodingOf(info);
    // Cameras often give their resolution only in EXIF, or a JFIF marker with none.
    if (m.resolutionUnit == ResolutionUnit::None) ReadExifResolution(m.exif, m);
    return EmbeddedProfile(info);
}

// The fewest bytes Huffman-coded data for the picture could take: every block of every
// component codes its DC difference in at least one bit.
int64_t LeastEntropyBytes(const jpeg_decompress_struct& info) {
    int64_t blocks = 0;
    for (int c = 0; c < info.num_components; ++c)
        blocks += int64_t(info.comp_info[c].width_in_blocks) * info.comp_info[c].height_in_blocks;
    return blocks / 8;
}

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

} // namespace

Document ReadJpeg(const std::filesystem::path& path, int64_t maxPixels, const CancelCheck& cancel,
                  bool acceptDamaged) {
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) throw HostFailure("cannot open " + path.string() + ": " + std::strerror(errno));
    jpeg_decompress_struct info{};
    JpegErrors errors{};
    info.err = errors.Attach(&cancel);
    errors.acceptDamaged = acceptDamaged;
    jpeg_create_decompress(&info);
    info.progress = &errors.progress;
    struct Release {
        jpeg_decompress_struct* info;
        ~Release() { jpeg_destroy_decompress(info); }
    } release{&info};

    // Everything is checked before jpeg_start_decompress, which allocates whole-picture buffers
    // for progressive files.
    if (!ReadJpegHeader(&info, file.get()))
        throw HostFailure(path.string() + ": broken JPEG: " + errors.message);
    const std::string size =
        std::to_string(info.output_width) + " x " + std::to_string(info.output_height);
    if (!PixelsWithin(info.output_width, info.output_height, maxPixels))
        throw HostFailure(path.string() + ": picture too large (" + size + ")");
    std::error_code error;
    const auto fileBytes = std::filesystem::file_size(path, error);
    if (!info.arith_code && !error && int64_t(fileBytes) < LeastEntropyBytes(info))
        throw HostFailure(path.string() + ": broken JPEG: " + std::to_string(fileBytes) +
                          " bytes cannot hold a picture of " + size);
    // A bound on libjpeg's own memory: its whole-picture buffers hold two bytes per sample.
    info.mem->max_memory_to_use = long(std::min<int64_t>(
        maxPixels * 2 * std::max(1, info.num_components) + kDecoderOverhead, LONG_MAX / 2));

    const bool cmyk = info.out_color_space == JCS_CMYK;
    const int channels = info.output_components;
    Document d = MakeDocument(cmyk ? ColorMode::CMYK : ColorMode::RGB, 8,
                              int32_t(info.output_width), int32_t(info.output_height));
    std::vector<uint8_t> profile = ReadExtras(info, d);

    const size_t rowBytes = size_t(info.output_width) * size_t(channels);
    const JDIMENSION bandRows = 16;
    std::vector<uint8_t> pixels(rowBytes * bandRows);
    std::vector<JSAMPROW> band(bandRows);
    for (size_t y = 0; y < band.size(); ++y)
        band[y] = pixels.data() + y * rowBytes;
    struct PlaneSink : RowSink {
        Document* d;
        JSAMPROW* band;
        size_t channels;
        bool inverted;
    } sink{{}, &d, band.data(), size_t(channels), cmyk && info.saw_Adobe_marker};
    sink.store = [](RowSink* base, JDIMENSION first, JDIMENSION count) {
        const auto& s = *static_cast<PlaneSink*>(base);
        Document& doc = *s.d;
        for (JDIMENSION r = 0; r < count; ++r)
            for (int c = 0; c < doc.ColorChannels(); ++c) {
                const uint8_t* from = s.band[r] + c;
                uint16_t* to = doc.planes[size_t(c)].data() + size_t(first + r) * size_t(doc.width);
                // Adobe's CMYK JPEGs store inverted inks; the Adobe marker says so.
                for (int32_t x = 0; x < doc.width; ++x) {
                    const uint8_t v = from[size_t(x) * s.channels];
                    to[x] = s.inverted ? uint8_t(255 - v) : v;
                }
            }
    };
    if (cancel && cancel()) throw Cancelled();
    if (!ReadJpegRows(&info, band.data(), bandRows, &sink)) {
        if (errors.cancelled) throw Cancelled();
        throw HostFailure(path.string() + ": broken JPEG: " + errors.message +
                          (errors.decoding ? " (--accept-damaged writes it anyway)" : ""));
    }
    if (errors.damage[0])
        d.notes.push_back(std::string("damaged JPEG data decoded anyway (") + errors.damage +
                          "); parts of the picture may be wrong");
    SettleProfile(d, std::move(profile), info.jpeg_color_space == JCS_GRAYSCALE);
    return d;
}

void WriteJpeg(const Document& d, const std::filesystem::path& path,
               const std::filesystem::path& shown, const CancelCheck& cancel) {
    const std::string cannot = "cannot write " + shown.string() + ": ";
    if (d.mode == ColorMode::Lab)
        throw HostFailure(cannot + "JPEG cannot hold Lab documents; use TIFF");
    if (d.depth != 8)
        throw HostFailure(cannot + "JPEG cannot hold 16-bit documents; use TIFF or PNG");
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) throw HostFailure(cannot + std::strerror(errno));
    jpeg_compress_struct info{};
    JpegErrors errors{};
    info.err = errors.Attach(&cancel);
    jpeg_create_compress(&info);
    info.progress = &errors.progress;
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
        if (y % 16 == 0 && cancel && cancel()) throw Cancelled();
        rows[size_t(y)] = pixels.data() + size_t(y) * rowBytes;
        for (int c = 0; c < channels; ++c) {
            const uint16_t* from = d.planes[size_t(c)].data() + size_t(y) * size_t(d.width);
            uint8_t* to = rows[size_t(y)] + c;
            // libjpeg writes the Adobe marker for CMYK, so inks are stored inverted.
            for (int32_t x = 0; x < d.width; ++x)
                to[size_t(x) * size_t(channels)] = cmyk ? uint8_t(255 - from[x]) : uint8_t(from[x]);
        }
    }

    const Metadata& m = d.metadata;
    JpegExtras extras;
    if (m.xResolution > 0 && m.yResolution > 0) {
        extras.densityUnit = m.resolutionUnit == ResolutionUnit::Inch         ? 1
                             : m.resolutionUnit == ResolutionUnit::Centimetre ? 2
                                                                              : 0;
        extras.xDensity = UINT16(std::clamp(std::lround(m.xResolution), 1L, 65535L));
        extras.yDensity = UINT16(std::clamp(std::lround(m.yResolution), 1L, 65535L));
    }
    extras.coding = &m.jpegCoding;
    const std::vector<uint8_t> exif = ExifWithOrientation(m.exif, m.orientation);
    if (!exif.empty() && exif.size() + 6 <= kMarkerBytes)
        extras.exif = exif.data(), extras.exifLength = unsigned(exif.size());
    if (!m.xmp.empty() && m.xmp.size() + sizeof kXmpTag <= kMarkerBytes)
        extras.xmp = m.xmp.data(), extras.xmpLength = unsigned(m.xmp.size());
    // 255 markers hold any profile a file can carry.
    if (!d.iccProfile.empty() && d.iccProfile.size() <= size_t(kIccChunk) * 255)
        extras.icc = d.iccProfile.data(), extras.iccLength = d.iccProfile.size();
    if (!WriteJpegAll(&info, file.get(), rows.data(), &extras)) {
        if (errors.cancelled) throw Cancelled();
        throw HostFailure(cannot + errors.message);
    }
    if (std::fflush(file.get()) != 0) throw HostFailure(cannot + std::strerror(errno));
}

} // namespace quillon::filterhost
