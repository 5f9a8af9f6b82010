// Asking the system for huge pages on large blocks before they are first touched: a block of
// tens of megabytes would otherwise spend much of its first use in page faults, one per 4 KiB,
// and its random accesses in address-translation misses.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

namespace quillon::filterhost {

inline void AdviseHugePages(const void* data, size_t bytes) {
    constexpr uintptr_t kPage = 4096;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kPage - 1) & ~(kPage - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kPage - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

} // namespace quillon::filterhost
