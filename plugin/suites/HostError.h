// The one error type of the plug-in's host layer: an operation abandoned with a host status.
#pragma once

#include <cstdint>

namespace quillon::suites {

struct HostError {
    int32_t code;
};

// The selector's result is a 16-bit host code; a wider code (a four-character status) cannot be
// told apart there, so it ends as "bad parameters".
int16_t ToSelectorResult(int32_t code);

} // namespace quillon::suites
