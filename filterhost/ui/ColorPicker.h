// The host's colour picker: a dialog in the colour space the plug-in asks for.
#pragma once

#include "core/suites/ColorServices.h"
#include "core/suites/SuiteRegistry.h"

namespace quillon::ui {

// The colour-space suite's PickColor: shows the picker over the top dialog; false when the user
// cancels, leaving the components as they were. Its swatch is converted for display through the
// colour-space suite offered in suites. Needs a running QApplication.
filterhost::ColorServices::PickColorHook MakeColorPicker(filterhost::SuiteRegistry& suites);

} // namespace quillon::ui
