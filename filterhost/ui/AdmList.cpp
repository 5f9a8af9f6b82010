#include "ui/AdmList.h"

#include "ui/AdmControlItems.h"
#include "ui/AdmDialog.h"
#include "ui/DialogManager.h"

namespace quillon::ui {

using filterhost::HandleKind;

AdmEntry::AdmEntry(AdmList& owner)
    : list(&owner), lent_(owner.Handles(), this, HandleKind::Entry) {}

AdmList::AdmList(PopupMenuItem& item)
    : item_(item), lent_(item.Dialog().Manager().Handles(), this, HandleKind::List) {}

filterhost::HandleTable& AdmList::Handles() const {
    return item_.Dialog().Manager().Handles();
}

AdmEntry* AdmList::Insert(ADMInt32 index) {
    const ADMInt32 at = index < 0 || index > Count() ? Count() : index;
    auto entry = std::make_unique<AdmEntry>(*this);
    AdmEntry* made = entry.get();
    entries_.insert(entries_.begin() + at, std::move(entry));
    return made;
}

void AdmList::Remove(ADMInt32 index) {
    if (index < 0 || index >= Count()) return;
    AdmEntry* entry = entries_[size_t(index)].get();
    if (active_ == entry) active_ = nullptr;
    entries_.erase(entries_.begin() + index);
    item_.ShowActiveEntry();
}

AdmEntry* AdmList::At(ADMInt32 index) const {
    return index >= 0 && index < Count() ? entries_[size_t(index)].get() : nullptr;
}

AdmEntry* AdmList::WithID(ADMInt32 id) const {
    for (const auto& entry : entries_)
        if (entry->id == id) return entry.get();
    return nullptr;
}

ADMInt32 AdmList::IndexOf(const AdmEntry* entry) const {
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].get() == entry) return ADMInt32(i);
    return -1;
}

void AdmList::SetActive(AdmEntry* entry) {
    active_ = entry;
    item_.ShowActiveEntry();
}

} // namespace quillon::ui
