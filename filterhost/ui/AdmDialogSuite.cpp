// The dialog suite: running dialogs, their bounds, callbacks, items and timers.
#include "ui/AdmSuiteSupport.h"

namespace quillon::ui {
namespace {

ADMInt32 Modal(ADMPluginRef, const char*, ADMInt32 id, ADMInt32, ADMDialogInitProc init,
               ADMUserData data, ADMInt32) noexcept {
    return GuardedCall<ADMInt32>(kADMDialogFailedResult, [&] {
        return M() ? M()->RunModal(id, init, data, false) : kADMDialogFailedResult;
    });
}

ADMInt32 PopupModal(ADMPluginRef, const char*, ADMInt32 id, ADMDialogInitProc init,
                    ADMUserData data, ADMInt32) noexcept {
    return GuardedCall<ADMInt32>(kADMDialogFailedResult, [&] {
        return M() ? M()->RunModal(id, init, data, true) : kADMDialogFailedResult;
    });
}

void EndModal(ADMDialogRef ref, ADMInt32 id, ADMBoolean) noexcept {
    if (AdmDialog* d = D(ref)) GuardedCall([&] { d->EndModal(id); });
}

ADMUserData DialogUserData(ADMDialogRef ref) noexcept {
    AdmDialog* d = D(ref);
    return d ? d->userData : nullptr;
}

void DialogSetText(ADMDialogRef ref, const char* text) noexcept {
    if (AdmDialog* d = D(ref))
        GuardedCall([&] { d->setWindowTitle(QString::fromUtf8(Text(text))); });
}

void DialogGetBounds(ADMDialogRef ref, ADMRect* bounds) noexcept {
    if (!bounds) return;
    *bounds = {};
    if (AdmDialog* d = D(ref)) *bounds = ToAdm(d->geometry());
}

void DialogSetBounds(ADMDialogRef ref, const ADMRect* bounds) noexcept {
    AdmDialog* d = D(ref);
    if (d && bounds && bounds->right > bounds->left && bounds->bottom > bounds->top)
        GuardedCall([&] {
            d->setGeometry(ToQt(*bounds));
            d->KeepFrameOnScreen();
        });
}

void DialogGetLocalRect(ADMDialogRef ref, ADMRect* rect) noexcept {
    if (!rect) return;
    *rect = {};
    if (AdmDialog* d = D(ref)) *rect = {0, 0, d->width(), d->height()};
}

void SetMinWidth(ADMDialogRef ref, ADMInt32 width) noexcept {
    if (AdmDialog* d = D(ref))
        GuardedCall([&] { d->SetMinimumClientSize(width, d->minimumHeight()); });
}

void SetMinHeight(ADMDialogRef ref, ADMInt32 height) noexcept {
    if (AdmDialog* d = D(ref))
        GuardedCall([&] { d->SetMinimumClientSize(d->minimumWidth(), height); });
}

void DialogSetTrackProc(ADMDialogRef ref, ADMDialogTrackProc proc) noexcept {
    if (AdmDialog* d = D(ref)) d->track = proc;
}

// Nothing beyond the toolkit's own handling, which runs when the event is not handled.
ADMBoolean DialogDefaultTrack(ADMDialogRef, ADMTrackerRef) noexcept {
    return false;
}

void DialogSetMask(ADMDialogRef ref, ADMInt32 mask) noexcept {
    if (AdmDialog* d = D(ref)) d->mask = mask;
}

void DialogSetNotifyProc(ADMDialogRef ref, ADMDialogNotifyProc proc) noexcept {
    if (AdmDialog* d = D(ref)) d->notify = proc;
}

void DialogDefaultNotify(ADMDialogRef ref, ADMNotifierRef notifier) noexcept {
    AdmDialog* d = D(ref);
    AdmNotifier* n = N(notifier);
    if (d && n) GuardedCall([&] { d->DefaultNotify(*n); });
}

void DialogInvalidate(ADMDialogRef ref) noexcept {
    AdmDialog* d = D(ref);
    if (!d) return;
    GuardedCall([&] {
        for (const auto& item : d->Items())
            if (item->Canvas()) item->Canvas()->MarkInvalid();
        d->update();
    });
}

ADMItemRef GetItem(ADMDialogRef ref, ADMInt32 id) noexcept {
    AdmDialog* d = D(ref);
    AdmItem* item = d ? d->Item(id) : nullptr;
    return item ? item->Ref() : nullptr;
}

ADMItemRef CreateItem(ADMDialogRef ref, ADMInt32 id, const char* type, const ADMRect* bounds,
                      ADMItemInitProc init, ADMUserData data) noexcept {
    AdmDialog* d = D(ref);
    if (!d || !type || !bounds) return nullptr;
    AdmItem* item = GuardedCall<AdmItem*>(nullptr, [&]() -> AdmItem* {
        if (id != 0 && d->Item(id)) return nullptr;
        if (!IsItemType(type)) {
            M()->ReportError(std::string("unknown dialog item type \"") + type + "\"");
            return nullptr;
        }
        return d->CreateItem(id, type, ToQt(*bounds));
    });
    if (!item) return nullptr;
    item->userData = data;
    if (init) init(item->Ref());
    return item->Ref();
}

ADMTimerID CreateTimer(ADMDialogRef ref, ADMInt32 ms, ADMDialogTimerProc proc) noexcept {
    AdmDialog* d = D(ref);
    return d ? GuardedCall<ADMTimerID>(0, [&] { return d->StartTimer(ms, proc); }) : 0;
}

void AbortTimer(ADMDialogRef ref, ADMTimerID timer) noexcept {
    if (AdmDialog* d = D(ref)) GuardedCall([&] { d->AbortTimer(timer); });
}

void* GetWindowRef(ADMDialogRef ref) noexcept {
    AdmDialog* d = D(ref);
    return d ? GuardedCall<void*>(nullptr, [&] { return reinterpret_cast<void*>(d->winId()); })
             : nullptr;
}

} // namespace

const ADMDialogSuite4 kDialogSuite = {&Modal,
                                      &PopupModal,
                                      &EndModal,
                                      &DialogUserData,
                                      &DialogSetText,
                                      &DialogGetBounds,
                                      &DialogSetBounds,
                                      &DialogGetLocalRect,
                                      &SetMinWidth,
                                      &SetMinHeight,
                                      &DialogSetTrackProc,
                                      &DialogDefaultTrack,
                                      &DialogSetMask,
                                      &DialogSetNotifyProc,
                                      &DialogDefaultNotify,
                                      &DialogInvalidate,
                                      &GetItem,
                                      &CreateItem,
                                      &CreateTimer,
                                      &AbortTimer,
                                      &GetWindowRef};

} // namespace quillon::ui
