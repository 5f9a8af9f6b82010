// Lists of pictures come from files and pipes: any bytes must give paths without NUL bytes, none
// longer than a line may be, or fail with a HostFailure; a share taken from the text after the
// first NUL (or none) must parse or fail the same way.
#include "core/HostFailure.h"
#include "core/batch/BatchList.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillon::filterhost;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        for (const auto& path : ParseFileList(text, "list")) {
            const std::string& bytes = path.native();
            if (bytes.empty() || bytes.size() > kMaxListLine ||
                bytes.find('\0') != std::string::npos)
                std::abort();
        }
    } catch (const HostFailure&) {
    }
    const size_t cut = text.find('\0');
    const std::string value(text.substr(cut == std::string_view::npos ? size : cut + 1));
    try {
        const Shard shard =
            ParseShard(text.substr(0, cut), [&](const char*) { return value.c_str(); });
        if (shard.count == 0 || shard.index >= shard.count || shard.count > kMaxShards)
            std::abort();
    } catch (const HostFailure&) {
    }
    return 0;
}
