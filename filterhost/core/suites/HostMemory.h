// Handles and buffers the host lends to plug-ins, with accounting so that leaks show.
#pragma once

#include "pluginapi/PIHandleSuite.h"

#include <cstddef>
#include <unordered_set>

namespace quillon::filterhost {

class HostMemory {
  public:
    HostMemory();
    ~HostMemory();
    HostMemory(const HostMemory&) = delete;
    HostMemory& operator=(const HostMemory&) = delete;

    // The tables outlive every HostMemory, so a plug-in that keeps one gets errors, not freed
    // memory, once the host is gone.
    static HandleProcs* Handles();
    static BufferProcs* Buffers();
    static const PSHandleSuite2* HandleSuite();

    size_t LiveHandles() const { return handles_.size(); }
    size_t LiveBuffers() const { return buffers_.size(); }
    // The most bytes of buffers lent at one time.
    size_t PeakBufferBytes() const { return peakBufferBytes_; }
    // Calls that named a handle or buffer this host never gave out, or gave out and took back.
    int InvalidCalls() const { return invalidCalls_; }

    // Host-side access, e.g. for descriptors handed over as handles.
    Handle NewHandle(size_t size);
    void DisposeHandle(Handle h);
    bool IsLive(Handle h) const;
    char* HandleData(Handle h);
    size_t HandleSize(Handle h) const;

    // The largest single handle or buffer this host hands out.
    static constexpr size_t kMaxBlock = size_t{1} << 30;

  private:
    std::unordered_set<HandleRecord*> handles_;
    std::unordered_set<BufferRecord*> buffers_;
    int invalidCalls_ = 0;
    size_t bufferBytes_ = 0;
    size_t peakBufferBytes_ = 0;

    friend struct HostMemoryProcs;
};

} // namespace quillon::filterhost
