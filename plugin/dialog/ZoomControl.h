// The zoom levels behind one zoom menu: fixed percentages, "Actual Pixels", "Fit in View",
// "Fit on Screen", and a hidden level that fits but never enlarges, which each opening starts at.
#pragma once

#include "dialog/AdmWrappers.h"

#include <array>
#include <cstdint>

namespace quillon::dialog {

struct ZoomLevel {
    const char* label;
    double factor;
    bool separator;
};

class ZoomControl {
  public:
    static constexpr int32_t kLevelCount = 16;
    static constexpr int32_t kActualPixels = 12;
    static constexpr int32_t kFitInView = 13;
    static constexpr int32_t kFitOnScreen = 14;
    // Not in the menu: the fit factor, but never above 100%.
    static constexpr int32_t kFitAtMost100 = 15;

    // Told when the level changed: with fitOnScreen the dialog is to fill the screen.
    using ChangedCallback = void (*)(ZoomControl& zoom, Dialog dialog, bool fitOnScreen);

    ZoomControl();
    void SetChangedCallback(ChangedCallback callback) { changed_ = callback; }

    int32_t Level() const { return level_; }
    const ZoomLevel& LevelAt(int32_t index) const { return levels_[size_t(index)]; }
    double Factor() const { return levels_[size_t(level_)].factor; }

    // Levels 0 to 14 into the menu, each entry's id its level.
    void FillMenu(const Item& menu) const;
    // The level the user chose in the menu.
    void OnMenuChoice(const Item& menu);

    // The factor that shows the whole image in the inner area of its pane.
    void SetFit(double imageWidth, double imageHeight, double innerWidth, double innerHeight);
    void SetLevelFitAtMost100() { level_ = kFitAtMost100; }
    // A level of the menu; false (nothing changes) for a separator or a level not offered.
    bool SetLevel(int32_t level);

    // The next larger (smaller) factor among levels 0 to 13; equal factors go to the lowest
    // level. False when there is none.
    bool ZoomIn(Dialog dialog);
    bool ZoomOut(Dialog dialog);
    // Goes to a level and tells the dialog; false when it was the level already.
    bool ZoomTo(int32_t level, Dialog dialog);

  private:
    int32_t level_ = kFitInView;
    std::array<ZoomLevel, kLevelCount> levels_;
    ChangedCallback changed_ = nullptr;
};

} // namespace quillon::dialog
