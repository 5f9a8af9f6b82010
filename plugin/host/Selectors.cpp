#include "host/Selectors.h"

#include "host/FilteringPass.h"
#include "host/PluginState.h"
#include "platform/Platform.h"

namespace quillon::host {

void DoAbout(AboutRecord& about) {
    platform::ShowMessageBox(about.sSPBasic, "About Quillon", "Nerrow Quillon\nVersion 2.0.1");
}

void DoParameters() { State().showDialog = true; }

void DoPrepare() {
    FilterRecord& record = *State().filterRecord;
    record.bufferSpace = 0;
    record.maxSpace = 0;
}

void DoStart() {
    PluginState& state = State();
    if (ImageModeToSpace(state.filterRecord->imageMode) < 0) {
        *state.result = filterBadMode;
        return;
    }
}

void DoContinue() { SetOutputRectangle(0, 0, 0, 0); }

void DoFinish() {}

} // namespace quillon::host
