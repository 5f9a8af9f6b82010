#include "host/Selectors.h"

#include "host/AboutBox.h"
#include "host/FilteringPass.h"
#include "host/PluginState.h"
#include "platform/Platform.h"

namespace quillon::host {

void DoAbout(AboutRecord& about) { ShowAboutBox(about); }

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
