// Reading the dialog manager's resources from a module: dialog templates and bitmaps. The bytes
// come from the module, so every size and count is checked before it is used.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillon::ui {

class ResourceError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct TemplateItem {
    int32_t id = 0;
    std::string type;
    int32_t left = 0, top = 0, width = 0, height = 0;
    int32_t pictureID = 0;
    std::string text;
};

struct DialogTemplate {
    int32_t width = 0, height = 0;
    std::string title;
    std::vector<TemplateItem> items;
};

// Throws ResourceError naming what is wrong.
DialogTemplate ParseDialogTemplate(std::span<const uint8_t> bytes);

struct Bitmap {
    int32_t width = 0, height = 0;
    int bytesPerPixel = 0;           // 3: red, green, blue; 4: red, green, blue, alpha
    std::span<const uint8_t> pixels; // rows from the top, no padding
};

// Throws ResourceError naming what is wrong.
Bitmap ParseBitmap(std::span<const uint8_t> bytes);

} // namespace quillon::ui
