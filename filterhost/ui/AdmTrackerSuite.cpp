// The tracker suite: the mouse and key event an item or dialog is tracking.
#include "ui/AdmSuiteSupport.h"

#include <QGuiApplication>

namespace quillon::ui {
namespace {

// A null tracker reports the state of the mouse and keys now.
void TrackerPoint(ADMTrackerRef ref, ADMPoint* point) noexcept {
    if (!point) return;
    if (AdmTracker* t = T(ref)) {
        *point = t->point;
        return;
    }
    const QPoint screen = PointerPosition();
    *point = {screen.x(), screen.y()};
}

ADMInt32 TrackerAction(ADMTrackerRef ref) noexcept {
    AdmTracker* t = T(ref);
    return t ? t->action : 0;
}

ADMInt32 TrackerModifiersNow(ADMTrackerRef ref) noexcept {
    if (AdmTracker* t = T(ref)) return t->modifiers;
    return TrackerModifiers(QGuiApplication::queryKeyboardModifiers());
}

ADMBoolean TestAction(ADMTrackerRef ref, ADMInt32 action) noexcept {
    AdmTracker* t = T(ref);
    return t && t->action == action;
}

ADMBoolean TestModifier(ADMTrackerRef ref, ADMInt32 modifier) noexcept {
    return modifier != 0 && (TrackerModifiersNow(ref) & modifier) == modifier;
}

ADMInt32 TrackerVirtualKey(ADMTrackerRef ref) noexcept {
    AdmTracker* t = T(ref);
    return t ? t->virtualKey : kADMUnknownKey;
}

} // namespace

const ADMTrackerSuite1 kTrackerSuite = {&TrackerPoint, &TrackerAction, &TrackerModifiersNow,
                                        &TestAction,   &TestModifier,  &TrackerVirtualKey};

} // namespace quillon::ui
