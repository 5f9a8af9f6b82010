#include "filter/Selectors.h"

#include "dialog/MainDialog.h"
#include "filter/AboutBox.h"
#include "filter/FilterRectangles.h"
#include "filter/FilteringPass.h"
#include "filter/PluginState.h"
#include "filter/ScriptingParameters.h"
#include "platform/Platform.h"
#include "suites/HostSuites.h"

namespace quillon::filter {
namespace {

// The engine's companion RGB values come from the host's conversion; the suite is acquired
// before the engine is used, so this never has to report a failure.
void ConvertForEngine(void*, uint16_t from, uint16_t to, engine::ColorRecord16* records,
                      int32_t count) noexcept {
    const void* suite = suites::ColorSpaceSuite().suite;
    if (!suite) return;
    static_cast<const PSColorSpaceSuite1*>(suite)->Convert16(
        static_cast<ColorSpace>(from), static_cast<ColorSpace>(to),
        reinterpret_cast<Color16*>(records), static_cast<int16>(count));
}

} // namespace

void DoAbout(AboutRecord& about) {
    ShowAboutBox(about);
}

void DoParameters() {
    State().showDialog = true;
}

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
    suites::ColorSpace();
    engine::ColorEngine& engine = Engine();
    engine.SetConvert16(&ConvertForEngine, nullptr);
    {
        // The saved settings and the recorded parameters build the mesh once, at the end.
        engine::ColorEngine::EditBatch batch(engine);
        engine.Reset();
        RestoreSettings();

        // Without the dialog, a recorded action replays its own parameters. A "Colors" text
        // that does not load whole would apply half an adjustment, so the run stops before any
        // pixel.
        if (!state.showDialog && !ReadRecordedParameters()) {
            *state.result = filterBadParameters;
            return;
        }
    }

    // The dialog opens on the built mesh; the recorded parameters become its starting state.
    if (state.showDialog) {
        const dialog::MainDialogServices services{state.filterRecord,
                                                  suites::BasicSuite(),
                                                  engine,
                                                  state.sampleFilePath,
                                                  state.dialogMemory,
                                                  [] {
                                                      engine::ColorEngine::EditBatch batch(
                                                          Engine());
                                                      ReadRecordedParameters();
                                                  }};
        if (!dialog::RunMainDialog(services)) {
            *state.result = userCanceledErr;
            return;
        }
    }

    SaveSettings();
    RunFilteringPass();
}

void DoContinue() {
    SetOutputRectangle(*State().filterRecord, 0, 0, 0, 0);
}

void DoFinish() {
    RecordParameters();
}

} // namespace quillon::filter
