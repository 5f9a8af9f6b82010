// The host suites the plug-in keeps from first use until it is unloaded.
#pragma once

#include "host/SuiteHolder.h"
#include "pluginapi/PIColorSpace.h"
#include "pluginapi/PIHandleSuite.h"

namespace quillon::host {

SuiteHolder& ColorSpaceSuite();
SuiteHolder& HandleSuite();

inline const PSColorSpaceSuite1& ColorServices() { return Use<PSColorSpaceSuite1>(ColorSpaceSuite()); }

} // namespace quillon::host
