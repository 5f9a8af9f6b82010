// The drawer suite: painting on a custom item's canvas.
#include "ui/AdmSuiteSupport.h"

#include <vector>

namespace quillon::ui {
namespace {

void SetRGBColor(ADMDrawerRef ref, const ADMRGBColor* color) noexcept {
    if (AdmDrawer* d = Dr(ref); d && color)
        d->SetColor(QColor(color->red >> 8, color->green >> 8, color->blue >> 8));
}

void SetADMColor(ADMDrawerRef ref, ADMInt32 number) noexcept {
    if (AdmDrawer* d = Dr(ref)) d->SetColor(StandardColor(number));
}

void SetDrawMode(ADMDrawerRef ref, ADMInt32 mode) noexcept {
    if (AdmDrawer* d = Dr(ref)) d->SetMode(mode == kADMXORMode ? kADMXORMode : kADMNormalMode);
}

void DrawLine(ADMDrawerRef ref, const ADMPoint* from, const ADMPoint* to) noexcept {
    AdmDrawer* d = Dr(ref);
    if (d && from && to)
        GuardedCall([&] { d->Line(QPoint(from->h, from->v), QPoint(to->h, to->v)); });
}

void DrawPolygon(ADMDrawerRef ref, const ADMPoint* points, ADMInt32 count) noexcept {
    AdmDrawer* d = Dr(ref);
    if (!d || !points || count <= 0 || count > 1 << 20) return;
    GuardedCall([&] {
        std::vector<QPoint> qt;
        qt.reserve(size_t(count));
        for (ADMInt32 i = 0; i < count; ++i)
            qt.emplace_back(points[i].h, points[i].v);
        d->Polygon(qt);
    });
}

void DrawRect(ADMDrawerRef ref, const ADMRect* rect) noexcept {
    AdmDrawer* d = Dr(ref);
    if (d && rect) GuardedCall([&] { d->Rect(ToQt(*rect)); });
}

void FillRect(ADMDrawerRef ref, const ADMRect* rect) noexcept {
    AdmDrawer* d = Dr(ref);
    if (d && rect) GuardedCall([&] { d->Fill(ToQt(*rect)); });
}

void DrawSunkenRect(ADMDrawerRef ref, const ADMRect* rect) noexcept {
    AdmDrawer* d = Dr(ref);
    if (d && rect) GuardedCall([&] { d->Frame(ToQt(*rect), true); });
}

void DrawRaisedRect(ADMDrawerRef ref, const ADMRect* rect) noexcept {
    AdmDrawer* d = Dr(ref);
    if (d && rect) GuardedCall([&] { d->Frame(ToQt(*rect), false); });
}

void DrawIconCentered(ADMDrawerRef ref, ADMIconRef icon, const ADMRect* rect) noexcept {
    AdmDrawer* d = Dr(ref);
    AdmIcon* i = Ic(icon);
    if (d && i && rect) GuardedCall([&] { d->Icon(i->image, ToQt(*rect)); });
}

void DrawADMImage(ADMDrawerRef ref, ADMImageRef image, const ADMPoint* at) noexcept {
    AdmDrawer* d = Dr(ref);
    AdmImage* i = Im(image);
    if (d && i && at) GuardedCall([&] { d->Image(i->image, QPoint(at->h, at->v)); });
}

} // namespace

const ADMDrawerSuite3 kDrawerSuite = {
    &SetRGBColor, &SetADMColor,    &SetDrawMode,    &DrawLine,         &DrawPolygon, &DrawRect,
    &FillRect,    &DrawSunkenRect, &DrawRaisedRect, &DrawIconCentered, &DrawADMImage};

} // namespace quillon::ui
