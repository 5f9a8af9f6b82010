#include "AdmTestSupport.h"

#include "ui/Script.h"

namespace quillon::test {

Suites gSuites{};

namespace {

template <typename T> const T* Acquire(SPBasicSuite* basic, const char* name, int32 version) {
    const void* suite = nullptr;
    EXPECT_EQ(basic->AcquireSuite(name, version, &suite), 0) << name;
    return static_cast<const T*>(suite);
}

} // namespace

std::vector<uint8_t> SolidBitmap(uint16_t width, uint16_t height, uint8_t bitsPerPixel,
                                 const std::vector<uint8_t>& pixel) {
    std::vector<uint8_t> bytes = {'Q',
                                  'B',
                                  'M',
                                  'P',
                                  uint8_t(width),
                                  uint8_t(width >> 8),
                                  uint8_t(height),
                                  uint8_t(height >> 8),
                                  bitsPerPixel,
                                  0};
    for (int i = 0; i < width * height; ++i)
        bytes.insert(bytes.end(), pixel.begin(), pixel.end());
    return bytes;
}

void AdmTest::SetUp() {
    manager_ = &ui::DialogManager::Open(
        session_,
        [this](uint32_t type, int32_t id) -> std::span<const uint8_t> {
            const auto it = resources_.find({type, id});
            if (it == resources_.end()) return {};
            return it->second;
        },
        [this](const std::string& message) { errors_.push_back(message); });
    SPBasicSuite* b = session_.Suites().Basic();
    gSuites = {Acquire<ADMBasicSuite8>(b, kADMBasicSuite, kADMBasicSuiteVersion8),
               Acquire<ADMDialogSuite4>(b, kADMDialogSuite, kADMDialogSuiteVersion4),
               Acquire<ADMItemSuite3>(b, kADMItemSuite, kADMItemSuiteVersion3),
               Acquire<ADMDrawerSuite3>(b, kADMDrawerSuite, kADMDrawerSuiteVersion3),
               Acquire<ADMImageSuite2>(b, kADMImageSuite, kADMImageSuiteVersion2),
               Acquire<ADMIconSuite1>(b, kADMIconSuite, kADMIconSuiteVersion1),
               Acquire<ADMNotifierSuite1>(b, kADMNotifierSuite, kADMNotifierSuiteVersion1),
               Acquire<ADMTrackerSuite1>(b, kADMTrackerSuite, kADMTrackerSuiteVersion1),
               Acquire<ADMEntrySuite2>(b, kADMEntrySuite, kADMEntrySuiteVersion2),
               Acquire<ADMListSuite1>(b, kADMListSuite, kADMListSuiteVersion1),
               Acquire<PSUIHooksSuite1>(b, kPSUIHooksSuite, kPSUIHooksSuiteVersion3)};
}

void AdmTest::TearDown() {
    gSuites = {};
    session_.DetachDialogs();
    manager_ = nullptr;
}

void AdmTest::SetTemplate(uint16_t width, uint16_t height,
                          const std::vector<resources::TemplateItem>& items) {
    AddResource(kPIDialogType, kTestDialog,
                resources::BuildDialogTemplate(width, height, "Test", items));
}

ADMInt32 AdmTest::Run(ADMDialogInitProc init, const std::string& script) {
    ui::ScriptRunner runner(ui::ParseScript(script));
    const ADMInt32 result =
        gSuites.dialog->Modal(nullptr, "Test", kTestDialog, 0, init, nullptr, 0);
    scriptFailure_ = runner.Failure();
    return result;
}

} // namespace quillon::test
