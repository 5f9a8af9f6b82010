#include "dialog/ZoomControl.h"

#include <algorithm>

namespace quillon::dialog {
namespace {

// Zooming stops short of this factor.
constexpr double kLargestZoom = 10.0;

} // namespace

ZoomControl::ZoomControl()
    : levels_{{{"6%", 0.0625, false},
               {"12%", 0.125, false},
               {"25%", 0.25, false},
               {"33%", 1.0 / 3.0, false},
               {"50%", 0.5, false},
               {"66%", 2.0 / 3.0, false},
               {"", 0.0, true},
               {"100%", 1.0, false},
               {"", 0.0, true},
               {"200%", 2.0, false},
               {"300%", 3.0, false},
               {"", 0.0, true},
               {"Actual Pixels", 1.0, false},
               {"Fit in View", 1.0, false},
               {"Fit on Screen", 1.0, false},
               {"!special", 1.0, false}}} {}

void ZoomControl::FillMenu(const Item& menu) const {
    List list = menu.GetList();
    for (int32_t index = 0; index <= kFitOnScreen; ++index) {
        Entry entry = list.Insert(index);
        if (levels_[size_t(index)].separator)
            entry.SetSeparator(true);
        else
            entry.SetText(levels_[size_t(index)].label);
        entry.SetID(index);
    }
}

bool ZoomControl::SetLevel(int32_t level) {
    // Only the menu's own entries name a level; the hidden level is never offered.
    if (level < 0 || level > kFitOnScreen || levels_[size_t(level)].separator) return false;
    level_ = level;
    return true;
}

void ZoomControl::OnMenuChoice(const Item& menu) {
    if (SetLevel(menu.GetList().ActiveID()) && changed_)
        changed_(*this, menu.GetDialog(), level_ == kFitOnScreen);
}

void ZoomControl::SetFit(double imageWidth, double imageHeight, double innerWidth,
                         double innerHeight) {
    // Without an image, or with no room for one, there is nothing to fit.
    if (imageWidth <= 0 || imageHeight <= 0 || innerWidth <= 0 || innerHeight <= 0) return;
    const double fit = std::min(innerHeight / imageHeight, innerWidth / imageWidth);
    levels_[kFitInView].factor = fit;
    levels_[kFitAtMost100].factor = fit <= 1.0 ? fit : 1.0;
}

bool ZoomControl::ZoomIn(Dialog dialog) {
    const double current = Factor();
    int32_t best = -1;
    for (int32_t i = 0; i <= kFitInView; ++i) {
        const double f = levels_[size_t(i)].factor;
        if (levels_[size_t(i)].separator || f <= current || f >= kLargestZoom) continue;
        if (best < 0 || f < levels_[size_t(best)].factor) best = i;
    }
    return best >= 0 && ZoomTo(best, dialog);
}

bool ZoomControl::ZoomOut(Dialog dialog) {
    const double current = Factor();
    int32_t best = -1;
    for (int32_t i = 0; i <= kFitInView; ++i) {
        const double f = levels_[size_t(i)].factor;
        if (levels_[size_t(i)].separator || f >= current || f <= 0) continue;
        if (best < 0 || f > levels_[size_t(best)].factor) best = i;
    }
    return best >= 0 && ZoomTo(best, dialog);
}

bool ZoomControl::ZoomTo(int32_t level, Dialog dialog) {
    if (level == level_) return false;
    level_ = level;
    if (changed_) changed_(*this, dialog, false);
    return true;
}

} // namespace quillon::dialog
