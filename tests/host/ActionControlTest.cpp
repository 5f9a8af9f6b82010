// The application's eyedropper property through the action suites, as a filter asks for it.
#include "core/ActionControl.h"

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

// Property 'EyDr' of the target application.
PIActionReference EyedropperReference(const Suites& s) {
    PIActionReference reference = nullptr;
    EXPECT_EQ(s.reference->Make(&reference), 0);
    s.reference->PutProperty(reference, PI_FOURCC('P', 'r', 'p', 'r'),
                             PI_FOURCC('E', 'y', 'D', 'r'));
    s.reference->PutEnumerated(reference, PI_FOURCC('c', 'a', 'p', 'p'),
                               PI_FOURCC('O', 'r', 'd', 'n'), PI_FOURCC('T', 'r', 'g', 't'));
    return reference;
}

class EyedropperTest : public ::testing::TestWithParam<std::pair<EyedropperSample, uint32_t>> {};

TEST_P(EyedropperTest, AnswersTheHostSetting) {
    SuiteRegistry registry;
    ActionControl actions(registry, GetParam().first);
    const Suites s = Acquire(registry);
    PIActionReference reference = EyedropperReference(s);
    PIActionDescriptor result = nullptr;
    ASSERT_EQ(s.control->Get(&result, reference), 0);
    DescriptorTypeID type = 0;
    uint32 value = 0;
    ASSERT_EQ(s.descriptor->GetEnumerated(result, PI_FOURCC('E', 'y', 'D', 'r'), &type, &value), 0);
    EXPECT_EQ(value, GetParam().second);
    EXPECT_EQ(s.descriptor->Free(result), 0);
    EXPECT_EQ(s.reference->Free(reference), 0);
    EXPECT_EQ(actions.LiveObjects(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, EyedropperTest,
    ::testing::Values(std::pair{EyedropperSample::Point, PI_FOURCC('S', 'm', 'p', 'P')},
                      std::pair{EyedropperSample::Average3x3, PI_FOURCC('S', 'm', 'p', '3')},
                      std::pair{EyedropperSample::Average5x5, PI_FOURCC('S', 'm', 'p', '5')}));

TEST(ActionControl, OtherReferencesAndHandlesFail) {
    SuiteRegistry registry;
    ActionControl actions(registry, EyedropperSample::Average3x3);
    const Suites s = Acquire(registry);
    PIActionReference reference = nullptr;
    s.reference->Make(&reference);
    s.reference->PutProperty(reference, PI_FOURCC('P', 'r', 'p', 'r'),
                             PI_FOURCC('Z', 'o', 'o', 'm'));
    s.reference->PutEnumerated(reference, PI_FOURCC('c', 'a', 'p', 'p'),
                               PI_FOURCC('O', 'r', 'd', 'n'), PI_FOURCC('T', 'r', 'g', 't'));
    PIActionDescriptor result = reinterpret_cast<PIActionDescriptor>(&registry);
    EXPECT_NE(s.control->Get(&result, reference), 0);
    EXPECT_EQ(result, nullptr);
    int junk = 0;
    EXPECT_NE(s.control->Get(&result, reinterpret_cast<PIActionReference>(&junk)), 0);
    EXPECT_NE(s.reference->Free(reinterpret_cast<PIActionReference>(&junk)), 0);
    DescriptorTypeID type = 1;
    uint32 value = 1;
    EXPECT_NE(
        s.descriptor->GetEnumerated(reinterpret_cast<PIActionDescriptor>(&junk), 1, &type, &value),
        0);
    EXPECT_EQ(value, 0u);

    // Strings round-trip and are cut to the buffer.
    PIActionDescriptor descriptor = nullptr;
    ASSERT_EQ(s.descriptor->Make(&descriptor), 0);
    EXPECT_EQ(s.descriptor->PutString(descriptor, 7, "sample.tif"), 0);
    char text[7];
    EXPECT_EQ(s.descriptor->GetString(descriptor, 7, text, sizeof text), 0);
    EXPECT_STREQ(text, "sample");
    Boolean has = false;
    s.descriptor->HasKey(descriptor, 7, &has);
    EXPECT_TRUE(has);
    EXPECT_NE(s.descriptor->GetEnumerated(descriptor, 7, &type, &value), 0);
    // What the plug-in forgets to free goes with the host.
    EXPECT_EQ(actions.LiveObjects(), 2);
}

} // namespace
