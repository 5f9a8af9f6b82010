// The notifier suite: what changed, on which item of which dialog.
#include "ui/AdmSuiteSupport.h"

#include <cstring>

namespace quillon::ui {
namespace {

ADMItemRef NotifierItem(ADMNotifierRef ref) noexcept {
    AdmNotifier* n = N(ref);
    return n && n->item ? n->item->Ref() : nullptr;
}

ADMDialogRef NotifierDialog(ADMNotifierRef ref) noexcept {
    AdmNotifier* n = N(ref);
    return n ? n->dialog->Ref() : nullptr;
}

ADMBoolean IsNotifierType(ADMNotifierRef ref, const char* type) noexcept {
    AdmNotifier* n = N(ref);
    return n && type && std::strcmp(n->type, type) == 0;
}

} // namespace

const ADMNotifierSuite1 kNotifierSuite = {&NotifierItem, &NotifierDialog, &IsNotifierType};

} // namespace quillon::ui
