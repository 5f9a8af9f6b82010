// The parts of fit and --protect that need no filter: the .cube and Hald readers, the pairs
// text, the palette, the statistics, the clustering, and the search for pairs against a stand-in
// for the filter.
#include "core/HostFailure.h"
#include "core/looks/CubeReader.h"
#include "core/looks/LookFit.h"
#include "core/looks/LookPairs.h"
#include "core/looks/LookSamples.h"
#include "core/looks/LookTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iostream>
#include <sstream>

namespace {

using namespace quillon::filterhost;

// An identity .cube of `size` points per axis, with a header in the given flavour.
std::string IdentityCube(int size, const std::string& header) {
    std::ostringstream text;
    text << "TITLE \"identity\"\n# a comment\n" << header << "LUT_3D_SIZE " << size << "\n\n";
    for (int b = 0; b < size; ++b)
        for (int g = 0; g < size; ++g)
            for (int r = 0; r < size; ++r)
                text << double(r) / (size - 1) << " " << double(g) / (size - 1) << " "
                     << double(b) / (size - 1) << "\n";
    return text.str();
}

TEST(CubeReader, ReadsBothHeaderFlavoursAndInterpolates) {
    const std::string headers[] = {"DOMAIN_MIN 0 0 0\nDOMAIN_MAX 1 1 1\n",
                                   "LUT_3D_INPUT_RANGE 0.0 1.0\n", ""};
    for (const std::string& header : headers)
        for (int size : {2, 5, 17}) {
            SCOPED_TRACE(header + std::to_string(size));
            const CubeLut lut = ParseCube(IdentityCube(size, header));
            EXPECT_EQ(lut.size, size);
            ASSERT_EQ(lut.points.size(), size_t(size * size * size));
            for (const auto& rgb :
                 {std::array<double, 3>{0.1, 0.7, 0.35}, std::array<double, 3>{1, 0, 0.999},
                  std::array<double, 3>{0.5, 0.5, 0.5}}) {
                const auto out = lut.Map(rgb);
                for (size_t k = 0; k < 3; ++k)
                    EXPECT_NEAR(out[k], rgb[k], 1e-5);
            }
        }
}

TEST(CubeReader, ATableThatIsNotLinearIsInterpolatedInsideItsCell) {
    // Red squared on a 3-point axis: the cell from 0.5 to 1 holds 0.25 .. 1.
    std::ostringstream text;
    text << "LUT_3D_SIZE 3\n";
    for (int b = 0; b < 3; ++b)
        for (int g = 0; g < 3; ++g)
            for (int r = 0; r < 3; ++r)
                text << (r / 2.0) * (r / 2.0) << " " << g / 2.0 << " " << b / 2.0 << "\n";
    const CubeLut lut = ParseCube(text.str());
    EXPECT_NEAR(lut.Map({0.75, 0, 0})[0], 0.625, 1e-6);
    EXPECT_NEAR(lut.Map({0.25, 0.5, 1})[0], 0.125, 1e-6);
    // Inputs outside the domain are held at its edge.
    EXPECT_NEAR(lut.Map({1.5, 0, 0})[0], 1, 1e-6);
}

TEST(CubeReader, RefusesMalformedTables) {
    const std::string two = IdentityCube(2, "");
    struct Case {
        std::string text;
        const char* says;
    };
    const Case cases[] = {
        {"", "no LUT_3D_SIZE"},
        {"LUT_3D_SIZE 2\n0 0 0\n1 0 0\n", "2 values where LUT_3D_SIZE 2 needs 8"},
        {two + "1 1 1\n", "more than 8 values"},
        {"LUT_3D_SIZE 130\n", "outside 2..129"},
        {"LUT_3D_SIZE 1\n", "outside 2..129"},
        {"LUT_3D_SIZE 2.5\n", "whole number"},
        {"LUT_3D_SIZE 99999999999999999999\n", "outside 2..129"},
        {"LUT_3D_SIZE 2\n0 0 zero\n", "line 2: \"zero\" is not a number"},
        {"LUT_3D_SIZE 2\n0 0\n", "expected three numbers"},
        {"LUT_3D_SIZE 2\n0 0 0 0\n", "expected three numbers"},
        {"LUT_3D_SIZE 2\n0 0 nan\n", "not a number"},
        {"0 0 0\n", "values before LUT_3D_SIZE"},
        {"LUT_1D_SIZE 4\n", "1D LUT"},
        {"FROBNICATE 2\n", "unknown keyword"},
        {"LUT_3D_SIZE 2\nDOMAIN_MIN 1 1 1\nDOMAIN_MAX 0 0 0\n" + two.substr(two.find("\n\n")),
         "maximum must lie above"},
        {"DOMAIN_MIN 0 0\n", "three numbers"},
        {two + "TITLE \"late\"\n", "keyword after the table"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        try {
            ParseCube(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const HostFailure& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
    }
}

TEST(CubeReader, ReadsHaldPicturesOfEveryShapeItMakes) {
    for (int level : {2, 3, 4}) {
        const int points = HaldPointsPerAxis(level);
        const Document lattice = MakeLattice(points, HaldSide(level));
        const CubeLut lut = LutFromHald(lattice);
        EXPECT_EQ(lut.size, points);
        const auto out = lut.Map({0.2, 0.6, 0.9});
        EXPECT_NEAR(out[0], 0.2, 1e-4);
        EXPECT_NEAR(out[1], 0.6, 1e-4);
        EXPECT_NEAR(out[2], 0.9, 1e-4);
    }
    const Document cases[] = {MakeDocument(ColorMode::RGB, 8, 9, 8),
                              MakeDocument(ColorMode::RGB, 8, 10, 10),
                              MakeDocument(ColorMode::Lab, 8, 8, 8)};
    for (const Document& d : cases)
        EXPECT_THROW(LutFromHald(d), HostFailure);
}

TEST(LookPairs, TextRoundTripsMovingAndLockedPairs) {
    const std::vector<LookPair> pairs = {{{100, 16384, 16384}, {200, 17000, 15000}, false},
                                         {{32768, 0, 32768}, {32768, 0, 32768}, true},
                                         {{5, 6, 7}, {5, 6, 7}, false}};
    const std::string text = PairsText(pairs);
    EXPECT_EQ(text, "Lab[100,16384,16384]:Lab[200,17000,15000] Lab[32768,0,32768] Lab[5,6,7] ");
    const std::vector<LookPair> back = ReadPairs(text + " Lab[1,2,3][4,5]:Lab[6,7,8][-1,9]");
    ASSERT_EQ(back.size(), 4u);
    EXPECT_TRUE(back[0].Moves());
    EXPECT_EQ(back[0].to.a, 17000);
    EXPECT_TRUE(back[1].locked);
    EXPECT_FALSE(back[2].Moves());
    EXPECT_EQ(back[3].to.b, 8);
    for (const char* bad : {"Lab[1,2]", "Lab[1,2,40000]", "Lab[1,2,3]x", "Lab[1,2,3]:"})
        EXPECT_THROW(ReadPairs(bad), HostFailure) << bad;
}

TEST(LookSamples, StatisticsAreWeighted) {
    const DifferenceStats s = Summarize({1, 2, 3, 10}, {1, 1, 7, 1});
    EXPECT_DOUBLE_EQ(s.mean, (1 + 2 + 21 + 10) / 10.0);
    EXPECT_EQ(s.median, 3);
    EXPECT_EQ(s.p90, 3);
    EXPECT_EQ(s.max, 10);
    EXPECT_EQ(Summarize({}, {}).max, 0);
}

TEST(LookSamples, DeltaE00AndTheHostScale) {
    // A known pair of the CIEDE2000 test data (Sharma, Wu and Dalal), pair 1.
    EXPECT_NEAR(DeltaE00({50, 2.6772, -79.7751}, {50, 0, -82.7485}), 2.0425, 1e-4);
    const LabColor c{37.5, -20.25, 60};
    const LabColor back = ToLab(ToHostLab(c));
    EXPECT_NEAR(back.L, c.L, 0.01);
    EXPECT_NEAR(back.a, c.a, 0.01);
    EXPECT_NEAR(back.b, c.b, 0.01);
}

TEST(LookSamples, SamplingIsEvenAndSwatchesHoldTheRecords) {
    Document d = MakeDocument(ColorMode::RGB, 8, 100, 30);
    for (size_t i = 0; i < d.planes[0].size(); ++i)
        d.planes[0][i] = uint16_t(i % 256);
    const ColorFrame frame(d);
    const std::vector<Color16> all = frame.Sample(d, 1 << 20), some = frame.Sample(d, 1000);
    ASSERT_EQ(all.size(), 3000u);
    ASSERT_EQ(some.size(), 1000u);
    EXPECT_EQ(some[1].c1, all[3].c1); // every third pixel
    const Document swatches = frame.Swatches(some);
    EXPECT_EQ(swatches.depth, 8);
    const std::vector<Color16> back = frame.Records(swatches, some.size());
    for (size_t i = 0; i < some.size(); ++i)
        ASSERT_EQ(back[i].c1, some[i].c1) << i;
    EXPECT_THROW(frame.Records(swatches, 100000), HostFailure);
}

TEST(LookSamples, MergingKeepsWeightAndMeans) {
    const std::vector<Color16> records = {{0, 100, 200, 300}, {0, 300, 400, 500}, {0, 0, 0, 0}};
    const std::vector<LabColor> lab = {{50, 10, 10}, {50.4, 10.2, 9.8}, {90, -40, 30}};
    const std::vector<LabColor> after = {{40, 0, 0}, {42, 2, 2}, {90, -40, 30}};
    const Palette p = MergeColors(records, lab, after, 2);
    ASSERT_EQ(p.Size(), 2u);
    EXPECT_EQ(p.weight[0], 2);
    EXPECT_EQ(p.records[0].c1, 200);
    EXPECT_NEAR(p.after[0].L, 41, 1e-9);
    EXPECT_EQ(p.weight[1], 1);
}

TEST(LookFit, ClusteringIsDeterministicAndSeparatesGroups) {
    std::vector<LabColor> lab;
    std::vector<double> weight;
    for (int i = 0; i < 60; ++i) {
        const double group = i % 3;
        lab.push_back({20 + 30 * group + (i % 7) * 0.1, group * 10, -group * 5});
        weight.push_back(1 + i % 4);
    }
    const std::vector<size_t> first = ClusterColors(lab, weight, 3);
    EXPECT_EQ(first, ClusterColors(lab, weight, 3));
    for (size_t i = 3; i < lab.size(); ++i)
        EXPECT_EQ(first[i], first[i % 3]) << i;
    EXPECT_NE(first[0], first[1]);
    EXPECT_NE(first[1], first[2]);
    // More centres than colours: each colour its own cluster at most.
    const std::vector<size_t> few = ClusterColors({{1, 2, 3}, {1, 2, 3}}, {1, 1}, 5);
    EXPECT_EQ(few[0], few[1]);
}

// A blending look in place of the filter, for the search alone: every colour moves by the
// pairs' displacements weighted by nearness, out to a reach that grows with the fuzziness; with
// preserve luminosity on, by their chroma only, judged by chroma. Locked pairs hold their colour.
struct Blender {
    const Palette& palette;
    int runs = 0;

    std::vector<LabColor> operator()(const FitSettings& s) {
        ++runs;
        const double reach = 5 + 4 * s.fuzziness;
        std::vector<LabColor> out;
        for (const LabColor& c : palette.lab) {
            double total = 1e-3;
            LabColor moved{};
            for (const LookPair& p : s.pairs) {
                const LabColor from = ToLab(p.from), to = p.locked ? from : ToLab(p.to);
                const double dL = s.preserveLuminosity ? 0 : c.L - from.L;
                const double d = std::sqrt(dL * dL + (c.a - from.a) * (c.a - from.a) +
                                           (c.b - from.b) * (c.b - from.b));
                const double w = std::max(0.0, 1 - d / reach) / (d * d + 1);
                moved = {moved.L + w * (to.L - from.L), moved.a + w * (to.a - from.a),
                         moved.b + w * (to.b - from.b)};
                total += w;
            }
            out.push_back({c.L + (s.preserveLuminosity ? 0 : moved.L / total),
                           c.a + moved.a / total, c.b + moved.b / total});
        }
        return out;
    }
};

// A palette over the colours of a picture, with what a look made of each.
Palette LookedPalette(const std::function<LabColor(const LabColor&)>& look) {
    Palette p;
    for (int L = 15; L <= 90; L += 15)
        for (int a = -40; a <= 40; a += 16)
            for (int b = -40; b <= 40; b += 16) {
                const LabColor c{double(L), double(a), double(b)};
                p.records.push_back({});
                p.lab.push_back(c);
                p.after.push_back(look(c));
                p.weight.push_back(1 + (L + a + b + 200) % 5);
            }
    return p;
}

LabColor Turned(const LabColor& c) {
    const double t = 0.5;
    return {c.L, c.a * std::cos(t) - c.b * std::sin(t), c.a * std::sin(t) + c.b * std::cos(t)};
}

TEST(LookFit, TheSearchBeatsThePlainClustersAndIsDeterministic) {
    struct Case {
        const char* name;
        std::function<LabColor(const LabColor&)> look;
    };
    const Case cases[] = {
        {"turned hues", Turned},
        {"lifted and warmed",
         [](const LabColor& c) {
             return LabColor{8 + 0.9 * c.L, c.a + 3, c.b + 9};
         }},
        {"one corner bent",
         [](const LabColor& c) {
             const double near = std::max(0.0, 1 - std::hypot(c.a - 24, c.b - 24) / 30);
             return LabColor{c.L, c.a - 20 * near, c.b + 10 * near};
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Palette palette = LookedPalette(c.look);
        Blender blender{palette};
        const FitTrial trial = std::ref(blender);
        const FitOutcome naive = FitLook(palette, {12, 10.0, false, false}, trial);
        EXPECT_EQ(naive.trials, 1);
        EXPECT_EQ(naive.settings.pairs.size(), 12u);
        const FitOutcome fit = FitLook(palette, {12, {}, {}, true}, trial);
        EXPECT_LE(fit.settings.pairs.size(), 12u);
        EXPECT_GT(fit.trials, 1);
        std::cout << c.name << ": naive " << naive.stats.mean << ", fit " << fit.stats.mean
                  << " in " << fit.trials << " trials\n";
        EXPECT_LT(fit.stats.mean, 0.9 * naive.stats.mean);
        // The reported residual is the one of the settings returned.
        const std::vector<LabColor> again = blender(fit.settings);
        double sum = 0, total = 0;
        for (size_t i = 0; i < palette.Size(); ++i) {
            sum += palette.weight[i] * DeltaE00(again[i], palette.after[i]);
            total += palette.weight[i];
        }
        EXPECT_NEAR(fit.stats.mean, sum / total, 1e-9);
        const FitOutcome repeated = FitLook(palette, {12, {}, {}, true}, trial);
        EXPECT_EQ(PairsText(repeated.settings.pairs), PairsText(fit.settings.pairs));
        EXPECT_EQ(repeated.settings.fuzziness, fit.settings.fuzziness);
    }
}

TEST(LookFit, GivenSettingsAreKeptAndUnmovedColoursAreLocked) {
    const Palette turned = LookedPalette(Turned);
    Blender blender{turned};
    const FitTrial trial = std::ref(blender);
    for (const bool preserve : {false, true}) {
        SCOPED_TRACE(preserve);
        const FitOutcome fit = FitLook(turned, {8, 3.0, preserve, true}, trial);
        EXPECT_EQ(fit.settings.fuzziness, 3.0);
        EXPECT_EQ(fit.settings.preserveLuminosity, preserve);
        EXPECT_LE(fit.settings.pairs.size(), 8u);
    }
    // A look that leaves every colour alone gives locks only.
    const Palette still = LookedPalette([](const LabColor& c) { return c; });
    Blender stillBlender{still};
    const FitOutcome fit = FitLook(still, {16, {}, {}, true}, std::ref(stillBlender));
    ASSERT_FALSE(fit.settings.pairs.empty());
    for (const LookPair& p : fit.settings.pairs)
        EXPECT_TRUE(p.locked) << PairsText({p});
    EXPECT_LT(fit.stats.max, 0.5);
}

} // namespace
