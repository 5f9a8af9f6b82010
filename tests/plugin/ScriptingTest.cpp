// Recorded parameters and the saved-settings block, as the host stores and replays them.
#include "PluginFixture.h"

#include <cmath>
#include <cstring>

namespace {

using namespace quillon::testing;

struct StoredRecord {
    uint16_t original[3];
    uint16_t target[3];
    int32_t document[2];
    int32_t sample[2];
    uint8_t locked;
};

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    Put16(b, at, v), Put16(b, at + 2, v >> 16);
}
uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24);
}
float GetFloat(const std::vector<uint8_t>& b, size_t at) {
    const uint32_t bits = Get32(b, at);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

// A saved-settings block as an earlier use would have left it.
std::vector<uint8_t> Settings(bool preserve, float fuzziness, std::vector<StoredRecord> records,
                              size_t size = 32788, int count = -1) {
    std::vector<uint8_t> b(size);
    Put32(b, 0, PI_FOURCC('N', 'Q', 'l', 'n'));
    Put32(b, 4, 2);
    b[8] = preserve;
    uint32_t bits;
    std::memcpy(&bits, &fuzziness, 4);
    Put32(b, 12, bits);
    Put16(b, 16, uint32_t(count < 0 ? int(records.size()) : count));
    for (size_t i = 0; i < records.size() && 20 + 32 * (i + 1) <= size; ++i) {
        const StoredRecord& r = records[i];
        const size_t at = 20 + 32 * i;
        for (int c = 0; c < 3; ++c)
            Put16(b, at + 2 * size_t(c), r.original[c]);
        for (int c = 0; c < 3; ++c)
            Put16(b, at + 6 + 2 * size_t(c), r.target[c]);
        Put32(b, at + 12, uint32_t(r.document[0]));
        Put32(b, at + 16, uint32_t(r.document[1]));
        Put32(b, at + 20, uint32_t(r.sample[0]));
        Put32(b, at + 24, uint32_t(r.sample[1]));
        b[at + 28] = r.locked;
    }
    return b;
}

class ScriptingTest : public PluginFixture {
  protected:
    Document document_ = MakeDocument(ColorMode::Lab, 8, 8, 8);

    std::string RecordedText(const RunReport& report, DescriptorKeyID key) {
        const DescriptorItem* item = report.recorded ? report.recorded->Find(key) : nullptr;
        return item ? std::get<std::string>(item->value) : "<absent>";
    }
};

TEST_F(ScriptingTest, SettingsBlockIsWrittenByteForByte) {
    RunReport report =
        Run(document_,
            Playback("Lab[20000,16384,16384][10,20]:Lab[22000,17000,15000][5,6] ", false, 5.0));
    ASSERT_EQ(report.result, 0);
    const auto b = host_.DataSlotBytes();
    ASSERT_EQ(b.size(), 32788u);
    const std::vector<uint8_t> header(b.begin(), b.begin() + 20);
    std::vector<uint8_t> expected = {'n', 'l', 'Q', 'N', 2, 0, 0, 0, 0, 0, 0, 0};
    const float f = 0.44444445f;
    uint8_t bits[4];
    std::memcpy(bits, &f, 4);
    expected.insert(expected.end(), bits, bits + 4);
    expected.insert(expected.end(), {1, 0, 0, 0});
    EXPECT_EQ(header, expected);
    const std::vector<uint8_t> record(b.begin() + 20, b.begin() + 52);
    const std::vector<uint8_t> expectedRecord = {
        0x20, 0x4e, 0x00, 0x40, 0x00, 0x40,       // original 20000, 16384, 16384
        0xf0, 0x55, 0x68, 0x42, 0x98, 0x3a,       // target 22000, 17000, 15000
        10,   0,    0,    0,    20,   0,    0, 0, // document position
        5,    0,    0,    0,    6,    0,    0, 0, // sample position
        0,    0,    0,    0};                     // not locked
    EXPECT_EQ(record, expectedRecord);
}

TEST_F(ScriptingTest, TheSettingsHandleIsReusedFromUseToUse) {
    ASSERT_EQ(Run(document_, Playback("Lab[1,2,3] ")).result, 0);
    const intptr_t first = host_.DataSlot();
    ASSERT_NE(first, 0);
    ASSERT_EQ(Run(document_, Playback("Lab[4,5,6] Lab[7,8,9] ")).result, 0);
    EXPECT_EQ(host_.DataSlot(), first);
    EXPECT_EQ(host_.Memory().LiveHandles(), 1u) << "only the settings handle outlives a use";
}

TEST_F(ScriptingTest, SavedSettingsApplyWhenNothingIsPlayedBack) {
    host_.SetDataSlotBytes(Settings(
        false, 0.f, {{{20000, 12000, 21000}, {22000, 17000, 15000}, {-1, -1}, {-1, -1}, 0}}));
    Document deep = Filled(ColorMode::Lab, 16, 4, 4, {20000, 12000, 21000});
    ASSERT_EQ(Run(deep, std::nullopt).result, 0);
    EXPECT_NEAR(deep.At(2, 0, 0), 15000, 1);
}

TEST_F(ScriptingTest, FuzzinessIsRecordedOnTheUserScaleWithOneDecimal) {
    const std::pair<float, double> cases[] = {
        {0.44444438f, 5.0}, {0.f, 1.0}, {1.f, 10.0}, {0.5f, 5.5}};
    for (auto [f, u] : cases) {
        host_.SetDataSlotBytes(Settings(true, f, {}));
        RunReport report = Run(document_, std::nullopt);
        ASSERT_TRUE(report.recorded);
        const DescriptorItem* item = report.recorded->Find(kFzns);
        ASSERT_NE(item, nullptr);
        EXPECT_DOUBLE_EQ(std::get<double>(item->value), u) << f;
        EXPECT_EQ(std::get<bool>(report.recorded->Find(kPrsL)->value), true);
        EXPECT_EQ(report.recorded->Find(kSmpl), nullptr) << "no adjustments, no colours";
        EXPECT_EQ(report.recorded->Find(kQlnF), nullptr) << "no sample file";
    }
    ASSERT_EQ(Run(document_, Playback("", false, 5.0)).result, 0);
    EXPECT_EQ(GetFloat(host_.DataSlotBytes(), 12), 0.44444445f);
}

TEST_F(ScriptingTest, AnUnlockedAdjustmentThatDoesNotMoveIsRecordedAndReadBackLocked) {
    host_.SetDataSlotBytes(
        Settings(false, 0.f, {{{100, 200, 300}, {100, 200, 300}, {3, 4}, {-1, -1}, 0}}));
    RunReport report = Run(document_, std::nullopt);
    EXPECT_EQ(RecordedText(report, kSmpl), "Lab[100,200,300][3,4] ");
    ASSERT_EQ(Run(document_, *report.recorded).result, 0);
    EXPECT_EQ(host_.DataSlotBytes()[20 + 28], 1);
}

TEST_F(ScriptingTest, RecordedTextsRoundTripThroughPlayback) {
    const std::string colors =
        "Lab[20000,16384,16384][10,20]:Lab[22000,17000,15000][5,6] Lab[16384,16384,16384] ";
    RunReport first = Run(document_, Playback(colors));
    EXPECT_EQ(RecordedText(first, kSmpl), colors);
    Descriptor withSample = Playback(colors);
    withSample.Put({kQlnF, typeChar, "/pictures/sample \u00e9t\u00e9.psd"});
    RunReport second = Run(document_, withSample);
    EXPECT_EQ(RecordedText(second, kQlnF), "/pictures/sample \u00e9t\u00e9.psd");
}

TEST_F(ScriptingTest, MalformedOrOverlongColorsStopTheRunBeforeAnyPixel) {
    std::string tooMany;
    for (int i = 0; i < 201; ++i)
        tooMany += "Lab[" + std::to_string(100 * i) + ",16000,16000] ";
    for (const std::string& colors :
         {std::string("Lab(1,2,3)"), std::string("Lab[1,2,3] Lab[4,5"), tooMany}) {
        Document document = Filled(ColorMode::Lab, 8, 4, 4, {1, 2, 3});
        RunTrace trace;
        RunOptions options;
        options.trace = &trace;
        RunReport report = Run(document, Playback(colors), options);
        EXPECT_EQ(report.result, filterBadParameters) << colors.substr(0, 20);
        EXPECT_EQ(trace.advanceCalls, 0);
    }
}

TEST_F(ScriptingTest, StoredSettingsAreNotTrustedBeyondTheirHandle) {
    const StoredRecord r{{65535, 16384, 16384}, {65535, 16384, 16384}, {-1, -1}, {-1, -1}, 1};
    // a count of 1024 in a handle with room for one record
    host_.SetDataSlotBytes(Settings(false, 0.f, {r}, 20 + 32, 1024));
    RunReport report = Run(document_, std::nullopt);
    ASSERT_EQ(report.result, 0);
    EXPECT_EQ(RecordedText(report, kSmpl), "Lab[32768,16384,16384] ") << "components clamped";

    // a header cut short, and a non-finite fuzziness
    host_.SetDataSlotBytes(std::vector<uint8_t>(7, 0xff));
    EXPECT_EQ(Run(document_, std::nullopt).result, 0);
    host_.SetDataSlotBytes(Settings(false, std::nanf(""), {}));
    report = Run(document_, std::nullopt);
    ASSERT_TRUE(report.recorded);
    EXPECT_DOUBLE_EQ(std::get<double>(report.recorded->Find(kFzns)->value), 5.0);
}

} // namespace
