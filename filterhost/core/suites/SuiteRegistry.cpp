#include "core/suites/SuiteRegistry.h"

#include "core/suites/GuardedCall.h"
#include "core/suites/SessionServices.h"

#include <cstdlib>
#include <cstring>

namespace quillon::filterhost {
namespace {

SuiteRegistry* Registry() {
    SessionServices* session = SessionServices::Current();
    return session ? &session->Suites() : nullptr;
}

Boolean IsEqual(const char* a, const char* b) noexcept {
    return a && b && std::strcmp(a, b) == 0;
}

SPErr AllocateBlock(size_t size, void** block) noexcept {
    if (!block) return kSPBadParameterError;
    *block = std::malloc(size ? size : 1);
    return *block ? kSPNoError : kSPBadParameterError;
}

SPErr FreeBlock(void* block) noexcept {
    std::free(block);
    return kSPNoError;
}

SPErr ReallocateBlock(void* block, size_t size, void** out) noexcept {
    if (!out) return kSPBadParameterError;
    void* grown = std::realloc(block, size ? size : 1);
    if (!grown) return kSPBadParameterError;
    *out = grown;
    return kSPNoError;
}

SPErr Undefined() noexcept {
    return kSPBadParameterError;
}

} // namespace

struct BasicSuiteProcs {
    static SPErr AcquireSuite(const char* name, int32 version, const void** suite) noexcept {
        if (!suite) return kSPBadParameterError;
        *suite = nullptr;
        SuiteRegistry* registry = Registry();
        if (!registry || !name) return kSPBadParameterError;
        return GuardedCall<SPErr>(kSPBadParameterError, [&] {
            const SuiteRegistry::Key key{name, version};
            auto it = registry->suites_.find(key);
            if (it == registry->suites_.end()) return SPErr(kSPSuiteNotFoundError);
            ++registry->held_[key];
            ++registry->totalAcquisitions_;
            *suite = it->second;
            return SPErr(kSPNoError);
        });
    }
    static SPErr ReleaseSuite(const char* name, int32 version) noexcept {
        SuiteRegistry* registry = Registry();
        if (!registry || !name) return kSPBadParameterError;
        return GuardedCall<SPErr>(kSPBadParameterError, [&] {
            auto it = registry->held_.find({name, version});
            if (it == registry->held_.end() || it->second == 0) return SPErr(kSPBadParameterError);
            --it->second;
            return SPErr(kSPNoError);
        });
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
