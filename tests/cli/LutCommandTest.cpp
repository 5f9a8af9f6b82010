// quillon lut end to end: the exported tables read back by our own readers, and a .cube applied
// by our own tetrahedral interpolation (as ffmpeg's lut3d does it) against quillon apply.
#include "Scenery.h"
#include "core/documents/ImageFiles.h"

#include "QuillonRun.h"

#include <array>
#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

using namespace quillon::filterhost;
using quillon::testing::Outcome;
using LutCommandTest = quillon::testing::QuillonTest;
namespace fs = std::filesystem;

struct Cube {
    int size = 0;
    std::string title;
    std::vector<std::string> comments;
    std::vector<std::array<double, 3>> points; // red fastest
};

// The .cube reader of the tests: keywords first, then exactly size³ lines of three values.
Cube ReadCube(const fs::path& file) {
    std::ifstream in(file);
    Cube cube;
    std::string line;
    bool domainMin = false, domainMax = false;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        if (line[0] == '#') {
            cube.comments.push_back(line);
            continue;
        }
        std::istringstream words(line);
        std::string keyword;
        words >> keyword;
        if (keyword == "TITLE") {
            cube.title = line.substr(6);
        } else if (keyword == "DOMAIN_MIN") {
            double a, b, c;
            words >> a >> b >> c;
            domainMin = words && a == 0 && b == 0 && c == 0;
        } else if (keyword == "DOMAIN_MAX") {
            double a, b, c;
            words >> a >> b >> c;
            domainMax = words && a == 1 && b == 1 && c == 1;
        } else if (keyword == "LUT_3D_SIZE") {
            words >> cube.size;
        } else {
            std::array<double, 3> p{};
            std::istringstream values(line);
            values >> p[0] >> p[1] >> p[2];
            EXPECT_TRUE(values) << line;
            EXPECT_EQ(line.size(), 3 * 8 + 2u) << "six decimals: " << line;
            for (double v : p)
                EXPECT_TRUE(v >= 0 && v <= 1) << line;
            cube.points.push_back(p);
        }
    }
    EXPECT_TRUE(domainMin && domainMax);
    EXPECT_EQ(cube.points.size(), size_t(cube.size) * cube.size * cube.size);
    return cube;
}

// ffmpeg's lut3d interpolation=tetrahedral, on 8-bit values.
std::array<double, 3> Tetrahedral(const Cube& cube, const double rgb[3]) {
    const int n = cube.size;
    int lo[3], hi[3];
    double d[3];
    for (int i = 0; i < 3; ++i) {
        const double s = rgb[i] / 255.0 * (n - 1);
        lo[i] = std::min(int(s), n - 1);
        hi[i] = std::min(lo[i] + 1, n - 1);
        d[i] = s - lo[i];
    }
    auto at = [&](bool r, bool g, bool b) {
        return cube.points[size_t((r ? hi[0] : lo[0]) + n * (g ? hi[1] : lo[1]) +
                                  n * n * (b ? hi[2] : lo[2]))];
    };
    const auto c000 = at(0, 0, 0), c111 = at(1, 1, 1);
    std::array<double, 3> out{};
    auto blend = [&](double w0, double w1, std::array<double, 3> c1, double w2,
                     std::array<double, 3> c2, double w3) {
        for (int i = 0; i < 3; ++i)
            out[size_t(i)] = w0 * c000[size_t(i)] + w1 * c1[size_t(i)] + w2 * c2[size_t(i)] +
                             w3 * c111[size_t(i)];
    };
    const double r = d[0], g = d[1], b = d[2];
    if (r > g) {
        if (g > b)
            blend(1 - r, r - g, at(1, 0, 0), g - b, at(1, 1, 0), b);
        else if (r > b)
            blend(1 - r, r - b, at(1, 0, 0), b - g, at(1, 0, 1), g);
        else
            blend(1 - b, b - r, at(0, 0, 1), r - g, at(1, 0, 1), g);
    } else {
        if (b > g)
            blend(1 - b, b - g, at(0, 0, 1), g - r, at(0, 1, 1), r);
        else if (b > r)
            blend(1 - g, g - b, at(0, 1, 0), b - r, at(0, 1, 1), r);
        else
            blend(1 - g, g - r, at(0, 1, 0), r - b, at(1, 1, 0), b);
    }
    return out;
}

struct Difference {
    double mean = 0;
    double farShare = 0; // samples more than 4 levels apart
    int largest = 0;
};

Difference CompareWithLut(const Document& input, const Document& applied, const Cube& cube) {
    Difference result;
    size_t far = 0, samples = 0;
    double total = 0;
    for (int32_t y = 0; y < input.height; ++y)
        for (int32_t x = 0; x < input.width; ++x) {
            const double rgb[3] = {double(input.At(0, x, y)), double(input.At(1, x, y)),
                                   double(input.At(2, x, y))};
            const auto mapped = Tetrahedral(cube, rgb);
            for (int c = 0; c < 3; ++c) {
                const long ours = std::lround(mapped[size_t(c)] * 255);
                const int diff = int(std::abs(ours - long(applied.At(c, x, y))));
                total += diff;
                far += diff > 4 ? 1 : 0;
                result.largest = std::max(result.largest, diff);
                ++samples;
            }
        }
    result.mean = total / double(samples);
    result.farShare = double(far) / double(samples);
    return result;
}

