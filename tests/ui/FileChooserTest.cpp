#include "AdmTestSupport.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <functional>

namespace quillon::test {
namespace {

constexpr char kFilters[] = "Image Files (*.psd, *.jpg, *.gif, *.tif)\0*.psd;*.jpg;*.gif;*.tif\0"
                            "All Files\0*.*\0";

class FileChooserTest : public AdmTest {
  protected:
    void SetUp() override {
        AdmTest::SetUp();
        const void* suite = nullptr;
        ASSERT_EQ(registry_.Basic()->AcquireSuite(kADMBasicSuite, kADMBasicSuiteVersion9, &suite),
                  0);
        basic9_ = static_cast<const ADMBasicSuite9*>(suite);
        folder_ = std::filesystem::temp_directory_path() /
                  ("quillon-chooser-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder_);
        picture_ = folder_ / "sample.tif";
        std::ofstream(picture_) << "not really a picture";
    }
    void TearDown() override {
        registry_.Basic()->ReleaseSuite(kADMBasicSuite, kADMBasicSuiteVersion9);
        std::filesystem::remove_all(folder_);
        AdmTest::TearDown();
    }

    // Runs GetFile while `answer` works the file dialog once it is up.
    bool Choose(std::function<void(QFileDialog&)> answer, char* path, int32_t size) {
        QTimer::singleShot(0, [answer] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            answer(*dialog);
        });
        return basic9_->GetFile(nullptr, "Open Sample", kFilters, path, size);
    }

    static void TypeAndEnter(QFileDialog& dialog, const std::string& text) {
        // Typed where a person's keys would go: the widget with the keyboard focus.
        QWidget* focus = dialog.focusWidget();
        EXPECT_NE(qobject_cast<QLineEdit*>(focus), nullptr)
            << (focus ? focus->metaObject()->className() : "no focus");
        if (focus) {
            // A key at a time with the event loop running in between, as a person types: the
            // dialog follows the folders of a typed path as they appear.
            QTest::keyClicks(focus, QString::fromStdString(text), Qt::NoModifier, 5);
            // A name that does not exist brings up the dialog's own warning; close it as the user
            // would.
            QTimer::singleShot(200, [&dialog] {
                auto* warning = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                if (warning && warning != &dialog) warning->reject();
            });
            QTest::keyClick(focus, Qt::Key_Return);
        }
        if (dialog.isVisible()) dialog.reject();
    }

    const ADMBasicSuite9* basic9_ = nullptr;
    std::filesystem::path folder_;
    std::filesystem::path picture_;
};

TEST_F(FileChooserTest, TypedPathOfAnExistingFileIsChosen) {
    char path[1024] = "stale";
    QStringList shownFilters;
    EXPECT_TRUE(Choose(
        [&](QFileDialog& d) {
            shownFilters = d.nameFilters();
            EXPECT_EQ(d.windowTitle(), "Open Sample");
            EXPECT_EQ(d.fileMode(), QFileDialog::ExistingFile);
            TypeAndEnter(d, picture_.string());
        },
        path, sizeof path));
    EXPECT_EQ(std::string(path), picture_.string());
    EXPECT_EQ(shownFilters,
              QStringList({"Image Files (*.psd *.jpg *.gif *.tif)", "All Files (*)"}));
}

TEST_F(FileChooserTest, CancelMissingFileOrTooSmallBufferChooseNothing) {
    struct Case {
        const char* name;
        std::function<void(QFileDialog&)> answer;
        int32_t size;
    };
    const Case cases[] = {
        {"escape", [](QFileDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }, 1024},
        {"missing file",
         [this](QFileDialog& d) { TypeAndEnter(d, (folder_ / "missing.tif").string()); }, 1024},
        {"path longer than the buffer",
         [this](QFileDialog& d) { TypeAndEnter(d, picture_.string()); },
         int32_t(picture_.string().size())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char path[1024] = "stale";
        EXPECT_FALSE(Choose(c.answer, path, c.size));
        EXPECT_STREQ(path, "");
    }
}

} // namespace
} // namespace quillon::test
