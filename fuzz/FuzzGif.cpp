#include "FuzzReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return quillon::codec::FuzzReader(quillon::codec::ReadGif, data, size);
}
