// PBM, PGM and PPM, plain and raw, through libnetpbm. libnetpbm reports errors by jumping to a
// process-wide buffer (or exiting the process when none is set), so reads are serialised and
// the jump lands in RunPnm, a function that owns no C++ objects.
#include "codec/Readers.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <mutex>

#include <pnm.h>

namespace quillon::codec {
namespace {

struct PnmJob {
    ImageSource* source;
    uint64_t sourceBytes;
    FILE* file;
    jmp_buf jump;
    jmp_buf* previousJump;
    xel* row;
    uint8_t* pixels; // owned here until handed out
    int32_t width;
    int32_t height;
};

std::mutex gNetpbmLock;

void Quiet(const char*) noexcept {}

ssize_t CookieRead(void* cookie, char* buffer, size_t size) noexcept {
    return ssize_t(static_cast<PnmJob*>(cookie)->source->ReadUpTo(buffer, size));
}

int CookieSeek(void* cookie, off64_t* offset, int whence) noexcept {
    ImageSource& source = *static_cast<PnmJob*>(cookie)->source;
    if (!source.Seek(*offset, whence)) return -1;
    *offset = off64_t(source.Tell());
    return 0;
}

uint8_t Scale(xelval v, xelval maxval) {
    return uint8_t((uint64_t(std::min(v, maxval)) * 255 + maxval / 2) / maxval);
}

int RunPnm(PnmJob* job) noexcept {
    if (setjmp(job->jump)) {
        pm_setjmpbuf(job->previousJump);
        return kCodecBadData;
    }
    pm_setjmpbufsave(&job->jump, &job->previousJump);

    int cols = 0, rows = 0, format = 0;
    xelval maxval = 0;
    pnm_readpnminit(job->file, &cols, &rows, &maxval, &format);
    const int type = PNM_FORMAT_TYPE(format);
    long position = ftell(job->file);
    if (position < 0 || cols < 1 || rows < 1 || maxval < 1 ||
        !(type == PBM_TYPE || type == PGM_TYPE || type == PPM_TYPE)) {
        pm_setjmpbuf(job->previousJump);
        return kCodecBadData;
    }
    if (!FitsBlockLimit(uint64_t(cols), uint64_t(rows))) {
        pm_setjmpbuf(job->previousJump);
        return kCodecOutOfMemory;
    }
    // The least a file can hold the picture in: packed bits, one or two bytes a sample, or one
    // character a sample in the plain forms.
    const uint64_t remaining =
        job->sourceBytes - std::min<uint64_t>(job->sourceBytes, uint64_t(position));
    const uint64_t samples = uint64_t(cols) * uint64_t(rows) * (type == PPM_TYPE ? 3 : 1);
    uint64_t least = samples;
    if (format == RPBM_FORMAT) {
        least = (uint64_t(cols) + 7) / 8 * uint64_t(rows);
    } else if ((format == RPGM_FORMAT || format == RPPM_FORMAT) && maxval > 255) {
        least = samples * 2;
    }
    if (least > remaining) {
        pm_setjmpbuf(job->previousJump);
        return kCodecBadData;
    }

    int code = kCodecOk;
    job->pixels = AllocateRgbBlock(cols, rows, &code);
    if (job->pixels == nullptr) {
        pm_setjmpbuf(job->previousJump);
        return code;
    }
    job->width = cols;
    job->height = rows;
    job->row = pnm_allocrow(unsigned(cols));
    uint8_t* out = job->pixels;
    for (int y = 0; y < rows; ++y) {
        pnm_readpnmrow(job->file, job->row, cols, maxval, format);
        for (int x = 0; x < cols; ++x, out += 3) {
            const xel& p = job->row[x];
            if (type == PPM_TYPE) {
                out[0] = Scale(PPM_GETR(p), maxval);
                out[1] = Scale(PPM_GETG(p), maxval);
                out[2] = Scale(PPM_GETB(p), maxval);
            } else {
                out[0] = out[1] = out[2] = Scale(PNM_GET1(p), maxval);
            }
        }
    }
    pm_setjmpbuf(job->previousJump);
    return kCodecOk;
}

} // namespace

int ReadPnm(ImageSource& source, DecodedImage& image) {
    auto job = std::make_unique<PnmJob>();
    job->source = &source;
    if (!source.Size(&job->sourceBytes)) return kCodecBadData;

    std::lock_guard<std::mutex> lock(gNetpbmLock);
    static const bool initialised = [] {
        pm_init("quillon", 0);
        pm_setusermessagefn(Quiet);
        pm_setusererrormsgfn(Quiet);
        return true;
    }();
    (void)initialised;
    cookie_io_functions_t io{CookieRead, nullptr, CookieSeek, nullptr};
    job->file = fopencookie(job.get(), "r", io);
    if (job->file == nullptr) return kCodecOutOfMemory;
    int code = RunPnm(job.get());
    if (job->row != nullptr) pnm_freerow(job->row);
    fclose(job->file);
    return AdoptRgb(code, job->pixels, job->width, job->height, image);
}

} // namespace quillon::codec
