// JPEG through libjpeg. libjpeg reports errors by calling error_exit, which must not return: it
// jumps back into RunJpeg, a function that owns no C++ objects.
#include "codec/Readers.h"

#include <csetjmp>
#include <cstdio>
#include <memory>

#include <jerror.h>
#include <jpeglib.h>

namespace quillon::codec {
namespace {

// libjpeg's own working memory (coefficient buffers of progressive files); beyond it the
// decode fails instead of spilling to disk.
constexpr long kJpegWorkingMemory = 1L << 30;
// Progressive files may repeat scans without end; real encoders write a dozen or so.
constexpr int kMaxScans = 1000;
// Every 8 x 8 block of a Huffman-coded file costs at least one bit.
constexpr uint64_t kHuffmanPixelsPerByte = 64 * 8;

struct JpegJob {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errors;
    jmp_buf jump;
    int code;
    jpeg_source_mgr input;
    jpeg_progress_mgr progress;
    ImageSource* source;
    uint64_t sourceBytes;
    uint8_t* pixels; // owned here until handed out
    int32_t width;
    int32_t height;
    JOCTET buffer[16384];
};

JpegJob* JobOf(j_common_ptr cinfo) {
    return static_cast<JpegJob*>(cinfo->client_data);
}

void OnError(j_common_ptr cinfo) noexcept {
    JpegJob* job = JobOf(cinfo);
    int message = cinfo->err->msg_code;
    job->code = message == JERR_OUT_OF_MEMORY || message == JERR_NO_BACKING_STORE
                    ? kCodecOutOfMemory
                    : kCodecBadData;
    std::longjmp(job->jump, 1);
}

void Quiet(j_common_ptr) noexcept {}

// Scan data that stops at a marker or at the end of the file would be filled in with grey; such a
// file is truncated or corrupt, so these warnings end the decode. Other warnings pass silently.
void OnMessage(j_common_ptr cinfo, int level) noexcept {
    int message = cinfo->err->msg_code;
    if (level < 0 && (message == JWRN_HIT_MARKER || message == JWRN_JPEG_EOF)) {
        JobOf(cinfo)->code = kCodecBadData;
        std::longjmp(JobOf(cinfo)->jump, 1);
    }
}

void OnProgress(j_common_ptr cinfo) noexcept {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) ERREXIT(cinfo, JERR_NOT_COMPILED);
}

void InitSource(j_decompress_ptr) noexcept {}
void TermSource(j_decompress_ptr) noexcept {}

// The end of the data is an error: libjpeg would otherwise make up the rest of a truncated
// file as grey.
boolean FillInput(j_decompress_ptr cinfo) noexcept {
    JpegJob* job = JobOf(reinterpret_cast<j_common_ptr>(cinfo));
    size_t got = job->source->ReadUpTo(job->buffer, sizeof job->buffer);
    if (got == 0) ERREXIT(cinfo, JERR_INPUT_EOF);
    job->input.next_input_byte = job->buffer;
    job->input.bytes_in_buffer = got;
    return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count) noexcept {
    JpegJob* job = JobOf(reinterpret_cast<j_common_ptr>(cinfo));
    if (count <= 0) return;
    size_t n = static_cast<size_t>(count);
    while (n > job->input.bytes_in_buffer) {
        n -= job->input.bytes_in_buffer;
        FillInput(cinfo);
    }
    job->input.next_input_byte += n;
    job->input.bytes_in_buffer -= n;
}

int RunJpeg(JpegJob* job) noexcept {
    j_decompress_ptr cinfo = &job->cinfo;
    cinfo->err = jpeg_std_error(&job->errors);
    job->errors.error_exit = OnError;
    job->errors.output_message = Quiet;
    job->errors.emit_message = OnMessage;
    cinfo->client_data = job;
    if (setjmp(job->jump)) return job->code;

    jpeg_create_decompress(cinfo);
    cinfo->client_data = job;
    cinfo->mem->max_memory_to_use = kJpegWorkingMemory;
    job->input.init_source = InitSource;
    job->input.fill_input_buffer = FillInput;
    job->input.skip_input_data = SkipInput;
    job->input.resync_to_restart = jpeg_resync_to_restart;
    job->input.term_source = TermSource;
    cinfo->src = &job->input;
    job->progress.progress_monitor = OnProgress;
    cinfo->progress = &job->progress;

    jpeg_read_header(cinfo, TRUE);
    if (!FitsBlockLimit(cinfo->image_width, cinfo->image_height)) return kCodecOutOfMemory;
    uint64_t pixels = uint64_t(cinfo->image_width) * cinfo->image_height;
    if (!cinfo->arith_code && !CouldHold(pixels, job->sourceBytes, kHuffmanPixelsPerByte)) {
        return kCodecBadData;
    }
    // Four-component files are taken as Adobe writes them, inverted (255 = no ink), and turned
    // into RGB as C x K / 255 without colour management, like CMYK Photoshop documents.
    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(cinfo);
    if (cinfo->output_components != (cmyk ? 4 : 3)) return kCodecBadData;

    int code = kCodecOk;
    job->pixels = AllocateRgbBlock(cinfo->output_width, cinfo->output_height, &code);
    if (job->pixels == nullptr) return code;
    job->width = int32_t(cinfo->output_width);
    job->height = int32_t(cinfo->output_height);
    const size_t stride = size_t(cinfo->output_width) * 3;
    JSAMPARRAY cmykRow = cmyk ? (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo),
                                                            JPOOL_IMAGE, cinfo->output_width * 4, 1)
                              : nullptr;
    while (cinfo->output_scanline < cinfo->output_height) {
        uint8_t* out = job->pixels + size_t(cinfo->output_scanline) * stride;
        if (!cmyk) {
            jpeg_read_scanlines(cinfo, &out, 1);
            continue;
        }
        jpeg_read_scanlines(cinfo, cmykRow, 1);
        const JSAMPLE* in = cmykRow[0];
        for (JDIMENSION x = 0; x < cinfo->output_width; ++x, in += 4, out += 3) {
            out[0] = uint8_t(in[0] * in[3] / 255);
            out[1] = uint8_t(in[1] * in[3] / 255);
            out[2] = uint8_t(in[2] * in[3] / 255);
        }
    }
    // The rest of the file (trailing markers, a missing EOI) is not needed.
    return kCodecOk;
}

} // namespace

int ReadJpeg(ImageSource& source, DecodedImage& image) {
    auto job = std::make_unique<JpegJob>();
    job->source = &source;
    if (!source.Size(&job->sourceBytes)) job->sourceBytes = 0;
    int code = RunJpeg(job.get());
    jpeg_destroy_decompress(&job->cinfo);
    return AdoptRgb(code, job->pixels, job->width, job->height, image);
}

} // namespace quillon::codec
