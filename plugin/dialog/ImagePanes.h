// The two image panes of the main dialog: the document preview on the left and the sample on
// the right. Both show an image zoomed and scrolled inside a framed pane and carry the current
// tool and its cursor; what each renders comes from its own class.
#pragma once

#include "dialog/PreviewRows.h"
#include "dialog/QLNItem.h"
#include "dialog/ZoomControl.h"
#include "pluginapi/PIFilter.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

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
    SamplerMoved = 4,
    FileDropped = 5
};

class QLNImagePane;
using PaneEventCallback = void (*)(QLNImagePane& pane, const Tracker& tracker, PaneEvent event);

struct ImagePoint {
    int32_t x, y;
};

// Where the mouse is over a pane, each with its own cursor.
enum class CursorZone : uint8_t { Elsewhere = 0, Image = 1, Sampler = 2 };

// Rectangles exchanged with the host's pixel services: top, left, bottom, right.
struct PixelRect {
    int32_t top, left, bottom, right;
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

    // Pane and image coordinates at the current zoom and scroll.
    ImagePoint ToImage(ADMPoint pane) const;
    ADMPoint ToPane(ImagePoint image) const;
    bool OnShownImage(ADMPoint pane) const;
    // The part of the image shown, and the pane point of its top-left pixel.
    PixelRect SourceRect() const { return source_; }
    ADMPoint Origin() const { return {originX_, originY_}; }
    int32_t DisplayWidth() const { return displayWidth_; }
    int32_t DisplayHeight() const { return displayHeight_; }
    ImagePoint Scroll() const { return {scrollX_, scrollY_}; }

    // Shows the sampler mark at an image point, scrolling to it when it is out of view; none
    // hides it.
    void PlaceSampler(std::optional<ImagePoint> point);
    // The sampler's image point; x is -1 when there is none.
    ImagePoint SamplerImagePoint() const { return samplerImage_; }
    bool SamplerShown() const { return samplerShown_; }
    ADMPoint SamplerPanePoint() const { return samplerPane_; }
    CursorZone Zone() const { return zone_; }

    void OnAltDown() override;
    void OnAltUp() override;

    // The callbacks the dialog manager calls for the pane's frame.
    static void Draw(QLNImagePane& pane, Drawer& drawer);
    static void Track(QLNImagePane& pane, const Tracker& tracker);

    // Drops the display image and its buffers; the next draw makes them again.
    virtual void ReleaseDisplay();

  protected:
    // The display image; false (after telling the user) when it cannot be made.
    virtual bool CreateDisplay();
    // Fills the display image with the shown part of the image.
    virtual void Render() {}

    void UpdateZone(ADMPoint point);
    // Draws the mark at once, outside the draw callback: off at the old point, on at the new.
    void MoveMarkNow(std::optional<ADMPoint> from, ADMPoint to);
    double ZoomFactor() const;

    std::unique_ptr<Image> display_;
    PixelRect source_{};
    bool showSampler_ = true;
    bool samplerShown_ = false;
    ImagePoint samplerImage_{-1, 0};
    ADMPoint samplerPane_{0, 0};

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
    const char* ZoneCursor() const;
    void TrackDown(const Tracker& tracker);
    void TrackDrag(const Tracker& tracker);
    void TrackUp(const Tracker& tracker);
    void TrackWheel(const Tracker& tracker);
    void Report(const Tracker& tracker, PaneEvent event) {
        if (event_) event_(*this, tracker, event);
    }

    bool liveBeforeDrag_ = false;
    ImagePoint dragStartScroll_{0, 0};
    ADMPoint mouseDown_{0, 0};
    ADMPoint dragAnchor_{0, 0};
    bool draggingSampler_ = false;
    CursorZone zone_ = CursorZone::Elsewhere;

  protected:
    // The left pane renders through the transformation while this is on; the hand turns it off
    // while it drags.
    bool liveAdjustment_ = false;
};

// The document, shown through the colour transformation while live adjustment is on.
class QLNPreviewImagePane : public QLNImagePane {
  public:
    QLNPreviewImagePane() {
        active_ = true;
        showSampler_ = false;
    }
    void SetLiveAdjustment(bool on);
    bool LiveAdjustment() const { return liveAdjustment_; }
    // Shows what the adjustments move instead of their result.
    void SetShowMoves(bool on);
    void SetShowSampler(bool show) { showSampler_ = show; }
    // The document the pane shows, through the host's channel ports.
    void SetDocument(const FilterRecord* record) { record_ = record; }

    // Shift shows the original document while it is held.
    void OnShiftDown() override;
    void OnShiftUp() override;

    void ReleaseDisplay() override;

  protected:
    bool CreateDisplay() override;
    void Render() override;

  private:
    // The document's channels read at display size for the view shown, their colours in the
    // engine's space, and scratch rows for the conversions.
    PreviewSource shown_;
    bool showMoves_ = false;
    const FilterRecord* record_ = nullptr;
};

// The sample image the target colours are picked from; active once there is an adjustment.
class QLNSampleImagePane : public QLNImagePane {
  public:
    QLNSampleImagePane() = default;
    ~QLNSampleImagePane() override;
    bool HasUserSample() const { return userSample_; }
    // Red, green, blue rows without padding; null when there is no sample.
    const uint8_t* SamplePixels() const { return pixels_; }
    // Takes the pixels; a user sample's block is the pane's to release.
    void SetSample(uint8_t* pixels, int32_t width, int32_t height, bool userSample);
    // Drops the sample, releasing a user sample's pixels, and hides the mark.
    void DropSample();
    void HideSampler() { samplerShown_ = false; }

  protected:
    void Render() override;

  private:
    uint8_t* pixels_ = nullptr;
    bool userSample_ = false;
    // The shown part of the sample and the same scaled to the display, kept between draws.
    std::vector<uint8_t> crop_, scaled_;
};

} // namespace quillon::dialog
