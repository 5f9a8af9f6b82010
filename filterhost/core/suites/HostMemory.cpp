#include "core/suites/HostMemory.h"

#include "core/HugePages.h"
#include "core/suites/GuardedCall.h"
#include "core/suites/SessionServices.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

struct HandleRecord {
    std::vector<char> bytes;
    int locks = 0;
};

// Buffers are lent uninitialised, as hosts do: a large one costs no time until it is written.
struct BufferRecord {
    std::unique_ptr<char[]> bytes;
    size_t size;
};

namespace quillon::filterhost {

struct HostMemoryProcs {
    static HostMemory* Memory() {
        SessionServices* session = SessionServices::Current();
        return session ? &session->Memory() : nullptr;
    }
    template <typename Record> static Record* Live(Record* r, HandleKind kind) {
        HostMemory* m = Memory();
        if (!m) return nullptr;
        if (!m->table_.Is(r, kind)) {
            ++m->invalidCalls_;
            return nullptr;
        }
        return r;
    }
    static HandleRecord* Live(Handle h) { return Live(h, HandleKind::Handle); }
    static BufferRecord* Live(BufferID b) { return Live(b, HandleKind::Buffer); }
    static bool Fits(int32 size) { return size >= 0 && size_t(size) <= HostMemory::kMaxBlock; }

    static Handle New(int32 size) noexcept {
        return GuardedCall<Handle>(nullptr, [&]() -> Handle {
            HostMemory* m = Memory();
            return m && Fits(size) ? m->NewHandle(size_t(size)) : nullptr;
        });
    }
    static void Dispose(Handle h) noexcept {
        if (Live(h)) Memory()->DisposeHandle(h);
    }
    static int32 GetSize(Handle h) noexcept {
        HandleRecord* r = Live(h);
        return r ? static_cast<int32>(r->bytes.size()) : 0;
    }
    static OSErr SetSize(Handle h, int32 size) noexcept {
        HandleRecord* r = Live(h);
        if (!r || !Fits(size)) return filterBadParameters;
        if (r->locks > 0) return filterBadParameters; // a locked block must not move
        return GuardedCall<OSErr>(memFullErr, [&] {
            r->bytes.resize(size_t(size));
            return OSErr(noErr);
        });
    }
    static Ptr Lock(Handle h, Boolean) noexcept {
        HandleRecord* r = Live(h);
        if (!r) return nullptr;
        ++r->locks;
        return r->bytes.data();
    }
    static void Unlock(Handle h) noexcept {
        HandleRecord* r = Live(h);
        if (r && r->locks > 0) --r->locks;
    }
    static void SetLock(Handle h, Boolean lock, Ptr* address, Boolean* oldLock) noexcept {
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

    static OSErr Allocate(int32 size, BufferID* id) noexcept {
        if (!id) return filterBadParameters;
        *id = nullptr;
        HostMemory* m = Memory();
        if (!m || !Fits(size)) return filterBadParameters;
        return GuardedCall<OSErr>(memFullErr, [&] {
            // Lent uninitialised, as the interface allows, and on huge pages where the system
            // offers them: a filter's buffers are large and written before they are read.
            auto b = std::make_unique<BufferRecord>(
                BufferRecord{std::unique_ptr<char[]>(new char[size_t(size)]), size_t(size)});
            AdviseHugePages(b->bytes.get(), b->size);
            m->table_.Add(b.get(), HandleKind::Buffer);
            m->bufferBytes_ += b->size;
            m->peakBufferBytes_ = std::max(m->peakBufferBytes_, m->bufferBytes_);
            *id = b.release();
            return OSErr(noErr);
        });
    }
    static Ptr LockBuffer(BufferID id, Boolean) noexcept {
        BufferRecord* b = Live(id);
        return b ? b->bytes.get() : nullptr;
    }
    static void UnlockBuffer(BufferID id) noexcept { Live(id); }
    static void FreeBuffer(BufferID id) noexcept {
        if (BufferRecord* b = Live(id)) {
            Memory()->bufferBytes_ -= b->size;
            Memory()->table_.Remove(b, HandleKind::Buffer);
            delete b;
        }
    }
    static int32 Space() noexcept { return static_cast<int32>(HostMemory::kMaxBlock); }
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

HostMemory::HostMemory(HandleTable& table) : table_(table) {}

HostMemory::~HostMemory() {
    for (void* h : table_.All(HandleKind::Handle)) {
        table_.Remove(h, HandleKind::Handle);
        delete static_cast<HandleRecord*>(h);
    }
    for (void* b : table_.All(HandleKind::Buffer)) {
        table_.Remove(b, HandleKind::Buffer);
        delete static_cast<BufferRecord*>(b);
    }
}

Handle HostMemory::NewHandle(size_t size) {
    auto h = std::make_unique<HandleRecord>(HandleRecord{std::vector<char>(size), 0});
    table_.Add(h.get(), HandleKind::Handle);
    return h.release();
}

void HostMemory::DisposeHandle(Handle h) {
    if (table_.Remove(h, HandleKind::Handle)) delete h;
}

bool HostMemory::IsLive(Handle h) const {
    return table_.Is(h, HandleKind::Handle);
}

char* HostMemory::HandleData(Handle h) {
    return IsLive(h) ? h->bytes.data() : nullptr;
}

size_t HostMemory::HandleSize(Handle h) const {
    return IsLive(h) ? h->bytes.size() : 0;
}

} // namespace quillon::filterhost
