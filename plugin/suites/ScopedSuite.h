// A host suite acquired for one use and released when the holder goes: for the suites a call
// needs only then (the registry, the action suites), where a SuiteHolder keeps the module's
// working suites until it is unloaded.
#pragma once

#include "pluginapi/SPBasic.h"

#include <cstdint>

namespace quillon::suites {

template <typename Suite> class ScopedSuite {
  public:
    // Without a basic suite nothing is acquired and Error() says the host is insufficient.
    ScopedSuite(const SPBasicSuite* basic, const char* name, int32_t version)
        : basic_(basic), name_(name), version_(version) {
        if (!basic) {
            error_ = errPlugInHostInsufficient;
            return;
        }
        const void* suite = nullptr;
        error_ = basic->AcquireSuite(name, version, &suite);
        if (error_ == kSPNoError && suite)
            suite_ = static_cast<const Suite*>(suite);
        else if (error_ == kSPNoError)
            error_ = errPlugInHostInsufficient;
    }
    ~ScopedSuite() {
        if (suite_) basic_->ReleaseSuite(name_, version_);
    }
    ScopedSuite(const ScopedSuite&) = delete;
    ScopedSuite& operator=(const ScopedSuite&) = delete;

    const Suite* operator->() const { return suite_; }
    const Suite& operator*() const { return *suite_; }
    explicit operator bool() const { return suite_ != nullptr; }
    SPErr Error() const { return error_; }

  private:
    const SPBasicSuite* basic_;
    const char* name_;
    int32_t version_;
    const Suite* suite_ = nullptr;
    SPErr error_ = kSPNoError;
};

} // namespace quillon::suites
