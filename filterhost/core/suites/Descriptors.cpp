#include "core/suites/Descriptors.h"

#include "core/HostFailure.h"
#include "core/documents/AtomicFile.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>

namespace quillon::filterhost {
namespace {

using nlohmann::json;

DescriptorServices* gServices = nullptr;

struct ReadToken {
    Descriptor descriptor;
    std::vector<DescriptorKeyID> wanted;
    size_t next = 0;
    const DescriptorItem* current = nullptr;
};

struct WriteToken {
    Descriptor descriptor;
};

template <typename T> bool Erase(std::vector<T>& list, T item) {
    auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end()) return false;
    list.erase(it);
    return true;
}

} // namespace

const DescriptorItem* Descriptor::Find(DescriptorKeyID key) const {
    for (const auto& item : items)
        if (item.key == key) return &item;
    return nullptr;
}

void Descriptor::Put(DescriptorItem item) {
    for (auto& existing : items)
        if (existing.key == item.key) {
            existing = std::move(item);
            return;
        }
    items.push_back(std::move(item));
}

std::string FourCCText(uint32_t code) {
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i)
        s[size_t(i)] = char(code >> (24 - 8 * i));
    return s;
}

uint32_t FourCCFromText(const std::string& text) {
    if (text.size() != 4)
        throw HostFailure("a four-character code has four characters: \"" + text + "\"");
    return uint32_t(uint8_t(text[0])) << 24 | uint32_t(uint8_t(text[1])) << 16 |
           uint32_t(uint8_t(text[2])) << 8 | uint32_t(uint8_t(text[3]));
}

std::string DescriptorToJson(const Descriptor& descriptor) {
    json items = json::array();
    for (const auto& item : descriptor.items) {
        json entry = {{"key", FourCCText(item.key)}, {"type", FourCCText(item.type)}};
        std::visit([&entry](const auto& v) { entry["value"] = v; }, item.value);
        items.push_back(entry);
    }
    return items.dump(2);
}

Descriptor DescriptorFromJson(const std::string& text) {
    Descriptor descriptor;
    try {
        const json items = json::parse(text);
        if (!items.is_array()) throw HostFailure("a descriptor is a list of items");
        for (const auto& entry : items) {
            if (!entry.is_object() || !entry.contains("key") || !entry.contains("type") ||
                !entry.contains("value"))
                throw HostFailure("a descriptor item needs a key, a type and a value");
            DescriptorItem item;
            item.key = FourCCFromText(entry.at("key").get<std::string>());
            item.type = FourCCFromText(entry.at("type").get<std::string>());
            const json& value = entry.at("value");
            // Values are checked before conversion: a number too large for 32 bits would
            // otherwise convert with undefined behaviour.
            auto fail = [&item] {
                throw HostFailure("descriptor value of '" + FourCCText(item.key) +
                                  "' has the wrong type");
            };
            switch (item.type) {
            case typeBoolean:
                if (!value.is_boolean()) fail();
                item.value = value.get<bool>();
                break;
            case typeFloat:
                if (!value.is_number()) fail();
                item.value = value.get<double>();
                break;
            case typeInteger:
            case typeEnumerated:
                if (!value.is_number_integer() || value.get<int64_t>() < INT32_MIN ||
                    value.get<int64_t>() > INT32_MAX ||
                    (value.is_number_unsigned() && value.get<uint64_t>() > INT32_MAX))
                    fail();
                item.value = int32_t(value.get<int64_t>());
                break;
            case typeChar:
            case typePath:
                if (!value.is_string()) fail();
                item.value = value.get<std::string>();
                break;
            default:
                throw HostFailure("unknown descriptor value type '" + FourCCText(item.type) + "'");
            }
            descriptor.Put(std::move(item));
        }
    } catch (const json::exception& e) {
        throw HostFailure(std::string("malformed descriptor: ") + e.what());
    }
    return descriptor;
}

// The C procedures handed to the plug-in.
struct DescriptorProcs {
    static DescriptorServices& S() { return *gServices; }

    static PIReadDescriptor OpenRead(PIDescriptorHandle handle, DescriptorKeyID* keys) noexcept {
        if (!gServices || !handle) return nullptr;
        try {
            auto* token = new ReadToken{S().FromHandle(handle), {}, 0, nullptr};
            for (; keys && *keys; ++keys)
                token->wanted.push_back(*keys);
            S().liveReads_.push_back(token);
            return reinterpret_cast<PIReadDescriptor>(token);
        } catch (...) {
            return nullptr;
        }
    }
    static ReadToken* Read(PIReadDescriptor token) {
        void* t = token;
        if (!gServices ||
            std::find(S().liveReads_.begin(), S().liveReads_.end(), t) == S().liveReads_.end())
            return nullptr;
        return static_cast<ReadToken*>(t);
    }
    static OSErr CloseRead(PIReadDescriptor token) noexcept {
        ReadToken* t = Read(token);
        if (!t) return filterBadParameters;
        Erase(S().liveReads_, static_cast<void*>(t));
        delete t;
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
        std::string text;
        OSErr e = Get(token, &text);
        if (e != noErr || !value) return e ? e : filterBadParameters;
        try {
            *value = S().memory_.NewHandle(text.size() + 1);
            std::memcpy(S().memory_.HandleData(*value), text.c_str(), text.size() + 1);
        } catch (...) {
            return filterBadParameters;
        }
        return noErr;
    }

