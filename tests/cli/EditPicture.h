// What the tests of quillon edit share: a 64 x 48 picture whose left quarter is mid grey, the
// adjustment that turns that grey red, and where edit keeps the plug-in's settings.
#pragma once

#include "core/documents/ImageFiles.h"

#include <filesystem>

namespace quillon::testing {

inline constexpr const char* kSettings =
    "config/quillon/d9347b0c-3c91-71d4-47bc-00b0d0f04936.settings";
// Mid grey, which the picture holds, becomes a red.
inline constexpr const char* kAdjustment = "Lab[16384,16384,16384]:Lab[16384,24000,18000] ";

inline void WriteEditPicture(const std::filesystem::path& file) {
    using namespace quillon::filterhost;
    Document d = MakeDocument(ColorMode::RGB, 8, 64, 48);
    for (int32_t y = 0; y < d.height; ++y)
        for (int32_t x = 0; x < d.width; ++x)
            for (int c = 0; c < 3; ++c)
                d.At(c, x, y) = x < 16 ? 119 : uint16_t((x * 4 + y * 3 + c * 80) % 256);
    WriteImageFile(d, FileFormat::Png, file);
}

} // namespace quillon::testing
