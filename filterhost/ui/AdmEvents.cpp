#include "ui/AdmEvents.h"

#include <QCursor>

namespace quillon::ui {
namespace {

std::optional<QPoint> gScriptedPointer;

} // namespace

QPoint PointerPosition() {
    return gScriptedPointer ? *gScriptedPointer : QCursor::pos();
}

void SetScriptedPointer(std::optional<QPoint> position) {
    gScriptedPointer = position;
}

ADMInt32 TrackerModifiers(Qt::KeyboardModifiers modifiers) {
    ADMInt32 bits = 0;
    if (modifiers & Qt::ControlModifier) bits |= kADMControlKeyModifier;
    if (modifiers & Qt::ShiftModifier) bits |= kADMShiftKeyModifier;
    if (modifiers & Qt::AltModifier) bits |= kADMOptionKeyModifier;
    return bits;
}

ADMInt32 VirtualKey(int key) {
    switch (key) {
    case Qt::Key_Tab:
        return kADMTabKey;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kADMEnterKey;
    case Qt::Key_Escape:
        return kADMEscapeKey;
    case Qt::Key_Left:
        return kADMLeftKey;
    case Qt::Key_Right:
        return kADMRightKey;
    case Qt::Key_Up:
        return kADMUpKey;
    case Qt::Key_Down:
        return kADMDownKey;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        return kADMDeleteKey;
    default:
        break;
    }
    // Qt's codes for printable keys are their characters, letters in upper case.
    return key >= 0x20 && key < 0x7f ? key : kADMUnknownKey;
}

bool MaskAllows(ADMInt32 mask, ADMInt32 action) {
    switch (action) {
    case kADMMouseMovedDownAction:
    case kADMMouseMovedUpAction:
        return mask & kADMMouseMoveMask;
    case kADMButtonDownAction:
    case kADMButtonUpAction:
        return mask & kADMButtonMask;
    case kADMShiftKeyDownAction:
    case kADMShiftKeyUpAction:
    case kADMAltKeyDownAction:
    case kADMAltKeyUpAction:
    case kADMSpaceKeyDownAction:
    case kADMSpaceKeyUpAction:
        return mask & kADMModifierKeyMask;
    case kADMWheelUpAction:
    case kADMWheelDownAction:
        return mask & kADMWheelMask;
    case kADMDropAction:
        return mask & kADMDropMask;
    case kADMEnterAction:
    case kADMLeaveAction:
        return mask & kADMEnterLeaveMask;
    case kADMKeyStrokeAction:
    case kADMKeyReleaseAction:
        return mask & kADMKeyStrokeMask;
    default:
        return false;
    }
}

} // namespace quillon::ui
