// The module's entry point: stores what the host hands in and dispatches by selector.
#include "filter/PluginState.h"
#include "filter/Selectors.h"
#include "platform/Platform.h"
#include "suites/HostError.h"
#include "suites/SuiteHolder.h"

namespace quillon::filter {
namespace {

void Dispatch(int16 selector, void* block) {
    PluginState& state = State();
    if (selector != filterSelectorAbout) {
        state.filterRecord = static_cast<FilterRecord*>(block);
        suites::SetBasicSuite(state.filterRecord->sSPBasic);
        if (BigDocumentStruct* big = state.filterRecord->bigDocumentData)
            big->PluginUsing32BitCoordinates = 1;
    } else {
        suites::SetBasicSuite(static_cast<AboutRecord*>(block)->sSPBasic);
    }

    if (!suites::BasicSuite()) {
        platform::ShowMessageBox(nullptr, "Not Supported",
                                 "Quillon cannot be used with this version of the editor.");
        *state.result = filterBadParameters;
        return;
    }

    switch (selector) {
    case filterSelectorAbout:
        DoAbout(*static_cast<AboutRecord*>(block));
        break;
    case filterSelectorParameters:
        DoParameters();
        break;
    case filterSelectorPrepare:
        DoPrepare();
        break;
    case filterSelectorStart:
        DoStart();
        break;
    case filterSelectorContinue:
        DoContinue();
        break;
    case filterSelectorFinish:
        DoFinish();
        break;
    default:
        *state.result = filterBadParameters;
        break;
    }
}

} // namespace
} // namespace quillon::filter

extern "C" __attribute__((visibility("default"))) void
PluginMain(int16 selector, void* pluginParamBlock, intptr_t* data, int16* result) noexcept {
    using namespace quillon;
    using filter::Dispatch;
    filter::PluginState& state = filter::State();
    state.data = data;
    state.result = result;
    *result = noErr;
    try {
        Dispatch(selector, pluginParamBlock);
    } catch (const suites::HostError& error) {
        *result = suites::ToSelectorResult(error.code);
    } catch (...) {
        // Nothing may escape into the host; an unexpected failure ends as bad parameters.
        *result = filterBadParameters;
    }
}
