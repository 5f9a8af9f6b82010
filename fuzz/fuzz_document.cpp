// Documents the host opens come from anywhere: any bytes must read as a picture or fail with a
// message. The readers take paths, so each input goes through a file; a small size limit keeps
// pictures that claim millions of pixels from exhausting the fuzzer's memory.
#include "core/HostFailure.h"
#include "core/documents/ImageFiles.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("fuzz-document-" + std::to_string(getpid()));
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));
    try {
        quillon::filterhost::ReadImageFile(file, int64_t{1} << 20);
    } catch (const quillon::filterhost::HostFailure&) {
    }
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    return 0;
}
