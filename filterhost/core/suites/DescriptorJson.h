// The JSON form of descriptors, for handles, action files and the registry file: a list of items
// {"key": "abcd", "type": "TEXT", "value": ...}.
#pragma once

#include "core/suites/Descriptor.h"

#include <string>

namespace quillon::filterhost {

std::string DescriptorToJson(const Descriptor& descriptor);
// Throws HostFailure naming what is wrong.
Descriptor DescriptorFromJson(const std::string& text);

} // namespace quillon::filterhost
