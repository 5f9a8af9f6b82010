// Until the edit history is linked into the module, edits are not recorded and there is never
// anything to undo or redo.
#include "dialog/DialogHistory.h"

namespace quillon::dialog {

void RecordFuzziness(float, float) {}

void RecordLuminosity() {}

bool UndoEdit(Dialog) {
    return false;
}

bool RedoEdit(Dialog) {
    return false;
}

} // namespace quillon::dialog
