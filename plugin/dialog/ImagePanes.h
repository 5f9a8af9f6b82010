// The two image panes of the main dialog: the document preview on the left and the sample on
// the right. Both show an image zoomed and scrolled inside a framed pane and carry the current
// tool and its cursor; what each renders comes from its own class.
#pragma once

#include "dialog/QLNItem.h"
#include "dialog/ZoomControl.h"

#include <cstdint>
#include <optional>

namespace quillon::engine {
class ColorEngine;
}

namespace quillon::dialog {

// The dialog's tools, in the order of their buttons.
enum class Tool : int32_t { Eyedropper = 0, Hand = 1, Zoom = 2 };

// What a pane tells the dialog's handler.
enum class PaneEvent : int32_t {
    HandDragEnded = 1,
    SamplerPlaced = 2,
    SamplerReleased = 3,
    SamplerMoved = 4
};

class QLNImagePane;
using PaneEventCallback = void (*)(QLNImagePane& pane, const Tracker& tracker, PaneEvent event);

struct ImagePoint {
    int32_t x, y;
};

class QLNImagePane : public QLNItem {
  public:
    void SetZoomControl(ZoomControl* zoom) { zoom_ = zoom; }
    ZoomControl* Zoom() const { return zoom_; }
    void SetEngine(engine::ColorEngine* engine) { engine_ = engine; }
    void SetEventCallback(PaneEventCallback callback) { event_ = callback; }

    void SetPaneSize(int32_t width, int32_t height);
    void SetImageSize(int32_t width, int32_t height);
    int32_t ImageWidth() const { return imageWidth_; }
    int32_t ImageHeight() const { return imageHeight_; }
    // The area an image may fill: the pane less its frame.
    int32_t InnerWidth() const { return paneWidth_ - 4; }
    int32_t InnerHeight() const { return paneHeight_ - 4; }

    // The tool and its cursor; an inactive pane shows no cursor of its own.
    void SetTool(Tool tool);
    Tool CurrentTool() const { return tool_; }
    void SetActive(bool active);
    bool Active() const { return active_; }

    // Where the image sits in the pane at the current zoom and scroll.
    void ComputeGeometry();
    // Scrolls so that the image point (the image's centre when none) is in the middle.
    void CenterOn(std::optional<ImagePoint> point);

    void OnAltDown() override;
    void OnAltUp() override;

    // The callbacks the dialog manager calls for the pane's frame.
    static void Draw(QLNImagePane& pane, Drawer& drawer);
    static void Track(QLNImagePane& pane, const Tracker& tracker);

  protected:
    virtual void CreateDisplay() {}
    virtual void ReleaseDisplay() {}

    int32_t imageWidth_ = 0, imageHeight_ = 0;
    int32_t paneWidth_ = 0, paneHeight_ = 0;
    int32_t displayWidth_ = 0, displayHeight_ = 0;
    int32_t scrollX_ = 0, scrollY_ = 0;
    int32_t originX_ = 0, originY_ = 0;
    ZoomControl* zoom_ = nullptr;
    engine::ColorEngine* engine_ = nullptr;
    PaneEventCallback event_ = nullptr;
    Tool tool_ = Tool::Eyedropper;
    bool zoomOut_ = false;
    bool active_ = false;

  private:
    const char* ToolCursor() const;
};

// The document, shown through the colour transformation while live adjustment is on.
class QLNPreviewImagePane : public QLNImagePane {
  public:
    QLNPreviewImagePane() { active_ = true; }
    void SetLiveAdjustment(bool on);
    bool LiveAdjustment() const { return liveAdjustment_; }
    void SetShowSampler(bool show) { showSampler_ = show; }

    // Shift shows the original document while it is held.
    void OnShiftDown() override;
    void OnShiftUp() override;

  private:
    bool liveAdjustment_ = false;
    bool showSampler_ = false;
};

// The sample image the target colours are picked from; active once there is an adjustment.
class QLNSampleImagePane : public QLNImagePane {
  public:
    bool HasUserSample() const { return userSample_; }

  private:
    bool userSample_ = false;
};

} // namespace quillon::dialog
