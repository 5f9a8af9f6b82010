// Handles and buffers as the plug-in sees them, with the accounting that catches leaks.
#include "core/session/FilterSession.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using quillon::filterhost::FilterSession;
using quillon::filterhost::HostMemory;

TEST(HostMemory, HandlesKeepTheirBytesAndAreCounted) {
    FilterSession session;
    HostMemory& memory = session.Memory();
    HandleProcs& procs = *memory.Handles();
    Handle h = procs.newProc(32788);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(procs.getSizeProc(h), 32788);
    char* p = procs.lockProc(h, true);
    std::memcpy(p, "NQln", 4);
    procs.unlockProc(h);
    EXPECT_EQ(std::memcmp(procs.lockProc(h, false), "NQln", 4), 0);
    procs.unlockProc(h);
    EXPECT_EQ(memory.LiveHandles(), 1u);
    procs.disposeProc(h);
    EXPECT_EQ(memory.LiveHandles(), 0u);
    EXPECT_EQ(memory.InvalidCalls(), 0);
}

TEST(HostMemory, ForeignOrDisposedHandlesAreRefusedAndCounted) {
    FilterSession session;
    HostMemory& memory = session.Memory();
    HandleProcs& procs = *memory.Handles();
    Handle h = procs.newProc(8);
    procs.disposeProc(h);
    procs.disposeProc(h);
    EXPECT_EQ(procs.lockProc(h, false), nullptr);
    EXPECT_EQ(procs.newProc(-1), nullptr);
    EXPECT_EQ(memory.InvalidCalls(), 2);
}

TEST(HostMemory, LockedHandlesDoNotMove) {
    FilterSession session;
    HostMemory& memory = session.Memory();
    HandleProcs& procs = *memory.Handles();
    Handle h = procs.newProc(4);
    procs.lockProc(h, false);
    EXPECT_NE(procs.setSizeProc(h, 4096), 0);
    procs.unlockProc(h);
    EXPECT_EQ(procs.setSizeProc(h, 4096), 0);
    EXPECT_EQ(procs.getSizeProc(h), 4096);
    procs.disposeProc(h);
}

TEST(HostMemory, BuffersAreCountedUntilFreed) {
    FilterSession session;
    HostMemory& memory = session.Memory();
    BufferProcs& procs = *memory.Buffers();
    BufferID id = nullptr;
    ASSERT_EQ(procs.allocateProc(1000, &id), 0);
    ASSERT_NE(procs.lockProc(id, true), nullptr);
    procs.unlockProc(id);
    EXPECT_EQ(memory.LiveBuffers(), 1u);
    procs.freeProc(id);
    EXPECT_EQ(memory.LiveBuffers(), 0u);
    EXPECT_NE(procs.allocateProc(-5, &id), 0);
    EXPECT_EQ(id, nullptr);
}

} // namespace
