// The settings file lies in the user's configuration folder, where anything may change it: any
// bytes must parse or fail with a message, and what parses must format back to the same bytes.
#include "core/HostFailure.h"
#include "core/actions/StoredSettings.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillon::filterhost;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        const StoredSettings settings = ParseStoredSettings(bytes);
        if (FormatStoredSettings(settings) != bytes) std::abort();
    } catch (const HostFailure&) {
    }
    return 0;
}
