#include "dialog/ImagePanes.h"

#include "codec/ImageCodec.h"
#include "dialog/PreviewRows.h"
#include "pluginapi/PIChannelPorts.h"
#include "suites/HostSuites.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace quillon::dialog {
namespace {

constexpr const char* kCursorEyedropper = "Photoshop Cursor Eyedropper";
constexpr const char* kCursorHand = "Photoshop Cursor Hand";
constexpr const char* kCursorZoomIn = "Photoshop Cursor Zoom In";
constexpr const char* kCursorZoomOut = "Photoshop Cursor Zoom Out";
constexpr const char* kCursorArrow = "Photoshop Cursor Arrow";
constexpr const char* kCursorPathArrow = "Photoshop Cursor Path Arrow";

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

double QLNImagePane::ZoomFactor() const {
    return zoom_ ? zoom_->Factor() : 1.0;
}

void QLNImagePane::ComputeGeometry() {
    const double z = ZoomFactor();
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
    // A partly shown last column or row is part of the view, or it could never be seen; the
    // view never reaches past the image.
    source_ = {scrollY_, scrollX_, int32_t(std::ceil(scrollY_ + displayHeight_ / z)),
               int32_t(std::ceil(scrollX_ + displayWidth_ / z))};
    source_.bottom = std::min(std::max(source_.bottom, source_.top + 1), imageHeight_);
    source_.right = std::min(std::max(source_.right, source_.left + 1), imageWidth_);
    samplerPane_ = ToPane(samplerImage_);
}

void QLNImagePane::CenterOn(std::optional<ImagePoint> point) {
    const double z = ZoomFactor();
    const ImagePoint centre = point.value_or(
        ImagePoint{int32_t(uint32_t(imageWidth_) / 2), int32_t(uint32_t(imageHeight_) / 2)});
    scrollX_ = std::max(0, int32_t(centre.x - displayWidth_ / z * 0.5));
    scrollY_ = std::max(0, int32_t(centre.y - displayHeight_ / z * 0.5));
    ComputeGeometry();
}

ImagePoint QLNImagePane::ToImage(ADMPoint pane) const {
    const double z = ZoomFactor();
    return {int32_t((pane.h - originX_) * (1.0 / z) + scrollX_),
            int32_t((pane.v - originY_) * (1.0 / z) + scrollY_)};
}

ADMPoint QLNImagePane::ToPane(ImagePoint image) const {
    const double z = ZoomFactor();
    return {int32_t(z * (image.x - scrollX_) + originX_),
            int32_t(z * (image.y - scrollY_) + originY_)};
}

bool QLNImagePane::OnShownImage(ADMPoint pane) const {
    return pane.h >= originX_ && pane.h < originX_ + displayWidth_ && pane.v >= originY_ &&
           pane.v < originY_ + displayHeight_;
}

bool QLNImagePane::CreateDisplay() {
    if (display_) return true;
    try {
        display_ = std::make_unique<Image>(displayWidth_, displayHeight_);
    } catch (const suites::HostError&) {
        ErrorAlert("Image problem");
        return false;
    }
    return true;
}

void QLNImagePane::ReleaseDisplay() {
    display_.reset();
}

// --- the sampler mark -----------------------------------------------------------------------

namespace {

//        *---*            the outline, 9 pixels across, with four ticks
//      *       *          two pixels off it
//      *   +   *   ==
//      *       *
//        *---*
void DrawMark(Drawer& drawer, ADMPoint p) {
    drawer.SetDrawMode(kADMXORMode);
    drawer.SetRGBColor(0x7f7f, 0x7f7f, 0x7f7f);
    const int32_t x = p.h, y = p.v;
    drawer.Line(p, p);
    const ADMPoint outline[] = {{x - 4, y - 2}, {x - 2, y - 4}, {x + 2, y - 4},
                                {x + 4, y - 2}, {x + 4, y + 2}, {x + 2, y + 4},
                                {x - 2, y + 4}, {x - 4, y + 2}, {x - 4, y - 2}};
    drawer.Polygon(outline);
    drawer.Line({x - 7, y}, {x - 5, y});
    drawer.Line({x + 5, y}, {x + 7, y});
    drawer.Line({x, y - 7}, {x, y - 5});
    drawer.Line({x, y + 5}, {x, y + 7});
    drawer.SetDrawMode(kADMNormalMode);
}

} // namespace

void QLNImagePane::MoveMarkNow(std::optional<ADMPoint> from, ADMPoint to) {
    if (!ItemRef() || !showSampler_) return;
    ItemDrawer drawer(GetItem());
    if (from && OnShownImage(*from)) DrawMark(drawer, *from);
    if (OnShownImage(to)) DrawMark(drawer, to);
}

void QLNImagePane::PlaceSampler(std::optional<ImagePoint> point) {
    // The mark is drawn while the state still says where the shown mark is: a drawer made now
    // may first redraw the pane from that state.
    if (!point) {
        if (samplerShown_ && ItemRef() && showSampler_ && OnShownImage(samplerPane_)) {
            ItemDrawer drawer(GetItem());
            DrawMark(drawer, samplerPane_);
        }
        samplerShown_ = false;
        samplerImage_ = {-1, 0};
        return;
    }
    const std::optional<ADMPoint> old =
        samplerShown_ ? std::optional<ADMPoint>(samplerPane_) : std::nullopt;
    const ADMPoint to = ToPane(*point);
    if (OnShownImage(to)) {
        MoveMarkNow(old, to);
        samplerImage_ = *point;
        samplerPane_ = to;
        samplerShown_ = true;
        return;
    }
    samplerImage_ = *point;
    samplerShown_ = true;
    CenterOn(*point);
    if (ItemRef()) GetItem().Invalidate();
}

// --- drawing --------------------------------------------------------------------------------

void QLNImagePane::Draw(QLNImagePane& pane, Drawer& drawer) {
    pane.Render();
    const int32_t w = pane.paneWidth_, h = pane.paneHeight_;
    const int32_t x0 = pane.originX_, y0 = pane.originY_;
    const int32_t x1 = x0 + pane.displayWidth_, y1 = y0 + pane.displayHeight_;
    drawer.SunkenRect({0, 0, w, h});
    if (pane.display_) {
        drawer.SetColor(kADMBlackColor);
        drawer.Rect({x0 - 1, y0 - 1, x1 + 1, y1 + 1});
        drawer.DrawImage(*pane.display_, {x0, y0});
    }
    if (pane.showSampler_ && pane.samplerShown_ && pane.OnShownImage(pane.samplerPane_))
        DrawMark(drawer, pane.samplerPane_);
    // The margins around a small image.
    drawer.SetColor(kADMBackgroundColor);
    if (y0 > kFrame) {
        drawer.FillRect({1, 1, w - 1, y0 - 1});
        drawer.FillRect({1, y1 + 1, w - 1, h - 1});
    }
    if (x0 > kFrame) {
        drawer.FillRect({1, y0 - 1, x0 - 1, y1 + 1});
        drawer.FillRect({x1 + 1, y0 - 1, w - 1, y1 + 1});
    }
}

// --- tracking -------------------------------------------------------------------------------

const char* QLNImagePane::ZoneCursor() const {
    switch (zone_) {
    case CursorZone::Elsewhere:
        return kCursorArrow;
    case CursorZone::Image:
        return kCursorEyedropper;
    case CursorZone::Sampler:
        return kCursorPathArrow;
    }
    return nullptr;
}

void QLNImagePane::UpdateZone(ADMPoint point) {
    CursorZone zone = CursorZone::Elsewhere;
    if (samplerShown_ && showSampler_ && point.h >= samplerPane_.h - 7 &&
        point.h < samplerPane_.h + 7 && point.v >= samplerPane_.v - 7 &&
        point.v < samplerPane_.v + 7)
        zone = CursorZone::Sampler;
    else if (OnShownImage(point))
        zone = CursorZone::Image;
    if (zone == zone_) return;
    zone_ = zone;
    SetCursorName(ZoneCursor());
    Hint(HintReason::Changed);
}

void QLNImagePane::TrackDown(const Tracker& tracker) {
    const ADMPoint point = tracker.Point();
    mouseDown_ = point;
    switch (tool_) {
    case Tool::Hand:
        dragStartScroll_ = {scrollX_, scrollY_};
        SetCursor("Photoshop Cursor Grab");
        liveBeforeDrag_ = liveAdjustment_;
        if (liveAdjustment_) {
            liveAdjustment_ = false;
            GetItem().Invalidate();
        }
        return;
    case Tool::Zoom: {
        const ImagePoint at = ToImage(point);
        if (!zoom_) return;
        const Dialog dialog = GetItem().GetDialog();
        if (zoomOut_)
            zoom_->ZoomOut(dialog);
        else
            zoom_->ZoomIn(dialog);
        CenterOn(at);
        GetItem().Invalidate();
        return;
    }
    case Tool::Eyedropper:
        break;
    }
    if (!active_) return;
    UpdateZone(point);
    if (zone_ == CursorZone::Sampler) {
        draggingSampler_ = true;
        dragAnchor_ = samplerPane_;
        return;
    }
    if (!OnShownImage(point)) return;
    draggingSampler_ = true;
    MoveMarkNow(samplerShown_ ? std::optional<ADMPoint>(samplerPane_) : std::nullopt, point);
    samplerPane_ = point;
    samplerImage_ = ToImage(point);
    dragAnchor_ = point;
    samplerShown_ = true;
    UpdateZone(point);
    Report(tracker, PaneEvent::SamplerPlaced);
}

// The wheel zooms by the zoom tool's steps about the point under the mouse, which stays there.
void QLNImagePane::TrackWheel(const Tracker& tracker) {
    if (!zoom_ || imageWidth_ <= 0 || imageHeight_ <= 0) return;
    const ADMPoint point = tracker.Point();
    const double before = ZoomFactor();
    const double x = (point.h - originX_) / before + scrollX_;
    const double y = (point.v - originY_) / before + scrollY_;
    const Dialog dialog = GetItem().GetDialog();
    const bool zoomed =
        tracker.Action() == kADMWheelUpAction ? zoom_->ZoomIn(dialog) : zoom_->ZoomOut(dialog);
    if (!zoomed) return;
    // The dialog centred the view for the new level; the point goes back under the mouse.
    const double after = ZoomFactor();
    scrollX_ = std::max(0, int32_t(std::lround(x - (point.h - originX_) / after)));
    scrollY_ = std::max(0, int32_t(std::lround(y - (point.v - originY_) / after)));
    ComputeGeometry();
    GetItem().Invalidate();
}

void QLNImagePane::TrackDrag(const Tracker& tracker) {
    const ADMPoint point = tracker.Point();
    if (tool_ == Tool::Hand) {
        const double z = ZoomFactor();
        scrollX_ = int32_t((mouseDown_.h - point.h) / z + dragStartScroll_.x);
        scrollY_ = int32_t((mouseDown_.v - point.v) / z + dragStartScroll_.y);
        ComputeGeometry();
        GetItem().Invalidate();
        return;
    }
    if (tool_ != Tool::Eyedropper || !active_ || !draggingSampler_) return;
    const ADMPoint moved{
        std::clamp(dragAnchor_.h + point.h - mouseDown_.h, originX_, originX_ + displayWidth_ - 1),
        std::clamp(dragAnchor_.v + point.v - mouseDown_.v, originY_,
                   originY_ + displayHeight_ - 1)};
    MoveMarkNow(samplerShown_ ? std::optional<ADMPoint>(samplerPane_) : std::nullopt, moved);
    samplerShown_ = true;
    samplerPane_ = moved;
    samplerImage_ = ToImage(moved);
    Report(tracker, PaneEvent::SamplerMoved);
}

void QLNImagePane::TrackUp(const Tracker& tracker) {
    if (tool_ == Tool::Hand) {
        SetCursor(kCursorHand);
        liveAdjustment_ = liveBeforeDrag_;
        if (liveAdjustment_) GetItem().Invalidate();
        Report(tracker, PaneEvent::HandDragEnded);
        return;
    }
    if (tool_ != Tool::Eyedropper || !active_) return;
    UpdateZone(tracker.Point());
    if (!draggingSampler_) return;
    draggingSampler_ = false;
    Report(tracker, PaneEvent::SamplerReleased);
}

void QLNImagePane::Track(QLNImagePane& pane, const Tracker& tracker) {
    if (pane.PreTrack(tracker)) return;
    switch (tracker.Action()) {
    case kADMButtonDownAction:
        pane.TrackDown(tracker);
        break;
    case kADMMouseMovedDownAction:
        pane.TrackDrag(tracker);
        break;
    case kADMButtonUpAction:
        pane.TrackUp(tracker);
        break;
    case kADMMouseMovedUpAction:
        if (pane.tool_ == Tool::Eyedropper && pane.active_) pane.UpdateZone(tracker.Point());
        break;
    case kADMWheelUpAction:
    case kADMWheelDownAction:
        pane.TrackWheel(tracker);
        break;
    case kADMDropAction:
        pane.Report(tracker, PaneEvent::FileDropped);
        break;
    default:
        break;
    }
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

// --- the document preview -------------------------------------------------------------------

bool QLNPreviewImagePane::CreateDisplay() {
    if (!QLNImagePane::CreateDisplay()) return false;
    if (shown_.Allocated()) return true;
    try {
        shown_.Allocate(displayWidth_, displayHeight_);
    } catch (const std::bad_alloc&) {
        ReleaseDisplay();
        ErrorAlert("Buffer problem");
        return false;
    }
    return true;
}

void QLNPreviewImagePane::ReleaseDisplay() {
    QLNImagePane::ReleaseDisplay();
    shown_.Release();
}

void QLNPreviewImagePane::SetShowMoves(bool on) {
    if (on == showMoves_) return;
    showMoves_ = on;
    if (ItemRef()) GetItem().Invalidate();
}

// The document is read only for a new view; every draw maps the kept colours through the
// transformation as it is now.
void QLNPreviewImagePane::Render() {
    const FilterRecord* record = record_;
    if (!record || !record->documentInfo || !record->channelPortProcs || !engine_) return;
    if (!CreateDisplay()) return;
    shown_.Read(record->documentInfo->targetCompositeChannels, *record->channelPortProcs,
                {{source_.top, source_.left, source_.bottom, source_.right},
                 displayWidth_,
                 displayHeight_});
    const PreviewPlanes planes = shown_.Planes(suites::ImageModeToSpace(record->imageMode),
                                               record->depth == 16, liveAdjustment_);
    if (planes.space < 0) return;
    bool drawn = true;
    {
        Image::Pixels pixels(*display_);
        const DisplayPixels shown{pixels.Row(0), display_->RowBytes(),
                                  display_->BitsPerPixel() / 8};
        try {
            if (showMoves_ && liveAdjustment_)
                ConvertMovesRows(planes, *engine_, suites::ColorSpace(), shown_.Rows(),
                                 shown_.Moved(), shown);
            else
                ConvertPreviewRows(planes, *engine_, suites::ColorSpace(), shown_.Ics(),
                                   shown_.Rows(), shown);
        } catch (const std::bad_alloc&) {
            drawn = false;
        }
    }
    // The colours in the engine's space could not be kept.
    if (!drawn) {
        ReleaseDisplay();
        ErrorAlert("Buffer problem");
    }
}

// --- the sample -----------------------------------------------------------------------------

QLNSampleImagePane::~QLNSampleImagePane() {
    DropSample();
}

void QLNSampleImagePane::SetSample(uint8_t* pixels, int32_t width, int32_t height,
                                   bool userSample) {
    DropSample();
    pixels_ = pixels;
    userSample_ = userSample && pixels;
    SetImageSize(pixels ? width : 0, pixels ? height : 0);
}

void QLNSampleImagePane::DropSample() {
    if (userSample_) codec::ReleaseRgbImage(pixels_);
    pixels_ = nullptr;
    userSample_ = false;
    samplerShown_ = false;
    samplerImage_ = {-1, 0};
}

void QLNSampleImagePane::Render() {
    if (!pixels_ || !CreateDisplay()) return;
    // The shown part, cut out and scaled to the display by point sampling.
    const int32_t cropWidth = source_.right - source_.left;
    const int32_t cropHeight = source_.bottom - source_.top;
    if (cropWidth <= 0 || cropHeight <= 0) return;
    try {
        crop_.resize(size_t(cropWidth) * size_t(cropHeight) * 3);
        scaled_.resize(size_t(displayWidth_) * size_t(displayHeight_) * 3);
    } catch (const std::bad_alloc&) {
        return;
    }
    const size_t sampleRow = size_t(imageWidth_) * 3;
    for (int32_t y = 0; y < cropHeight; ++y)
        std::memcpy(crop_.data() + size_t(y) * size_t(cropWidth) * 3,
                    pixels_ + size_t(source_.top + y) * sampleRow + size_t(source_.left) * 3,
                    size_t(cropWidth) * 3);
    if (!codec::ResampleImage(crop_.data(), cropWidth, cropHeight, cropWidth * 3, scaled_.data(),
                              displayWidth_, displayHeight_, displayWidth_ * 3, 3,
                              codec::kResampleNearest, 0))
        return;
    Image::Pixels pixels(*display_);
    const int32_t pixelBytes = display_->BitsPerPixel() / 8;
    for (int32_t y = 0; y < displayHeight_; ++y) {
        const uint8_t* in = scaled_.data() + size_t(y) * size_t(displayWidth_) * 3;
        uint8_t* out = pixels.Row(y);
        for (int32_t x = 0; x < displayWidth_; ++x, in += 3, out += pixelBytes) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
}

} // namespace quillon::dialog
