#include "core/suites/DescriptorServices.h"

#include "core/HostFailure.h"
#include "core/documents/AtomicFile.h"
#include "core/suites/GuardedCall.h"
#include "core/suites/SessionServices.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

namespace quillon::filterhost {
namespace {

using nlohmann::json;

struct ReadToken {
    Descriptor descriptor;
    std::vector<DescriptorKeyID> wanted;
    size_t next = 0;
    const DescriptorItem* current = nullptr;
};

struct WriteToken {
    Descriptor descriptor;
};

} // namespace

// The C procedures handed to the plug-in. Tokens and descriptor objects are checked against the
// session's table; nothing thrown escapes.
struct DescriptorProcs {
    static DescriptorServices* Services() {
        SessionServices* session = SessionServices::Current();
        return session ? &session->Descriptors() : nullptr;
    }
    template <typename T> static T* Live(const void* object, HandleKind kind) {
        DescriptorServices* s = Services();
        return s ? s->table_.Find<T>(object, kind) : nullptr;
    }
    template <typename T> static void Release(T* object, HandleKind kind) {
        Services()->table_.Remove(object, kind);
        delete object;
    }
    // Makes an object and enters it in the table, handing it over only once both have worked.
    template <typename T, typename Out>
    static Out Enter(DescriptorServices& s, T value, HandleKind kind) {
        auto object = std::make_unique<T>(std::move(value));
        s.table_.Add(object.get(), kind);
        return reinterpret_cast<Out>(object.release());
    }

    static PIReadDescriptor OpenRead(PIDescriptorHandle handle, DescriptorKeyID* keys) noexcept {
        DescriptorServices* s = Services();
        if (!s || !handle) return nullptr;
        return GuardedCall<PIReadDescriptor>(nullptr, [&] {
            ReadToken token{s->FromHandle(handle), {}, 0, nullptr};
            for (; keys && *keys; ++keys)
                token.wanted.push_back(*keys);
            return Enter<ReadToken, PIReadDescriptor>(*s, std::move(token), HandleKind::ReadToken);
        });
    }
    static ReadToken* Read(PIReadDescriptor token) {
        return Live<ReadToken>(token, HandleKind::ReadToken);
    }
    static OSErr CloseRead(PIReadDescriptor token) noexcept {
        ReadToken* t = Read(token);
        if (!t) return filterBadParameters;
        Release(t, HandleKind::ReadToken);
        return noErr;
    }
    static Boolean GetKey(PIReadDescriptor token, DescriptorKeyID* key, DescriptorTypeID* type,
                          int32* flags) noexcept {
        ReadToken* t = Read(token);
        if (!t || t->next >= t->descriptor.items.size()) return false;
        t->current = &t->descriptor.items[t->next++];
        if (key) *key = t->current->key;
        if (type) *type = t->current->type;
        if (flags) *flags = 0;
        return true;
    }
    template <typename T> static OSErr Get(PIReadDescriptor token, T* out) {
        ReadToken* t = Read(token);
        if (!t || !t->current || !out) return filterBadParameters;
        const T* value = std::get_if<T>(&t->current->value);
        if (!value) return filterBadParameters;
        *out = *value;
        return noErr;
    }
    static OSErr GetInteger(PIReadDescriptor token, int32* value) noexcept {
        return Get(token, value);
    }
    static OSErr GetFloat(PIReadDescriptor token, double* value) noexcept {
        return Get(token, value);
    }
    static OSErr GetBoolean(PIReadDescriptor token, Boolean* value) noexcept {
        bool b = false;
        OSErr e = Get(token, &b);
        if (e == noErr && value) *value = b;
        return e;
    }
    static OSErr GetText(PIReadDescriptor token, Handle* value) noexcept {
        return GuardedCall<OSErr>(filterBadParameters, [&] {
            std::string text;
            OSErr e = Get(token, &text);
            if (e != noErr || !value) return e ? e : OSErr(filterBadParameters);
            HostMemory& memory = Services()->memory_;
            *value = memory.NewHandle(text.size() + 1);
            std::memcpy(memory.HandleData(*value), text.c_str(), text.size() + 1);
            return OSErr(noErr);
        });
    }

