// Scripts for the dialog runner: any text must parse or fail naming its line.
#include "ui/Script.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        quillon::ui::ParseScript(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const quillon::ui::ScriptError&) {
    }
    return 0;
}
