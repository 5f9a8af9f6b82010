// The dialog's side of undo and redo: the edits made with the dialog's own controls are recorded
// here, and Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y call back in.
#pragma once

#include "dialog/AdmWrappers.h"

namespace quillon::dialog {

// A change of fuzziness (engine values, 0 to 1) and a toggle of Preserve Luminosity.
void RecordFuzziness(float before, float after);
void RecordLuminosity();

// False when there is nothing to undo (redo); the dialog then leaves the key to the default.
bool UndoEdit(Dialog dialog);
bool RedoEdit(Dialog dialog);

} // namespace quillon::dialog
