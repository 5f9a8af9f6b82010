// The entry and list suites: the entries of popup menus.
#include "ui/AdmSuiteSupport.h"

namespace quillon::ui {
namespace {

void EntrySetText(ADMEntryRef ref, const char* text) noexcept {
    if (AdmEntry* e = E(ref))
        GuardedCall([&] {
            e->text = Text(text);
            e->list->Item().ShowActiveEntry();
        });
}

void EntrySetSeparator(ADMEntryRef ref, ADMBoolean separator) noexcept {
    if (AdmEntry* e = E(ref)) e->separator = separator;
}

void EntrySetID(ADMEntryRef ref, ADMInt32 id) noexcept {
    if (AdmEntry* e = E(ref)) e->id = id;
}

ADMInt32 EntryGetID(ADMEntryRef ref) noexcept {
    AdmEntry* e = E(ref);
    return e ? e->id : 0;
}

ADMInt32 EntryGetIndex(ADMEntryRef ref) noexcept {
    AdmEntry* e = E(ref);
    return e ? e->list->IndexOf(e) : -1;
}

void EntrySelect(ADMEntryRef ref, ADMBoolean select) noexcept {
    AdmEntry* e = E(ref);
    if (!e) return;
    GuardedCall([&] {
        if (select)
            e->list->SetActive(e);
        else if (e->list->Active() == e)
            e->list->SetActive(nullptr);
    });
}

ADMEntryRef InsertEntry(ADMListRef ref, ADMInt32 index) noexcept {
    AdmList* l = L(ref);
    if (!l) return nullptr;
    return GuardedCall<ADMEntryRef>(
        nullptr, [&] { return reinterpret_cast<ADMEntryRef>(l->Insert(index)); });
}

void RemoveEntry(ADMListRef ref, ADMInt32 index) noexcept {
    if (AdmList* l = L(ref)) GuardedCall([&] { l->Remove(index); });
}

ADMEntryRef ListGetEntry(ADMListRef ref, ADMInt32 id) noexcept {
    AdmList* l = L(ref);
    return l ? reinterpret_cast<ADMEntryRef>(l->WithID(id)) : nullptr;
}

ADMEntryRef IndexEntry(ADMListRef ref, ADMInt32 index) noexcept {
    AdmList* l = L(ref);
    return l ? reinterpret_cast<ADMEntryRef>(l->At(index)) : nullptr;
}

ADMInt32 NumberOfEntries(ADMListRef ref) noexcept {
    AdmList* l = L(ref);
    return l ? l->Count() : 0;
}

ADMEntryRef GetActiveEntry(ADMListRef ref) noexcept {
    AdmList* l = L(ref);
    return l ? reinterpret_cast<ADMEntryRef>(l->Active()) : nullptr;
}

} // namespace

const ADMEntrySuite2 kEntrySuite = {&EntrySetText, &EntrySetSeparator, &EntrySetID,
                                    &EntryGetID,   &EntryGetIndex,     &EntrySelect};

const ADMListSuite1 kListSuite = {&InsertEntry, &RemoveEntry,     &ListGetEntry,
                                  &IndexEntry,  &NumberOfEntries, &GetActiveEntry};

} // namespace quillon::ui
