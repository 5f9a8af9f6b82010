#include "dialog/ImagePanes.h"

#include <algorithm>

namespace quillon::dialog {
namespace {

constexpr const char* kCursorEyedropper = "Photoshop Cursor Eyedropper";
constexpr const char* kCursorHand = "Photoshop Cursor Hand";
constexpr const char* kCursorZoomIn = "Photoshop Cursor Zoom In";
constexpr const char* kCursorZoomOut = "Photoshop Cursor Zoom Out";

// The frame around the image area.
constexpr int32_t kFrame = 2;

} // namespace

void QLNImagePane::SetPaneSize(int32_t width, int32_t height) {
    paneWidth_ = width;
    paneHeight_ = height;
    ReleaseDisplay();
}

void QLNImagePane::SetImageSize(int32_t width, int32_t height) {
    imageWidth_ = width;
    imageHeight_ = height;
}

const char* QLNImagePane::ToolCursor() const {
    if (!active_) return nullptr;
    switch (tool_) {
    case Tool::Eyedropper:
        return kCursorEyedropper;
    case Tool::Hand:
        return kCursorHand;
    case Tool::Zoom:
        return zoomOut_ ? kCursorZoomOut : kCursorZoomIn;
    }
    return nullptr;
}

void QLNImagePane::SetTool(Tool tool) {
    tool_ = tool;
    SetCursorName(ToolCursor());
}

void QLNImagePane::SetActive(bool active) {
    active_ = active;
    SetCursorName(ToolCursor());
}

void QLNImagePane::OnAltDown() {
    zoomOut_ = true;
    if (tool_ == Tool::Zoom && active_) SetCursorName(kCursorZoomOut);
}

void QLNImagePane::OnAltUp() {
    zoomOut_ = false;
    if (tool_ == Tool::Zoom && active_) SetCursorName(kCursorZoomIn);
}

void QLNImagePane::ComputeGeometry() {
    const double z = zoom_ ? zoom_->Factor() : 1.0;
    // The shown part of the image on screen, never larger than the inner area.
    const int32_t width =
        std::max<int32_t>(1, std::min<int32_t>(int32_t(imageWidth_ * z), paneWidth_ - 2 * kFrame));
    const int32_t height = std::max<int32_t>(
        1, std::min<int32_t>(int32_t(imageHeight_ * z), paneHeight_ - 2 * kFrame));
    if (width != displayWidth_ || height != displayHeight_) ReleaseDisplay();
    displayWidth_ = width;
    displayHeight_ = height;
    // A small image is centred; a large one starts inside the frame.
    originX_ = displayWidth_ < paneWidth_ ? (paneWidth_ - displayWidth_) / 2 : kFrame;
    originY_ = displayHeight_ < paneHeight_ ? (paneHeight_ - displayHeight_) / 2 : kFrame;
    // The view stays inside the image.
    if (scrollX_ + displayWidth_ / z > imageWidth_)
        scrollX_ = int32_t(imageWidth_ - displayWidth_ / z);
    if (scrollY_ + displayHeight_ / z > imageHeight_)
        scrollY_ = int32_t(imageHeight_ - displayHeight_ / z);
    scrollX_ = std::max(scrollX_, 0);
    scrollY_ = std::max(scrollY_, 0);
}

void QLNImagePane::CenterOn(std::optional<ImagePoint> point) {
    const double z = zoom_ ? zoom_->Factor() : 1.0;
    const ImagePoint centre = point.value_or(
        ImagePoint{int32_t(uint32_t(imageWidth_) / 2), int32_t(uint32_t(imageHeight_) / 2)});
    scrollX_ = std::max(0, int32_t(centre.x - displayWidth_ / z * 0.5));
    scrollY_ = std::max(0, int32_t(centre.y - displayHeight_ / z * 0.5));
    ComputeGeometry();
}

void QLNImagePane::Draw(QLNImagePane& pane, Drawer& drawer) {
    drawer.SunkenRect({0, 0, pane.paneWidth_, pane.paneHeight_});
}

void QLNImagePane::Track(QLNImagePane& pane, const Tracker& tracker) {
    pane.PreTrack(tracker);
}

void QLNPreviewImagePane::SetLiveAdjustment(bool on) {
    if (on == liveAdjustment_) return;
    liveAdjustment_ = on;
    if (ItemRef()) GetItem().Invalidate();
}

void QLNPreviewImagePane::OnShiftDown() {
    SetLiveAdjustment(false);
}

void QLNPreviewImagePane::OnShiftUp() {
    SetLiveAdjustment(true);
}

} // namespace quillon::dialog
