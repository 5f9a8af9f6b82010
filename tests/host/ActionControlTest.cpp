// The application's eyedropper property through the action suites, as a filter asks for it.
#include "core/suites/ActionControl.h"
#include "core/session/FilterSession.h"

#include <gtest/gtest.h>

namespace {

using namespace quillon::filterhost;

struct Suites {
    const PSActionDescriptorProcs* descriptor;
    const PSActionReferenceProcs* reference;
    const PSBasicActionControlProcs* control;
};

Suites Acquire(SuiteRegistry& registry) {
    const void* d = nullptr;
    const void* r = nullptr;
    const void* c = nullptr;
    SPBasicSuite* basic = registry.Basic();
    EXPECT_EQ(basic->AcquireSuite(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion, &d),
              0);
    EXPECT_EQ(basic->AcquireSuite(kPSActionReferenceSuite, kPSActionReferenceSuiteVersion, &r), 0);
    EXPECT_EQ(
        basic->AcquireSuite(kPSBasicActionControlSuite, kPSBasicActionControlSuiteVersion, &c), 0);
    return {static_cast<const PSActionDescriptorProcs*>(d),
            static_cast<const PSActionReferenceProcs*>(r),
            static_cast<const PSBasicActionControlProcs*>(c)};
}

// Property `property` of the target application.
PIActionReference ApplicationProperty(const Suites& s, DescriptorKeyID property) {
    PIActionReference reference = nullptr;
    EXPECT_EQ(s.reference->Make(&reference), 0);
    EXPECT_EQ(s.reference->PutProperty(reference, PI_FOURCC('P', 'r', 'p', 'r'), property), 0);
    EXPECT_EQ(s.reference->PutEnumerated(reference, PI_FOURCC('c', 'a', 'p', 'p'),
                                         PI_FOURCC('O', 'r', 'd', 'n'),
                                         PI_FOURCC('T', 'r', 'g', 't')),
              0);
    return reference;
}

constexpr DescriptorKeyID kEyedropper = PI_FOURCC('E', 'y', 'D', 'r');

class EyedropperTest : public ::testing::TestWithParam<std::pair<EyedropperSample, uint32_t>> {};

TEST_P(EyedropperTest, AnswersTheHostSetting) {
    FilterSession host;
    ActionControl& actions = host.OpenActionControl(GetParam().first);
    const Suites s = Acquire(host.Suites());
    PIActionReference reference = ApplicationProperty(s, kEyedropper);
    PIActionDescriptor result = nullptr;
    ASSERT_EQ(s.control->Get(&result, reference), 0);
    DescriptorTypeID type = 0;
    uint32 value = 0;
    ASSERT_EQ(s.descriptor->GetEnumerated(result, kEyedropper, &type, &value), 0);
    EXPECT_EQ(value, GetParam().second);
    EXPECT_EQ(s.descriptor->Free(result), 0);
    EXPECT_EQ(s.reference->Free(reference), 0);
    EXPECT_EQ(actions.LiveReferences(), 0);
    EXPECT_EQ(host.Descriptors().LiveActionDescriptors(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, EyedropperTest,
    ::testing::Values(std::pair{EyedropperSample::Point, PI_FOURCC('S', 'm', 'p', 'P')},
                      std::pair{EyedropperSample::Average3x3, PI_FOURCC('S', 'm', 'p', '3')},
                      std::pair{EyedropperSample::Average5x5, PI_FOURCC('S', 'm', 'p', '5')}));

TEST(ActionControl, OtherReferencesAndHandlesFail) {
    FilterSession host;
    ActionControl& actions = host.OpenActionControl(EyedropperSample::Average3x3);
    const Suites s = Acquire(host.Suites());
    PIActionReference zoom = ApplicationProperty(s, PI_FOURCC('Z', 'o', 'o', 'm'));
    PIActionDescriptor result = reinterpret_cast<PIActionDescriptor>(&host);
    EXPECT_NE(s.control->Get(&result, zoom), 0);
    EXPECT_EQ(result, nullptr);
    int junk = 0;
    auto* foreign = reinterpret_cast<PIActionReference>(&junk);
    EXPECT_NE(s.control->Get(&result, foreign), 0);
    EXPECT_NE(s.reference->Free(foreign), 0);
    EXPECT_NE(s.reference->PutProperty(foreign, 1, 2), 0);
    EXPECT_EQ(junk, 0);
    // A reference the plug-in forgets goes with the host.
    EXPECT_EQ(actions.LiveReferences(), 1);
}

} // namespace
