// fit and --protect end to end: looks made here, learnt by quillon fit, replayed by quillon
// apply, and measured here in CIEDE2000 (LittleCMS) over the 8-bit pixels.
#include "Scenery.h"
#include "core/documents/ImageFiles.h"

#include "DialogScript.h"
#include "QuillonRun.h"

#include <lcms2.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

namespace {

using namespace quillon::filterhost;
using quillon::testing::Outcome;
using LooksCommandTest = quillon::testing::QuillonTest;
namespace fs = std::filesystem;

constexpr int32_t kWidth = 360, kHeight = 240;

// sRGB 8-bit <-> CIE Lab D50, independent of the host's colour services.
class Srgb {
  public:
    Srgb() {
        cmsHPROFILE srgb = cmsCreate_sRGBProfile(), lab = cmsCreateLab4Profile(nullptr);
        toLab_ = cmsCreateTransform(srgb, TYPE_RGB_8, lab, TYPE_Lab_DBL, INTENT_PERCEPTUAL, 0);
        fromLab_ = cmsCreateTransform(lab, TYPE_Lab_DBL, srgb, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
        cmsCloseProfile(srgb);
        cmsCloseProfile(lab);
    }
    ~Srgb() {
        cmsDeleteTransform(toLab_);
        cmsDeleteTransform(fromLab_);
    }
    cmsCIELab Lab(const Document& d, size_t i) const {
        const uint8_t rgb[3] = {uint8_t(d.planes[0][i]), uint8_t(d.planes[1][i]),
                                uint8_t(d.planes[2][i])};
        cmsCIELab lab;
        cmsDoTransform(toLab_, rgb, &lab, 1);
        return lab;
    }
    void Put(Document& d, size_t i, const cmsCIELab& lab) const {
        uint8_t rgb[3];
        cmsDoTransform(fromLab_, &lab, rgb, 1);
        for (size_t k = 0; k < 3; ++k)
            d.planes[k][i] = rgb[k];
    }

  private:
    cmsHTRANSFORM toLab_, fromLab_;
};

struct Stats {
    double mean = 0, p90 = 0;
};

Stats Compare(const Document& x, const Document& y) {
    const Srgb srgb;
    std::vector<double> d;
    for (size_t i = 0; i < x.planes[0].size(); ++i) {
        const cmsCIELab p = srgb.Lab(x, i), q = srgb.Lab(y, i);
        d.push_back(cmsCIE2000DeltaE(&p, &q, 1, 1, 1));
    }
    Stats s;
    for (double v : d)
        s.mean += v / double(d.size());
    std::sort(d.begin(), d.end());
    s.p90 = d[d.size() * 9 / 10];
    return s;
}

// A look computed here, pixel by pixel in Lab.
Document Computed(const Document& before, const std::function<cmsCIELab(cmsCIELab)>& look) {
    const Srgb srgb;
    Document after = before;
    for (size_t i = 0; i < before.planes[0].size(); ++i)
        srgb.Put(after, i, look(srgb.Lab(before, i)));
    return after;
}

cmsCIELab HueRotation(cmsCIELab c) {
    const double turn = 30 * M_PI / 180;
    return {c.L, c.a * std::cos(turn) - c.b * std::sin(turn),
            c.a * std::sin(turn) + c.b * std::cos(turn)};
}

// Warmer (towards yellow-red) with the shadows lifted.
cmsCIELab WarmLifted(cmsCIELab c) {
    return {8 + c.L * 0.92, c.a + 3, c.b + 9};
}

// A grading look of twelve hidden pairs across the colours of photographs: teal shadows, warm
// highlights, olive greens, a deeper sky; made by quillon apply with lightness free to move.
const char* kHiddenLook =
    "--map 'lab(20,0,0):lab(20,-4,-6)' --map 'lab(85,0,5):lab(86,3,10)' "
    "--map 'lab(50,-30,40):lab(50,-22,46)' --map 'lab(55,-5,-35):lab(52,-8,-42)' "
    "--map 'lab(65,15,20):lab(66,19,24)' --map 'lab(40,40,30):lab(40,44,26)' "
    "--map 'lab(70,-10,60):lab(72,-4,62)' --map 'lab(35,-20,10):lab(33,-24,6)' "
    "--map 'lab(60,0,0):lab(60,1,3)' --map 'lab(45,10,-30):lab(45,16,-32)' "
    "--map 'lab(75,-15,-15):lab(76,-18,-12)' --map 'lab(30,15,15):lab(30,18,12)' "
    "--preserve-luminosity off";

// A steep look: twelve picks at nearby pixels of the meadow, each sent to a far colour of its
// own, at the default settings. Between picks so close the look turns sharply, and the filter's
// 8-bit pass already strays from its 16-bit one there; no set of 64 pairs follows it as closely
// as the gentler looks.
std::string SteepLook() {
    const char* targets[] = {"b03020", "2060c0", "e0c040", "30a0a0", "a040a0", "f08020",
                             "4080f0", "c0e060", "602090", "20c060", "f06080", "8040f0"};
    std::string look;
    for (int k = 0; k < 12; ++k)
        look += " --map '@" + std::to_string(60 + 15 * (k % 4)) + "," +
                std::to_string(140 + 10 * (k / 4)) + ":#" + targets[k] + "'";
    return look;
}

TEST_F(LooksCommandTest, FitRecoversKnownLooksBetterThanTheNaiveFit) {
    const Document before = quillon::tools::MakeScenery(kWidth, kHeight);
    WriteImageFile(before, FileFormat::Png, folder_ / "before.png");
    auto applied = [&](const std::string& look) {
        EXPECT_EQ(Quillon("apply before.png after.png " + look).status, 0);
        return ReadImageFile(folder_ / "after.png").document;
    };
    // Bounds on the fit's result (mean and 90th percentile over the pixels), and on its mean as a
    // share of the naive fit's (k-means into 64 clusters, mean targets, fuzziness 10), measured
    // alike by fit's report.
    struct Case {
        const char* name;
        std::function<Document()> after;
        double mean, p90, shareOfNaive;
    };
    const Case cases[] = {
        {"hidden pairs", [&] { return applied(kHiddenLook); }, 1.0, 2.0, 0.85},
        {"hue rotation", [&] { return Computed(before, HueRotation); }, 1.0, 2.0, 0.5},
        {"warm, lifted shadows", [&] { return Computed(before, WarmLifted); }, 1.0, 2.0, 0.9},
        {"steep picks", [&] { return applied(SteepLook()); }, 1.75, 2.5, 0.6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Document after = c.after();
        WriteImageFile(after, FileFormat::Png, folder_ / "after.png");
        fs::remove(folder_ / "fit.json");
        const Outcome fit =
            Quillon("fit before.png after.png --record fit.json --report report.json");
        ASSERT_EQ(fit.status, 0) << fit.error;
        ASSERT_EQ(Quillon("apply before.png result.png --action fit.json").status, 0);
        const Stats got = Compare(ReadImageFile(folder_ / "result.png").document, after);
        std::ifstream in(folder_ / "report.json");
        const nlohmann::json report = nlohmann::json::parse(in);
        const nlohmann::json &fitted = report["deltaE00"], &naive = report["naive"];
        std::cout << c.name << ": fit mean " << got.mean << " p90 " << got.p90 << " (reported "
                  << fitted["mean"] << " / " << fitted["p90"] << "); naive fit mean "
                  << naive["mean"] << " p90 " << naive["p90"] << "\n";
        EXPECT_LE(got.mean, c.mean);
        EXPECT_LE(got.p90, c.p90);
        EXPECT_LE(report["pairs"].get<int>(), 64);
        EXPECT_LE(fitted["mean"].get<double>(), c.shareOfNaive * naive["mean"].get<double>());
        EXPECT_LE(fitted["p90"].get<double>(), naive["p90"].get<double>());
    }
}

TEST_F(LooksCommandTest, FitLutRecoversTheExportedCube) {
    const Document before = quillon::tools::MakeScenery(kWidth, kHeight);
    WriteImageFile(before, FileFormat::Png, folder_ / "before.png");
    ASSERT_EQ(Quillon(std::string("apply before.png after.png ") + kHiddenLook).status, 0);
    ASSERT_EQ(Quillon(std::string("lut look.cube ") + kHiddenLook).status, 0);
    // On the picture's colours, and on the cube's own lattice when no picture is named.
    for (const std::string on : {" --on before.png", ""}) {
        SCOPED_TRACE(on);
        const Outcome fit = Quillon("fit --lut look.cube --record fit.json" + on);
        ASSERT_EQ(fit.status, 0) << fit.error;
        ASSERT_EQ(Quillon("apply before.png result.png --action fit.json").status, 0);
        const Stats got = Compare(ReadImageFile(folder_ / "result.png").document,
                                  ReadImageFile(folder_ / "after.png").document);
        std::cout << "fit --lut" << on << ": mean " << got.mean << " p90 " << got.p90 << "\n";
        EXPECT_LE(got.mean, 1.0);
    }
}

TEST_F(LooksCommandTest, ProtectKeepsFarColoursAndThePick) {
    const Document in = quillon::tools::MakeScenery(kWidth, kHeight);
    WriteImageFile(in, FileFormat::Png, folder_ / "in.png");
    // One pick in the dark meadow turned a teal of its lightness, at the default settings
    // (fuzziness 5, luminosity preserved), where one pick reaches every colour of the picture.
    const int32_t x = 75, y = 150;
    const std::string pick = "--map '@75,150:#184a48'";
    ASSERT_EQ(Quillon("apply in.png plain.png " + pick).status, 0);
    const Outcome protect = Quillon("apply in.png kept.png --protect " + pick);
    ASSERT_EQ(protect.status, 0) << protect.error;

    const Srgb srgb;
    const size_t at = size_t(y) * kWidth + x;
    const cmsCIELab picked = srgb.Lab(in, at);
    Document teal = MakeDocument(ColorMode::RGB, 8, 1, 1);
    teal.planes[0][0] = 0x18, teal.planes[1][0] = 0x4a, teal.planes[2][0] = 0x48;
    // With luminosity preserved the target is the teal's chroma at the pick's lightness.
    const cmsCIELab target{picked.L, srgb.Lab(teal, 0).a, srgb.Lab(teal, 0).b};
    auto farChange = [&](const Document& out) {
        double sum = 0;
        size_t n = 0;
        for (size_t i = 0; i < in.planes[0].size(); ++i) {
            const cmsCIELab c = srgb.Lab(in, i);
            if (cmsCIE2000DeltaE(&c, &picked, 1, 1, 1) <= 30) continue;
            const cmsCIELab o = srgb.Lab(out, i);
            sum += cmsCIE2000DeltaE(&c, &o, 1, 1, 1);
            ++n;
        }
        EXPECT_GT(n, in.planes[0].size() / 4) << "most of the picture lies far from the pick";
        return sum / double(n);
    };
    const Document plain = ReadImageFile(folder_ / "plain.png").document;
    const Document kept = ReadImageFile(folder_ / "kept.png").document;
    const double without = farChange(plain), with = farChange(kept);
    const cmsCIELab landed = srgb.Lab(kept, at);
    const double miss = cmsCIE2000DeltaE(&landed, &target, 1, 1, 1);
    std::cout << "far colours change " << without << " without --protect, " << with
              << " with it; the pick lands " << miss << " from its target\n";
    EXPECT_GT(without, 3) << "the case must be one where the pick moves far colours";
    EXPECT_LE(with, 1.0);
    EXPECT_LE(miss, 2.0);
}

// The locks --protect adds travel as ordinary locked pairs: into the dialog of edit, into the
// recorded action, and into a baked table, whose lattice colours far from the pick then stay.
TEST_F(LooksCommandTest, ProtectWithEditAndLut) {
    WriteImageFile(quillon::tools::MakeScenery(kWidth, kHeight), FileFormat::Png,
                   folder_ / "in.png");
    std::ofstream(folder_ / "ok.txt") << quillon::testing::kSmall << quillon::testing::kClickOK;
    const Outcome edit =
        Quillon("edit in.png out.png --script ok.txt --record edited.json --protect 20 --map "
                "'@75,150:#184a48'");
    ASSERT_EQ(edit.status, 0) << edit.error;
    std::ifstream in(folder_ / "edited.json");
    const nlohmann::json action = nlohmann::json::parse(in);
    std::string colors;
    for (const auto& item : action["descriptor"])
        if (item["key"] == "smpl") colors = item["value"];
    const auto items = std::count(colors.begin(), colors.end(), ' ');
    EXPECT_GT(items, 1) << colors;
    EXPECT_LE(items, 21) << colors;
    EXPECT_EQ(std::count(colors.begin(), colors.end(), ':'), 1) << "one moving pair: " << colors;

    // A lattice point counts as kept when no component moved by more than half a level.
    auto kept = [&](const char* file) {
        std::ifstream cube(folder_ / file);
        std::string line;
        int size = 0, i = 0, same = 0;
        while (std::getline(cube, line)) {
            if (line.rfind("LUT_3D_SIZE", 0) == 0) size = std::stoi(line.substr(12));
            if (line.empty() || !std::isdigit(static_cast<unsigned char>(line[0]))) continue;
            double v[3];
            std::istringstream(line) >> v[0] >> v[1] >> v[2];
            const int at[3] = {i % size, i / size % size, i / size / size};
            bool still = true;
            for (int k = 0; k < 3; ++k)
                still = still && std::abs(v[k] - at[k] / double(size - 1)) < 0.5 / 255;
            same += still;
            ++i;
        }
        return same;
    };
    const std::string pick = " --size 9 --map '#6a7a40:#20a0a0'";
    ASSERT_EQ(Quillon("lut plain.cube" + pick).status, 0);
    const Outcome protect = Quillon("lut kept.cube --protect" + pick);
    ASSERT_EQ(protect.status, 0) << protect.error;
    EXPECT_NE(protect.error.find("locks keep the colours"), std::string::npos) << protect.error;
    std::cout << "lattice points kept: " << kept("plain.cube") << " without --protect, "
              << kept("kept.cube") << " with it, of 729\n";
    EXPECT_GT(kept("kept.cube"), kept("plain.cube") + 100);
}

// Sliced Wasserstein distance of order 1 between the Lab colours of two pictures: projections on
// 100 directions, compared at 400 quantiles.
double SlicedDistance(const Document& x, const Document& y) {
    const Srgb srgb;
    auto labs = [&](const Document& d) {
        std::vector<cmsCIELab> out;
        for (size_t i = 0; i < d.planes[0].size(); ++i)
            out.push_back(srgb.Lab(d, i));
        return out;
    };
    const std::vector<cmsCIELab> a = labs(x), b = labs(y);
    double total = 0;
    for (int k = 0; k < 100; ++k) {
        const double theta = std::acos(1 - 2 * (k + 0.5) / 100), phi = k * 2.399963;
        const double u[3] = {std::cos(theta), std::sin(theta) * std::cos(phi),
                             std::sin(theta) * std::sin(phi)};
        auto project = [&](const std::vector<cmsCIELab>& set) {
            std::vector<double> p;
            for (const cmsCIELab& c : set)
                p.push_back(u[0] * c.L + u[1] * c.a + u[2] * c.b);
            std::sort(p.begin(), p.end());
            return p;
        };
        const std::vector<double> pa = project(a), pb = project(b);
        for (int q = 0; q < 400; ++q) {
            const double t = (q + 0.5) / 400;
            total += std::abs(pa[size_t(t * pa.size())] - pb[size_t(t * pb.size())]) / 400 / 100;
        }
    }
    return total;
}

// The structure term of SSIM on L*, over 8 x 8 windows every 4 pixels.
double StructureOnLightness(const Document& x, const Document& y) {
    const Srgb srgb;
    const double c3 = (0.03 * 100) * (0.03 * 100) / 2;
    double sum = 0;
    int windows = 0;
    for (int32_t top = 0; top + 8 <= x.height; top += 4)
        for (int32_t left = 0; left + 8 <= x.width; left += 4) {
            double mx = 0, my = 0, xx = 0, yy = 0, xy = 0;
            for (int32_t v = top; v < top + 8; ++v)
                for (int32_t h = left; h < left + 8; ++h) {
                    const size_t i = size_t(v) * size_t(x.width) + size_t(h);
                    const double p = srgb.Lab(x, i).L, q = srgb.Lab(y, i).L;
                    mx += p, my += q, xx += p * p, yy += q * q, xy += p * q;
                }
            mx /= 64, my /= 64;
            const double sx = std::sqrt(std::max(0.0, xx / 64 - mx * mx)),
                         sy = std::sqrt(std::max(0.0, yy / 64 - my * my));
            sum += (xy / 64 - mx * my + c3) / (sx * sy + c3);
            ++windows;
        }
    return sum / windows;
}

TEST_F(LooksCommandTest, MatchMovesColoursTowardAnotherPictureAndKeepsStructure) {
    const Document in = quillon::tools::MakeScenery(kWidth, kHeight);
    WriteImageFile(in, FileFormat::Png, folder_ / "in.png");
    // Another picture: the scenery at another size, turned upside down and graded cold.
    Document other = quillon::tools::MakeScenery(300, 200);
    for (auto& plane : other.planes)
        std::reverse(plane.begin(), plane.end());
    const Document ref = Computed(other, [](cmsCIELab c) {
        const cmsCIELab turned = HueRotation(HueRotation(c));
        return cmsCIELab{0.8 * turned.L + 12, turned.a - 6, turned.b - 14};
    });
    WriteImageFile(ref, FileFormat::Png, folder_ / "ref.png");
    const Outcome match = Quillon("match in.png ref.png --record match.json --report report.json");
    ASSERT_EQ(match.status, 0) << match.error;
    ASSERT_EQ(Quillon("apply in.png out.png --action match.json").status, 0);
    const Document out = ReadImageFile(folder_ / "out.png").document;
    const double before = SlicedDistance(in, ref), after = SlicedDistance(out, ref);
    const double structure = StructureOnLightness(out, in);
    std::ifstream report(folder_ / "report.json");
    const nlohmann::json r = nlohmann::json::parse(report);
    std::cout << "match: sliced Wasserstein " << before << " -> " << after << " ("
              << 100 * after / before << " %), structure " << structure << "; reported "
              << r["slicedWasserstein"] << ", matched palette dE00 " << r["matchedDeltaE00"]
              << "\n";
    EXPECT_LE(after, before / 4);
    EXPECT_GE(structure, 0.95);
    EXPECT_LT(r["matchedDeltaE00"]["after"].get<double>(),
              r["matchedDeltaE00"]["before"].get<double>());
}

TEST_F(LooksCommandTest, BadInputIsRefusedAndWritesNothing) {
    WriteImageFile(quillon::tools::MakeScenery(64, 48), FileFormat::Png, folder_ / "a.png");
    WriteImageFile(quillon::tools::MakeScenery(48, 64), FileFormat::Png, folder_ / "b.png");
    auto write = [&](const char* name, const std::string& text) {
        std::ofstream(folder_ / name) << text;
    };
    write("short.cube", "LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 0\n");
    write("words.cube", "LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 x\n1 0 1\n0 1 1\n1 1 1\n");
    write("huge.cube", "LUT_3D_SIZE 130\n0 0 0\n");
    write("notapicture.png", "this is text");
    struct Case {
        std::string arguments;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {"fit a.png b.png", 1, "same picture"},
        {"fit --lut short.cube", 1, "3 values where LUT_3D_SIZE 2 needs 8"},
        {"fit --lut words.cube", 1, "line 6"},
        {"fit --lut huge.cube", 1, "outside 2..129"},
        {"fit a.png a.png --pairs 0", 2, "--pairs"},
        {"fit a.png a.png --pairs 201", 2, "--pairs"},
        {"fit a.png notapicture.png", 1, "notapicture.png"},
        {"match a.png notapicture.png", 1, "notapicture.png"},
        {"match a.png b.png --pairs 0", 2, "--pairs"},
        {"match a.png b.png --pairs 201", 2, "--pairs"},
        {"apply a.png out.png --map '#102030:#405060' --protect 0", 2, "--protect"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const bool fit = c.arguments.rfind("apply", 0) != 0;
        const Outcome o =
            Quillon(c.arguments + " --record out.json" + (fit ? " --report report.json" : ""));
        EXPECT_EQ(o.status, c.status) << o.error;
        EXPECT_NE(o.error.find(c.says), std::string::npos) << o.error;
        EXPECT_EQ(std::count(o.error.begin(), o.error.end(), '\n'), 1) << o.error;
        EXPECT_FALSE(fs::exists(folder_ / "out.json"));
        EXPECT_FALSE(fs::exists(folder_ / "report.json"));
        EXPECT_FALSE(fs::exists(folder_ / "out.png"));
    }
}

} // namespace