    static PIWriteDescriptor OpenWrite() noexcept {
        DescriptorServices* s = Services();
        if (!s) return nullptr;
        return GuardedCall<PIWriteDescriptor>(nullptr, [&] {
            return Enter<WriteToken, PIWriteDescriptor>(*s, {}, HandleKind::WriteToken);
        });
    }
    static WriteToken* Write(PIWriteDescriptor token) {
        return Live<WriteToken>(token, HandleKind::WriteToken);
    }
    static OSErr CloseWrite(PIWriteDescriptor token, PIDescriptorHandle* descriptor) noexcept {
        WriteToken* t = Write(token);
        if (!t) return filterBadParameters;
        const OSErr result = GuardedCall<OSErr>(filterBadParameters, [&] {
            if (descriptor) *descriptor = Services()->ToHandle(t->descriptor);
            return OSErr(noErr);
        });
        Release(t, HandleKind::WriteToken);
        return result;
    }
    template <typename T>
    static OSErr Put(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID type,
                     T value) noexcept {
        WriteToken* t = Write(token);
        if (!t) return filterBadParameters;
        return GuardedCall<OSErr>(filterBadParameters, [&] {
            t->descriptor.Put({key, type, std::move(value)});
            return OSErr(noErr);
        });
    }
    static OSErr PutInteger(PIWriteDescriptor token, DescriptorKeyID key, int32 value) noexcept {
        return Put(token, key, typeInteger, int32_t(value));
    }
    static OSErr PutFloat(PIWriteDescriptor token, DescriptorKeyID key,
                          const double* value) noexcept {
        if (!value) return filterBadParameters;
        return Put(token, key, typeFloat, *value);
    }
    static OSErr PutBoolean(PIWriteDescriptor token, DescriptorKeyID key, Boolean value) noexcept {
        return Put(token, key, typeBoolean, value != 0);
    }
    static OSErr PutText(PIWriteDescriptor token, DescriptorKeyID key, Handle text) noexcept {
        DescriptorServices* s = Services();
        if (!s || !s->memory_.IsLive(text)) return filterBadParameters;
        return GuardedCall<OSErr>(filterBadParameters, [&] {
            const char* p = s->memory_.HandleData(text);
            return Put(token, key, typeChar,
                       std::string(p, strnlen(p, s->memory_.HandleSize(text))));
        });
    }

    // Action descriptors: objects the plug-in makes and frees.
    static Descriptor* Live(PIActionDescriptor d) {
        return Live<Descriptor>(d, HandleKind::Descriptor);
    }
    static PIActionDescriptor Adopt(DescriptorServices& s, Descriptor d) {
        return Enter<Descriptor, PIActionDescriptor>(s, std::move(d), HandleKind::Descriptor);
    }
    static SPErr Make(PIActionDescriptor* out) noexcept {
        DescriptorServices* s = Services();
        if (!out || !s) return kSPBadParameterError;
        *out = nullptr;
        return GuardedCall<SPErr>(kSPBadParameterError, [&] {
            *out = Adopt(*s, {});
            return SPErr(kSPNoError);
        });
    }
    static SPErr Free(PIActionDescriptor d) noexcept {
        Descriptor* p = Live(d);
        if (!p) return kSPBadParameterError;
        Release(p, HandleKind::Descriptor);
        return kSPNoError;
    }
    static SPErr HasKey(PIActionDescriptor d, DescriptorKeyID key, Boolean* has) noexcept {
        Descriptor* p = Live(d);
        if (!p || !has) return kSPBadParameterError;
        *has = p->Find(key) != nullptr;
        return kSPNoError;
    }
    static SPErr PutString(PIActionDescriptor d, DescriptorKeyID key, const char* text) noexcept {
        Descriptor* p = Live(d);
        if (!p || !text) return kSPBadParameterError;
        return GuardedCall<SPErr>(kSPBadParameterError, [&] {
            p->Put({key, typeChar, std::string(text)});
            return SPErr(kSPNoError);
        });
    }
    static SPErr GetString(PIActionDescriptor d, DescriptorKeyID key, char* out,
                           uint32 maxLength) noexcept {
        Descriptor* p = Live(d);
        if (!p || !out || maxLength == 0) return kSPBadParameterError;
        const DescriptorItem* item = p->Find(key);
        const std::string* text = item ? std::get_if<std::string>(&item->value) : nullptr;
        if (!text) return kSPBadParameterError;
        const size_t n = std::min<size_t>(text->size(), maxLength - 1);
        std::memcpy(out, text->data(), n);
        out[n] = 0;
        return kSPNoError;
    }
    static SPErr GetEnumerated(PIActionDescriptor d, DescriptorKeyID key, DescriptorTypeID* type,
                               uint32* value) noexcept {
        Descriptor* p = Live(d);
        if (!p) return kSPBadParameterError;
        const DescriptorItem* item = p->Find(key);
        const int32_t* v =
            item && item->type == typeEnumerated ? std::get_if<int32_t>(&item->value) : nullptr;
        if (!v) return kSPBadParameterError;
        if (type) *type = item->type;
        if (value) *value = uint32(*v);
        return kSPNoError;
    }

