#include "host/ScriptingParameters.h"

#include "host/ColorsText.h"
#include "host/HostSuites.h"
#include "host/PluginState.h"
#include "platform/Platform.h"
#include "pluginapi/PIActions.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quillon::host {
namespace {

constexpr DescriptorKeyID kKeyPreserveLuminosity = PI_FOURCC('P', 'r', 's', 'L');
constexpr DescriptorKeyID kKeyFuzziness = PI_FOURCC('F', 'z', 'n', 's');
constexpr DescriptorKeyID kKeySampleFile = PI_FOURCC('q', 'l', 'n', 'F');
constexpr DescriptorKeyID kKeyColors = PI_FOURCC('s', 'm', 'p', 'l');
constexpr uint32_t kSettingsSignature = PI_FOURCC('N', 'Q', 'l', 'n');
constexpr uint32_t kSettingsVersion = 2;

// Little-endian fields of the saved-settings block.
void Put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}
uint32_t Get16(const uint8_t* p) { return uint32_t(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) { return Get16(p) | Get16(p + 2) << 16; }

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

double FuzzinessToUser(float f) { return std::trunc((double(f) * 9 + 1) * 10 + 0.5) * 0.1; }

float FuzzinessFromUser(double u) { return static_cast<float>((u - 1) * 0.1111111111111111); }

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
    if (State().sampleFilePath[0]) putText(kKeySampleFile, platform::WideToUtf8(State().sampleFilePath));
    if (engine.UserCount() > 0) putText(kKeyColors, FormatColors(engine));

    PIDescriptorHandle descriptor = nullptr;
    write.closeWriteDescriptorProc(token, &descriptor);
    if (parameters->descriptor) Use<PSHandleSuite2>(HandleSuite()).Dispose(parameters->descriptor);
    parameters->descriptor = descriptor;
}

bool ReadRecordedParameters() {
    FilterRecord& record = *State().filterRecord;
    PIDescriptorParameters* parameters = record.descriptorParameters;
    if (!parameters || !parameters->descriptor) return true;
    engine::ColorEngine& engine = Engine();
    engine.Reset();

    bool colorsWhole = true;
    const ReadDescriptorProcs* read = parameters->readDescriptorProcs;
    DescriptorKeyID keys[] = {kKeyPreserveLuminosity, kKeyFuzziness, kKeyColors, 0};
    PIReadDescriptor token = read ? read->openReadDescriptorProc(parameters->descriptor, keys) : nullptr;
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
                if (read->getFloatProc(token, &u) == noErr) engine.SetFuzziness(FuzzinessFromUser(u));
            } else if (key == kKeySampleFile || key == kKeyColors) {
                Handle text = nullptr;
                if (read->getTextProc(token, &text) != noErr || !text || !record.handleProcs) continue;
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
    const int32_t size = handles->getSizeProc(h);
    const engine::ColorEngine& engine = Engine();
    const int32_t fit = size < kSettingsHeaderSize ? 0 : (size - kSettingsHeaderSize) / kSettingsRecordSize;
    const int32_t count = std::min(engine.UserCount(), fit);
    if (size >= kSettingsHeaderSize) {
        Put32(block, kSettingsSignature);
        Put32(block + 4, kSettingsVersion);
        block[8] = engine.PreserveLuminosity() ? 1 : 0;
        const float f = engine.Fuzziness();
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        Put32(block + 12, bits);
        Put16(block + 16, uint32_t(count));
    }
    for (int32_t i = 0; i < count; ++i) {
        const engine::Adjustment& a = engine.Record(engine.FirstUserIndex() + i);
        uint8_t* r = block + kSettingsHeaderSize + i * kSettingsRecordSize;
        // The original is held as L, a, b, the target in mesh order a, b, L.
        const int32_t target[3] = {a.target[2], a.target[0], a.target[1]};
        for (int c = 0; c < 3; ++c) {
            Put16(r + 2 * c, uint32_t(a.original[c]));
            Put16(r + 6 + 2 * c, uint32_t(target[c]));
        }
        Put32(r + 12, uint32_t(a.documentPosition.h));
        Put32(r + 16, uint32_t(a.documentPosition.v));
        Put32(r + 20, uint32_t(a.samplePosition.h));
        Put32(r + 24, uint32_t(a.samplePosition.v));
        r[28] = a.locked ? 1 : 0;
    }
    handles->unlockProc(h);
}

void RestoreSettings() {
    PluginState& state = State();
    const HandleProcs* handles = state.filterRecord->handleProcs;
    if (*state.data == 0 || !handles) return;
    engine::ColorEngine& engine = Engine();
    engine.Reset();
    Handle h = reinterpret_cast<Handle>(*state.data);
    const auto* block = reinterpret_cast<const uint8_t*>(handles->lockProc(h, true));
    const int32_t size = handles->getSizeProc(h);
    if (block && size >= kSettingsHeaderSize) {
        engine.SetPreserveLuminosity(block[8] != 0);
        uint32_t bits = Get32(block + 12);
        float f;
        std::memcpy(&f, &bits, 4);
        engine.SetFuzziness(f);
        // The stored count is not trusted beyond what the handle holds.
        const int32_t fit = (size - kSettingsHeaderSize) / kSettingsRecordSize;
        const int32_t count = std::min<int32_t>(int32_t(Get16(block + 16)), fit);
        for (int32_t i = 0; i < count; ++i) {
            const uint8_t* r = block + kSettingsHeaderSize + i * kSettingsRecordSize;
            engine::StoredAdjustment stored;
            for (int c = 0; c < 3; ++c) {
                stored.original[c] = int32_t(Get16(r + 2 * c));
                stored.target[c] = int32_t(Get16(r + 6 + 2 * c));
            }
            stored.document = {int32_t(Get32(r + 12)), int32_t(Get32(r + 16))};
            stored.sample = {int32_t(Get32(r + 20)), int32_t(Get32(r + 24))};
            stored.locked = r[28] != 0;
            if (!engine.LoadAdjustment(stored)) break;
        }
    }
    engine.Rebuild();
    if (block) handles->unlockProc(h);
}

} // namespace quillon::host
