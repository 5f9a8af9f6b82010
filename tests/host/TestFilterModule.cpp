// A small filter module for testing the host: it inverts every colour sample of the filter
// rectangle, tile by tile. Compile definitions make the broken variants the host must refuse.
#include "pluginapi/PIFilter.h"
#include "pluginapi/PIResources.h"
#include "resources/ResourceWriter.h"

#include <algorithm>

using quillon::resources::ResourceWriter;

namespace {

std::vector<uint8_t> PropertyList() {
    ResourceWriter out;
    auto property = [&out](const char(&key)[5], const std::function<void(ResourceWriter&)>& write) {
        quillon::resources::WriteProperty(out, key, write);
    };
    out.U16(1);
    out.U32(0);
    out.U32(5);
    property("kind", [](ResourceWriter& w) { w.FourCC("8BFM"); });
    property("name", [](ResourceWriter& w) { w.PascalString("Invert..."); });
    property("catg", [](ResourceWriter& w) { w.PascalString("Tests"); });
    property("wx86", [](ResourceWriter& w) { w.CString(TEST_ENTRY_NAME); });
    // RGB only
    property("mode", [](ResourceWriter& w) {
        w.U8(0x10);
        w.U8(0);
    });
    std::vector<uint8_t> bytes = out.Take();
#ifdef TEST_TRUNCATED_PIPL
    bytes.resize(bytes.size() - 9);
#endif
    return bytes;
}

const std::vector<uint8_t> kPipl = PropertyList();
#ifdef TEST_NO_PIPL
const PIResourceEntry kEntries[] = {{kPIIconType, 1, kPipl.data(), uint32(kPipl.size())}};
#else
const PIResourceEntry kEntries[] = {
    {kPIPropertyListType, kPIPropertyListID, kPipl.data(), uint32(kPipl.size())}};
#endif

#ifdef TEST_BAD_PLANES
constexpr bool kBadPlanes = true;
#else
constexpr bool kBadPlanes = false;
#endif
#ifdef TEST_LEAVE_PENDING
constexpr bool kLeavePending = true;
#else
constexpr bool kLeavePending = false;
#endif
#ifdef TEST_TWO_PASSES
constexpr bool kTwoPasses = true; // inverts twice, coming back to the top for the second pass
#else
constexpr bool kTwoPasses = false;
#endif

VRect OutRect(const FilterRecord& r) {
    if (r.bigDocumentData && r.bigDocumentData->PluginUsing32BitCoordinates)
        return r.bigDocumentData->outRect32;
    return {r.outRect.top, r.outRect.left, r.outRect.bottom, r.outRect.right};
}

void SetOutRect(FilterRecord& r, VRect rect) {
    if (r.bigDocumentData && r.bigDocumentData->PluginUsing32BitCoordinates)
        r.bigDocumentData->outRect32 = rect;
    else
        r.outRect = {int16(rect.top), int16(rect.left), int16(rect.bottom), int16(rect.right)};
}

OSErr InvertAll(FilterRecord& r) {
    VRect f = r.bigDocumentData ? r.bigDocumentData->filterRect32
                                : VRect{r.filterRect.top, r.filterRect.left, r.filterRect.bottom,
                                        r.filterRect.right};
    const int32 w = r.outTileWidth, h = r.outTileHeight;
    r.outLoPlane = 0;
    r.outHiPlane = 2;
    for (int32 top = f.top; top < f.bottom; top += h) {
        for (int32 left = f.left; left < f.right; left += w) {
            SetOutRect(r, {top, left, std::min(top + h, f.bottom), std::min(left + w, f.right)});
            if (OSErr e = r.advanceState()) return e;
            VRect got = OutRect(r);
            for (int32 y = 0; y < got.bottom - got.top; ++y) {
                for (int32 x = 0; x < (got.right - got.left) * 3; ++x) {
                    if (r.depth == 16) {
                        auto* row = reinterpret_cast<uint16*>(static_cast<char*>(r.outData) +
                                                              y * r.outRowBytes);
                        row[x] = uint16(32768 - row[x]);
                    } else {
                        auto* row = static_cast<uint8*>(r.outData) + y * r.outRowBytes;
                        row[x] = uint8(255 - row[x]);
                    }
                }
            }
        }
        r.progressProc(top - f.top + 1, f.bottom - f.top);
        if (r.abortProc()) return userCanceledErr;
    }
    SetOutRect(r, {0, 0, 0, 0});
    return noErr;
}

} // namespace

extern "C" __attribute__((visibility("default")))
const PIResourceDirectory PIResourceTable = {1, kEntries};

extern "C" __attribute__((visibility("default"))) void TestMain(int16 selector, void* block,
                                                                intptr_t*, int16* result) noexcept {
    *result = 0;
    auto& r = *static_cast<FilterRecord*>(block);
    if (selector != filterSelectorAbout && r.bigDocumentData)
        r.bigDocumentData->PluginUsing32BitCoordinates = 1;
    if (kBadPlanes) {
        // Asks for planes 0 to 7 of the whole document: advancing itself, or leaving the
        // rectangle for the host to fill before it calls continue.
        if (selector == filterSelectorStart) {
            r.outLoPlane = 0;
            r.outHiPlane = 7;
            SetOutRect(r, {0, 0, r.filterRect.bottom, r.filterRect.right});
            if (!kLeavePending) *result = r.advanceState();
        }
        if (selector == filterSelectorContinue) *result = 1;
    } else if (selector == filterSelectorStart) {
        *result = InvertAll(r);
        if (kTwoPasses && *result == noErr) *result = InvertAll(r);
    }
}
