// The plug-in's main dialog opened twice by one loading of the real module, as a host does when
// the user runs the filter again: what the dialog keeps from one opening to the next.
#include "core/session/FilterSession.h"
#include "ui/AdmDrawer.h"
#include "ui/DialogManager.h"
#include "ui/ScriptRunner.h"

#include <QImage>

#include <gtest/gtest.h>

#include <unistd.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <string_view>

namespace quillon::test {
namespace {

using namespace quillon::filterhost;
namespace fs = std::filesystem;

class MainDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("quillon-main-dialog-" + std::to_string(getpid()));
        fs::create_directories(folder_);
    }
    void TearDown() override {
        session_.DetachDialogs();
        fs::remove_all(folder_);
    }

    // Opens the dialog on a small picture and replays the script; the dialog's result.
    int16_t Open(const std::string& script) {
        Document document = MakeDocument(ColorMode::RGB, 8, 40, 30);
        ui::ScriptRunner runner(ui::ParseScript(script));
        RunOptions options;
        options.showDialog = true;
        const int16_t result = session_.Run(*module_, document, options).result;
        EXPECT_EQ(runner.Failure(), "");
        return result;
    }

    std::string File(const std::string& name) const { return (folder_ / name).string(); }

    // Which tool buttons are pressed in a screenshot: a pressed one is filled with the button
    // face, the others with the dialog's own colour. The first column inside each button's frame
    // lies left of its icon.
    std::vector<bool> Pressed(const std::string& shot) const {
        const QImage image(QString::fromStdString(File(shot)));
        std::vector<bool> pressed;
        for (int k = 0; k < 3; ++k)
            pressed.push_back(image.pixelColor(12, 90 + 24 * k) ==
                              ui::StandardColor(kADMButtonFaceColor));
        return pressed;
    }

    fs::path folder_;
    // The session outlives the module; the dialog manager lives while the module is loaded.
    FilterSession session_;
    std::unique_ptr<PluginModule> module_ =
        std::make_unique<PluginModule>(std::string(QUILLON_MODULE_DIR) + "/Quillon.8bf");
    ui::DialogManager& dialogs_ = ui::DialogManager::Open(
        session_, [this](uint32_t type, int32_t id) { return module_->Resource(type, id); });
};

TEST_F(MainDialogTest, OneToolButtonIsPressedAndTheToolOutlivesTheDialog) {
    const std::string first =
        "resize 600 300\nwait 50\nscreenshot " + File("start.png") + "\nclick 22 114\nscreenshot " +
        File("hand.png") + "\nclick 22 114\nscreenshot " + File("again.png") + "\nclick 540 52\n";
    EXPECT_EQ(Open(first), userCanceledErr);
    EXPECT_EQ(Pressed("start.png"), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(Pressed("hand.png"), (std::vector<bool>{false, true, false}));
    // A click on the pressed button changes nothing.
    EXPECT_EQ(Pressed("again.png"), (std::vector<bool>{false, true, false}));

    // The next opening starts with the hand, and the panes have it.
    const std::string second = "resize 600 300\nwait 50\nscreenshot " + File("next.png") +
                               "\nmove 150 170\nwait 60\nstate " + File("next.json") +
                               "\nclick 22 138\nscreenshot " + File("zoom.png") +
                               "\nclick 540 22\n";
    EXPECT_EQ(Open(second), 0);
    EXPECT_EQ(Pressed("next.png"), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(Pressed("zoom.png"), (std::vector<bool>{false, false, true}));
    std::ifstream in(File("next.json"));
    const nlohmann::json state = nlohmann::json::parse(in);
    std::string cursor;
    for (const auto& item : state["items"])
        if (item["type"] == kADMFrameType && item["bounds"][0] == 50) cursor = item["cursor"];
    EXPECT_EQ(cursor, "Photoshop Cursor Hand");
}

// Edits of one opening are not undone in the next: the table there is filled anew from the
// saved settings, and an undo of the first opening's click would remove the adjustment it
// brought back.
TEST_F(MainDialogTest, UndoDoesNotReachIntoAnEarlierOpening) {
    auto sliderEnabled = [this](const std::string& file) {
        std::ifstream in(File(file));
        const nlohmann::json state = nlohmann::json::parse(in);
        for (const auto& item : state["items"])
            if (item["type"] == kADMSliderType) return item["enabled"].get<bool>();
        ADD_FAILURE() << "no slider in " << file;
        return false;
    };
    // The 40 x 30 document sits in the middle of the left pane.
    EXPECT_EQ(Open("resize 600 300\nwait 50\nclick 168 175\nwait 20\nstate " + File("one.json") +
                   "\nclick 540 22\n"),
              0);
    ASSERT_TRUE(sliderEnabled("one.json"));
    EXPECT_EQ(Open("resize 600 300\nwait 50\nkey z ctrl\nwait 20\nstate " + File("two.json") +
                   "\nclick 540 52\n"),
              userCanceledErr);
    EXPECT_TRUE(sliderEnabled("two.json"));
}

// The dialog suite of the host, but the n-th frame it is asked for cannot be made.
const ADMDialogSuite4* gRealDialogSuite = nullptr;
int gFramesMade = 0;
int gFailingFrame = 0;

ADMItemRef CreateItemFailingAFrame(ADMDialogRef dialog, ADMInt32 id, const char* type,
                                   const ADMRect* bounds, ADMItemInitProc init,
                                   ADMUserData data) noexcept {
    if (std::string_view(type) == kADMFrameType && ++gFramesMade == gFailingFrame) return nullptr;
    return gRealDialogSuite->CreateItem(dialog, id, type, bounds, init, data);
}

TEST_F(MainDialogTest, AFrameThatCannotBeMadeIsToldAndEndsTheDialog) {
    const void* suite = nullptr;
    ASSERT_EQ(
        session_.Suites().Basic()->AcquireSuite(kADMDialogSuite, kADMDialogSuiteVersion4, &suite),
        0);
    gRealDialogSuite = static_cast<const ADMDialogSuite4*>(suite);
    ADMDialogSuite4 failing = *gRealDialogSuite;
    failing.CreateItem = &CreateItemFailingAFrame;
    session_.Suites().Offer(kADMDialogSuite, kADMDialogSuiteVersion4, &failing);

    struct Case {
        int frame;
        const char* message;
    };
    for (const Case& c :
         {Case{1, "Could not create source frame"}, Case{2, "Could not create target frame"}}) {
        gFramesMade = 0;
        gFailingFrame = c.frame;
        const std::string script = "state " + File("message.json") + "\n";
        EXPECT_EQ(Open(script), filterBadParameters) << c.message;
        std::ifstream in(File("message.json"));
        const nlohmann::json state = nlohmann::json::parse(in);
        EXPECT_EQ(state["title"], "Error");
        EXPECT_EQ(state["text"], c.message);
    }
    session_.Suites().Offer(kADMDialogSuite, kADMDialogSuiteVersion4, gRealDialogSuite);
    session_.Suites().Basic()->ReleaseSuite(kADMDialogSuite, kADMDialogSuiteVersion4);
}

} // namespace
} // namespace quillon::test
