// The path of the last sample image file, kept in the host's descriptor registry from one
// session of the host to the next.
#pragma once

#include "pluginapi/SPBasic.h"

#include <span>

namespace quillon::dialog {

// Fills path with the remembered sample file path; empty means the built-in sample. A failed
// registry call, or a stored path that does not fit, leaves path as it was. Returns the host's
// code, or errPlugInHostInsufficient when there is no basic suite.
SPErr LoadRememberedSample(const SPBasicSuite* basic, std::span<wchar_t> path);

// Registers path (empty: the built-in sample) persistently; the same returns.
SPErr RememberSample(const SPBasicSuite* basic, const wchar_t* path);

} // namespace quillon::dialog
