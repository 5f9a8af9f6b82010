// plug-in-quillon inside real GIMP, headless: called from Script-Fu as scripts and batch runs call
// it, and through its dialog under a virtual display, against what quillon apply and quillon edit
// make of the same pictures. One GIMP run per test: GIMP starts slowly.
#include "DialogScript.h"
#include "GimpTestSupport.h"

#include "core/documents/ImageFiles.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using namespace quillon::filterhost;
using namespace quillon::testing;
namespace fs = std::filesystem;

// The grey patch becomes a red; a colour of the gradients moves too.
constexpr const char* kColors =
    "Lab[16384,16384,16384]:Lab[16384,24000,18000] Lab[20000,12000,20000]:Lab[24000,14000,26000] ";

struct Case {
    const char* name;
    const char* input;
    const char* selection; // "", "rect" or "feather"
    const char* precision; // "float": filtered as 32-bit linear float, exported at 16 bits
    double fuzziness;
    bool luminosity;
    double amount;
};

constexpr Case kCases[] = {
    {"rgb8", "rgb8.png", "", "", 3, true, 100},
    {"rgba8", "rgba8.png", "", "", 3, true, 100},
    {"rgb16", "rgb16.png", "", "", 2, false, 100},
    {"profile", "wide8.png", "", "", 3, true, 100},
    {"float", "rgb16.png", "", "float", 2, false, 100},
    {"rect", "rgb8.png", "rect", "", 3, true, 100},
    {"feather", "rgb8.png", "feather", "", 4, false, 100},
    {"amount50", "rgb8.png", "", "", 3, true, 50},
};

// The rectangle both selections start from: x 10..29, y 6..21.
constexpr int kLeft = 10, kTop = 6, kWidth = 20, kHeight = 16;

// Script-Fu: each case loads its picture, selects, saves the selection's values, calls the filter
// non-interactively and exports; notes go to a file the test reads.
constexpr const char* kSchemeSupport = R"scheme(
(define quillon-notes (open-output-file "notes.txt"))
(define (note . items)
  (for-each (lambda (i) (display i quillon-notes)) items)
  (newline quillon-notes))
(define (quillon-load file)
  (let* ((image (car (gimp-file-load RUN-NONINTERACTIVE file file))))
    (list image (car (gimp-image-get-active-drawable image)))))
(define (quillon-select image selection)
  (cond ((equal? selection "rect")
         (gimp-image-select-rectangle image CHANNEL-OP-REPLACE 10 6 20 16))
        ((equal? selection "feather")
         (gimp-context-set-feather TRUE)
         (gimp-context-set-feather-radius 12 12)
         (gimp-image-select-rectangle image CHANNEL-OP-REPLACE 10 6 20 16)
         (gimp-context-set-feather FALSE))))
(define (quillon-save-mask image file)
  (let ((port (open-output-file file))
        (w (car (gimp-image-width image)))
        (h (car (gimp-image-height image))))
    (let rows ((y 0))
      (when (< y h)
        (let columns ((x 0))
          (when (< x w)
            (display (car (gimp-selection-value image x y)) port)
            (display " " port)
            (columns (+ x 1))))
        (rows (+ y 1))))
    (close-output-port port)))
(define (quillon-export image drawable file)
  (file-png-save2 RUN-NONINTERACTIVE image drawable file file 0 9 0 0 0 0 0 0 1))
(define (quillon-case name file colors fuzziness luminosity amount selection precision)
  (let* ((loaded (quillon-load file)) (image (car loaded)) (drawable (cadr loaded)))
    (quillon-select image selection)
    (quillon-save-mask image (string-append name "-mask.txt"))
    (when (equal? precision "float")
      (gimp-image-convert-precision image PRECISION-FLOAT-LINEAR))
    (plug-in-quillon RUN-NONINTERACTIVE image drawable colors fuzziness luminosity amount)
    (when (equal? precision "float")
      (gimp-image-convert-precision image PRECISION-U16-GAMMA))
    (quillon-export image drawable (string-append name "-gimp.png"))
    (gimp-image-delete image)
    (note "done " name)))