    static SPErr Register(const char* key, PIActionDescriptor d, Boolean persistent) noexcept {
        Descriptor* p = Live(d);
        if (!p || !key) return kSPBadParameterError;
        return GuardedCall<SPErr>(kSPBadParameterError, [&] {
            DescriptorServices& s = *Services();
            s.registry_[key] = *p;
            s.persistent_[key] = persistent != 0;
            if (persistent) s.SaveRegistry();
            return SPErr(kSPNoError);
        });
    }
    static SPErr EraseKey(const char* key) noexcept {
        DescriptorServices* s = Services();
        if (!s || !key) return kSPBadParameterError;
        return GuardedCall<SPErr>(kSPBadParameterError, [&] {
            const bool wasPersistent = s->persistent_[key];
            s->registry_.erase(key);
            s->persistent_.erase(key);
            if (wasPersistent) s->SaveRegistry();
            return SPErr(kSPNoError);
        });
    }
    static SPErr GetRegistered(const char* key, PIActionDescriptor* out) noexcept {
        DescriptorServices* s = Services();
        if (!s || !key || !out) return kSPBadParameterError;
        *out = nullptr;
        return GuardedCall<SPErr>(kSPBadParameterError, [&] {
            auto it = s->registry_.find(key);
            if (it != s->registry_.end()) *out = Adopt(*s, it->second);
            return SPErr(kSPNoError);
        });
    }
};

DescriptorServices::DescriptorServices(HandleTable& table, HostMemory& memory,
                                       std::filesystem::path registryFile)
    : table_(table), memory_(memory),
      registryFile_(std::move(registryFile)), readProcs_{1,
                                                         7,
                                                         &DescriptorProcs::OpenRead,
                                                         &DescriptorProcs::CloseRead,
                                                         &DescriptorProcs::GetKey,
                                                         &DescriptorProcs::GetInteger,
                                                         &DescriptorProcs::GetFloat,
                                                         &DescriptorProcs::GetBoolean,
                                                         &DescriptorProcs::GetText},
      writeProcs_{1,
                  6,
                  &DescriptorProcs::OpenWrite,
                  &DescriptorProcs::CloseWrite,
                  &DescriptorProcs::PutInteger,
                  &DescriptorProcs::PutFloat,
                  &DescriptorProcs::PutBoolean,
                  &DescriptorProcs::PutText},
      actionProcs_{&DescriptorProcs::Make,      &DescriptorProcs::Free,
                   &DescriptorProcs::HasKey,    &DescriptorProcs::PutString,
                   &DescriptorProcs::GetString, &DescriptorProcs::GetEnumerated},
      registryProcs_{&DescriptorProcs::Register, &DescriptorProcs::EraseKey,
                     &DescriptorProcs::GetRegistered} {
    if (!registryFile_.empty() && std::filesystem::exists(registryFile_)) {
        std::ifstream in(registryFile_);
        std::stringstream text;
        text << in.rdbuf();
        try {
            const json saved = json::parse(text.str());
            for (const auto& [key, items] : saved.items()) {
                registry_[key] = DescriptorFromJson(items.dump());
                persistent_[key] = true;
            }
        } catch (const std::exception& e) {
            throw HostFailure("the registry file " + registryFile_.string() +
                              " is damaged: " + e.what());
        }
    }
}

template <typename T> static void FreeAll(HandleTable& table, HandleKind kind) {
    for (void* object : table.All(kind)) {
        table.Remove(object, kind);
        delete static_cast<T*>(object);
    }
}

DescriptorServices::~DescriptorServices() {
    FreeAll<ReadToken>(table_, HandleKind::ReadToken);
    FreeAll<WriteToken>(table_, HandleKind::WriteToken);
    FreeAll<Descriptor>(table_, HandleKind::Descriptor);
}

size_t DescriptorServices::OpenTokens() const {
    return table_.Count(HandleKind::ReadToken) + table_.Count(HandleKind::WriteToken);
}

size_t DescriptorServices::LiveActionDescriptors() const {
    return table_.Count(HandleKind::Descriptor);
}

Handle DescriptorServices::ToHandle(const Descriptor& descriptor) {
    const std::string text = DescriptorToJson(descriptor);
    Handle h = memory_.NewHandle(text.size() + 1);
    std::memcpy(memory_.HandleData(h), text.c_str(), text.size() + 1);
    return h;
}

PIActionDescriptor DescriptorServices::Hand(Descriptor descriptor) {
    return DescriptorProcs::Adopt(*this, std::move(descriptor));
}

Descriptor DescriptorServices::FromHandle(Handle handle) {
    if (!memory_.IsLive(handle)) throw HostFailure("not a descriptor handle of this host");
    const char* p = memory_.HandleData(handle);
    return DescriptorFromJson(std::string(p, strnlen(p, memory_.HandleSize(handle))));
}

void DescriptorServices::SaveRegistry() const {
    if (registryFile_.empty()) return;
    json saved = json::object();
    for (const auto& [key, descriptor] : registry_)
        if (persistent_.count(key) && persistent_.at(key))
            saved[key] = json::parse(DescriptorToJson(descriptor));
    std::filesystem::create_directories(registryFile_.parent_path());
    WriteFileAtomically(registryFile_, saved.dump(2));
}

} // namespace quillon::filterhost
