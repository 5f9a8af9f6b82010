#include "core/session/FilterDriver.h"

#include "core/HostFailure.h"
#include "pluginapi/PIColorSpace.h"

#include <algorithm>
#include <cstring>

namespace quillon::filterhost {

namespace {

// One plane of a tile row between the document and the interleaved buffer: a tight loop, with
// the step between a pixel's samples fixed for the usual three and four planes.
template <size_t Planes, typename Sample>
void CopyPlane(uint16_t* plane, Sample* slot, size_t planes, int32_t width, bool toDocument) {
    const size_t step = Planes ? Planes : planes;
    if (toDocument)
        for (int32_t x = 0; x < width; ++x)
            plane[x] = slot[size_t(x) * step];
    else
        for (int32_t x = 0; x < width; ++x)
            slot[size_t(x) * step] = static_cast<Sample>(plane[x]);
}

template <typename Sample>
void CopyPlane(uint16_t* plane, Sample* slot, size_t planes, int32_t width, bool toDocument) {
    if (planes == 3)
        CopyPlane<3>(plane, slot, planes, width, toDocument);
    else if (planes == 4)
        CopyPlane<4>(plane, slot, planes, width, toDocument);
    else
        CopyPlane<0>(plane, slot, planes, width, toDocument);
}

} // namespace

struct FilterHost::Session {
    Document& document;
    const RunOptions& options;
    RunReport& report;
    HostMemory& memory;
    ColorServices colors;
    ChannelPorts ports;
    FilterRecord record{};
    BigDocumentStruct big{};
    ReadImageDocumentDesc documentInfo{};
    PIDescriptorParameters descriptorParameters{};

    // The tile handed out last; written back to the document on the next advance.
    VRect tile{};
    int loPlane = 0, hiPlane = -1;
    std::vector<uint8_t> buffer;

    Session(Document& d, const RunOptions& o, RunReport& r, HostMemory& m)
        : document(d), options(o), report(r), memory(m),
          colors(ProfileFor(d, ColorMode::RGB), ProfileFor(d, ColorMode::CMYK)), ports(d) {
        if (o.pickColor) colors.SetPickColorHook(o.pickColor);
    }

    // The descriptor of the run, played back or recorded, is the host's to dispose of.
    ~Session() {
        memory.DisposeHandle(descriptorParameters.descriptor);
        report.conversions = colors.ConversionsBySpaces();
    }

    static std::span<const uint8_t> ProfileFor(const Document& d, ColorMode mode) {
        return d.mode == mode ? std::span<const uint8_t>(d.iccProfile) : std::span<const uint8_t>();
    }

    int BytesPerSample() const { return document.depth == 16 ? 2 : 1; }

    VRect RequestedOutRect() const {
        if (record.bigDocumentData && big.PluginUsing32BitCoordinates) return big.outRect32;
        return {record.outRect.top, record.outRect.left, record.outRect.bottom,
                record.outRect.right};
    }

    // Copies samples between the interleaved tile buffer and the document planes.
    void Transfer(bool toDocument) {
        const int planes = hiPlane - loPlane + 1;
        if (planes <= 0 || tile.bottom <= tile.top || tile.right <= tile.left) return;
        const size_t rowBytes = size_t(record.outRowBytes);
        const int32_t width = tile.right - tile.left;
        for (int32_t y = tile.top; y < tile.bottom; ++y) {
            uint8_t* row = buffer.data() + size_t(y - tile.top) * rowBytes;
            for (int p = 0; p < planes; ++p) {
                uint16_t* plane = &document.At(loPlane + p, tile.left, y);
                // Rows of 16-bit tiles are whole samples long, so every sample is aligned.
                if (BytesPerSample() == 1)
                    CopyPlane(plane, row + p, size_t(planes), width, toDocument);
                else
                    CopyPlane(plane, reinterpret_cast<uint16_t*>(row) + p, size_t(planes), width,
                              toDocument);
            }
        }
        if (toDocument) ++report.tilesWritten;
    }

