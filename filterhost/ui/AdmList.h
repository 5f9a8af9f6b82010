// The entries of a popup menu, each lent to the plug-in as a handle while it is in the list.
#pragma once

#include "pluginapi/ADMSuites.h"
#include "ui/Owners.h"

#include <memory>
#include <string>
#include <vector>

namespace quillon::ui {

class AdmList;
class PopupMenuItem;

struct AdmEntry {
    explicit AdmEntry(AdmList& owner);

    AdmList* list;
    ADMInt32 id = 0;
    std::string text;
    bool separator = false;

  private:
    LentHandle lent_;
};

class AdmList {
  public:
    explicit AdmList(PopupMenuItem& item);
    AdmList(const AdmList&) = delete;
    AdmList& operator=(const AdmList&) = delete;

    AdmEntry* Insert(ADMInt32 index);
    void Remove(ADMInt32 index);
    AdmEntry* At(ADMInt32 index) const;
    AdmEntry* WithID(ADMInt32 id) const;
    ADMInt32 IndexOf(const AdmEntry* entry) const;
    ADMInt32 Count() const { return ADMInt32(entries_.size()); }
    AdmEntry* Active() const { return active_; }
    // Programmatic choice: shown, never notified.
    void SetActive(AdmEntry* entry);
    bool Owns(const AdmEntry* entry) const { return IndexOf(entry) >= 0; }
    PopupMenuItem& Item() const { return item_; }
    filterhost::HandleTable& Handles() const;

  private:
    PopupMenuItem& item_;
    LentHandle lent_;
    std::vector<std::unique_ptr<AdmEntry>> entries_;
    AdmEntry* active_ = nullptr;
};

} // namespace quillon::ui
