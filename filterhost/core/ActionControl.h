// The action suites as far as a filter asks the application about itself: descriptors,
// references, and the basic action control's get, which answers the application's eyedropper
// sample size ('EyDr').
#pragma once

#include "core/SuiteRegistry.h"
#include "pluginapi/PIActions.h"

#include <cstdint>

namespace quillon::filterhost {

// The host setting --eyedropper: the square the eyedropper averages over.
enum class EyedropperSample { Point, Average3x3, Average5x5 };

// 'SmpP', 'Smp3' or 'Smp5'.
uint32_t EyedropperSampleCode(EyedropperSample sample);

class ActionControl {
  public:
    // Offers the descriptor, reference and basic action control suites while it lives.
    ActionControl(SuiteRegistry& suites, EyedropperSample sample);
    ~ActionControl();
    ActionControl(const ActionControl&) = delete;
    ActionControl& operator=(const ActionControl&) = delete;

    EyedropperSample Eyedropper() const { return sample_; }
    // Descriptors and references made and not yet freed.
    int LiveObjects() const;

  private:
    SuiteRegistry& suites_;
    EyedropperSample sample_;
};

} // namespace quillon::filterhost
