#include "suites/SuiteHolder.h"

#include "pluginapi/ADMSuites.h"
#include "pluginapi/SPBasic.h"
#include "suites/HostError.h"
#include "suites/ScopedSuite.h"

#include <array>
#include <cstdarg>
#include <cstdio>

namespace quillon::suites {
namespace {

constexpr int32_t kParmError = kSPBadParameterError;

// Holders that have acquired their suite, so unloading can release them.
std::array<SuiteHolder*, 64> gAcquired{};
size_t gAcquiredCount = 0;

char gMessage[2000];

const SPBasicSuite* gBasic = nullptr;

} // namespace

void SetBasicSuite(const SPBasicSuite* basic) {
    gBasic = basic;
}

const SPBasicSuite* BasicSuite() {
    return gBasic;
}

int16_t ToSelectorResult(int32_t code) {
    if (code < INT16_MIN || code > INT16_MAX) return filterBadParameters;
    return static_cast<int16_t>(code);
}

const void* AcquireSuite(SuiteHolder& holder) {
    if (holder.suite) return holder.suite;
    const SPBasicSuite* basic = gBasic;
    if (!basic) throw HostError{kParmError};
    holder.error = basic->AcquireSuite(holder.name, holder.version, &holder.suite);
    if (holder.error != 0 || !holder.suite) {
        holder.suite = nullptr;
        ReportError("Suite not available %s version %d", holder.name, holder.version);
        throw HostError{holder.error != 0 ? holder.error : kParmError};
    }
    if (gAcquiredCount < gAcquired.size()) gAcquired[gAcquiredCount++] = &holder;
    return holder.suite;
}

void ReleaseAllSuites() {
    const SPBasicSuite* basic = gBasic;
    for (size_t i = 0; i < gAcquiredCount; ++i) {
        SuiteHolder& holder = *gAcquired[i];
        if (holder.suite && basic) basic->ReleaseSuite(holder.name, holder.version);
        holder.suite = nullptr;
    }
    gAcquiredCount = 0;
}

void ReportError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(gMessage, 201, format, args);
    va_end(args);
    // The dialog manager's error alert; without a host to show it, standard error.
    const ScopedSuite<ADMBasicSuite8> adm(gBasic, kADMBasicSuite, kADMBasicSuiteVersion8);
    if (adm)
        adm->ErrorAlert(gMessage);
    else
        std::fprintf(stderr, "Error: %s\n", gMessage);
}

} // namespace quillon::suites
