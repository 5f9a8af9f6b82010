#include "host/FilteringPass.h"

#include "host/PluginState.h"

namespace quillon::host {
namespace {

bool Uses32BitCoordinates(const FilterRecord& record) {
    return record.bigDocumentData && record.bigDocumentData->PluginUsing32BitCoordinates != 0;
}

VRect Widen(const Rect& r) { return {r.top, r.left, r.bottom, r.right}; }

} // namespace

int16_t ImageModeToSpace(int32_t imageMode) {
    switch (imageMode) {
    case plugInModeRGBColor:
    case plugInModeRGB48: return plugIncolorServicesRGBSpace;
    case plugInModeCMYKColor:
    case plugInModeCMYK64: return plugIncolorServicesCMYKSpace;
    case plugInModeLabColor:
    case plugInModeLab48: return plugIncolorServicesLabSpace;
    default: return -1;
    }
}

VRect FilterRectangle() {
    const FilterRecord& record = *State().filterRecord;
    return Uses32BitCoordinates(record) ? record.bigDocumentData->filterRect32
                                        : Widen(record.filterRect);
}

VRect OutputRectangle() {
    const FilterRecord& record = *State().filterRecord;
    return Uses32BitCoordinates(record) ? record.bigDocumentData->outRect32
                                        : Widen(record.outRect);
}

void SetOutputRectangle(int32_t top, int32_t left, int32_t bottom, int32_t right) {
    FilterRecord& record = *State().filterRecord;
    if (Uses32BitCoordinates(record)) {
        record.bigDocumentData->outRect32 = {top, left, bottom, right};
    } else {
        record.outRect = {static_cast<int16>(top), static_cast<int16>(left),
                          static_cast<int16>(bottom), static_cast<int16>(right)};
    }
}

} // namespace quillon::host
