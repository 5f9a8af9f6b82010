// What the dialog-manager suites share, internal to their files. Every entry point checks its
// handles against the live objects of the kind it expects, so a stale, foreign or wrong-kind
// handle does nothing instead of crashing, and runs what may throw through the host's one guard,
// so nothing escapes into the plug-in.
#pragma once

#include "core/suites/GuardedCall.h"
#include "pluginapi/ADMSuites.h"
#include "pluginapi/PIUIHooks.h"
#include "ui/AdmCanvasItems.h"
#include "ui/AdmControlItems.h"
#include "ui/AdmDialog.h"
#include "ui/AdmDrawer.h"
#include "ui/AdmEvents.h"
#include "ui/AdmItem.h"
#include "ui/AdmList.h"
#include "ui/CanvasWidget.h"
#include "ui/DialogManager.h"

#include <QImage>
#include <QRect>

#include <string>

namespace quillon::ui {

using filterhost::GuardedCall;
using filterhost::HandleKind;

// Pictures the plug-in made or loaded, its handles until it destroys them.
struct AdmImage {
    AdmImage(filterhost::HandleTable& handles, QImage picture)
        : image(std::move(picture)), lent(handles, this, HandleKind::Image) {}
    QImage image; // RGB32: blue, green, red, unused in memory
    LentHandle lent;
};

struct AdmIcon {
    AdmIcon(filterhost::HandleTable& handles, QImage picture)
        : image(std::move(picture)), lent(handles, this, HandleKind::Icon) {}
    QImage image; // ARGB32
    LentHandle lent;
};

inline DialogManager* M() {
    return DialogManager::Current();
}

template <typename T> T* Live(const void* ref, HandleKind kind) {
    DialogManager* manager = M();
    return manager ? manager->Find<T>(ref, kind) : nullptr;
}

inline AdmDialog* D(ADMDialogRef ref) {
    return Live<AdmDialog>(ref, HandleKind::Dialog);
}
inline AdmItem* I(ADMItemRef ref) {
    return Live<AdmItem>(ref, HandleKind::Item);
}
inline AdmDrawer* Dr(ADMDrawerRef ref) {
    return Live<AdmDrawer>(ref, HandleKind::Drawer);
}
inline AdmImage* Im(ADMImageRef ref) {
    return Live<AdmImage>(ref, HandleKind::Image);
}
inline AdmIcon* Ic(ADMIconRef ref) {
    return Live<AdmIcon>(ref, HandleKind::Icon);
}
inline AdmNotifier* N(ADMNotifierRef ref) {
    return Live<AdmNotifier>(ref, HandleKind::Notifier);
}
inline AdmTracker* T(ADMTrackerRef ref) {
    return Live<AdmTracker>(ref, HandleKind::Tracker);
}
inline AdmEntry* E(ADMEntryRef ref) {
    return Live<AdmEntry>(ref, HandleKind::Entry);
}
inline AdmList* L(ADMListRef ref) {
    return Live<AdmList>(ref, HandleKind::List);
}

inline QRect ToQt(const ADMRect& r) {
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}
inline ADMRect ToAdm(const QRect& r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}
// A C string the plug-in passed, null taken as empty.
inline std::string Text(const char* text) {
    return text ? std::string(text) : std::string();
}

// The suites' function tables, one file each.
extern const ADMBasicSuite8 kBasicSuite8;
extern const ADMBasicSuite9 kBasicSuite9;
extern const ADMDialogSuite4 kDialogSuite;
extern const ADMItemSuite3 kItemSuite;
extern const ADMDrawerSuite3 kDrawerSuite;
extern const ADMImageSuite2 kImageSuite;
extern const ADMIconSuite1 kIconSuite;
extern const ADMNotifierSuite1 kNotifierSuite;
extern const ADMTrackerSuite1 kTrackerSuite;
extern const ADMEntrySuite2 kEntrySuite;
extern const ADMListSuite1 kListSuite;
extern const PSUIHooksSuite1 kUIHooksSuite;

} // namespace quillon::ui
