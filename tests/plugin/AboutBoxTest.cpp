// The about selector on a host without a dialog manager: the missing suite is reported once and
// its code ends the selector, nothing escapes into the host.
#include "core/module/PluginModule.h"
#include "core/session/FilterSession.h"

#include <gtest/gtest.h>

namespace {

using namespace quillon::filterhost;

TEST(AboutBox, MissingDialogManagerIsReportedAndReturned) {
    PluginModule module(std::string(QUILLON_MODULE_DIR) + "/Quillon.8bf");
    FilterSession host;
    ::testing::internal::CaptureStderr();
    const int16_t result = host.About(module);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, kSPSuiteNotFoundError);
    EXPECT_EQ(said, "Error: Suite not available ADM Dialog Suite version 4\n");
    EXPECT_EQ(host.Suites().Outstanding(), 0);
}

} // namespace
