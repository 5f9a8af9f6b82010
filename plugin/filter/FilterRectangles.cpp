#include "filter/FilterRectangles.h"

namespace quillon::filter {
namespace {

bool Uses32BitCoordinates(const FilterRecord& record) {
    return record.bigDocumentData && record.bigDocumentData->PluginUsing32BitCoordinates != 0;
}

VRect Widen(const Rect& r) {
    return {r.top, r.left, r.bottom, r.right};
}

} // namespace

VRect FilterRectangle(const FilterRecord& record) {
    return Uses32BitCoordinates(record) ? record.bigDocumentData->filterRect32
                                        : Widen(record.filterRect);
}

VRect OutputRectangle(const FilterRecord& record) {
    return Uses32BitCoordinates(record) ? record.bigDocumentData->outRect32 : Widen(record.outRect);
}

void SetOutputRectangle(FilterRecord& record, int32_t top, int32_t left, int32_t bottom,
                        int32_t right) {
    if (Uses32BitCoordinates(record)) {
        record.bigDocumentData->outRect32 = {top, left, bottom, right};
    } else {
        record.outRect = {static_cast<int16>(top), static_cast<int16>(left),
                          static_cast<int16>(bottom), static_cast<int16>(right)};
    }
}

} // namespace quillon::filter
