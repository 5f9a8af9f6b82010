#include "core/suites/HostMemory.h"

#include "core/HostFailure.h"

#include <algorithm>
#include <cstring>
#include <vector>

struct HandleRecord {
    std::vector<char> bytes;
    int locks = 0;
};

struct BufferRecord {
    std::vector<char> bytes;
};

namespace quillon::filterhost {
namespace {
HostMemory* gMemory = nullptr;
} // namespace

struct HostMemoryProcs {
    static HandleRecord* Live(Handle h) {
        if (!gMemory || !h || !gMemory->handles_.count(h)) {
            if (gMemory) ++gMemory->invalidCalls_;
            return nullptr;
        }
        return h;
    }
    static BufferRecord* Live(BufferID b) {
        if (!gMemory || !b || !gMemory->buffers_.count(b)) {
            if (gMemory) ++gMemory->invalidCalls_;
            return nullptr;
        }
        return b;
    }

    static Handle New(int32 size) {
        if (!gMemory || size < 0 || size_t(size) > HostMemory::kMaxBlock) return nullptr;
        return gMemory->NewHandle(size_t(size));
    }
    static void Dispose(Handle h) {
        if (Live(h)) gMemory->DisposeHandle(h);
    }
    static int32 GetSize(Handle h) {
        HandleRecord* r = Live(h);
        return r ? static_cast<int32>(r->bytes.size()) : 0;
    }
    static OSErr SetSize(Handle h, int32 size) {
        HandleRecord* r = Live(h);
        if (!r || size < 0 || size_t(size) > HostMemory::kMaxBlock) return filterBadParameters;
        if (r->locks > 0) return filterBadParameters; // a locked block must not move
        r->bytes.resize(size_t(size));
        return noErr;
    }
    static Ptr Lock(Handle h, Boolean) {
        HandleRecord* r = Live(h);
        if (!r) return nullptr;
        ++r->locks;
        return r->bytes.data();
    }
    static void Unlock(Handle h) {
        HandleRecord* r = Live(h);
        if (r && r->locks > 0) --r->locks;
    }
    static void SetLock(Handle h, Boolean lock, Ptr* address, Boolean* oldLock) {
        HandleRecord* r = Live(h);
        if (oldLock) *oldLock = r && r->locks > 0;
        if (address) *address = nullptr;
        if (!r) return;
        if (lock) {
            ++r->locks;
            if (address) *address = r->bytes.data();
        } else if (r->locks > 0) {
            --r->locks;
        }
    }

    static OSErr Allocate(int32 size, BufferID* id) {
        if (!id) return filterBadParameters;
        *id = nullptr;
        if (!gMemory || size < 0 || size_t(size) > HostMemory::kMaxBlock)
            return filterBadParameters;
        auto* b = new BufferRecord{std::vector<char>(size_t(size))};
        gMemory->buffers_.insert(b);
        gMemory->bufferBytes_ += size_t(size);
        gMemory->peakBufferBytes_ = std::max(gMemory->peakBufferBytes_, gMemory->bufferBytes_);
        *id = b;
        return noErr;
    }
    static Ptr LockBuffer(BufferID id, Boolean) {
        BufferRecord* b = Live(id);
        return b ? b->bytes.data() : nullptr;
    }
    static void UnlockBuffer(BufferID id) { Live(id); }
    static void FreeBuffer(BufferID id) {
        if (BufferRecord* b = Live(id)) {
            gMemory->bufferBytes_ -= b->bytes.size();
            gMemory->buffers_.erase(b);
            delete b;
        }
    }
    static int32 Space() { return static_cast<int32>(HostMemory::kMaxBlock); }
};

HandleProcs* HostMemory::Handles() {
    static HandleProcs procs{1,
                             6,
                             &HostMemoryProcs::New,
                             &HostMemoryProcs::Dispose,
                             &HostMemoryProcs::GetSize,
                             &HostMemoryProcs::SetSize,
                             &HostMemoryProcs::Lock,
                             &HostMemoryProcs::Unlock};
    return &procs;
}

BufferProcs* HostMemory::Buffers() {
    static BufferProcs procs{1,
                             5,
                             &HostMemoryProcs::Allocate,
                             &HostMemoryProcs::LockBuffer,
                             &HostMemoryProcs::UnlockBuffer,
                             &HostMemoryProcs::FreeBuffer,
                             &HostMemoryProcs::Space};
    return &procs;
}

const PSHandleSuite2* HostMemory::HandleSuite() {
    static const PSHandleSuite2 suite{&HostMemoryProcs::New,     &HostMemoryProcs::Dispose,
                                      &HostMemoryProcs::Dispose, &HostMemoryProcs::SetLock,
                                      &HostMemoryProcs::GetSize, &HostMemoryProcs::SetSize};
    return &suite;
}

HostMemory::HostMemory() {
    if (gMemory) throw HostFailure("only one host memory may be live");
    gMemory = this;
}

HostMemory::~HostMemory() {
    for (HandleRecord* h : handles_)
        delete h;
    for (BufferRecord* b : buffers_)
        delete b;
    gMemory = nullptr;
}

Handle HostMemory::NewHandle(size_t size) {
    auto* h = new HandleRecord{std::vector<char>(size), 0};
    handles_.insert(h);
    return h;
}

void HostMemory::DisposeHandle(Handle h) {
    if (handles_.erase(h)) delete h;
}

bool HostMemory::IsLive(Handle h) const {
    return h && handles_.count(h);
}

char* HostMemory::HandleData(Handle h) {
    return IsLive(h) ? h->bytes.data() : nullptr;
}

size_t HostMemory::HandleSize(Handle h) const {
    return IsLive(h) ? h->bytes.size() : 0;
}

} // namespace quillon::filterhost