    static PIWriteDescriptor OpenWrite() noexcept {
        if (!gServices) return nullptr;
        auto* token = new WriteToken;
        S().liveWrites_.push_back(token);
        return reinterpret_cast<PIWriteDescriptor>(token);
    }
    static WriteToken* Write(PIWriteDescriptor token) {
        void* t = token;
        if (!gServices ||
            std::find(S().liveWrites_.begin(), S().liveWrites_.end(), t) == S().liveWrites_.end())
            return nullptr;
        return static_cast<WriteToken*>(t);
    }
    static OSErr CloseWrite(PIWriteDescriptor token, PIDescriptorHandle* descriptor) noexcept {
        WriteToken* t = Write(token);
        if (!t) return filterBadParameters;
        OSErr result = noErr;
        try {
            if (descriptor) *descriptor = S().ToHandle(t->descriptor);
        } catch (...) {
            result = filterBadParameters;
        }
        Erase(S().liveWrites_, static_cast<void*>(t));
        delete t;
        return result;
    }
    template <typename T>
    static OSErr Put(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID type, T value) {
        WriteToken* t = Write(token);
        if (!t) return filterBadParameters;
        t->descriptor.Put({key, type, std::move(value)});
        return noErr;
    }
    static OSErr PutInteger(PIWriteDescriptor token, DescriptorKeyID key, int32 value) noexcept {
        return Put(token, key, typeInteger, int32_t(value));
    }
    static OSErr PutFloat(PIWriteDescriptor token, DescriptorKeyID key,
                          const double* value) noexcept {
        return value ? Put(token, key, typeFloat, *value) : filterBadParameters;
    }
    static OSErr PutBoolean(PIWriteDescriptor token, DescriptorKeyID key, Boolean value) noexcept {
        return Put(token, key, typeBoolean, value != 0);
    }
    static OSErr PutText(PIWriteDescriptor token, DescriptorKeyID key, Handle text) noexcept {
        if (!gServices || !S().memory_.IsLive(text)) return filterBadParameters;
        const char* p = S().memory_.HandleData(text);
        const size_t size = S().memory_.HandleSize(text);
        try {
            return Put(token, key, typeChar, std::string(p, strnlen(p, size)));
        } catch (...) {
            return filterBadParameters;
        }
    }

    // Action descriptors: objects the plug-in makes and frees.
    static Descriptor* Live(PIActionDescriptor d) {
        auto* p = reinterpret_cast<Descriptor*>(d);
        if (!gServices || std::find(S().liveDescriptors_.begin(), S().liveDescriptors_.end(), p) ==
                              S().liveDescriptors_.end())
            return nullptr;
        return p;
    }
    static PIActionDescriptor Adopt(Descriptor d) {
        auto* p = new Descriptor(std::move(d));
        S().liveDescriptors_.push_back(p);
        return reinterpret_cast<PIActionDescriptor>(p);
    }
    static SPErr Make(PIActionDescriptor* out) noexcept {
        if (!out || !gServices) return kSPBadParameterError;
        *out = Adopt({});
        return kSPNoError;
    }
    static SPErr Free(PIActionDescriptor d) noexcept {
        Descriptor* p = Live(d);
        if (!p) return kSPBadParameterError;
        Erase(S().liveDescriptors_, p);
        delete p;
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
        p->Put({key, typeChar, std::string(text)});
        return kSPNoError;
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
        try {
            S().registry_[key] = *p;
            S().persistent_[key] = persistent != 0;
            if (persistent) S().SaveRegistry();
        } catch (...) {
            return kSPBadParameterError;
        }
        return kSPNoError;
    }
    static SPErr EraseKey(const char* key) noexcept {
        if (!gServices || !key) return kSPBadParameterError;
        try {
            const bool wasPersistent = S().persistent_[key];
            S().registry_.erase(key);
            S().persistent_.erase(key);
            if (wasPersistent) S().SaveRegistry();
        } catch (...) {
            return kSPBadParameterError;
        }
        return kSPNoError;
    }
    static SPErr GetRegistered(const char* key, PIActionDescriptor* out) noexcept {
        if (!gServices || !key || !out) return kSPBadParameterError;
        *out = nullptr;
        auto it = S().registry_.find(key);
        if (it != S().registry_.end()) *out = Adopt(it->second);
        return kSPNoError;
    }
};

DescriptorServices::DescriptorServices(HostMemory& memory, std::filesystem::path registryFile)
    : memory_(memory),
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
    if (gServices) throw HostFailure("only one descriptor service may be live");
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
    gServices = this;
}

DescriptorServices::~DescriptorServices() {
    for (void* t : liveReads_)
        delete static_cast<ReadToken*>(t);
    for (void* t : liveWrites_)
        delete static_cast<WriteToken*>(t);
    for (Descriptor* d : liveDescriptors_)
        delete d;
    gServices = nullptr;
}

size_t DescriptorServices::OpenTokens() const {
    return liveReads_.size() + liveWrites_.size();
}

Handle DescriptorServices::ToHandle(const Descriptor& descriptor) {
    const std::string text = DescriptorToJson(descriptor);
    Handle h = memory_.NewHandle(text.size() + 1);
    std::memcpy(memory_.HandleData(h), text.c_str(), text.size() + 1);
    return h;
}

PIActionDescriptor DescriptorServices::Hand(Descriptor descriptor) {
    return DescriptorProcs::Adopt(std::move(descriptor));
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