    OSErr Advance() {
        ++report.advanceCalls;
        Transfer(true);
        tile = {};
        record.outData = nullptr;

        VRect want = RequestedOutRect();
        tile.top = std::max(want.top, 0);
        tile.left = std::max(want.left, 0);
        tile.bottom = std::min(want.bottom, document.height);
        tile.right = std::min(want.right, document.width);
        loPlane = record.outLoPlane;
        hiPlane = record.outHiPlane;
        const int planeCount = int(document.planes.size());
        if (loPlane < 0 || hiPlane >= planeCount || loPlane > hiPlane) {
            tile = {};
            return tile.bottom > tile.top ? filterBadParameters : noErr;
        }
        if (tile.bottom <= tile.top || tile.right <= tile.left) {
            tile = {};
            return noErr;
        }
        const size_t rowBytes = size_t(tile.right - tile.left) * size_t(hiPlane - loPlane + 1) *
                                size_t(BytesPerSample());
        // Every byte of the tile is copied from the document, so the buffer is only ever grown.
        const size_t tileBytes = rowBytes * size_t(tile.bottom - tile.top);
        if (buffer.size() < tileBytes) buffer.resize(tileBytes);
        record.outRowBytes = static_cast<int32>(rowBytes);
        record.outData = buffer.data();
        Transfer(false);
        return noErr;
    }
};

namespace {

FilterHost::Session* gSession = nullptr;

OSErr AdvanceState() {
    return gSession ? gSession->Advance() : filterBadParameters;
}

void Progress(int32 done, int32 total) {
    if (!gSession) return;
    gSession->report.progressCalls.emplace_back(done, total);
    if (gSession->options.progress) gSession->options.progress(done, total);
}

Boolean TestAbort() {
    return gSession && gSession->options.abort && gSession->options.abort();
}

int16 Clamp16(int32_t v) {
    return static_cast<int16>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX));
}

class ActiveSession {
  public:
    ActiveSession(FilterHost::Session& s, SuiteRegistry& suites) : suites_(suites) {
        if (gSession) throw HostFailure("a filter is already running");
        gSession = &s;
        suites_.Offer(kPSColorSpaceSuite, kPSColorSpaceSuiteVersion1, s.colors.Suite());
        suites_.Offer(kPSChannelPortsSuite, kPSChannelPortsSuiteVersion2, s.ports.Suite());
    }
    ~ActiveSession() {
        suites_.Withdraw(kPSChannelPortsSuite, kPSChannelPortsSuiteVersion2);
        suites_.Withdraw(kPSColorSpaceSuite, kPSColorSpaceSuiteVersion1);
        gSession = nullptr;
    }

  private:
    SuiteRegistry& suites_;
};

} // namespace

FilterHost::FilterHost(std::filesystem::path registryFile)
    : descriptors_(memory_, std::move(registryFile)) {
    suites_.Offer(kPSHandleSuite, kPSHandleSuiteVersion2, memory_.HandleSuite());
    suites_.Offer(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion,
                  descriptors_.ActionDescriptorSuite());
    suites_.Offer(kPSDescriptorRegistrySuite, kPSDescriptorRegistrySuiteVersion,
                  descriptors_.RegistrySuite());
}

FilterHost::~FilterHost() {
    memory_.DisposeHandle(reinterpret_cast<Handle>(data_));
}

static void FillRecord(FilterHost::Session& s, SuiteRegistry& suites, HostMemory& memory,
                       DescriptorServices& descriptors) {
    Document& d = s.document;
    FilterRecord& r = s.record;
    r.abortProc = &TestAbort;
    r.progressProc = &Progress;
    r.imageSize = {Clamp16(d.height), Clamp16(d.width)};
    r.planes = static_cast<int16>(d.planes.size());
    r.filterRect = {0, 0, Clamp16(d.height), Clamp16(d.width)};
    r.imageMode = ImageModeOf(d);
    r.depth = d.depth;
    r.maxSpace = 64 << 20;
    r.outTileWidth = static_cast<int16>(std::clamp(s.options.tileWidth, 0, 32767));
    r.outTileHeight = static_cast<int16>(std::clamp(s.options.tileHeight, 0, 32767));
    r.advanceState = &AdvanceState;
    r.handleProcs = memory.Handles();
    r.bufferProcs = memory.Buffers();
    s.documentInfo.imageMode = r.imageMode;
    s.documentInfo.depth = d.depth;
    s.documentInfo.bounds = {0, 0, d.height, d.width};
    s.documentInfo.targetCompositeChannels = s.ports.Channels();
    r.documentInfo = &s.documentInfo;
    r.channelPortProcs = s.ports.Procs();
    r.sSPBasic = suites.Basic();
    s.descriptorParameters.descriptorParametersVersion = 1;
    s.descriptorParameters.playInfo = plugInDialogDontDisplay;
    s.descriptorParameters.recordInfo = plugInDialogOptional;
    s.descriptorParameters.readDescriptorProcs = descriptors.ReadProcs();
    s.descriptorParameters.writeDescriptorProcs = descriptors.WriteProcs();
    if (s.options.playback)
        s.descriptorParameters.descriptor = descriptors.ToHandle(*s.options.playback);
    r.descriptorParameters = &s.descriptorParameters;
    if (s.options.bigDocument) {
        s.big.imageSize32 = {d.height, d.width};
        s.big.filterRect32 = {0, 0, d.height, d.width};
        s.big.wholeSize32 = {d.height, d.width};
        r.bigDocumentData = &s.big;
    }
}

