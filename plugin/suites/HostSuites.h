// The host suites the plug-in keeps from first use until it is unloaded.
#pragma once

#include "pluginapi/PIChannelPorts.h"
#include "pluginapi/PIColorSpace.h"
#include "pluginapi/PIFilter.h"
#include "pluginapi/PIHandleSuite.h"
#include "suites/SuiteHolder.h"

namespace quillon::suites {

SuiteHolder& ColorSpaceSuite();
SuiteHolder& HandleSuite();
SuiteHolder& ChannelPortsSuite();

inline const PSColorSpaceSuite1& ColorSpace() {
    return Use<PSColorSpaceSuite1>(ColorSpaceSuite());
}

// The host colour-space code of an image mode (0 RGB, 2 CMYK, 3 Lab), or -1 when unsupported.
constexpr int16_t ImageModeToSpace(int32_t imageMode) {
    switch (imageMode) {
    case plugInModeRGBColor:
    case plugInModeRGB48:
        return plugIncolorServicesRGBSpace;
    case plugInModeCMYKColor:
    case plugInModeCMYK64:
        return plugIncolorServicesCMYKSpace;
    case plugInModeLabColor:
    case plugInModeLab48:
        return plugIncolorServicesLabSpace;
    default:
        return -1;
    }
}

inline const PSChannelPortsSuite1& ChannelPorts() {
    return Use<PSChannelPortsSuite1>(ChannelPortsSuite());
}

} // namespace quillon::suites
