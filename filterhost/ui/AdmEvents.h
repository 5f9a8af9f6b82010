// What the dialog manager hands to track and notify callbacks, and the conversions from Qt's
// input events it makes them with.
#pragma once

#include "pluginapi/ADMSuites.h"

#include <QPoint>

#include <optional>

namespace quillon::ui {

class AdmDialog;
class AdmItem;

struct AdmTracker {
    ADMPoint point;
    ADMInt32 action;
    ADMInt32 modifiers;
    ADMInt32 virtualKey;
};

struct AdmNotifier {
    AdmItem* item;
    AdmDialog* dialog;
    const char* type;
};

// The pointer on the screen: the window system's, or the one a script moves.
QPoint PointerPosition();
void SetScriptedPointer(std::optional<QPoint> position);

// Tracker modifier bits of Qt's keyboard modifiers.
ADMInt32 TrackerModifiers(Qt::KeyboardModifiers modifiers);
// The virtual key of a Qt key code, kADMUnknownKey for none.
ADMInt32 VirtualKey(int qtKey);
// Whether an action passes a track mask.
bool MaskAllows(ADMInt32 mask, ADMInt32 action);

} // namespace quillon::ui
