#include "core/ActionControl.h"

#include "core/HostFailure.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <variant>
#include <vector>

namespace quillon::filterhost {
namespace {

constexpr DescriptorKeyID kEyedropperKey = PI_FOURCC('E', 'y', 'D', 'r');
constexpr DescriptorTypeID kPropertyClass = PI_FOURCC('P', 'r', 'p', 'r');
constexpr DescriptorTypeID kApplicationClass = PI_FOURCC('c', 'a', 'p', 'p');
constexpr DescriptorTypeID kOrdinalType = PI_FOURCC('O', 'r', 'd', 'n');
constexpr uint32_t kTargetValue = PI_FOURCC('T', 'r', 'g', 't');

struct Enumerated {
    DescriptorTypeID type;
    uint32_t value;
};

struct Descriptor {
    std::map<DescriptorKeyID, std::variant<std::string, Enumerated>> values;
};

struct ReferencePart {
    bool property; // else enumerated
    DescriptorTypeID desiredClass;
    DescriptorTypeID keyOrType;
    uint32_t value;
};

struct Reference {
    std::vector<ReferencePart> parts;
};

// The C tables reach the live object through here; every handle is checked against the sets.
ActionControl* gLive = nullptr;
std::set<Descriptor*> gDescriptors;
std::set<Reference*> gReferences;

Descriptor* FindDescriptor(PIActionDescriptor d) {
    auto* p = reinterpret_cast<Descriptor*>(d);
    return gDescriptors.count(p) ? p : nullptr;
}

Reference* FindReference(PIActionReference r) {
    auto* p = reinterpret_cast<Reference*>(r);
    return gReferences.count(p) ? p : nullptr;
}

template <typename F> SPErr Guard(F&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return kSPBadParameterError;
    }
}

SPErr DescriptorMake(PIActionDescriptor* out) noexcept {
    return Guard([&] {
        if (!out) return kSPBadParameterError;
        auto d = std::make_unique<Descriptor>();
        gDescriptors.insert(d.get());
        *out = reinterpret_cast<PIActionDescriptor>(d.release());
        return kSPNoError;
    });
}

SPErr DescriptorFree(PIActionDescriptor descriptor) noexcept {
    Descriptor* d = FindDescriptor(descriptor);
    if (!d) return kSPBadParameterError;
    gDescriptors.erase(d);
    delete d;
    return kSPNoError;
}

SPErr DescriptorHasKey(PIActionDescriptor descriptor, DescriptorKeyID key, Boolean* has) noexcept {
    if (!has) return kSPBadParameterError;
    *has = false;
    Descriptor* d = FindDescriptor(descriptor);
    if (!d) return kSPBadParameterError;
    *has = d->values.count(key) != 0;
    return kSPNoError;
}

SPErr DescriptorPutString(PIActionDescriptor descriptor, DescriptorKeyID key,
                          const char* text) noexcept {
    return Guard([&] {
        Descriptor* d = FindDescriptor(descriptor);
        if (!d || !text) return kSPBadParameterError;
        d->values[key] = std::string(text);
        return kSPNoError;
    });
}

SPErr DescriptorGetString(PIActionDescriptor descriptor, DescriptorKeyID key, char* text,
                          uint32 maxLength) noexcept {
    if (!text || maxLength == 0) return kSPBadParameterError;
    text[0] = 0;
    Descriptor* d = FindDescriptor(descriptor);
    if (!d) return kSPBadParameterError;
    auto it = d->values.find(key);
    if (it == d->values.end() || !std::holds_alternative<std::string>(it->second))
        return kSPBadParameterError;
    const std::string& value = std::get<std::string>(it->second);
    const size_t n = std::min<size_t>(value.size(), maxLength - 1);
    std::memcpy(text, value.data(), n);
    text[n] = 0;
    return kSPNoError;
}

SPErr DescriptorGetEnumerated(PIActionDescriptor descriptor, DescriptorKeyID key,
                              DescriptorTypeID* type, uint32* value) noexcept {
    if (!type || !value) return kSPBadParameterError;
    *type = 0;
    *value = 0;
    Descriptor* d = FindDescriptor(descriptor);
    if (!d) return kSPBadParameterError;
    auto it = d->values.find(key);
    if (it == d->values.end() || !std::holds_alternative<Enumerated>(it->second))
        return kSPBadParameterError;
    *type = std::get<Enumerated>(it->second).type;
    *value = std::get<Enumerated>(it->second).value;
    return kSPNoError;
}

SPErr ReferenceMake(PIActionReference* out) noexcept {
    return Guard([&] {
        if (!out) return kSPBadParameterError;
        auto r = std::make_unique<Reference>();
        gReferences.insert(r.get());
        *out = reinterpret_cast<PIActionReference>(r.release());
        return kSPNoError;
    });
}

SPErr ReferenceFree(PIActionReference reference) noexcept {
    Reference* r = FindReference(reference);
    if (!r) return kSPBadParameterError;
    gReferences.erase(r);
    delete r;
    return kSPNoError;
}

SPErr ReferencePutProperty(PIActionReference reference, DescriptorTypeID desiredClass,
                           DescriptorKeyID key) noexcept {
    return Guard([&] {
        Reference* r = FindReference(reference);
        if (!r) return kSPBadParameterError;
        r->parts.push_back({true, desiredClass, key, 0});
        return kSPNoError;
    });
}

SPErr ReferencePutEnumerated(PIActionReference reference, DescriptorTypeID desiredClass,
                             DescriptorTypeID type, uint32 value) noexcept {
    return Guard([&] {
        Reference* r = FindReference(reference);
        if (!r) return kSPBadParameterError;
        r->parts.push_back({false, desiredClass, type, value});
        return kSPNoError;
    });
}

// The one object this host can get: the target application's eyedropper property.
bool NamesEyedropper(const Reference& r) {
    if (r.parts.size() != 2) return false;
    const ReferencePart& property = r.parts[0];
    const ReferencePart& application = r.parts[1];
    return property.property && property.desiredClass == kPropertyClass &&
           property.keyOrType == kEyedropperKey && !application.property &&
           application.desiredClass == kApplicationClass && application.keyOrType == kOrdinalType &&
           application.value == kTargetValue;
}

SPErr ControlGet(PIActionDescriptor* result, PIActionReference reference) noexcept {
    if (!result) return kSPBadParameterError;
    *result = nullptr;
    Reference* r = FindReference(reference);
    if (!r || !gLive || !NamesEyedropper(*r)) return kSPBadParameterError;
    PIActionDescriptor made = nullptr;
    if (SPErr e = DescriptorMake(&made)) return e;
    FindDescriptor(made)->values[kEyedropperKey] =
        Enumerated{kEyedropperKey, EyedropperSampleCode(gLive->Eyedropper())};
    *result = made;
    return kSPNoError;
}

const PSActionDescriptorProcs kDescriptorSuite = {&DescriptorMake,      &DescriptorFree,
                                                  &DescriptorHasKey,    &DescriptorPutString,
                                                  &DescriptorGetString, &DescriptorGetEnumerated};
const PSActionReferenceProcs kReferenceSuite = {&ReferenceMake, &ReferenceFree,
                                                &ReferencePutProperty, &ReferencePutEnumerated};
const PSBasicActionControlProcs kControlSuite = {&ControlGet};

} // namespace

