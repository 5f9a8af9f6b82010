// The item suite: an item's callbacks, bounds, text, values and drawers.
#include "ui/AdmSuiteSupport.h"

#include <cstring>

namespace quillon::ui {
namespace {

void ItemSetDrawProc(ADMItemRef ref, ADMItemDrawProc proc) noexcept {
    AdmItem* i = I(ref);
    if (!i) return;
    i->draw = proc;
    if (i->Canvas()) i->Canvas()->MarkInvalid();
}

void ItemSetTrackProc(ADMItemRef ref, ADMItemTrackProc proc) noexcept {
    if (AdmItem* i = I(ref)) i->track = proc;
}

ADMBoolean ItemDefaultTrack(ADMItemRef, ADMTrackerRef) noexcept {
    return false;
}

void ItemSetMask(ADMItemRef ref, ADMInt32 mask) noexcept {
    if (AdmItem* i = I(ref)) i->mask = mask;
}

void ItemSetNotifyProc(ADMItemRef ref, ADMItemNotifyProc proc) noexcept {
    if (AdmItem* i = I(ref)) i->notify = proc;
}

void ItemDefaultNotify(ADMItemRef ref, ADMNotifierRef notifier) noexcept {
    AdmItem* i = I(ref);
    AdmNotifier* n = N(notifier);
    if (i && n) GuardedCall([&] { i->DefaultNotify(*n); });
}

void ItemSetUserData(ADMItemRef ref, ADMUserData data) noexcept {
    if (AdmItem* i = I(ref)) i->userData = data;
}

ADMUserData ItemGetUserData(ADMItemRef ref) noexcept {
    AdmItem* i = I(ref);
    return i ? i->userData : nullptr;
}

ADMInt32 ItemGetID(ADMItemRef ref) noexcept {
    AdmItem* i = I(ref);
    return i ? i->ID() : 0;
}

ADMDialogRef ItemGetDialog(ADMItemRef ref) noexcept {
    AdmItem* i = I(ref);
    return i ? i->Dialog().Ref() : nullptr;
}

void ItemGetBounds(ADMItemRef ref, ADMRect* bounds) noexcept {
    if (!bounds) return;
    *bounds = {};
    if (AdmItem* i = I(ref)) *bounds = ToAdm(i->Widget()->geometry());
}

void ItemSetBounds(ADMItemRef ref, const ADMRect* bounds) noexcept {
    AdmItem* i = I(ref);
    if (i && bounds && bounds->right >= bounds->left && bounds->bottom >= bounds->top)
        GuardedCall([&] { i->Widget()->setGeometry(ToQt(*bounds)); });
}

void ItemGetLocalRect(ADMItemRef ref, ADMRect* rect) noexcept {
    if (!rect) return;
    *rect = {};
    if (AdmItem* i = I(ref)) *rect = {0, 0, i->Widget()->width(), i->Widget()->height()};
}

void ScreenToLocalPoint(ADMItemRef ref, ADMPoint* point) noexcept {
    AdmItem* i = I(ref);
    if (!i || !point) return;
    const QPoint local = i->Widget()->mapFromGlobal(QPoint(point->h, point->v));
    *point = {local.x(), local.y()};
}

void ItemInvalidate(ADMItemRef ref) noexcept {
    AdmItem* i = I(ref);
    if (!i) return;
    if (i->Canvas())
        i->Canvas()->MarkInvalid();
    else
        i->Widget()->update();
}

void ItemEnable(ADMItemRef ref, ADMBoolean enable) noexcept {
    if (AdmItem* i = I(ref)) GuardedCall([&] { i->Widget()->setEnabled(enable); });
}

ADMBoolean ItemIsEnabled(ADMItemRef ref) noexcept {
    AdmItem* i = I(ref);
    return i && i->Widget()->isEnabled();
}

void ItemSetText(ADMItemRef ref, const char* text) noexcept {
    if (AdmItem* i = I(ref)) GuardedCall([&] { i->SetText(Text(text)); });
}

ADMInt32 ItemGetText(ADMItemRef ref, char* text, ADMInt32 maxLength) noexcept {
    if (text && maxLength > 0) text[0] = 0;
    AdmItem* i = I(ref);
    if (!i) return 0;
    return GuardedCall<ADMInt32>(0, [&] {
        const std::string value = i->Text();
        if (text && maxLength > 0) {
            const size_t n = std::min(value.size(), size_t(maxLength - 1));
            std::memcpy(text, value.data(), n);
            text[n] = 0;
        }
        return ADMInt32(std::min<size_t>(value.size(), INT32_MAX));
    });
}

void SetFloatValue(ADMItemRef ref, ADMReal value) noexcept {
    if (AdmItem* i = I(ref)) GuardedCall([&] { i->SetFloat(value); });
}

ADMReal GetFloatValue(ADMItemRef ref) noexcept {
    AdmItem* i = I(ref);
    return i ? i->Float() : 0.0f;
}

void SetMinFloatValue(ADMItemRef ref, ADMReal value) noexcept {
    if (AdmItem* i = I(ref)) GuardedCall([&] { i->SetMinimum(value); });
}

void SetMaxFloatValue(ADMItemRef ref, ADMReal value) noexcept {
    if (AdmItem* i = I(ref)) GuardedCall([&] { i->SetMaximum(value); });
}

ADMReal GetMinFloatValue(ADMItemRef ref) noexcept {
    AdmItem* i = I(ref);
    return i ? i->Minimum() : 0.0f;
}

ADMReal GetMaxFloatValue(ADMItemRef ref) noexcept {
    AdmItem* i = I(ref);
    return i ? i->Maximum() : 0.0f;
}

void SetPrecision(ADMItemRef ref, ADMInt32 decimals) noexcept {
    if (AdmItem* i = I(ref)) GuardedCall([&] { i->SetPrecision(decimals); });
}

void SetBooleanValue(ADMItemRef ref, ADMBoolean value) noexcept {
    if (AdmItem* i = I(ref)) GuardedCall([&] { i->SetBoolean(value); });
}

ADMBoolean GetBooleanValue(ADMItemRef ref) noexcept {
    AdmItem* i = I(ref);
    return i && i->Boolean();
}

ADMListRef GetList(ADMItemRef ref) noexcept {
    AdmItem* i = I(ref);
    return i && i->List() ? reinterpret_cast<ADMListRef>(i->List()) : nullptr;
}

void SetPictureID(ADMItemRef ref, ADMInt32 id) noexcept {
    if (AdmItem* i = I(ref)) GuardedCall([&] { i->SetPicture(id); });
}

ADMDrawerRef CreateDrawer(ADMItemRef ref) noexcept {
    AdmItem* i = I(ref);
    if (!i || !i->Canvas()) return nullptr;
    return GuardedCall<ADMDrawerRef>(
        nullptr, [&] { return reinterpret_cast<ADMDrawerRef>(new AdmDrawer(*i, true)); });
}

void DestroyDrawer(ADMDrawerRef ref) noexcept {
    // Only drawers this suite made are deleted; those handed to draw callbacks belong to the host.
    AdmDrawer* d = Dr(ref);
    if (d && d->Immediate()) GuardedCall([&] { delete d; });
}

} // namespace

const ADMItemSuite3 kItemSuite = {
    &ItemSetDrawProc,   &ItemSetTrackProc,   &ItemDefaultTrack, &ItemSetMask,
    &ItemSetNotifyProc, &ItemDefaultNotify,  &ItemSetUserData,  &ItemGetUserData,
    &ItemGetID,         &ItemGetDialog,      &ItemGetBounds,    &ItemSetBounds,
    &ItemGetLocalRect,  &ScreenToLocalPoint, &ItemInvalidate,   &ItemEnable,
    &ItemIsEnabled,     &ItemSetText,        &ItemGetText,      &SetFloatValue,
    &GetFloatValue,     &SetMinFloatValue,   &SetMaxFloatValue, &GetMinFloatValue,
    &GetMaxFloatValue,  &SetPrecision,       &SetBooleanValue,  &GetBooleanValue,
    &GetList,           &SetPictureID,       &CreateDrawer,     &DestroyDrawer};

} // namespace quillon::ui
