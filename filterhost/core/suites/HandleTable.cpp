#include "core/suites/HandleTable.h"

namespace quillon::filterhost {

void HandleTable::Add(const void* object, HandleKind kind) {
    auto [it, added] = live_.try_emplace(object, kind);
    if (!added) {
        --counts_[size_t(it->second)];
        it->second = kind;
    }
    ++counts_[size_t(kind)];
}

bool HandleTable::Remove(const void* object, HandleKind kind) {
    auto it = live_.find(object);
    if (it == live_.end() || it->second != kind) return false;
    live_.erase(it);
    --counts_[size_t(kind)];
    return true;
}

bool HandleTable::Is(const void* object, HandleKind kind) const {
    if (!object) return false;
    auto it = live_.find(object);
    return it != live_.end() && it->second == kind;
}

std::vector<void*> HandleTable::All(HandleKind kind) const {
    std::vector<void*> objects;
    objects.reserve(Count(kind));
    for (const auto& [object, k] : live_)
        if (k == kind) objects.push_back(const_cast<void*>(object));
    return objects;
}

} // namespace quillon::filterhost
