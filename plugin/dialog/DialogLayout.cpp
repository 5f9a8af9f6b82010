// Where the main dialog's items lie for its size, and the zooms that follow it.
#include "dialog/MainDialog.h"

#include <cstdio>

namespace quillon::dialog {
namespace {

struct ImageSize {
    int32_t width, height;
};

ImageSize DocumentSize(const FilterRecord* record) {
    if (!record) return {0, 0};
    if (record->bigDocumentData)
        return {record->bigDocumentData->imageSize32.h, record->bigDocumentData->imageSize32.v};
    return {record->imageSize.h, record->imageSize.v};
}

void Place(Item item, int32_t x, int32_t y, int32_t width, int32_t height) {
    item.SetBounds({x, y, x + width, y + height});
}

// Keeps the item's height.
void PlaceKeepingHeight(Item item, int32_t x, int32_t y, int32_t width) {
    const ADMRect bounds = item.Bounds();
    Place(item, x, y, width, bounds.bottom - bounds.top);
}

} // namespace

// The zoom's label shows its factor and its menu checks its level (none for the hidden one).
void MainDialog::ShowZoom(const ZoomControl& zoom) {
    const bool left = &zoom == &leftZoom_;
    char text[32];
    std::snprintf(text, sizeof text, "%3.2f%%", zoom.Factor() * 100.0);
    dialog_.GetItem(left ? items_.leftZoomLabel : items_.rightZoomLabel).SetText(text);
    const List menu = dialog_.GetItem(left ? items_.leftZoomMenu : items_.rightZoomMenu).GetList();
    for (ADMInt32 i = 0; i < menu.Count(); ++i) {
        Entry entry = menu.At(i);
        entry.Select(entry.ID() == zoom.Level());
    }
}

void MainDialog::OnZoomChanged(ZoomControl& zoom, bool fitOnScreen) {
    if (fitOnScreen) {
        FitToScreen();
    } else {
        QLNImagePane& pane = &zoom == &leftZoom_ ? static_cast<QLNImagePane&>(leftPane_)
                                                 : static_cast<QLNImagePane&>(rightPane_);
        pane.CenterOn(std::nullopt);
        pane.GetItem().Invalidate();
    }
    ShowZoom(zoom);
}

//  +------------------+ Fuzziness [slider] [e]  [  OK  ]
//  | hint line        | [x] Luminosity  [Open] [Cancel]
//  +------------------+
//  [t] +----------+ +--+ +----------+
//  [t] |   left   | |sw| |  right   |
//  [t] |  P wide  | |  | |  P wide  |
//      +----------+ +--+ +----------+
//      [v] 100.00%       [v] 100.00%
void MainDialog::Layout() {
    if (layoutRunning_) return;
    layoutRunning_ = true;
    struct Done {
        bool& running;
        ~Done() { running = false; }
    } done{layoutRunning_};

    Dialog dialog = dialog_;
    const ADMRect local = dialog.LocalRect();
    const int32_t w = local.right - local.left;
    const int32_t h = local.bottom - local.top;
    const int32_t pane = (w - 126) / 2;
    const int32_t paneHeight = h - 110;

    PlaceKeepingHeight(dialog.GetItem(kOKItem), w - 110, 10, 100);
    PlaceKeepingHeight(dialog.GetItem(kCancelItem), w - 110, 40, 100);
    PlaceKeepingHeight(dialog.GetItem(kOpenSampleItem), w - 220, 40, 100);
    Place(dialog.GetItem(items_.hintFrame), 10, 10, w - 395, 60);
    // The text takes the frame's whole inside: the longest hints run to four lines.
    Place(dialog.GetItem(items_.hintText), 14, 12, w - 403, 56);
    Place(dialog.GetItem(items_.fuzzinessLabel), w - 365, 10, 70, 20);
    Place(dialog.GetItem(items_.slider), w - 300, 10, 144, 21);
    Place(dialog.GetItem(items_.fuzzinessEdit), w - 151, 10, 30, 16);
    Place(dialog.GetItem(items_.checkBox), w - 365, 40, 140, 20);
    for (int32_t k = 0; k < 3; ++k)
        Place(Item(buttons_[size_t(k)].ItemRef()), 10, 80 + 24 * k, 25, 20);
    Place(dialog.GetItem(items_.leftFrame), 50, 80, pane, paneHeight);
    Place(dialog.GetItem(items_.swatchFrame), pane + 55, 80, 56, paneHeight);
    Place(dialog.GetItem(items_.rightFrame), pane + 116, 80, pane, paneHeight);
    Place(dialog.GetItem(items_.leftZoomMenu), 50, h - 29, 14, 17);
    Place(dialog.GetItem(items_.leftZoomLabel), 69, h - 26, 50, 17);
    Place(dialog.GetItem(items_.rightZoomMenu), pane + 116, h - 29, 14, 17);
    Place(dialog.GetItem(items_.rightZoomLabel), pane + 135, h - 26, 50, 17);

    // The panes and the zooms follow the new size.
    const ImageSize document = DocumentSize(services_.record);
    leftPane_.SetPaneSize(pane, paneHeight);
    leftPane_.SetImageSize(document.width, document.height);
    leftZoom_.SetFit(document.width, document.height, leftPane_.InnerWidth(),
                     leftPane_.InnerHeight());
    ShowZoom(leftZoom_);
    rightPane_.SetPaneSize(pane, paneHeight);
    rightZoom_.SetFit(rightPane_.ImageWidth(), rightPane_.ImageHeight(), rightPane_.InnerWidth(),
                      rightPane_.InnerHeight());
    if (rightPane_.InnerWidth() > 0) ShowZoom(rightZoom_);
    swatches_.UpdateVisibleRows();
    leftPane_.ComputeGeometry();
    rightPane_.ComputeGeometry();
    ChooseTool(services_.memory.tool);
}

void MainDialog::FitToScreen() {
    leftZoom_.SetLevelFitAtMost100();
    rightZoom_.SetLevelFitAtMost100();
    const ADMRect area = ScreenWorkArea();
    dialog_.SetBounds({area.left + 2, area.top + 2, area.right - 2, area.bottom - 2});
    // A dialog that already had this size hears of no change, and the levels are new.
    Layout();
}

} // namespace quillon::dialog
