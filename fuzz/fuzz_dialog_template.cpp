// Dialog templates and bitmaps from modules on disk: any bytes must parse or fail with a message.
// The first byte chooses the parser.
#include "ui/DialogTemplate.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::span<const uint8_t> bytes(data + 1, size - 1);
    try {
        if (data[0] & 1)
            quillon::ui::ParseBitmap(bytes);
        else
            quillon::ui::ParseDialogTemplate(bytes);
    } catch (const quillon::ui::ResourceError&) {
    }
    return 0;
}
