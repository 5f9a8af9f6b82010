#include "ui/AdmCanvasItems.h"

#include "ui/AdmDialog.h"
#include "ui/AdmDrawer.h"
#include "ui/CanvasWidget.h"
#include "ui/DialogManager.h"

namespace quillon::ui {

CanvasItem::CanvasItem(AdmDialog& dialog, ADMInt32 id, const std::string& typeName, bool clickable)
    : AdmItem(dialog, id, typeName), canvas_(new CanvasWidget(*this, clickable, &dialog)) {
    Adopt(canvas_);
}

void CanvasItem::ShowText(const std::string&) {
    canvas_->MarkInvalid();
}

void CanvasItem::ShowPicture() {
    canvas_->MarkInvalid();
}

FrameItem::FrameItem(AdmDialog& dialog, ADMInt32 id, const std::string& typeName)
    : CanvasItem(dialog, id, typeName, false) {}

void FrameItem::DefaultDraw(AdmDrawer& drawer) {
    drawer.Frame(QRect(QPoint(0, 0), Canvas()->size()), true);
}

PictureStaticItem::PictureStaticItem(AdmDialog& dialog, ADMInt32 id, const std::string& typeName)
    : CanvasItem(dialog, id, typeName, false) {}

void PictureStaticItem::DefaultDraw(AdmDrawer& drawer) {
    const QImage picture = Dialog().Manager().Picture(Picture(), false);
    if (!picture.isNull()) drawer.Image(picture, QPoint(0, 0));
}

PicturePushButtonItem::PicturePushButtonItem(AdmDialog& dialog, ADMInt32 id,
                                             const std::string& typeName)
    : CanvasItem(dialog, id, typeName, true) {}

void PicturePushButtonItem::DefaultDraw(AdmDrawer& drawer) {
    const QRect local(QPoint(0, 0), Canvas()->size());
    drawer.Frame(local, false);
    const QImage icon = Dialog().Manager().Picture(Picture(), true);
    if (!icon.isNull()) drawer.Icon(icon, local);
}

} // namespace quillon::ui
