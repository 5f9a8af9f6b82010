// The function tables of the dialog-manager suites and the user-interface hooks.
#pragma once

#include "core/suites/SuiteRegistry.h"

namespace quillon::ui {

void OfferAdmSuites(filterhost::SuiteRegistry& suites);
void WithdrawAdmSuites(filterhost::SuiteRegistry& suites);

} // namespace quillon::ui
