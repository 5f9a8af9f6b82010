// The host suites the plug-in keeps from first use until it is unloaded.
#pragma once

#include "pluginapi/PIColorSpace.h"
#include "pluginapi/PIHandleSuite.h"
#include "suites/SuiteHolder.h"

namespace quillon::suites {

SuiteHolder& ColorSpaceSuite();
SuiteHolder& HandleSuite();

inline const PSColorSpaceSuite1& ColorSpace() {
    return Use<PSColorSpaceSuite1>(ColorSpaceSuite());
}

} // namespace quillon::suites
