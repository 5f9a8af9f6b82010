// The document rectangles the filter works in: they prefer the 32-bit big-document record once
// the plug-in has asked for it.
#pragma once

#include "pluginapi/PIFilter.h"

#include <cstdint>

namespace quillon::filter {

VRect FilterRectangle(const FilterRecord& record);
VRect OutputRectangle(const FilterRecord& record);
void SetOutputRectangle(FilterRecord& record, int32_t top, int32_t left, int32_t bottom,
                        int32_t right);

} // namespace quillon::filter
