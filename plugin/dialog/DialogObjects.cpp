#include "dialog/DialogObjects.h"

namespace quillon::dialog {
namespace {

ZoomControl gLeftZoom;
ZoomControl gRightZoom;
QLNPreviewImagePane gLeftPane;
QLNSampleImagePane gRightPane;
SwatchPane gSwatches;
history::EditHistory gHistory;
engine::Adjustment gSelectionSnapshot;

} // namespace

QLNPreviewImagePane& LeftPane() {
    return gLeftPane;
}
QLNSampleImagePane& RightPane() {
    return gRightPane;
}
SwatchPane& Swatches() {
    return gSwatches;
}
ZoomControl& LeftZoom() {
    return gLeftZoom;
}
ZoomControl& RightZoom() {
    return gRightZoom;
}
history::EditHistory& History() {
    return gHistory;
}
engine::Adjustment& SelectionSnapshot() {
    return gSelectionSnapshot;
}

} // namespace quillon::dialog
