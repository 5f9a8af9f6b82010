#include "filter/ScriptingParameters.h"

#include "engine/FuzzinessScale.h"
#include "filter/ColorsText.h"
#include "filter/PluginState.h"
#include "filter/SettingsBlock.h"
#include "platform/Platform.h"
#include "pluginapi/PIActions.h"
#include "suites/HostSuites.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quillon::filter {
namespace {

constexpr DescriptorKeyID kKeyPreserveLuminosity = PI_FOURCC('P', 'r', 's', 'L');
constexpr DescriptorKeyID kKeyFuzziness = PI_FOURCC('F', 'z', 'n', 's');
constexpr DescriptorKeyID kKeySampleFile = PI_FOURCC('q', 'l', 'n', 'F');
constexpr DescriptorKeyID kKeyColors = PI_FOURCC('s', 'm', 'p', 'l');

// A handle of the host's holding text and its NUL; the caller disposes of it.
Handle TextHandle(const HandleProcs& procs, const std::string& text) {
    Handle h = procs.newProc(static_cast<int32>(text.size() + 1));
    if (!h) return nullptr;
    if (char* p = procs.lockProc(h, false)) {
        std::memcpy(p, text.c_str(), text.size() + 1);
        procs.unlockProc(h);
    }
    return h;
}

std::string HandleText(const HandleProcs& procs, Handle h) {
    const int32 size = procs.getSizeProc(h);
    const char* p = procs.lockProc(h, false);
    std::string text;
    if (p && size > 0) text.assign(p, strnlen(p, size_t(size)));
    procs.unlockProc(h);
    return text;
}

} // namespace

double FuzzinessToUser(float f) {
    return std::trunc(engine::UserFuzziness(f) * 10 + 0.5) * 0.1;
}

float FuzzinessFromUser(double u) {
    return engine::EngineFuzziness(u);
}

void RecordParameters() {
    FilterRecord& record = *State().filterRecord;
    PIDescriptorParameters* parameters = record.descriptorParameters;
    if (!parameters || !parameters->writeDescriptorProcs || !record.handleProcs) return;
    parameters->recordInfo = plugInDialogOptional;
    const WriteDescriptorProcs& write = *parameters->writeDescriptorProcs;
    const HandleProcs& handles = *record.handleProcs;
    PIWriteDescriptor token = write.openWriteDescriptorProc();
    if (!token) return;

    engine::ColorEngine& engine = Engine();
    write.putBooleanProc(token, kKeyPreserveLuminosity, engine.PreserveLuminosity());
    const double fuzziness = FuzzinessToUser(engine.Fuzziness());
    write.putFloatProc(token, kKeyFuzziness, &fuzziness);
    // The host copies put texts; the handles stay ours to dispose of.
    auto putText = [&](DescriptorKeyID key, const std::string& text) {
        if (Handle h = TextHandle(handles, text)) {
            write.putTextProc(token, key, h);
            handles.disposeProc(h);
        }
    };
    if (State().sampleFilePath[0])
        putText(kKeySampleFile, platform::WideToUtf8(State().sampleFilePath));
    if (engine.UserCount() > 0) putText(kKeyColors, FormatColors(engine));

    PIDescriptorHandle descriptor = nullptr;
    write.closeWriteDescriptorProc(token, &descriptor);
    if (parameters->descriptor)
        suites::Use<PSHandleSuite2>(suites::HandleSuite()).Dispose(parameters->descriptor);
    parameters->descriptor = descriptor;
}

bool ReadRecordedParameters() {
    FilterRecord& record = *State().filterRecord;
    PIDescriptorParameters* parameters = record.descriptorParameters;
    if (!parameters || !parameters->descriptor) return true;
    engine::ColorEngine& engine = Engine();
    engine::ColorEngine::EditBatch batch(engine);
    engine.Reset();

    bool colorsWhole = true;
    const ReadDescriptorProcs* read = parameters->readDescriptorProcs;
    DescriptorKeyID keys[] = {kKeyPreserveLuminosity, kKeyFuzziness, kKeyColors, 0};
    PIReadDescriptor token =
        read ? read->openReadDescriptorProc(parameters->descriptor, keys) : nullptr;
    if (token) {
        DescriptorKeyID key = 0;
        DescriptorTypeID type = 0;
        int32 flags = 0;
        while (read->getKeyProc(token, &key, &type, &flags)) {
            if (key == kKeyPreserveLuminosity) {
                Boolean on = false;
                if (read->getBooleanProc(token, &on) == noErr) engine.SetPreserveLuminosity(on);
            } else if (key == kKeyFuzziness) {
                double u = 0;
                if (read->getFloatProc(token, &u) == noErr)
                    engine.SetFuzziness(FuzzinessFromUser(u));
            } else if (key == kKeySampleFile || key == kKeyColors) {
                Handle text = nullptr;
                if (read->getTextProc(token, &text) != noErr || !text || !record.handleProcs)
                    continue;
                const std::string value = HandleText(*record.handleProcs, text);
                record.handleProcs->disposeProc(text);
                if (key == kKeySampleFile) {
                    platform::Utf8ToWide(value, State().sampleFilePath,
                                         std::size(State().sampleFilePath));
                } else {
                    colorsWhole = bool(ParseColors(engine, value)) && colorsWhole;
                }
            }
        }
        read->closeReadDescriptorProc(token);
    }
    if (engine.UserCount() != 0) engine.Select(engine.FirstUserIndex());
    engine.Rebuild();
    return colorsWhole;
}

void SaveSettings() {
    PluginState& state = State();
    const HandleProcs* handles = state.filterRecord->handleProcs;
    if (!handles) return;
    if (*state.data == 0) {
        Handle h = handles->newProc(kSettingsSize);
        if (!h) return;
        *state.data = reinterpret_cast<intptr_t>(h);
    }
    Handle h = reinterpret_cast<Handle>(*state.data);
    auto* block = reinterpret_cast<uint8_t*>(handles->lockProc(h, true));
    if (!block) return;
    // A handle the host shrank holds only as many records as fit.
    WriteSettingsBlock(Engine(), {block, size_t(std::max(0, handles->getSizeProc(h)))});
    handles->unlockProc(h);
}

void RestoreSettings() {
    PluginState& state = State();
    const HandleProcs* handles = state.filterRecord->handleProcs;
    if (*state.data == 0 || !handles) return;
    Handle h = reinterpret_cast<Handle>(*state.data);
    const auto* block = reinterpret_cast<const uint8_t*>(handles->lockProc(h, true));
    if (!block) return;
    ReadSettingsBlock({block, size_t(std::max(0, handles->getSizeProc(h)))}, Engine());
    handles->unlockProc(h);
}

} // namespace quillon::filter
