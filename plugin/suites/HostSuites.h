// The host suites the plug-in keeps from first use until it is unloaded.
#pragma once

#include "pluginapi/PIChannelPorts.h"
#include "pluginapi/PIColorSpace.h"
#include "pluginapi/PIHandleSuite.h"
#include "suites/SuiteHolder.h"

namespace quillon::suites {

SuiteHolder& ColorSpaceSuite();
SuiteHolder& HandleSuite();
SuiteHolder& ChannelPortsSuite();

inline const PSColorSpaceSuite1& ColorSpace() {
    return Use<PSColorSpaceSuite1>(ColorSpaceSuite());
}

inline const PSChannelPortsSuite1& ChannelPorts() {
    return Use<PSChannelPortsSuite1>(ChannelPortsSuite());
}

} // namespace quillon::suites
