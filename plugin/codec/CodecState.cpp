#include "codec/CodecState.h"

namespace quillon::codec {
namespace {

struct ThreadRecord {
    int lastError = kCodecOk;
};

// Each thread's own record. Nothing is allocated for it, so a module that holds the layer may be
// loaded and unloaded any number of times without leaving anything behind.
ThreadRecord& ThisThread() {
    thread_local ThreadRecord record;
    return record;
}

} // namespace

void SetCodecError(int code) {
    ThisThread().lastError = code;
}

int CodecLastError() {
    return ThisThread().lastError;
}

uint8_t* AllocateRgbBlock(int64_t width, int64_t height, int* code) noexcept {
    if (width < 1 || height < 1) {
        *code = kCodecBadData;
        return nullptr;
    }
    uint64_t bytes = 0;
    if (__builtin_mul_overflow(static_cast<uint64_t>(width), static_cast<uint64_t>(height),
                               &bytes) ||
        __builtin_mul_overflow(bytes, uint64_t{3}, &bytes) || bytes > kMaxImageBytes) {
        *code = kCodecOutOfMemory;
        return nullptr;
    }
    auto* block = static_cast<uint8_t*>(std::calloc(bytes, 1));
    *code = block == nullptr ? kCodecOutOfMemory : kCodecOk;
    return block;
}

int AllocateRgb(int64_t width, int64_t height, DecodedImage& image) {
    int code = kCodecOk;
    uint8_t* block = AllocateRgbBlock(width, height, &code);
    if (block == nullptr) return code;
    return AdoptRgb(kCodecOk, block, static_cast<int32_t>(width), static_cast<int32_t>(height),
                    image);
}

int AdoptRgb(int code, uint8_t* block, int32_t width, int32_t height, DecodedImage& image) {
    if (code != kCodecOk) {
        std::free(block);
        return code;
    }
    image.pixels.reset(block);
    image.width = width;
    image.height = height;
    return kCodecOk;
}

bool FitsBlockLimit(uint64_t width, uint64_t height) noexcept {
    return SatMul(SatMul(width, height), 3) <= kMaxImageBytes;
}

bool CouldHold(uint64_t units, uint64_t storedBytes, uint64_t unitsPerByte) {
    if (units <= kAlwaysAllowedPixels) return true;
    uint64_t capacity = 0;
    if (__builtin_mul_overflow(storedBytes, unitsPerByte, &capacity)) return true;
    return units <= capacity;
}

void ReleaseRgbImage(uint8_t* pixels) {
    std::free(pixels);
    SetCodecError(kCodecOk);
}

} // namespace quillon::codec