(define (quillon-refused name thunk)
  (note "refused " name " " (catch "yes" (thunk) "no")))
)scheme";

std::string Scheme(const Case& c) {
    std::ostringstream s;
    s << "(quillon-case \"" << c.name << "\" \"" << c.input << "\" \"" << kColors << "\" "
      << c.fuzziness << " " << (c.luminosity ? "TRUE" : "FALSE") << " " << c.amount << " \""
      << c.selection << "\" \"" << c.precision << "\")\n";
    return s.str();
}

std::string ApplyArguments(const Case& c, double amount) {
    std::ostringstream s;
    s << "apply " << c.input << " " << c.name << "-apply.png --colors '" << kColors
      << "' --fuzziness " << c.fuzziness << " --preserve-luminosity "
      << (c.luminosity ? "on" : "off") << " --amount " << amount;
    return s.str();
}

std::vector<int> ReadMask(const fs::path& file) {
    std::ifstream in(file);
    std::vector<int> mask;
    for (int v; in >> v;)
        mask.push_back(v);
    return mask;
}

double Decode(double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}
double Encode(double v) {
    return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
}

// GIMP blends a filter's result in through the selection in linear light.
int Blend(int original, int filtered, int mask) {
    const double m = mask / 255.0;
    const double linear = Decode(original / 255.0) * (1 - m) + Decode(filtered / 255.0) * m;
    return int(std::lround(Encode(linear) * 255));
}

bool InRect(int32_t x, int32_t y) {
    return x >= kLeft && x < kLeft + kWidth && y >= kTop && y < kTop + kHeight;
}

class GimpBridgeTest : public GimpTest {
  protected:
    void SetUp() override {
        GimpTest::SetUp();
        if (const std::string missing = Missing(); !missing.empty()) GTEST_SKIP() << missing;
        WriteImageFile(MakePicture(8, false), FileFormat::Png, folder_ / "rgb8.png");
        WriteImageFile(MakePicture(8, true), FileFormat::Png, folder_ / "rgba8.png");
        WriteImageFile(MakePicture(16, false), FileFormat::Png, folder_ / "rgb16.png");
        Document wide = MakePicture(8, false);
        wide.iccProfile = WideProfile();
        WriteImageFile(wide, FileFormat::Png, folder_ / "wide8.png");
    }

    // Compares GIMP's result with quillon apply's, as the case's selection lets it.
    void Check(const Case& c) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Quillon(ApplyArguments(c, c.amount)).status, 0) << c.name;
        const Samples in = ReadSamples(folder_ / c.input);
        const Samples applied = ReadSamples(folder_ / (std::string(c.name) + "-apply.png"));
        const Samples gimp = ReadSamples(folder_ / (std::string(c.name) + "-gimp.png"));
        const std::vector<int> mask = ReadMask(folder_ / (std::string(c.name) + "-mask.txt"));
        ASSERT_EQ(gimp.depth, in.depth);
        ASSERT_EQ(gimp.channels, in.channels);
        ASSERT_EQ(mask.size(), size_t(in.width) * size_t(in.height));
        int moved = 0, between = 0;
        for (int32_t y = 0; y < in.height; ++y)
            for (int32_t x = 0; x < in.width; ++x) {
                const int m = mask[size_t(y) * size_t(in.width) + size_t(x)];
                for (int ch = 0; ch < in.channels; ++ch) {
                    const int o = in.At(x, y, ch), a = applied.At(x, y, ch), g = gimp.At(x, y, ch);
                    moved += a != o;
                    if (ch == 3) {
                        ASSERT_EQ(g, o) << "alpha at " << x << "," << y;
                        continue;
                    }
                    const std::string at = std::to_string(x) + "," + std::to_string(y) +
                                           " channel " + std::to_string(ch);
                    if (c.selection == std::string("rect")) {
                        if (InRect(x, y)) {
                            ASSERT_NEAR(g, a, 1) << at;
                        } else {
                            ASSERT_EQ(g, o) << "outside the selection at " << at;
                        }
                    } else if (c.selection == std::string("feather")) {
                        if (m == 0) {
                            ASSERT_EQ(g, o) << "unselected at " << at;
                        }
                        ASSERT_NEAR(g, Blend(o, a, m), 1) << at << " mask " << m;
                        between += m > 0 && m < 255 && std::abs(a - o) > 4 && std::abs(g - o) > 1 &&
                                   std::abs(g - a) > 1;
                    } else {
                        ASSERT_NEAR(g, a, 1) << at;
                    }
                    // What the filter leaves alone comes back as stored, at every precision.
                    if (a == o && (m == 255 || c.selection == std::string())) {
                        ASSERT_EQ(g, o) << "unmoved at " << at;
                    }
                }
            }
        // The adjustment moved enough of the picture for the comparison to mean something.
        EXPECT_GT(moved, 100);
        if (c.selection == std::string("feather")) {
            EXPECT_GT(between, 20);
        }
    }
};