uint32_t EyedropperSampleCode(EyedropperSample sample) {
    switch (sample) {
    case EyedropperSample::Point:
        return PI_FOURCC('S', 'm', 'p', 'P');
    case EyedropperSample::Average3x3:
        return PI_FOURCC('S', 'm', 'p', '3');
    case EyedropperSample::Average5x5:
        return PI_FOURCC('S', 'm', 'p', '5');
    }
    return PI_FOURCC('S', 'm', 'p', 'P');
}

ActionControl::ActionControl(SuiteRegistry& suites, EyedropperSample sample)
    : suites_(suites), sample_(sample) {
    if (gLive) throw HostFailure("only one action control may be live");
    gLive = this;
    suites_.Offer(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion, &kDescriptorSuite);
    suites_.Offer(kPSActionReferenceSuite, kPSActionReferenceSuiteVersion, &kReferenceSuite);
    suites_.Offer(kPSBasicActionControlSuite, kPSBasicActionControlSuiteVersion, &kControlSuite);
}

ActionControl::~ActionControl() {
    suites_.Withdraw(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion);
    suites_.Withdraw(kPSActionReferenceSuite, kPSActionReferenceSuiteVersion);
    suites_.Withdraw(kPSBasicActionControlSuite, kPSBasicActionControlSuiteVersion);
    for (Descriptor* d : gDescriptors)
        delete d;
    for (Reference* r : gReferences)
        delete r;
    gDescriptors.clear();
    gReferences.clear();
    gLive = nullptr;
}

int ActionControl::LiveObjects() const {
    return int(gDescriptors.size() + gReferences.size());
}

} // namespace quillon::filterhost