TEST_F(LutCommandTest, WithoutAdjustmentsEveryTableIsTheIdentity) {
    for (int size : {2, 17, 33, 65}) {
        const std::string out = "id" + std::to_string(size) + ".cube";
        const Outcome outcome = Quillon("lut " + out + " --size " + std::to_string(size));
        ASSERT_EQ(outcome.status, 0) << outcome.error;
        const Cube cube = ReadCube(folder_ / out);
        ASSERT_EQ(cube.size, size);
        EXPECT_EQ(cube.title, "\"Quillon... look\"");
        bool saysSrgb = false;
        for (const auto& line : cube.comments)
            saysSrgb |= line.find("sRGB") != std::string::npos;
        EXPECT_TRUE(saysSrgb);
        size_t i = 0;
        for (int b = 0; b < size; ++b)
            for (int g = 0; g < size; ++g)
                for (int r = 0; r < size; ++r, ++i) {
                    const int k[3] = {r, g, b};
                    for (int c = 0; c < 3; ++c)
                        ASSERT_NEAR(cube.points[i][size_t(c)], double(k[c]) / (size - 1),
                                    1.0 / 65535)
                            << "size " << size << " point " << r << "," << g << "," << b;
                }
    }
    struct Hald {
        int level;
        const char* file;
    };
    for (const Hald h : {Hald{2, "hald2.png"}, Hald{8, "hald8.png"}, Hald{3, "hald3.tif"}}) {
        const Outcome outcome =
            Quillon(std::string("lut ") + h.file + " --hald " + std::to_string(h.level));
        ASSERT_EQ(outcome.status, 0) << outcome.error;
        const LoadedImage image = ReadImageFile(folder_ / h.file);
        const Document& d = image.document;
        const int n = h.level * h.level;
        ASSERT_EQ(d.width, h.level * n);
        ASSERT_EQ(d.height, h.level * n);
        EXPECT_EQ(d.depth, 16);
        EXPECT_EQ(d.mode, ColorMode::RGB);
        for (int32_t y = 0; y < d.height; ++y)
            for (int32_t x = 0; x < d.width; ++x) {
                const int64_t i = int64_t(y) * d.width + x;
                const int k[3] = {int(i % n), int(i / n % n), int(i / n / n)};
                for (int c = 0; c < 3; ++c)
                    ASSERT_NEAR(d.At(c, x, y), std::lround(k[c] * 32768.0 / (n - 1)), 1)
                        << h.file << " at " << x << "," << y;
            }
    }
}

// The same picture at 16 bits, as the lattice is.
Document ToSixteenBits(const Document& picture) {
    Document d = MakeDocument(ColorMode::RGB, 16, picture.width, picture.height);
    for (size_t c = 0; c < 3; ++c)
        for (size_t i = 0; i < d.planes[c].size(); ++i)
            d.planes[c][i] = uint16_t((picture.planes[c][i] * 32768 + 127) / 255);
    return d;
}

Document ToEightBits(const Document& picture) {
    Document d = MakeDocument(ColorMode::RGB, 8, picture.width, picture.height);
    for (size_t c = 0; c < 3; ++c)
        for (size_t i = 0; i < d.planes[c].size(); ++i)
            d.planes[c][i] = uint16_t((picture.planes[c][i] * 255 + 16384) / 32768);
    return d;
}

// Looks on a landscape, compared with apply on the 8-bit picture and on the same picture at 16
// bits. The table samples the 16-bit transformation, and the 8-bit pass maps RGB at 16 bits too,
// so both stay within a fraction of a level on average; the rare samples further apart lie where
// a look is steep between two lattice points.
TEST_F(LutCommandTest, ACubeAppliedTetrahedrallyMatchesApplyOnAPhotograph) {
    const Document picture = quillon::tools::MakeScenery(480, 320);
    WriteImageFile(picture, FileFormat::Png, folder_ / "landscape.png");
    WriteImageFile(ToSixteenBits(picture), FileFormat::Tiff, folder_ / "landscape16.tif");
    struct Case {
        std::string parameters;
    };
    const Case cases[] = {
        {"--map '#2654a0:#2a6ab8' --map '#5a8a32:#7a8a2a' --fuzziness 4"},
        {"--map 'rgb(196,64,44):rgb(64,128,208)' --fuzziness 5 --preserve-luminosity off"},
        {"--map 'lab(60,-30,40):lab(55,20,50)' --fuzziness 6 --amount 60"},
        // sky to teal and meadow to orange: a strong look
        {"--map '#2654a0:#1f8a8a' --map '#5a8a32:#b07a2a' --fuzziness 4"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Quillon("apply landscape.png applied.png " + c.parameters).status, 0);
        ASSERT_EQ(Quillon("apply landscape16.tif applied16.tif " + c.parameters).status, 0);
        const Outcome lut = Quillon("lut look.cube " + c.parameters);
        ASSERT_EQ(lut.status, 0) << lut.error;
        const Cube cube = ReadCube(folder_ / "look.cube");
        ASSERT_EQ(cube.size, 33);
        const Document applied = ReadImageFile(folder_ / "applied.png").document;
        ASSERT_NE(applied.planes, picture.planes) << c.parameters << " changes the picture";
        const Difference eight = CompareWithLut(picture, applied, cube);
        const Difference sixteen = CompareWithLut(
            picture, ToEightBits(ReadImageFile(folder_ / "applied16.tif").document), cube);
        std::cout << c.parameters << "\n  against 8-bit apply: mean " << eight.mean << ", "
                  << eight.farShare * 100 << " % over 4 levels, largest " << eight.largest
                  << "\n  against 16-bit apply: mean " << sixteen.mean << ", "
                  << sixteen.farShare * 100 << " % over 4 levels, largest " << sixteen.largest
                  << "\n";
        EXPECT_LE(sixteen.mean, 0.25) << c.parameters;
        EXPECT_LE(sixteen.farShare, 0.002) << c.parameters;
        EXPECT_LE(eight.mean, 0.25) << c.parameters;
        EXPECT_LE(eight.farShare, 0.002) << c.parameters;
    }
}

