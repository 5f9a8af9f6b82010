#include "core/session/FilterDriver.h"

#include "core/session/FilterSession.h"
#include "core/suites/GuardedCall.h"
#include "pluginapi/PIColorSpace.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace quillon::filterhost {

namespace {

// One tile row between the document's planes and the interleaved buffer, a pixel at a time so
// that every plane and the row are read and written in one sweep; the usual three and four
// planes with the pixel's step fixed.
template <size_t Planes, typename Sample>
void CopyRow(uint16_t* const* plane, Sample* row, size_t planes, int32_t width, bool toDocument) {
    const size_t step = Planes ? Planes : planes;
    if (toDocument)
        for (int32_t x = 0; x < width; ++x)
            for (size_t p = 0; p < step; ++p)
                plane[p][x] = row[size_t(x) * step + p];
    else
        for (int32_t x = 0; x < width; ++x)
            for (size_t p = 0; p < step; ++p)
                row[size_t(x) * step + p] = static_cast<Sample>(plane[p][x]);
}

template <typename Sample>
void CopyRow(uint16_t* const* plane, Sample* row, size_t planes, int32_t width, bool toDocument) {
    if (planes == 3)
        CopyRow<3>(plane, row, planes, width, toDocument);
    else if (planes == 4)
        CopyRow<4>(plane, row, planes, width, toDocument);
    else
        CopyRow<0>(plane, row, planes, width, toDocument);
}

} // namespace

namespace {

// The record's callbacks reach the driver of the session in use.
FilterDriver* Driver() {
    FilterSession* session = FilterSession::Current();
    return session ? session->Driver() : nullptr;
}

OSErr AdvanceState() noexcept {
    FilterDriver* driver = Driver();
    if (!driver) return filterBadParameters;
    return GuardedCall<OSErr>(filterBadParameters, [driver] { return driver->Advance(); });
}

void ReportProgress(int32 done, int32 total) noexcept {
    if (FilterDriver* driver = Driver()) GuardedCall([&] { driver->Progress(done, total); });
}

Boolean TestAbort() noexcept {
    FilterDriver* driver = Driver();
    return driver && GuardedCall(false, [driver] { return driver->Aborted(); });
}

int16 Clamp16(int32_t v) {
    return static_cast<int16>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX));
}

} // namespace

FilterDriver::FilterDriver(SessionServices& services, Document& d, const RunOptions& options,
                           RunReport& report)
    : services_(services), document_(d), options_(options), report_(report) {
    FilterRecord& r = record_;
    r.abortProc = &TestAbort;
    r.progressProc = &ReportProgress;
    r.imageSize = {Clamp16(d.height), Clamp16(d.width)};
    r.planes = static_cast<int16>(d.planes.size());
    r.filterRect = {0, 0, Clamp16(d.height), Clamp16(d.width)};
    r.imageMode = ImageModeOf(d);
    r.depth = d.depth;
    r.maxSpace = 64 << 20;
    r.outTileWidth = static_cast<int16>(std::clamp(options.tileWidth, 0, 32767));
    r.outTileHeight = static_cast<int16>(std::clamp(options.tileHeight, 0, 32767));
    r.advanceState = &AdvanceState;
    r.handleProcs = HostMemory::Handles();
    r.bufferProcs = HostMemory::Buffers();
    documentInfo_.imageMode = r.imageMode;
    documentInfo_.depth = d.depth;
    documentInfo_.bounds = {0, 0, d.height, d.width};
    if (ChannelPorts* ports = services.Ports()) {
        documentInfo_.targetCompositeChannels = ports->Channels();
        r.channelPortProcs = ports->Procs();
    }
    r.documentInfo = &documentInfo_;
    r.sSPBasic = SuiteRegistry::Basic();
    DescriptorServices& descriptors = services.Descriptors();
    descriptorParameters_.descriptorParametersVersion = 1;
    descriptorParameters_.playInfo = plugInDialogDontDisplay;
    descriptorParameters_.recordInfo = plugInDialogOptional;
    descriptorParameters_.readDescriptorProcs = descriptors.ReadProcs();
    descriptorParameters_.writeDescriptorProcs = descriptors.WriteProcs();
    if (options.playback)
        descriptorParameters_.descriptor = descriptors.ToHandle(*options.playback);
    r.descriptorParameters = &descriptorParameters_;
    if (options.bigDocument) {
        big_.imageSize32 = {d.height, d.width};
        big_.filterRect32 = {0, 0, d.height, d.width};
        big_.wholeSize32 = {d.height, d.width};
        r.bigDocumentData = &big_;
    }
}

FilterDriver::~FilterDriver() {
    services_.Memory().DisposeHandle(descriptorParameters_.descriptor);
}

