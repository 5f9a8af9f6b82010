#include "codec/ImageSource.h"

#include "codec/CodecState.h"
#include "codec/ImageCodec.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon::codec {

ImageSource::~ImageSource() {
    if (kind == Kind::File && fd >= 0) close(fd);
    magic = 0;
}

bool ImageSource::Valid() const {
    if (magic != kMagic) return false;
    if (kind == Kind::Memory) return bytes != nullptr;
    return fd >= 0;
}

bool ImageSource::Size(uint64_t* size) const {
    if (kind == Kind::Memory) {
        *size = byteCount;
        return true;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return false;
    *size = static_cast<uint64_t>(st.st_size);
    return true;
}

size_t ImageSource::ReadUpTo(void* dst, size_t n) {
    if (kind == Kind::Memory) {
        if (position >= byteCount) return 0;
        size_t count = std::min<uint64_t>(n, byteCount - position);
        std::memcpy(dst, bytes + position, count);
        position += count;
        return count;
    }
    auto* out = static_cast<uint8_t*>(dst);
    size_t done = 0;
    while (done < n) {
        ssize_t got = pread(fd, out + done, n - done, static_cast<off_t>(position));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
        position += static_cast<uint64_t>(got);
    }
    return done;
}

bool ImageSource::ReadExact(void* dst, size_t n) {
    return ReadUpTo(dst, n) == n;
}

bool ImageSource::Seek(int64_t offset, int whence) {
    uint64_t size = 0;
    if (!Size(&size)) return false;
    int64_t base = 0;
    if (whence == SEEK_CUR) {
        base = static_cast<int64_t>(position);
    } else if (whence == SEEK_END) {
        base = static_cast<int64_t>(size);
    } else if (whence != SEEK_SET) {
        return false;
    }
    int64_t target = 0;
    if (__builtin_add_overflow(base, offset, &target)) return false;
    if (target < 0 || static_cast<uint64_t>(target) > size) return false;
    position = static_cast<uint64_t>(target);
    return true;
}

ImageSource* SourceFromMemory(const void* bytes, size_t size) {
    if (bytes == nullptr || size == 0) {
        SetCodecError(kCodecBadArgument);
        return nullptr;
    }
    auto* source = new (std::nothrow) ImageSource;
    if (source == nullptr) {
        SetCodecError(kCodecOutOfMemory);
        return nullptr;
    }
    source->kind = ImageSource::Kind::Memory;
    source->bytes = static_cast<const uint8_t*>(bytes);
    source->byteCount = size;
    SetCodecError(kCodecOk);
    return source;
}

ImageSource* SourceFromHandle(int fd) {
    if (fd < 0) {
        SetCodecError(kCodecUnrecognised);
        return nullptr;
    }
    auto* source = new (std::nothrow) ImageSource;
    if (source == nullptr) {
        SetCodecError(kCodecOutOfMemory);
        return nullptr;
    }
    source->kind = ImageSource::Kind::Handle;
    source->fd = fd;
    SetCodecError(kCodecOk);
    return source;
}

ImageSource* SourceFromFile(const char* path) {
    if (path == nullptr) {
        SetCodecError(kCodecBadArgument);
        return nullptr;
    }
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetCodecError(kCodecUnrecognised);
        return nullptr;
    }
    auto* source = new (std::nothrow) ImageSource;
    if (source == nullptr) {
        close(fd);
        SetCodecError(kCodecOutOfMemory);
        return nullptr;
    }
    source->kind = ImageSource::Kind::File;
    source->fd = fd;
    source->name = path;
    SetCodecError(kCodecOk);
    return source;
}

void CloseImageSource(ImageSource* source) {
    if (source == nullptr || source->magic != ImageSource::kMagic) {
        SetCodecError(source == nullptr ? kCodecBadArgument : kCodecInvalidSource);
        return;
    }
    delete source;
    SetCodecError(kCodecOk);
}

} // namespace quillon::codec
