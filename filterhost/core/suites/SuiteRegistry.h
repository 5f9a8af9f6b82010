// The basic suite: hands out the host's suites by name and version and counts what is held.
#pragma once

#include "pluginapi/SPBasic.h"

#include <map>
#include <string>
#include <utility>

namespace quillon::filterhost {

class SuiteRegistry {
  public:
    SuiteRegistry() = default;
    SuiteRegistry(const SuiteRegistry&) = delete;
    SuiteRegistry& operator=(const SuiteRegistry&) = delete;

    void Offer(const std::string& name, int32 version, const void* suite);
    void Withdraw(const std::string& name, int32 version);

    // The table handed to plug-ins. It outlives every registry, so a module unloaded late
    // gets errors, not freed memory; it reaches the registry of the session in use.
    static SPBasicSuite* Basic();

    // Acquisitions not yet released, over all suites.
    int Outstanding() const;
    int Outstanding(const std::string& name, int32 version) const;
    int TotalAcquisitions() const { return totalAcquisitions_; }

  private:
    using Key = std::pair<std::string, int32>;
    friend struct BasicSuiteProcs;

    std::map<Key, const void*> suites_;
    std::map<Key, int> held_;
    int totalAcquisitions_ = 0;
};

} // namespace quillon::filterhost