VRect FilterDriver::RequestedOutRect() const {
    if (record_.bigDocumentData && big_.PluginUsing32BitCoordinates) return big_.outRect32;
    return {record_.outRect.top, record_.outRect.left, record_.outRect.bottom,
            record_.outRect.right};
}

void FilterDriver::Transfer(bool toDocument) {
    const int planes = hiPlane_ - loPlane_ + 1;
    if (planes <= 0 || tile_.bottom <= tile_.top || tile_.right <= tile_.left) return;
    const size_t rowBytes = size_t(record_.outRowBytes);
    const int32_t width = tile_.right - tile_.left;
    std::vector<uint16_t*> plane(size_t(planes), nullptr);
    for (int32_t y = tile_.top; y < tile_.bottom; ++y) {
        uint8_t* row = buffer_.data() + size_t(y - tile_.top) * rowBytes;
        for (int p = 0; p < planes; ++p)
            plane[size_t(p)] = &document_.At(loPlane_ + p, tile_.left, y);
        // Rows of 16-bit tiles are whole samples long, so every sample is aligned.
        if (BytesPerSample() == 1)
            CopyRow(plane.data(), row, size_t(planes), width, toDocument);
        else
            CopyRow(plane.data(), reinterpret_cast<uint16_t*>(row), size_t(planes), width,
                    toDocument);
    }
    if (toDocument && options_.trace) ++options_.trace->tilesWritten;
}

OSErr FilterDriver::Advance() {
    if (options_.trace) ++options_.trace->advanceCalls;
    Transfer(true);
    tile_ = {};
    record_.outData = nullptr;

    VRect want = RequestedOutRect();
    VRect tile;
    tile.top = std::max(want.top, 0);
    tile.left = std::max(want.left, 0);
    tile.bottom = std::min(want.bottom, document_.height);
    tile.right = std::min(want.right, document_.width);
    const bool empty = tile.bottom <= tile.top || tile.right <= tile.left;
    loPlane_ = record_.outLoPlane;
    hiPlane_ = record_.outHiPlane;
    const int planeCount = int(document_.planes.size());
    if (loPlane_ < 0 || hiPlane_ >= planeCount || loPlane_ > hiPlane_) {
        // Planes the document lacks matter only when there are pixels to hand out.
        if (empty) return noErr;
        services_.NoteFailure("the filter asked for planes " + std::to_string(loPlane_) + " to " +
                              std::to_string(hiPlane_) + " of a document with " +
                              std::to_string(planeCount));
        return filterBadParameters;
    }
    if (empty) return noErr;
    if (options_.rowsFinal && tile.top != finalRows_) {
        finalRows_ = tile.top;
        options_.rowsFinal(finalRows_);
    }
    tile_ = tile;
    const size_t rowBytes = size_t(tile_.right - tile_.left) * size_t(hiPlane_ - loPlane_ + 1) *
                            size_t(BytesPerSample());
    // Every byte of the tile is copied from the document, so the buffer is only ever grown.
    const size_t tileBytes = rowBytes * size_t(tile_.bottom - tile_.top);
    if (buffer_.size() < tileBytes) buffer_.resize(tileBytes);
    record_.outRowBytes = static_cast<int32>(rowBytes);
    record_.outData = buffer_.data();
    Transfer(false);
    return noErr;
}

void FilterDriver::Progress(int32_t done, int32_t total) {
    if (options_.trace) options_.trace->progressCalls.emplace_back(done, total);
    if (options_.progress) options_.progress(done, total);
}

bool FilterDriver::Aborted() const {
    return options_.abort && options_.abort();
}

void FilterDriver::Drive(const PluginModule& module, intptr_t& data) {
    auto call = [&](int16 selector) {
        int16 result = 0;
        module.Entry()(selector, &record_, &data, &result);
        if (result != 0 && report_.failedSelector < 0) {
            report_.result = result;
            report_.failedSelector = selector;
        }
        return result == 0;
    };
    auto outputPending = [&] {
        VRect r = RequestedOutRect();
        return r.bottom > r.top && r.right > r.left;
    };

    if (options_.showDialog && !call(filterSelectorParameters)) return;
    if (!call(filterSelectorPrepare)) return;
    if (!call(filterSelectorStart)) {
        tile_ = {}; // a failed start leaves nothing to write back
        return;
    }
    // A plug-in that leaves an output rectangle gets it filled and is called again; a rectangle
    // the host cannot fill ends the run with the host's code.
    constexpr int kMaxContinues = 1 << 24;
    for (int i = 0; outputPending() && i < kMaxContinues; ++i) {
        if (const OSErr advanced = Advance(); advanced != noErr) {
            report_.result = advanced;
            return;
        }
        if (!call(filterSelectorContinue)) return;
    }
    Transfer(true);
    if (call(filterSelectorFinish) && descriptorParameters_.descriptor)
        report_.recorded = services_.Descriptors().FromHandle(descriptorParameters_.descriptor);
}

} // namespace quillon::filterhost
