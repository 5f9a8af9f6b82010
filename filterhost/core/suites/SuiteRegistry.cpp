#include "core/suites/SuiteRegistry.h"

#include "core/HostFailure.h"

#include <cstdlib>
#include <cstring>

namespace quillon::filterhost {
namespace {

// The plug-in calls through plain C function pointers, so the live registry is found here.
SuiteRegistry* gRegistry = nullptr;

Boolean IsEqual(const char* a, const char* b) {
    return a && b && std::strcmp(a, b) == 0;
}

SPErr AllocateBlock(size_t size, void** block) {
    *block = std::malloc(size ? size : 1);
    return *block ? kSPNoError : kSPBadParameterError;
}

SPErr FreeBlock(void* block) {
    std::free(block);
    return kSPNoError;
}

SPErr ReallocateBlock(void* block, size_t size, void** out) {
    void* grown = std::realloc(block, size ? size : 1);
    if (!grown) return kSPBadParameterError;
    *out = grown;
    return kSPNoError;
}

SPErr Undefined() {
    return kSPBadParameterError;
}

} // namespace

struct BasicSuiteProcs {
    static SPErr AcquireSuite(const char* name, int32 version, const void** suite) {
        if (!suite) return kSPBadParameterError;
        *suite = nullptr;
        if (!gRegistry || !name) return kSPBadParameterError;
        auto it = gRegistry->suites_.find({name, version});
        if (it == gRegistry->suites_.end()) return kSPSuiteNotFoundError;
        *suite = it->second;
        ++gRegistry->held_[{name, version}];
        ++gRegistry->totalAcquisitions_;
        return kSPNoError;
    }
    static SPErr ReleaseSuite(const char* name, int32 version) {
        if (!gRegistry || !name) return kSPBadParameterError;
        auto it = gRegistry->held_.find({name, version});
        if (it == gRegistry->held_.end() || it->second == 0) return kSPBadParameterError;
        --it->second;
        return kSPNoError;
    }
};

namespace {
SPBasicSuite gBasic{&BasicSuiteProcs::AcquireSuite,
                    &BasicSuiteProcs::ReleaseSuite,
                    &IsEqual,
                    &AllocateBlock,
                    &FreeBlock,
                    &ReallocateBlock,
                    &Undefined};
} // namespace

SPBasicSuite* SuiteRegistry::Basic() {
    return &gBasic;
}

SuiteRegistry::SuiteRegistry() {
    if (gRegistry) throw HostFailure("only one suite registry may be live");
    gRegistry = this;
}

SuiteRegistry::~SuiteRegistry() {
    gRegistry = nullptr;
}

void SuiteRegistry::Offer(const std::string& name, int32 version, const void* suite) {
    suites_[{name, version}] = suite;
}

void SuiteRegistry::Withdraw(const std::string& name, int32 version) {
    suites_.erase({name, version});
}

int SuiteRegistry::Outstanding() const {
    int total = 0;
    for (const auto& [key, count] : held_)
        total += count;
    return total;
}

int SuiteRegistry::Outstanding(const std::string& name, int32 version) const {
    auto it = held_.find({name, version});
    return it == held_.end() ? 0 : it->second;
}

} // namespace quillon::filterhost
