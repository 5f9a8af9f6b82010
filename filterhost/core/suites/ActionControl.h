// The action suites as far as a filter asks the application about itself: references, and the
// basic action control's get, which answers the application's eyedropper sample size ('EyDr') in
// a descriptor of the host's descriptor services.
#pragma once

#include "core/suites/DescriptorServices.h"
#include "core/suites/HandleTable.h"
#include "core/suites/SuiteRegistry.h"
#include "pluginapi/PIActions.h"

#include <cstdint>

namespace quillon::filterhost {

// The host setting --eyedropper: the square the eyedropper averages over.
enum class EyedropperSample { Point, Average3x3, Average5x5 };

// 'SmpP', 'Smp3' or 'Smp5'.
uint32_t EyedropperSampleCode(EyedropperSample sample);

class ActionControl {
  public:
    // Offers the reference and basic action control suites while it lives; references the
    // plug-in makes are entered in table.
    ActionControl(SuiteRegistry& suites, DescriptorServices& descriptors, HandleTable& table,
                  EyedropperSample sample);
    ~ActionControl();
    ActionControl(const ActionControl&) = delete;
    ActionControl& operator=(const ActionControl&) = delete;

    EyedropperSample Eyedropper() const { return sample_; }
    DescriptorServices& Descriptors() const { return descriptors_; }
    // References made and not yet freed.
    int LiveReferences() const;

  private:
    SuiteRegistry& suites_;
    DescriptorServices& descriptors_;
    HandleTable& table_;
    EyedropperSample sample_;
};

} // namespace quillon::filterhost
