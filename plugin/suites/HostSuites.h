// The host suites the plug-in keeps from first use until it is unloaded.
#pragma once

#include "suites/SuiteHolder.h"
#include "pluginapi/PIColorSpace.h"
#include "pluginapi/PIHandleSuite.h"

namespace quillon::suites {

SuiteHolder& ColorSpaceSuite();
SuiteHolder& HandleSuite();

inline const PSColorSpaceSuite1& ColorSpace() { return Use<PSColorSpaceSuite1>(ColorSpaceSuite()); }

} // namespace quillon::suites
