#include "core/suites/ActionControl.h"

#include "core/HostFailure.h"

#include <memory>
#include <set>
#include <vector>

namespace quillon::filterhost {
namespace {

constexpr DescriptorKeyID kEyedropperKey = PI_FOURCC('E', 'y', 'D', 'r');
constexpr DescriptorTypeID kPropertyClass = PI_FOURCC('P', 'r', 'p', 'r');
constexpr DescriptorTypeID kApplicationClass = PI_FOURCC('c', 'a', 'p', 'p');
constexpr DescriptorTypeID kOrdinalType = PI_FOURCC('O', 'r', 'd', 'n');
constexpr uint32_t kTargetValue = PI_FOURCC('T', 'r', 'g', 't');

struct ReferencePart {
    bool property; // else enumerated
    DescriptorTypeID desiredClass;
    DescriptorTypeID keyOrType;
    uint32_t value;
};

struct Reference {
    std::vector<ReferencePart> parts;
};

// The C tables reach the live object through here; every reference is checked against the set.
ActionControl* gLive = nullptr;
std::set<Reference*> gReferences;

Reference* FindReference(PIActionReference r) {
    auto* p = reinterpret_cast<Reference*>(r);
    return gReferences.count(p) ? p : nullptr;
}

SPErr ReferenceMake(PIActionReference* out) noexcept {
    if (!out) return kSPBadParameterError;
    *out = nullptr;
    try {
        auto r = std::make_unique<Reference>();
        gReferences.insert(r.get());
        *out = reinterpret_cast<PIActionReference>(r.release());
        return kSPNoError;
    } catch (...) {
        return kSPBadParameterError;
    }
}

SPErr ReferenceFree(PIActionReference reference) noexcept {
    Reference* r = FindReference(reference);
    if (!r) return kSPBadParameterError;
    gReferences.erase(r);
    delete r;
    return kSPNoError;
}

SPErr Put(PIActionReference reference, ReferencePart part) noexcept {
    Reference* r = FindReference(reference);
    if (!r) return kSPBadParameterError;
    try {
        r->parts.push_back(part);
        return kSPNoError;
    } catch (...) {
        return kSPBadParameterError;
    }
}

SPErr ReferencePutProperty(PIActionReference reference, DescriptorTypeID desiredClass,
                           DescriptorKeyID key) noexcept {
    return Put(reference, {true, desiredClass, key, 0});
}

SPErr ReferencePutEnumerated(PIActionReference reference, DescriptorTypeID desiredClass,
                             DescriptorTypeID type, uint32 value) noexcept {
    return Put(reference, {false, desiredClass, type, value});
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
    try {
        Descriptor answer;
        answer.Put(
            {kEyedropperKey, typeEnumerated, int32_t(EyedropperSampleCode(gLive->Eyedropper()))});
        *result = gLive->Descriptors().Hand(std::move(answer));
        return kSPNoError;
    } catch (...) {
        return kSPBadParameterError;
    }
}

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

ActionControl::ActionControl(SuiteRegistry& suites, DescriptorServices& descriptors,
                             EyedropperSample sample)
    : suites_(suites), descriptors_(descriptors), sample_(sample) {
    if (gLive) throw HostFailure("only one action control may be live");
    gLive = this;
    suites_.Offer(kPSActionReferenceSuite, kPSActionReferenceSuiteVersion, &kReferenceSuite);
    suites_.Offer(kPSBasicActionControlSuite, kPSBasicActionControlSuiteVersion, &kControlSuite);
}

ActionControl::~ActionControl() {
    suites_.Withdraw(kPSActionReferenceSuite, kPSActionReferenceSuiteVersion);
    suites_.Withdraw(kPSBasicActionControlSuite, kPSBasicActionControlSuiteVersion);
    for (Reference* r : gReferences)
        delete r;
    gReferences.clear();
    gLive = nullptr;
}

int ActionControl::LiveReferences() const {
    return int(gReferences.size());
}

} // namespace quillon::filterhost
