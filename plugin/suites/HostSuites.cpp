#include "suites/HostSuites.h"

namespace quillon::suites {
namespace {

// Constant-initialised, so they are whole before any code runs and still whole at unload.
SuiteHolder gColorSpace{nullptr, kPSColorSpaceSuiteVersion1, kPSColorSpaceSuite, 0};
SuiteHolder gHandle{nullptr, kPSHandleSuiteVersion2, kPSHandleSuite, 0};
SuiteHolder gChannelPorts{nullptr, kPSChannelPortsSuiteVersion2, kPSChannelPortsSuite, 0};

} // namespace

SuiteHolder& ColorSpaceSuite() {
    return gColorSpace;
}
SuiteHolder& HandleSuite() {
    return gHandle;
}
SuiteHolder& ChannelPortsSuite() {
    return gChannelPorts;
}

} // namespace quillon::suites