static void CheckModuleTakes(const PluginModule& module, const Document& d) {
    if (!module.Enables(ImageModeOf(d)))
        throw HostFailure(module.Pipl().name + " cannot filter " + ModeName(d.mode) + " " +
                          std::to_string(d.depth) + "-bit documents");
    const PiplInfo& pipl = module.Pipl();
    if ((pipl.maxWidth > 0 && d.width > pipl.maxWidth) ||
        (pipl.maxHeight > 0 && d.height > pipl.maxHeight))
        throw HostFailure(pipl.name + " cannot filter a document of " + std::to_string(d.width) +
                          " x " + std::to_string(d.height) + " pixels");
}

std::vector<uint8_t> FilterHost::DataSlotBytes() {
    Handle h = reinterpret_cast<Handle>(data_);
    if (!memory_.IsLive(h)) return {};
    const auto* p = reinterpret_cast<const uint8_t*>(memory_.HandleData(h));
    return {p, p + memory_.HandleSize(h)};
}

void FilterHost::SetDataSlotBytes(const std::vector<uint8_t>& bytes) {
    memory_.DisposeHandle(reinterpret_cast<Handle>(data_));
    data_ = 0;
    if (bytes.empty()) return;
    Handle h = memory_.NewHandle(bytes.size());
    std::memcpy(memory_.HandleData(h), bytes.data(), bytes.size());
    data_ = reinterpret_cast<intptr_t>(h);
}

int16_t FilterHost::CallSelector(const PluginModule& module, int16_t selector, Document& document,
                                 const RunOptions& options) {
    RunReport report;
    Session session(document, options, report, memory_);
    ActiveSession active(session, suites_);
    FillRecord(session, suites_, memory_, descriptors_);
    int16 result = 0;
    module.Entry()(selector, &session.record, &data_, &result);
    return result;
}

int16_t FilterHost::About(const PluginModule& module) {
    AboutRecord about{nullptr, suites_.Basic(), nullptr};
    int16 result = 0;
    module.Entry()(filterSelectorAbout, &about, &data_, &result);
    return result;
}

RunReport FilterHost::Run(const PluginModule& module, Document& document,
                          const RunOptions& options) {
    CheckModuleTakes(module, document);
    RunReport report;
    {
        Session session(document, options, report, memory_);
        ActiveSession active(session, suites_);
        FillRecord(session, suites_, memory_, descriptors_);
        Drive(module, session);
    }
    return report;
}

void FilterHost::Drive(const PluginModule& module, Session& session) {
    RunReport& report = session.report;
    auto call = [&](int16 selector) {
        int16 result = 0;
        module.Entry()(selector, &session.record, &data_, &result);
        if (result != 0 && report.failedSelector < 0) {
            report.result = result;
            report.failedSelector = selector;
        }
        return result == 0;
    };
    auto outputPending = [&] {
        VRect r = session.RequestedOutRect();
        return r.bottom > r.top && r.right > r.left;
    };

    if (session.options.showDialog && !call(filterSelectorParameters)) return;
    if (!call(filterSelectorPrepare)) return;
    if (!call(filterSelectorStart)) {
        session.tile = {}; // a failed start leaves nothing to write back
        return;
    }
    // A plug-in that leaves an output rectangle gets it filled and is called again.
    constexpr int kMaxContinues = 1 << 24;
    for (int i = 0; outputPending() && i < kMaxContinues; ++i) {
        session.Advance();
        if (!call(filterSelectorContinue)) return;
    }
    session.Transfer(true);
    if (call(filterSelectorFinish) && session.descriptorParameters.descriptor)
        report.recorded = descriptors_.FromHandle(session.descriptorParameters.descriptor);
}

} // namespace quillon::filterhost
