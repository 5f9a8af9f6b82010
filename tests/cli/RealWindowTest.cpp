// quillon edit in a real X server with a window manager, as on a desktop: the window and the
// frame the manager puts around it fit the screen, and the mouse wheel zooms a picture.
#include "DialogScript.h"
#include "QuillonRun.h"
#include "XServer.h"

#include "core/documents/ImageFiles.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <memory>

namespace {

using namespace quillon::filterhost;
using namespace quillon::testing;
using nlohmann::json;

class RealWindowTest : public QuillonTest {
  protected:
    static void SetUpTestSuite() { server_ = std::make_unique<XServer>(1366, 768); }
    static void TearDownTestSuite() { server_.reset(); }

    void SetUp() override {
        if (!server_->Missing().empty()) GTEST_SKIP() << "no X server: " << server_->Missing();
        QuillonTest::SetUp();
        Document d = MakeDocument(ColorMode::RGB, 8, 64, 48);
        for (int32_t y = 0; y < d.height; ++y)
            for (int32_t x = 0; x < d.width; ++x)
                for (int c = 0; c < 3; ++c)
                    d.At(c, x, y) = uint16_t((x * 4 + y * 3 + c * 80) % 256);
        WriteImageFile(d, FileFormat::Png, folder_ / "in.png");
        ::setenv("DISPLAY", server_->Display().c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
    void TearDown() override {
        ::unsetenv("DISPLAY");
        ::unsetenv("QT_QPA_PLATFORM");
        QuillonTest::TearDown();
    }

    Outcome Show(const std::string& script, const std::string& alongside = "") {
        std::ofstream(folder_ / "script.txt") << script;
        return Quillon("edit in.png out.png --show --script script.txt", alongside);
    }
    json State(const std::string& file) {
        std::ifstream in(folder_ / file);
        return json::parse(in);
    }

    static std::unique_ptr<XServer> server_;
};

std::unique_ptr<XServer> RealWindowTest::server_;

TEST_F(RealWindowTest, TheFrameLiesInsideTheScreen) {
    // Long enough for the window manager to frame the window and tell its size, also on a
    // machine busy with other tests.
    const Outcome outcome = Show("wait 4000\nstate s.json\n");
    ASSERT_EQ(outcome.status, 1) << outcome.error;
    const json state = State("s.json");
    ASSERT_TRUE(state.contains("frame")) << state.dump();
    const std::vector<int> frame = state["frame"], screen = state["screen"];
    EXPECT_EQ(screen, (std::vector<int>{0, 0, 1366, 768}));
    // Framed: a title bar above the client area.
    EXPECT_GT(frame[3] - frame[1], state["height"].get<int>());
    EXPECT_GE(frame[0], screen[0]);
    EXPECT_GE(frame[1], screen[1]);
    EXPECT_LE(frame[2], screen[2]);
    EXPECT_LE(frame[3], screen[3]);
    // And still filling most of the screen.
    EXPECT_GT(state["height"].get<int>(), 600);
}

TEST_F(RealWindowTest, TheWheelZoomsThePictureUnderTheMouse) {
    if (std::system("command -v xdotool > /dev/null") != 0)
        GTEST_SKIP() << "xdotool is not installed";
    // The X server's own wheel button, turned once away from the user over the left picture
    // while the script waits.
    const Outcome outcome =
        Show(std::string(kSmall) + "wait 300\nstate before.json\nwait 2500\nstate after.json\n",
             "sleep 1.5; xdotool search --sync --onlyvisible --name 'Quillon' "
             "mousemove --window %1 160 175 sleep 0.3 click 4;");
    ASSERT_EQ(outcome.status, 1) << outcome.error;
    EXPECT_EQ(Nth(State("before.json"), kTextStatic, 1)["text"], "100.00%");
    EXPECT_EQ(Nth(State("after.json"), kTextStatic, 1)["text"], "200.00%");
}

} // namespace
