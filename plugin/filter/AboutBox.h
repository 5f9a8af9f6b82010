// The about box: the product picture, the version and the maker's notice, and a button that opens
// the update page.
#pragma once

#include "pluginapi/PIFilter.h"

namespace quillon::filter {

inline constexpr const char* kUpdateAddress = "http://www.nerrow.com/qln/update?version=2.0.1";

void ShowAboutBox(const AboutRecord& about);

} // namespace quillon::filter
