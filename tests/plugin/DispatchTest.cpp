// The module's entry point driven through the host, selector by selector.
#include "core/FilterDriver.h"
#include "core/HostFailure.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace quillon::filterhost;

class DispatchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        module_ = std::make_unique<PluginModule>(std::string(QUILLON_MODULE_DIR) + "/Quillon.8bf");
    }
    static void TearDownTestSuite() { module_.reset(); }

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

    static std::unique_ptr<PluginModule> module_;
    FilterHost host_;
    Document document_ = MakeDocument(ColorMode::RGB, 8, 40, 30);
};

std::unique_ptr<PluginModule> DispatchTest::module_;

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
    for (int selector : std::initializer_list<int>{filterSelectorParameters, filterSelectorPrepare, filterSelectorStart,
                         filterSelectorContinue, filterSelectorFinish, 9}) {
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
    struct Case {
        int16_t mode;
        int16_t result;
    };
    const Case cases[] = {
        {plugInModeBitmap, filterBadMode},      {plugInModeGrayScale, filterBadMode},
        {plugInModeIndexedColor, filterBadMode}, {plugInModeMultichannel, filterBadMode},
        {plugInModeDuotone, filterBadMode},     {plugInModeGray16, filterBadMode},
        {plugInModeRGBColor, 0},                {plugInModeCMYK64, 0},
        {plugInModeLab48, 0},
    };
    for (const Case& c : cases) {
        FilterRecord record = Record(c.mode);
        record.outTileWidth = record.outTileHeight = 64;
        EXPECT_EQ(Call(filterSelectorStart, record), c.result) << "mode " << c.mode;
    }
}

TEST_F(DispatchTest, HostWithoutBasicSuiteIsToldItIsNotSupported) {
    FilterRecord record{};
    intptr_t data = 0;
    for (int selector : std::initializer_list<int>{filterSelectorParameters, filterSelectorPrepare, filterSelectorStart,
                         6}) {
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
            for (int p = 0; p < 3; ++p) document_.At(p, x, y) = uint16_t((x * 7 + y * 3 + p) & 255);
    const Document before = document_;
    RunReport report = host_.Run(*module_, document_, {});
    EXPECT_EQ(report.result, 0);
    EXPECT_EQ(report.failedSelector, -1);
    EXPECT_EQ(report.advanceCalls, 0);
    EXPECT_EQ(document_.planes, before.planes);
    EXPECT_EQ(host_.Memory().LiveBuffers(), 0u);
}

} // namespace
