// The dialogs' resources: templates written in the dialog manager's template format, and the
// about box's picture.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillon::resources {

inline constexpr int32_t kAboutDialogID = 392;
inline constexpr int32_t kAboutPictureID = 80;
inline constexpr int32_t kAboutPictureItem = 82;
inline constexpr int32_t kUpdateButtonItem = 83;
inline constexpr int32_t kMainDialogID = 101;

struct TemplateItem {
    int32_t id;
    std::string type; // a kADM*Type name
    int16_t left, top;
    uint16_t width, height;
    int32_t pictureID = 0;
    std::string text;
};

std::vector<uint8_t> BuildDialogTemplate(uint16_t width, uint16_t height, const std::string& title,
                                         const std::vector<TemplateItem>& items);
std::vector<uint8_t> BuildAboutDialog();
// The main dialog's resource holds only its buttons; everything else is built when it opens.
std::vector<uint8_t> BuildMainDialog();

// The picture painted by the build, in the bitmap resource format.
std::span<const uint8_t> AboutPicture();

// The main dialog's icons painted by the build ('ICON' resources): tool buttons 31 to 42 (hand,
// zoom, eyedropper; resting, under the mouse, pressed, pressed under the mouse), wastebaskets 43
// and 44, padlock 46, page arrows 50 to 53.
struct IconResource {
    int32_t id;
    std::span<const uint8_t> bytes;
};
std::span<const IconResource> DialogIcons();

} // namespace quillon::resources
