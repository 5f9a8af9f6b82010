// Registration resources from modules on disk: any bytes must parse or fail with a message.
#include "core/HostFailure.h"
#include "core/module/PiplParser.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        quillon::filterhost::ParsePipl({data, size});
    } catch (const quillon::filterhost::HostFailure&) {
    }
    return 0;
}
