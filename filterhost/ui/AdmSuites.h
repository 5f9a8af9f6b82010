// The dialog-manager suites and the user-interface hooks, offered to plug-ins while an
// AdmSuiteOffer lives.
#pragma once

#include "core/suites/SuiteRegistry.h"

namespace quillon::ui {

class AdmSuiteOffer {
  public:
    explicit AdmSuiteOffer(filterhost::SuiteRegistry& suites);
    ~AdmSuiteOffer();
    AdmSuiteOffer(const AdmSuiteOffer&) = delete;
    AdmSuiteOffer& operator=(const AdmSuiteOffer&) = delete;

  private:
    filterhost::SuiteRegistry& suites_;
};

} // namespace quillon::ui
