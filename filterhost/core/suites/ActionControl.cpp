#include "core/suites/ActionControl.h"

#include "core/suites/GuardedCall.h"
#include "core/suites/SessionServices.h"

#include <memory>
#include <vector>

namespace quillon::filterhost {
namespace {

struct ReferencePart {
    bool property; // else enumerated
    DescriptorTypeID desiredClass;
    DescriptorTypeID keyOrType;
    uint32_t value;
};

struct Reference {
    std::vector<ReferencePart> parts;
};

// The C tables reach the session's action control; every reference is checked against the
// session's table.
SessionServices* Session() {
    SessionServices* session = SessionServices::Current();
    return session && session->Actions() ? session : nullptr;
}

Reference* FindReference(PIActionReference r) {
    SessionServices* session = Session();
    return session ? session->Handles().Find<Reference>(r, HandleKind::Reference) : nullptr;
}

SPErr ReferenceMake(PIActionReference* out) noexcept {
    if (!out) return kSPBadParameterError;
    *out = nullptr;
    SessionServices* session = Session();
    if (!session) return kSPBadParameterError;
    return GuardedCall<SPErr>(kSPBadParameterError, [&] {
        auto r = std::make_unique<Reference>();
        session->Handles().Add(r.get(), HandleKind::Reference);
        *out = reinterpret_cast<PIActionReference>(r.release());
        return SPErr(kSPNoError);
    });
}

SPErr ReferenceFree(PIActionReference reference) noexcept {
    Reference* r = FindReference(reference);
    if (!r) return kSPBadParameterError;
    Session()->Handles().Remove(r, HandleKind::Reference);
    delete r;
    return kSPNoError;
}

SPErr Put(PIActionReference reference, ReferencePart part) noexcept {
    Reference* r = FindReference(reference);
    if (!r) return kSPBadParameterError;
    return GuardedCall<SPErr>(kSPBadParameterError, [&] {
        r->parts.push_back(part);
        return SPErr(kSPNoError);
    });
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
    return property.property && property.desiredClass == classProperty &&
           property.keyOrType == keyEyedropperSample && !application.property &&
           application.desiredClass == classApplication && application.keyOrType == typeOrdinal &&
           application.value == enumTarget;
}

SPErr ControlGet(PIActionDescriptor* result, PIActionReference reference) noexcept {
    if (!result) return kSPBadParameterError;
    *result = nullptr;
    Reference* r = FindReference(reference);
    if (!r || !NamesEyedropper(*r)) return kSPBadParameterError;
    const ActionControl& control = *Session()->Actions();
    return GuardedCall<SPErr>(kSPBadParameterError, [&] {
        Descriptor answer;
        answer.Put({keyEyedropperSample, typeEnumerated,
                    int32_t(EyedropperSampleCode(control.Eyedropper()))});
        *result = control.Descriptors().Hand(std::move(answer));
        return SPErr(kSPNoError);
    });
}

const PSActionReferenceProcs kReferenceSuite = {&ReferenceMake, &ReferenceFree,
                                                &ReferencePutProperty, &ReferencePutEnumerated};
const PSBasicActionControlProcs kControlSuite = {&ControlGet};

} // namespace

uint32_t EyedropperSampleCode(EyedropperSample sample) {
    switch (sample) {
    case EyedropperSample::Point:
        return eyedropperPoint;
    case EyedropperSample::Average3x3:
        return eyedropper3x3;
    case EyedropperSample::Average5x5:
        return eyedropper5x5;
    }
    return eyedropperPoint;
}

ActionControl::ActionControl(SuiteRegistry& suites, DescriptorServices& descriptors,
                             HandleTable& table, EyedropperSample sample)
    : suites_(suites), descriptors_(descriptors), table_(table), sample_(sample) {
    suites_.Offer(kPSActionReferenceSuite, kPSActionReferenceSuiteVersion, &kReferenceSuite);
    suites_.Offer(kPSBasicActionControlSuite, kPSBasicActionControlSuiteVersion, &kControlSuite);
}

ActionControl::~ActionControl() {
    suites_.Withdraw(kPSActionReferenceSuite, kPSActionReferenceSuiteVersion);
    suites_.Withdraw(kPSBasicActionControlSuite, kPSBasicActionControlSuiteVersion);
    for (void* r : table_.All(HandleKind::Reference)) {
        table_.Remove(r, HandleKind::Reference);
        delete static_cast<Reference*>(r);
    }
}

int ActionControl::LiveReferences() const {
    return int(table_.Count(HandleKind::Reference));
}

} // namespace quillon::filterhost
