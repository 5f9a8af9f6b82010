// Terminology resources from modules on disk: any bytes must parse or fail with a message.
#include "core/HostFailure.h"
#include "core/module/Terminology.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        quillon::filterhost::ParseTerminology({data, size});
    } catch (const quillon::filterhost::HostFailure&) {
    }
    return 0;
}
