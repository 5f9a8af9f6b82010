// quillon edit on the pictures that picking is tried on: a document of a red and a green half,
// and a blue sample to open beside it.
#pragma once

#include "QuillonRun.h"

#include "core/documents/ImageFiles.h"

#include <fstream>
#include <string>

namespace quillon::testing {

class PickingPicturesTest : public QuillonTest {
  protected:
    // in.png: 64 x 48, red left of x 32 and green from there; blue.png: 32 x 32 of pure blue.
    void SetUp() override {
        using namespace quillon::filterhost;
        QuillonTest::SetUp();
        Document d = MakeDocument(ColorMode::RGB, 8, 64, 48);
        for (int32_t y = 0; y < d.height; ++y)
            for (int32_t x = 0; x < d.width; ++x) {
                d.At(0, x, y) = x < 32 ? 255 : 0;
                d.At(1, x, y) = x < 32 ? 0 : 255;
                d.At(2, x, y) = 0;
            }
        WriteImageFile(d, FileFormat::Png, folder_ / "in.png");
        Document blue = MakeDocument(ColorMode::RGB, 8, 32, 32);
        for (int32_t y = 0; y < 32; ++y)
            for (int32_t x = 0; x < 32; ++x)
                blue.At(2, x, y) = 255;
        WriteImageFile(blue, FileFormat::Png, folder_ / "blue.png");
    }

    Outcome Edit(const std::string& script, const std::string& arguments = "") {
        std::ofstream(folder_ / "script.txt") << script;
        return Quillon("edit in.png out.png --script script.txt " + arguments);
    }

    // Open Sample at 600 x 300; the file dialog opens in the working folder, the test's own.
    static std::string OpenSample(const std::string& file) {
        return "click 430 50\nwait 50\ntype " + file + "\nkey enter\nwait 50\n";
    }
};

} // namespace quillon::testing
