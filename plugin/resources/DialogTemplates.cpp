#include "resources/DialogResources.h"
#include "resources/ResourceWriter.h"

#include "pluginapi/ADMDialogTemplate.h"
#include "pluginapi/ADMSuites.h"

namespace quillon::resources {

std::vector<uint8_t> BuildDialogTemplate(uint16_t width, uint16_t height, const std::string& title,
                                         const std::vector<TemplateItem>& items) {
    ResourceWriter out;
    out.Text(kADMTemplateMagic);
    out.U16(kADMTemplateVersion);
    out.U16(width);
    out.U16(height);
    out.U16(static_cast<uint16_t>(items.size()));
    out.U16(static_cast<uint16_t>(title.size()));
    out.Text(title);
    for (const TemplateItem& item : items) {
        out.U32(static_cast<uint32_t>(item.id));
        out.U16(static_cast<uint16_t>(item.left));
        out.U16(static_cast<uint16_t>(item.top));
        out.U16(item.width);
        out.U16(item.height);
        out.U32(static_cast<uint32_t>(item.pictureID));
        out.PascalString(item.type);
        out.U16(static_cast<uint16_t>(item.text.size()));
        out.Text(item.text);
    }
    return out.Take();
}

// The picture runs across the whole width and 10 pixels above the top edge; the three text lines
// that the about box adds at 170, 188 and 206 sit below it, the button under them on the right.
std::vector<uint8_t> BuildAboutDialog() {
    return BuildDialogTemplate(
        260, 268, "",
        {{kAboutPictureItem, kADMPictureStaticType, 0, -10, 260, 175, kAboutPictureID, ""},
         {kUpdateButtonItem, kADMTextPushButtonType, 135, 234, 110, 24, 0, "Check for Update"}});
}

std::vector<uint8_t> BuildMainDialog() {
    return BuildDialogTemplate(600, 300, "Nerrow Quillon",
                               {{1, kADMTextPushButtonType, 490, 10, 100, 24, 0, "OK"},
                                {2, kADMTextPushButtonType, 490, 40, 100, 24, 0, "Cancel"},
                                {99, kADMTextPushButtonType, 380, 40, 100, 24, 0, "Open Sample"}});
}

} // namespace quillon::resources
