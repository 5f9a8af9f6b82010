// The objects the host has lent to the plug-in, by kind. Every handle the plug-in gives back is
// looked up here with the kind its suite expects, so a stale handle, a foreign pointer or a live
// handle of another kind is refused instead of reinterpreted.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace quillon::filterhost {

enum class HandleKind : uint8_t {
    Handle,
    Buffer,
    Descriptor,
    ReadToken,
    WriteToken,
    Color,
    Reference,
    Port,
    Dialog,
    Item,
    Tracker,
    Notifier,
    Drawer,
    Image,
    Icon,
    List,
    Entry,
};
inline constexpr size_t kHandleKinds = size_t(HandleKind::Entry) + 1;

class HandleTable {
  public:
    HandleTable() = default;
    HandleTable(const HandleTable&) = delete;
    HandleTable& operator=(const HandleTable&) = delete;

    void Add(const void* object, HandleKind kind);
    // False when the object is not live as that kind (and then nothing changes).
    bool Remove(const void* object, HandleKind kind);
    bool Is(const void* object, HandleKind kind) const;

    // The object behind a handle the plug-in gave back, null unless it is live as that kind.
    template <typename T> T* Find(const void* handle, HandleKind kind) const {
        return Is(handle, kind) ? static_cast<T*>(const_cast<void*>(handle)) : nullptr;
    }

    size_t Count(HandleKind kind) const { return counts_[size_t(kind)]; }
    // Every live object of a kind, for the owner that frees what the plug-in left behind.
    std::vector<void*> All(HandleKind kind) const;

  private:
    std::unordered_map<const void*, HandleKind> live_;
    std::array<size_t, kHandleKinds> counts_{};
};

} // namespace quillon::filterhost