TEST_F(LutCommandTest, AmountFadesTheTable) {
    const std::string look = " --map '#2654a0:#1f8a8a' --fuzziness 5 --size 9";
    ASSERT_EQ(Quillon("lut full.cube" + look).status, 0);
    ASSERT_EQ(Quillon("lut half.cube --amount 50" + look).status, 0);
    ASSERT_EQ(Quillon("lut none.cube --amount 0" + look).status, 0);
    const Cube full = ReadCube(folder_ / "full.cube"), half = ReadCube(folder_ / "half.cube"),
               none = ReadCube(folder_ / "none.cube");
    const Cube identity = [&] {
        EXPECT_EQ(Quillon("lut id.cube --size 9").status, 0);
        return ReadCube(folder_ / "id.cube");
    }();
    bool moved = false;
    for (size_t i = 0; i < full.points.size(); ++i)
        for (size_t c = 0; c < 3; ++c) {
            const double from = identity.points[i][c], to = full.points[i][c];
            moved |= std::abs(to - from) > 0.01;
            EXPECT_NEAR(none.points[i][c], from, 1e-6);
            EXPECT_NEAR(half.points[i][c], (from + to) / 2, 1.0 / 32768);
        }
    EXPECT_TRUE(moved);
    bool named = false;
    for (const auto& line : half.comments)
        named |= line.find("--amount 50") != std::string::npos;
    EXPECT_TRUE(named);
}

TEST_F(LutCommandTest, BadInputIsOneClearLineAndNoOutput) {
    std::ofstream(folder_ / "notes.txt") << "a file, not a folder";
    struct Case {
        std::string arguments;
        int status;
        std::string message;
        std::string out;
    };
    const Case cases[] = {
        {"lut out.cube --size 1", 2, "--size", "out.cube"},
        {"lut out.cube --size 200", 2, "--size", "out.cube"},
        {"lut out.png --hald 1", 2, "--hald", "out.png"},
        {"lut out.png --hald 17", 2, "--hald", "out.png"},
        {"lut out.cube --hald 4", 2, "--hald", "out.cube"},
        {"lut out.png --size 17", 2, "--size", "out.png"},
        {"lut out.txt", 2, ".cube", "out.txt"},
        {"lut out.cube --map '#12345:#ffffff'", 2, "at character 2", "out.cube"},
        {"lut out.cube --map 'hsv(1,2,3):#ffffff'", 2, "unknown colour notation", "out.cube"},
        {"lut out.cube --map '@3,4:#ffffff'", 2, "needs a picture", "out.cube"},
        {"lut out.cube --amount -1", 2, "--amount", "out.cube"},
        {"lut out.cube --amount 101", 2, "--amount", "out.cube"},
        {"lut out.cube --amount nan", 2, "--amount", "out.cube"},
        {"lut notes.txt/out.cube", 1, "cannot write", "notes.txt/out.cube"},
        {"lut missing/out.png", 1, "cannot write", "missing/out.png"},
        {"lut out.cube --colors 'Lab(1,2,3)'", 1, "bad parameters", "out.cube"},
    };
    for (const Case& c : cases) {
        const Outcome outcome = Quillon(c.arguments);
        EXPECT_EQ(outcome.status, c.status) << c.arguments << ": " << outcome.error;
        EXPECT_NE(outcome.error.find(c.message), std::string::npos)
            << c.arguments << ": " << outcome.error;
        EXPECT_EQ(std::count(outcome.error.begin(), outcome.error.end(), '\n'), 1) << outcome.error;
        EXPECT_FALSE(fs::exists(folder_ / c.out)) << c.arguments;
    }
    size_t left = 0;
    for (const auto& entry : fs::directory_iterator(folder_))
        left += entry.path().filename().string().rfind(".out.", 0) == 0 ? 1 : 0;
    EXPECT_EQ(left, 0u) << "no temporary file left behind";
}

} // namespace