TEST_F(GimpBridgeTest, NonInteractiveCallsMatchQuillonApply) {
    std::string scheme = kSchemeSupport;
    scheme += "(note \"registered \" (gimp-plugins-query \"Quillon\"))\n";
    for (const Case& c : kCases)
        scheme += Scheme(c);
    // With last values: the parameters of the call before, amount included.
    scheme += "(let* ((loaded (quillon-load \"rgb8.png\")) (image (car loaded)))\n"
              "  (plug-in-quillon RUN-WITH-LAST-VALS image (cadr loaded) \"\" 1 FALSE 0)\n"
              "  (quillon-export image (cadr loaded) \"last-gimp.png\")\n"
              "  (gimp-image-delete image)\n"
              "  (note \"done last\"))\n";
    // Failures: a grey image, values out of range, a malformed Colors text, no display for the
    // dialog, a layer mask.
    scheme += "(let* ((loaded (quillon-load \"rgb8.png\")) (image (car loaded)))\n"
              "  (gimp-image-convert-grayscale image)\n"
              "  (quillon-refused \"grey\" (lambda () (plug-in-quillon RUN-NONINTERACTIVE image\n"
              "    (car (gimp-image-get-active-drawable image)) \"\" 3 TRUE 100)))\n"
              "  (gimp-image-delete image))\n"
              "(let* ((loaded (quillon-load \"rgb8.png\")) (image (car loaded)))\n"
              "  (quillon-refused \"fuzziness\" (lambda () (plug-in-quillon RUN-NONINTERACTIVE\n"
              "    image (cadr loaded) \"\" 11 TRUE 100)))\n"
              "  (quillon-refused \"colors\" (lambda () (plug-in-quillon RUN-NONINTERACTIVE\n"
              "    image (cadr loaded) \"Lab[1,2\" 3 TRUE 100)))\n"
              "  (quillon-refused \"display\" (lambda () (plug-in-quillon RUN-INTERACTIVE\n"
              "    image (cadr loaded) \"\" 3 TRUE 100)))\n"
              "  (quillon-export image (cadr loaded) \"refused-gimp.png\")\n"
              "  (gimp-image-delete image))\n"
              "(let* ((loaded (quillon-load \"rgb8.png\")) (image (car loaded))\n"
              "       (mask (car (gimp-layer-create-mask (cadr loaded) ADD-MASK-WHITE))))\n"
              "  (gimp-layer-add-mask (cadr loaded) mask)\n"
              "  (quillon-refused \"mask\" (lambda () (plug-in-quillon RUN-NONINTERACTIVE\n"
              "    image mask \"\" 3 TRUE 100)))\n"
              "  (gimp-image-delete image))\n"
              "(note \"finished\")\n"
              "(close-output-port quillon-notes)\n";
    const Finished gimp = Gimp(scheme);
    ASSERT_EQ(gimp.status, 0) << gimp.output;
    const std::string notes = Notes();
    ASSERT_NE(notes.find("finished"), std::string::npos) << notes << gimp.output;

    EXPECT_NE(notes.find("<Image>/Filters/Colors/Quillon\xE2\x80\xA6"), std::string::npos) << notes;
    EXPECT_NE(notes.find("RGB*"), std::string::npos) << notes;
    for (const Case& c : kCases)
        Check(c);
    // The same pixels in a wider space are other colours, which the filter moves otherwise:
    // the bridge handed it the image's profile.
    const Samples wide = ReadSamples(folder_ / "profile-apply.png");
    const Samples narrow = ReadSamples(folder_ / "rgb8-apply.png");
    int differ = 0;
    for (size_t i = 0; i < wide.values.size(); ++i)
        differ += std::abs(int(wide.values[i]) - int(narrow.values[i])) > 2;
    EXPECT_GT(differ, 100);
    EXPECT_EQ(ReadSamples(folder_ / "last-gimp.png").values,
              ReadSamples(folder_ / "amount50-gimp.png").values);

    for (const char* refused : {"grey", "fuzziness", "colors", "display", "mask"})
        EXPECT_NE(notes.find(std::string("refused ") + refused + " yes"), std::string::npos)
            << refused << "\n"
            << notes;
    EXPECT_NE(gimp.output.find("Quillon filters RGB images and this is a grayscale one"),
              std::string::npos)
        << gimp.output;
    EXPECT_NE(gimp.output.find("Fuzziness must lie from 1 to 10"), std::string::npos);
    EXPECT_NE(gimp.output.find("Colors: item 1 (\"Lab[1,2\")"), std::string::npos);
    EXPECT_NE(gimp.output.find("no display to show the dialog on"), std::string::npos);
    EXPECT_NE(gimp.output.find("Quillon filters layers, not masks or channels"), std::string::npos);
    EXPECT_EQ(ReadSamples(folder_ / "refused-gimp.png").values,
              ReadSamples(folder_ / "rgb8.png").values);
}

