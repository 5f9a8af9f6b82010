// The module's entry point driven through the host, selector by selector.
#include "core/HostFailure.h"
#include "core/session/FilterSession.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace quillon::filterhost;

std::string ModuleFile() {
    return std::string(QUILLON_MODULE_DIR) + "/Quillon.8bf";
}

class DispatchTest : public ::testing::Test {
  protected:
    // A filter record as the host fills it, for looking at what one selector leaves behind.
    FilterRecord Record(int16_t imageMode) {
        FilterRecord record{};
        record.sSPBasic = host_.Suites().Basic();
        record.imageMode = imageMode;
        record.depth = 8;
        record.handleProcs = host_.Memory().Handles();
        record.bufferProcs = host_.Memory().Buffers();
        return record;
    }

    int16_t Call(int16_t selector, FilterRecord& record) {
        int16_t result = 12345;
        module_->Entry()(selector, &record, &host_.DataSlot(), &result);
        return result;
    }

    // The host outlives the module, as a real host does: unloading releases suites through it.
    FilterSession host_;
    std::unique_ptr<PluginModule> module_ = std::make_unique<PluginModule>(ModuleFile());
    Document document_ = MakeDocument(ColorMode::RGB, 8, 40, 30);
};

TEST_F(DispatchTest, UnknownSelectorsAreBadParameters) {
    for (int16_t selector : {int16_t(-1), int16_t(6), int16_t(-32768), int16_t(100)}) {
        EXPECT_EQ(host_.CallSelector(*module_, selector, document_, {}), filterBadParameters)
            << "selector " << selector;
    }
}

TEST_F(DispatchTest, PrepareAsksForNoMemoryAndWritesNothingElse) {
    FilterRecord record = Record(plugInModeRGBColor);
    record.bufferSpace = 777;
    record.maxSpace = 1 << 20;
    EXPECT_EQ(Call(filterSelectorPrepare, record), 0);
    EXPECT_EQ(record.bufferSpace, 0);
    EXPECT_EQ(record.maxSpace, 0);
}

TEST_F(DispatchTest, BigDocumentRecordSwitchesTo32BitCoordinatesOnEveryFilterSelector) {
    for (int selector : std::initializer_list<int>{filterSelectorParameters, filterSelectorPrepare,
                                                   filterSelectorStart, filterSelectorContinue,
                                                   filterSelectorFinish, 9}) {
        FilterRecord record = Record(plugInModeRGBColor);
        BigDocumentStruct big{};
        record.bigDocumentData = &big;
        Call(int16_t(selector), record);
        EXPECT_EQ(big.PluginUsing32BitCoordinates, 1) << "selector " << selector;
    }
}

TEST_F(DispatchTest, ContinueEmptiesTheOutputRectangleInBothCoordinateSystems) {
    FilterRecord record = Record(plugInModeRGBColor);
    record.outRect = {1, 2, 3, 4};
    EXPECT_EQ(Call(filterSelectorContinue, record), 0);
    EXPECT_EQ(record.outRect.bottom, 0);
    EXPECT_EQ(record.outRect.right, 0);

    BigDocumentStruct big{};
    big.outRect32 = {10, 20, 30000, 40000};
    record.bigDocumentData = &big;
    EXPECT_EQ(Call(filterSelectorContinue, record), 0);
    EXPECT_EQ(big.outRect32.top, 0);
    EXPECT_EQ(big.outRect32.bottom, 0);
    EXPECT_EQ(big.outRect32.right, 0);
}

TEST_F(DispatchTest, StartRefusesModesOutsideRgbCmykAndLab) {
    for (int16_t mode : {plugInModeBitmap, plugInModeGrayScale, plugInModeIndexedColor,
                         plugInModeHSLColor, plugInModeMultichannel, plugInModeDuotone,
                         plugInModeGray16, plugInModeDeepMultichannel}) {
        FilterRecord record = Record(mode);
        EXPECT_EQ(Call(filterSelectorStart, record), filterBadMode) << "mode " << mode;
    }
    for (ColorMode mode : {ColorMode::RGB, ColorMode::CMYK, ColorMode::Lab})
        for (int depth : {8, 16}) {
            Document document = MakeDocument(mode, depth, 8, 8);
            EXPECT_EQ(host_.CallSelector(*module_, filterSelectorStart, document, {}), 0)
                << ModeName(mode) << depth;
        }
}

TEST_F(DispatchTest, MissingSuiteIsReportedAndEndsTheSelectorWithItsCode) {
    FilterRecord record = Record(plugInModeRGBColor);
    testing::internal::CaptureStderr();
    EXPECT_EQ(Call(filterSelectorStart, record), kSPSuiteNotFoundError);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(
                  "Suite not available Photoshop ColorSpace Suite for Plug-ins version 1"),
              std::string::npos);
}

TEST_F(DispatchTest, SuitesAreKeptBetweenCallsAndReleasedAtUnload) {
    EXPECT_EQ(host_.CallSelector(*module_, filterSelectorStart, document_, {}), 0);
    EXPECT_EQ(host_.CallSelector(*module_, filterSelectorStart, document_, {}), 0);
    EXPECT_EQ(host_.Suites().Outstanding(kPSColorSpaceSuite, kPSColorSpaceSuiteVersion1), 1)
        << "acquired once, on first use";
    module_.reset();
    EXPECT_EQ(host_.Suites().Outstanding(), 0);
}

TEST_F(DispatchTest, HostWithoutBasicSuiteIsToldItIsNotSupported) {
    FilterRecord record{};
    intptr_t data = 0;
    for (int selector : std::initializer_list<int>{filterSelectorParameters, filterSelectorPrepare,
                                                   filterSelectorStart, 6}) {
        int16_t result = 0;
        testing::internal::CaptureStderr();
        module_->Entry()(int16_t(selector), &record, &data, &result);
        const std::string shown = testing::internal::GetCapturedStderr();
        EXPECT_EQ(result, filterBadParameters);
        EXPECT_NE(shown.find("Not Supported"), std::string::npos);
        EXPECT_NE(shown.find("Quillon cannot be used with this version of the editor."),
                  std::string::npos);
    }
    AboutRecord about{};
    int16_t result = 0;
    testing::internal::CaptureStderr();
    module_->Entry()(filterSelectorAbout, &about, &data, &result);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Not Supported"), std::string::npos);
    EXPECT_EQ(result, filterBadParameters);
}

TEST_F(DispatchTest, WholeRunWithoutAdjustmentsLeavesTheDocumentAlone) {
    for (int y = 0; y < document_.height; ++y)
        for (int x = 0; x < document_.width; ++x)
            for (int p = 0; p < 3; ++p)
                document_.At(p, x, y) = uint16_t((x * 7 + y * 3 + p) & 255);
    const Document before = document_;
    RunTrace trace;
    RunOptions options;
    options.trace = &trace;
    RunReport report = host_.Run(*module_, document_, options);
    EXPECT_EQ(report.result, 0);
    EXPECT_EQ(report.failedSelector, -1);
    EXPECT_EQ(trace.advanceCalls, 0);
    EXPECT_EQ(document_.planes, before.planes);
    EXPECT_EQ(host_.Memory().LiveBuffers(), 0u);
}

} // namespace
