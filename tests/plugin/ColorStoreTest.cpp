// The pass computes each distinct colour once: the pixels it writes against the pass that
// converts and transforms every pixel anew, on photograph-like and adversarial pictures.
#include "PluginFixture.h"

#include "core/suites/ColorServices.h"
#include "engine/ColorEngine.h"
#include "filter/ColorsText.h"

#include <cmath>
#include <cstdlib>

namespace {

using namespace quillon::testing;
using quillon::engine::ColorEngine;

// Adjustments spread over the colours of the pictures below, one of them on an 8-bit lattice
// point (its colour is a vertex of the mesh).
const std::string kColors = "Lab[9000,12000,20000]:Lab[9800,13500,18500] "
                            "Lab[15000,15000,18000]:Lab[16000,17500,16000] "
                            "Lab[19968,12032,20992]:Lab[22016,16896,14976] "
                            "Lab[25000,20000,12000]:Lab[24000,18000,15000] ";
constexpr double kFuzziness = 5;

void Convert(ColorServices& s, int from, int to, Color8* records, int32_t count) {
    s.Convert8(int16(from), int16(to), records, count);
}
void Convert(ColorServices& s, int from, int to, Color16* records, int32_t count) {
    s.Convert16(int16(from), int16(to), records, count);
}
void Transform(ColorEngine& e, Color8* records, int32_t count) {
    e.Transform8(reinterpret_cast<quillon::engine::ColorRecord8*>(records), count);
}
void Transform(ColorEngine& e, Color16* records, int32_t count) {
    e.Transform16(reinterpret_cast<quillon::engine::ColorRecord16*>(records), count);
}

// The pass as it was before it kept results: every pixel row converted into Lab, transformed,
// and converted back, pixels the engine left as they were keeping their samples.
template <typename Record> void UncachedPassAt(Document& d, bool preserveLuminosity) {
    auto engine = std::make_unique<ColorEngine>();
    engine->Reset();
    engine->SetPreserveLuminosity(preserveLuminosity);
    engine->SetFuzziness(float((kFuzziness - 1) * 0.1111111111111111));
    ASSERT_TRUE(quillon::filter::ParseColors(*engine, kColors));
    engine->Rebuild();
    ColorServices services;
    const int space = d.mode == ColorMode::CMYK  ? plugIncolorServicesCMYKSpace
                      : d.mode == ColorMode::Lab ? plugIncolorServicesLabSpace
                                                 : plugIncolorServicesRGBSpace;
    // CMYK fills all four components of a record, RGB and Lab the last three.
    const int first = d.mode == ColorMode::CMYK ? 0 : 1;
    const int planes = int(d.planes.size());
    using Sample = decltype(Record::c1);
    std::vector<Record> row(size_t(d.width)), before(size_t(d.width));
    auto component = [](Record& r, int c) -> Sample& {
        return c == 0 ? r.c0 : c == 1 ? r.c1 : c == 2 ? r.c2 : r.c3;
    };
    for (int32_t y = 0; y < d.height; ++y) {
        for (int32_t x = 0; x < d.width; ++x) {
            row[size_t(x)] = {};
            for (int p = 0; p < planes; ++p)
                component(row[size_t(x)], first + p) = Sample(d.At(p, x, y));
        }
        if (space != plugIncolorServicesLabSpace)
            Convert(services, space, plugIncolorServicesLabSpace, row.data(), d.width);
        before = row;
        Transform(*engine, row.data(), d.width);
        std::vector<bool> moved(size_t(d.width));
        for (size_t i = 0; i < row.size(); ++i)
            moved[i] = std::abs(row[i].c1 - before[i].c1) > 1 ||
                       std::abs(row[i].c2 - before[i].c2) > 1 ||
                       std::abs(row[i].c3 - before[i].c3) > 1;
        if (space != plugIncolorServicesLabSpace)
            Convert(services, plugIncolorServicesLabSpace, space, row.data(), d.width);
        for (int32_t x = 0; x < d.width; ++x)
            if (moved[size_t(x)])
                for (int p = 0; p < planes; ++p)
                    d.At(p, x, y) = component(row[size_t(x)], first + p);
    }
}

// 8-bit RGB and CMYK documents are mapped at 16 bits on the host's scale and rounded once at the
// end; unmoved pixels keep their samples.
void WidenedPass(Document& d, bool preserveLuminosity) {
    Document wide = MakeDocument(d.mode, 16, d.width, d.height);
    for (size_t p = 0; p < d.planes.size(); ++p)
        for (size_t i = 0; i < d.planes[p].size(); ++i)
            wide.planes[p][i] = EightToHost16(uint8_t(d.planes[p][i]));
    const Document before = wide;
    UncachedPassAt<Color16>(wide, preserveLuminosity);
    for (size_t i = 0; i < d.planes[0].size(); ++i) {
        bool moved = false;
        for (size_t p = 0; p < d.planes.size(); ++p)
            moved = moved || wide.planes[p][i] != before.planes[p][i];
        if (!moved) continue;
        for (size_t p = 0; p < d.planes.size(); ++p)
            d.planes[p][i] =
                uint16_t((std::min<uint32_t>(wide.planes[p][i], 32768) * 255 + 16384) / 32768);
    }
}

void UncachedPass(Document& d, bool preserveLuminosity) {
    if (d.depth == 16)
        UncachedPassAt<Color16>(d, preserveLuminosity);
    else if (d.mode == ColorMode::Lab)
        UncachedPassAt<Color8>(d, preserveLuminosity);
    else
        WidenedPass(d, preserveLuminosity);
}

// The same colours at 16 bits, on the 0..32768 scale.
Document Deep(const Document& shallow) {
    Document d = MakeDocument(shallow.mode, 16, shallow.width, shallow.height);
    for (size_t p = 0; p < d.planes.size(); ++p)
        for (size_t i = 0; i < d.planes[p].size(); ++i)
            d.planes[p][i] = uint16_t(shallow.planes[p][i] * 128);
    return d;
}

struct Difference {
    int64_t pixels = 0;
    int largest = 0;
};

Difference Compare(const Document& a, const Document& b) {
    Difference d;
    for (int32_t y = 0; y < a.height; ++y)
        for (int32_t x = 0; x < a.width; ++x) {
            int largest = 0;
            for (size_t p = 0; p < a.planes.size(); ++p)
                largest =
                    std::max(largest, std::abs(int(a.At(int(p), x, y)) - int(b.At(int(p), x, y))));
            d.pixels += largest > 0;
            d.largest = std::max(d.largest, largest);
        }
    return d;
}

Document PhotoLike(ColorMode mode, int32_t width, int32_t height) {
    Document d = MakeDocument(mode, 8, width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const double u = double(x) / width, v = double(y) / height;
            const double texture = 12 * std::sin(x * 0.37) * std::cos(y * 0.23);
            d.At(0, x, y) = uint16_t(std::clamp(40 + 180 * u + texture, 0.0, 255.0));
            d.At(1, x, y) = uint16_t(std::clamp(60 + 150 * v * (1 - u) + texture, 0.0, 255.0));
            d.At(2, x, y) = uint16_t(std::clamp(200 - 150 * v + 30 * std::sin(u * 9), 0.0, 255.0));
            if (mode == ColorMode::CMYK)
                d.At(3, x, y) = uint16_t(std::clamp(20 + 90 * u * v + texture, 0.0, 255.0));
        }
    return d;
}

// Every colour of a lattice of `step` levels per channel, once.
Document EveryColor(ColorMode mode, int step) {
    const int32_t n = (255 + step) / step;
    Document d = MakeDocument(mode, 8, n * n, n);
    for (int32_t y = 0; y < n; ++y)
        for (int32_t x = 0; x < n * n; ++x) {
            d.At(0, x, y) = uint16_t(std::min(255, y * step));
            d.At(1, x, y) = uint16_t(std::min(255, x / n * step));
            d.At(2, x, y) = uint16_t(std::min(255, x % n * step));
            if (mode == ColorMode::CMYK) d.At(3, x, y) = uint16_t((x * 7 + y * 3) % 64);
        }
    return d;
}

// A checkerboard of the first colour of `photo` that the uncached pass moves and a far colour.
Document TwoColors(const Document& photo, const Document& moved) {
    const int planes = int(photo.planes.size());
    auto differs = [&](int32_t x, int32_t y) {
        for (int p = 0; p < planes; ++p)
            if (photo.At(p, x, y) != moved.At(p, x, y)) return true;
        return false;
    };
    int32_t mx = 0, my = 0;
    for (int32_t i = 0; i < photo.width * photo.height; ++i) {
        mx = i % photo.width, my = i / photo.width;
        if (differs(mx, my)) break;
    }
    const uint16_t far[4] = {30, 200, 90, 40};
    Document d = MakeDocument(photo.mode, 8, 400, 300);
    for (int32_t y = 0; y < 300; ++y)
        for (int32_t x = 0; x < 400; ++x) {
            const bool first = (x / 7 + y / 5) % 2 == 0;
            for (int p = 0; p < planes; ++p)
                d.At(p, x, y) = first ? photo.At(p, mx, my) : far[p];
        }
    return d;
}

class ColorStoreTest : public PluginFixture {};

// A colour's result depends on the simplex that answers it; only for a colour exactly on a face
// shared by two simplices can the search order (which the stored pass evolves with fewer
// colours) pick the other one, whose map may truncate one 16-bit unit differently: one level
// of an 8-bit Lab sample, which an RGB pass then converts back. Such colours are rare.
TEST_F(ColorStoreTest, StoredPassWritesWhatTheUncachedPassWrites) {
    struct Case {
        const char* name;
        Document picture;
    };
    for (ColorMode mode : {ColorMode::RGB, ColorMode::Lab, ColorMode::CMYK})
        for (bool preserve : {false, true}) {
            const Document photo = PhotoLike(mode, 700, 500);
            Document photoMoved = photo;
            UncachedPass(photoMoved, preserve);
            Case cases[] = {
                {"photograph-like", photo},
                {"every colour of a 5-level lattice", EveryColor(mode, 5)},
                {"two colours", TwoColors(photo, photoMoved)},
                {"photograph-like, 16 bits", Deep(photo)},
                {"every colour of a 4-level lattice, 16 bits", Deep(EveryColor(mode, 4))}};
            for (Case& c : cases) {
                SCOPED_TRACE(std::string(ModeName(mode)) + ", " + c.name +
                             (preserve ? ", chroma only" : ", 3D"));
                Document expected = c.picture;
                UncachedPass(expected, preserve);
                Document stored = c.picture;
                ASSERT_EQ(Run(stored, Playback(kColors, preserve, kFuzziness)).result, 0);
                const Difference d = Compare(stored, expected);
                EXPECT_LE(d.pixels * 10000, int64_t(c.picture.width) * c.picture.height)
                    << d.pixels << " pixels differ";
                if (mode == ColorMode::Lab) {
                    EXPECT_LE(d.largest, 1);
                }
                // Every picture here is large enough for the pass to keep a store.
                EXPECT_LE(host_.Memory().PeakBufferBytes(), size_t(64) << 20);
                EXPECT_GE(host_.Memory().PeakBufferBytes(), size_t(32) << 20);
                EXPECT_NE(Compare(stored, c.picture).pixels, 0) << "the pass changed nothing";
            }
        }
}

// All 16.7 million colours of 8-bit Lab, once each: the store never grows past its fixed size,
// and every colour gets what the uncached pass gives it.
TEST_F(ColorStoreTest, EveryEightBitColorWithinTheMemoryBound) {
    Document picture = EveryColor(ColorMode::Lab, 1);
    ASSERT_EQ(int64_t(picture.width) * picture.height, int64_t(1) << 24);
    Document expected = picture;
    UncachedPass(expected, false);
    RunOptions options;
    options.tileWidth = options.tileHeight = 1024;
    ASSERT_EQ(Run(picture, Playback(kColors, false, kFuzziness), options).result, 0);
    EXPECT_LE(host_.Memory().PeakBufferBytes(), size_t(64) << 20);
    EXPECT_GT(host_.Memory().PeakBufferBytes(), size_t(48) << 20) << "the store was used";
    const Difference d = Compare(picture, expected);
    EXPECT_LE(d.pixels * 10000, int64_t(1) << 24) << d.pixels << " pixels differ";
    EXPECT_LE(d.largest, 1);
}

} // namespace