// The dialog at 600 x 300: the 48 x 32 picture sits at 100% in the middle of the left pane
// (client x 144..191, y 159..190), its grey patch left of x 160. The eyedropper picks the grey,
// Preserve Luminosity goes off, the first swatch of the built-in chart's last row, (0, 0, 128),
// becomes its target (as the edit command's tests pick it), and OK applies.
std::string DialogScript(const fs::path& screenshot) {
    const double z = 186.0 / 384.0;
    const int x = 353 + (237 - int(256 * z)) / 2 + int(8 * z);
    const int y = 80 + 2 + int(376 * z);
    std::string script = std::string(kSmall) + "click 150 175\nwait 20\n" + kClickLuminosity +
                         "click " + std::to_string(x) + " " + std::to_string(y) + "\nwait 50\n";
    if (!screenshot.empty()) script += "screenshot " + screenshot.string() + "\n";
    return script + kClickOK;
}

TEST_F(GimpBridgeTest, TheDialogInsideGimpChangesTheImageAsQuillonEditDoes) {
    if (std::system("command -v xvfb-run > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "xvfb-run is not installed (the xvfb package; scripts/install-deps.sh "
                        "installs it)";
    const fs::path screenshot = folder_ / "dialog.png";
    std::ofstream(folder_ / "gimp-script.txt") << DialogScript(screenshot);
    std::ofstream(folder_ / "edit-script.txt") << DialogScript({});
    // The dialog; the same parameters with the last values; the dialog again, starting from
    // them, confirmed at once; and the dialog cancelled. Script-Fu rewrites the script between
    // the calls.
    auto callDialog = [](const std::string& out) {
        return "(let* ((loaded (quillon-load \"rgb8.png\")) (image (car loaded)))\n"
               "  (note \"" +
               out +
               " \" (catch \"refused\" (plug-in-quillon RUN-INTERACTIVE\n"
               "    image (cadr loaded) \"\" 1 TRUE 100) \"applied\"))\n"
               "  (quillon-export image (cadr loaded) \"" +
               out +
               "-gimp.png\")\n"
               "  (gimp-image-delete image))\n";
    };
    auto rewrite = [this](const char* script) {
        return "(let ((port (open-output-file \"" + (folder_ / "gimp-script.txt").string() +
               "\")))\n  (display \"" + script + "\" port)\n  (close-output-port port))\n";
    };
    const std::string scheme =
        std::string(kSchemeSupport) + callDialog("dialog") +
        "(let* ((loaded (quillon-load \"rgb8.png\")) (image (car loaded)))\n"
        "  (plug-in-quillon RUN-WITH-LAST-VALS image (cadr loaded) \"\" 1 TRUE 100)\n"
        "  (quillon-export image (cadr loaded) \"last-gimp.png\")\n"
        "  (gimp-image-delete image))\n" +
        rewrite("resize 600 300\\nwait 50\\nclick 540 22\\n") + callDialog("again") +
        rewrite("resize 600 300\\nwait 50\\nclick 540 52\\n") + callDialog("cancel") +
        "(note \"finished\")\n"
        "(close-output-port quillon-notes)\n";
    const Finished gimp =
        Gimp(scheme, "QUILLON_GIMP_SCRIPT='" + (folder_ / "gimp-script.txt").string() + "'",
             "xvfb-run -a -s '-screen 0 1280x800x24'");
    ASSERT_EQ(gimp.status, 0) << gimp.output;
    ASSERT_NE(Notes().find("finished"), std::string::npos) << Notes() << gimp.output;
    EXPECT_TRUE(fs::is_regular_file(screenshot)) << gimp.output;

    const Finished edit = Quillon("edit rgb8.png edit.png --script edit-script.txt");
    ASSERT_EQ(edit.status, 0) << edit.output;
    const Samples in = ReadSamples(folder_ / "rgb8.png");
    const Samples edited = ReadSamples(folder_ / "edit.png");
    const Samples dialog = ReadSamples(folder_ / "dialog-gimp.png");
    ASSERT_EQ(dialog.values.size(), edited.values.size());
    int moved = 0;
    for (size_t i = 0; i < edited.values.size(); ++i) {
        ASSERT_NEAR(dialog.values[i], edited.values[i], 1) << "sample " << i;
        moved += edited.values[i] != in.values[i];
    }
    // The grey patch (16 x 32 pixels) turned towards the swatch's dark blue.
    EXPECT_GT(moved, 16 * 32);
    EXPECT_GT(edited.At(5, 5, 2), edited.At(5, 5, 0) + 20);
    const std::string notes = Notes();
    EXPECT_NE(notes.find("dialog applied"), std::string::npos) << notes;
    EXPECT_NE(notes.find("again applied"), std::string::npos) << notes;
    EXPECT_EQ(ReadSamples(folder_ / "last-gimp.png").values, dialog.values);
    EXPECT_EQ(ReadSamples(folder_ / "again-gimp.png").values, dialog.values);
    // Script-Fu takes a cancelled call as done; the image tells.
    EXPECT_EQ(ReadSamples(folder_ / "cancel-gimp.png").values, in.values);
}

TEST_F(GimpBridgeTest, AModuleThatFailsToLoadIsAMessageNamingIt) {
    std::ofstream(folder_ / "gimp2" / "plug-ins" / "quillon-gimp" / "Quillon.8bf", std::ios::trunc)
        << "not a module";
    const Finished gimp =
        Gimp(std::string(kSchemeSupport) +
             "(let* ((loaded (quillon-load \"rgb8.png\")) (image (car loaded)))\n"
             "  (quillon-refused \"module\" (lambda () (plug-in-quillon RUN-NONINTERACTIVE\n"
             "    image (cadr loaded) \"\" 3 TRUE 100))))\n"
             "(close-output-port quillon-notes)\n");
    ASSERT_EQ(gimp.status, 0) << gimp.output;
    EXPECT_NE(Notes().find("refused module yes"), std::string::npos) << Notes() << gimp.output;
    EXPECT_NE(gimp.output.find("no filter module named \"Quillon...\""), std::string::npos)
        << gimp.output;
    EXPECT_NE(gimp.output.find("Quillon.8bf"), std::string::npos) << gimp.output;
}

} // namespace
