// quillon lut OUT.icc: the look as an abstract Lab-to-Lab profile, applied by LittleCMS to a Lab
// picture and compared with quillon apply on the same picture.
#include "Scenery.h"
#include "core/documents/ImageFiles.h"

#include "QuillonRun.h"

#include <lcms2.h>

#include <cmath>
#include <iostream>
#include <memory>
#include <vector>

namespace {

using namespace quillon::filterhost;
using quillon::testing::Outcome;
using LutProfileTest = quillon::testing::QuillonTest;
namespace fs = std::filesystem;

struct ProfileClose {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
using Profile = std::unique_ptr<void, ProfileClose>;
struct TransformDelete {
    void operator()(void* t) const { cmsDeleteTransform(t); }
};
using Transform = std::unique_ptr<void, TransformDelete>;

// The host's 16-bit Lab against Lab in its own units.
cmsCIELab FromHost(const Document& d, size_t i) {
    return {d.planes[0][i] * 100.0 / 32768, d.planes[1][i] / 128.0 - 128,
            d.planes[2][i] / 128.0 - 128};
}
uint16_t ToHost(double v, bool lightness) {
    const double scaled = lightness ? v * 32768 / 100 : (v + 128) * 128;
    return uint16_t(std::lround(std::clamp(scaled, 0.0, 32768.0)));
}

// A landscape as a 16-bit Lab picture, through LittleCMS from sRGB.
Document LabLandscape() {
    const Document rgb = quillon::tools::MakeScenery(240, 160);
    Document lab = MakeDocument(ColorMode::Lab, 16, rgb.width, rgb.height);
    Profile srgb(cmsCreate_sRGBProfile()), d50(cmsCreateLab4Profile(cmsD50_xyY()));
    Transform toLab(cmsCreateTransform(srgb.get(), TYPE_RGB_8, d50.get(), TYPE_Lab_DBL,
                                       INTENT_RELATIVE_COLORIMETRIC, 0));
    for (size_t i = 0; i < lab.planes[0].size(); ++i) {
        const uint8_t in[3] = {uint8_t(rgb.planes[0][i]), uint8_t(rgb.planes[1][i]),
                               uint8_t(rgb.planes[2][i])};
        cmsCIELab out;
        cmsDoTransform(toLab.get(), in, &out, 1);
        lab.planes[0][i] = ToHost(out.L, true);
        lab.planes[1][i] = ToHost(out.a, false);
        lab.planes[2][i] = ToHost(out.b, false);
    }
    return lab;
}

struct Difference {
    double mean = 0, largest = 0;
};

// The profile applied by LittleCMS (Lab, the abstract profile, Lab) to `source`, against `applied`.
Difference CompareWithProfile(const Document& source, const Document& applied,
                              const fs::path& profile) {
    Profile look(cmsOpenProfileFromFile(profile.c_str(), "r"));
    EXPECT_TRUE(look) << profile;
    if (!look) return {1e9, 1e9};
    EXPECT_EQ(cmsGetDeviceClass(look.get()), cmsSigAbstractClass);
    EXPECT_EQ(cmsGetColorSpace(look.get()), cmsSigLabData);
    EXPECT_EQ(cmsGetPCS(look.get()), cmsSigLabData);
    EXPECT_GE(cmsGetProfileVersion(look.get()), 4.0);
    Profile lab(cmsCreateLab4Profile(cmsD50_xyY()));
    cmsHPROFILE chain[] = {lab.get(), look.get(), lab.get()};
    Transform transform(cmsCreateMultiprofileTransform(chain, 3, TYPE_Lab_DBL, TYPE_Lab_DBL,
                                                       INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE));
    EXPECT_TRUE(transform);
    if (!transform) return {1e9, 1e9};
    Difference d;
    const size_t count = source.planes[0].size();
    for (size_t i = 0; i < count; ++i) {
        const cmsCIELab in = FromHost(source, i);
        cmsCIELab out;
        cmsDoTransform(transform.get(), &in, &out, 1);
        const cmsCIELab want = FromHost(applied, i);
        const double e = cmsCIE2000DeltaE(&out, &want, 1, 1, 1);
        d.mean += e / double(count);
        d.largest = std::max(d.largest, e);
    }
    return d;
}

TEST_F(LutProfileTest, TheProfileAppliedByLittleCmsMatchesApplyOnALabPicture) {
    const Document landscape = LabLandscape();
    WriteImageFile(landscape, FileFormat::Tiff, folder_ / "landscape.tif");
    const std::string cases[] = {
        "",
        "--map '#2654a0:#1f8a8a' --map '#5a8a32:#b07a2a' --fuzziness 4",
        "--map 'lab(60,-30,40):lab(55,20,50)' --fuzziness 6 --amount 60",
        "--map 'rgb(196,64,44):rgb(64,128,208)' --fuzziness 5 --preserve-luminosity off",
    };
    for (const std::string& look : cases) {
        const Outcome apply = Quillon("apply landscape.tif applied.tif " + look);
        ASSERT_EQ(apply.status, 0) << apply.error;
        const Outcome lut = Quillon("lut look.icc " + look);
        ASSERT_EQ(lut.status, 0) << lut.error;
        const Document applied = ReadImageFile(folder_ / "applied.tif").document;
        ASSERT_EQ(applied.mode, ColorMode::Lab);
        if (!look.empty()) {
            EXPECT_NE(applied.planes, landscape.planes) << look;
        }
        const Difference d = CompareWithProfile(landscape, applied, folder_ / "look.icc");
        std::cout << (look.empty() ? "no adjustment" : look) << ": mean ΔE00 " << d.mean
                  << ", largest " << d.largest << "\n";
        EXPECT_LE(d.mean, look.empty() ? 0.05 : 1.0) << look;
    }
}

TEST_F(LutProfileTest, SizeSetsTheTableAndHaldIsRefused) {
    ASSERT_EQ(Quillon("lut small.icc --size 9 --map '#2654a0:#1f8a8a'").status, 0);
    ASSERT_EQ(Quillon("lut default.icm --map '#2654a0:#1f8a8a'").status, 0);
    const size_t small = size_t(fs::file_size(folder_ / "small.icc"));
    const size_t normal = size_t(fs::file_size(folder_ / "default.icm"));
    EXPECT_GT(small, 9u * 9 * 9 * 3 * 2);
    EXPECT_LT(small, 10u * 10 * 10 * 3 * 2);
    EXPECT_GT(normal, 33u * 33 * 33 * 3 * 2);
    EXPECT_LT(normal, 34u * 34 * 34 * 3 * 2);
    Profile profile(cmsOpenProfileFromFile((folder_ / "small.icc").c_str(), "r"));
    ASSERT_TRUE(profile);
    char text[256] = {};
    cmsGetProfileInfoASCII(profile.get(), cmsInfoDescription, "en", "US", text, sizeof text);
    EXPECT_STREQ(text, "Quillon... look (Lab to Lab)");

    const Outcome hald = Quillon("lut out.icc --hald 4");
    EXPECT_EQ(hald.status, 2);
    EXPECT_NE(hald.error.find("--hald"), std::string::npos) << hald.error;
    EXPECT_FALSE(fs::exists(folder_ / "out.icc"));
}

} // namespace
