// One function per step of the filter protocol.
#pragma once

#include "pluginapi/PIFilter.h"

namespace quillon::filter {

void DoAbout(AboutRecord& about);
void DoParameters();
void DoPrepare();
void DoStart();
void DoContinue();
void DoFinish();

} // namespace quillon::filter
