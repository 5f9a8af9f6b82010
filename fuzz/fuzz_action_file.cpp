// Action files are written by people and other programs: any text must parse or fail with a
// message.
#include "core/HostFailure.h"
#include "core/actions/ActionFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        quillon::filterhost::ParseAction(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const quillon::filterhost::HostFailure&) {
    }
    return 0;
}
