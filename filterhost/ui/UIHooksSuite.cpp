// The user-interface hooks: the host's main window, its cursors and its clock.
#include "ui/AdmSuiteSupport.h"

#include "pluginapi/PIUIHooks.h"

#include <QDateTime>

namespace quillon::ui {
namespace {

intptr_t MainAppWindow() noexcept {
    AdmDialog* top = M() ? M()->TopDialog() : nullptr;
    return top ? GuardedCall<intptr_t>(0, [&] { return intptr_t(top->winId()); }) : 0;
}

SPErr SetCursor(const char* name) noexcept {
    if (!M() || !name) return kSPBadParameterError;
    return GuardedCall<SPErr>(kSPBadParameterError, [&] {
        QWidget* widget = M()->TrackedWidget();
        if (!widget) return kSPBadParameterError;
        return ApplyHostCursor(*widget, name) ? kSPNoError : kSPBadParameterError;
    });
}

// Ticks of a sixtieth of a second.
uint32 TickCount() noexcept {
    return uint32(QDateTime::currentMSecsSinceEpoch() * 60 / 1000);
}

} // namespace

const PSUIHooksSuite1 kUIHooksSuite = {&MainAppWindow, &SetCursor, &TickCount};

} // namespace quillon::ui
