// Items the host draws itself on a canvas: frames, pictures and picture push buttons. Each
// draws its standard look when the plug-in gives it no draw callback.
#pragma once

#include "ui/AdmItem.h"

namespace quillon::ui {

class AdmDrawer;

class CanvasItem : public AdmItem {
  public:
    CanvasWidget* Canvas() const override { return canvas_; }
    // Draws the item's standard look.
    virtual void DefaultDraw(AdmDrawer& drawer) = 0;

  protected:
    CanvasItem(AdmDialog& dialog, ADMInt32 id, const std::string& typeName, bool clickable);
    void ShowText(const std::string& text) override;
    void ShowPicture() override;

  private:
    CanvasWidget* canvas_;
};

// A sunken frame.
class FrameItem : public CanvasItem {
  public:
    FrameItem(AdmDialog& dialog, ADMInt32 id, const std::string& typeName);
    void DefaultDraw(AdmDrawer& drawer) override;
};

// The picture resource, at the top left.
class PictureStaticItem : public CanvasItem {
  public:
    PictureStaticItem(AdmDialog& dialog, ADMInt32 id, const std::string& typeName);
    void DefaultDraw(AdmDrawer& drawer) override;
};

// A raised button with the icon resource in the middle; it notifies when the button goes up over
// it.
class PicturePushButtonItem : public CanvasItem {
  public:
    PicturePushButtonItem(AdmDialog& dialog, ADMInt32 id, const std::string& typeName);
    void DefaultDraw(AdmDrawer& drawer) override;
};

} // namespace quillon::ui
