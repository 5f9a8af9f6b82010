// The preview's rows from the document's 8-bit planes: which conversions and which
// transformation each kind of document goes through, and what the left pane keeps between draws.
// The first colour-space suite here converts nothing and notes what it was given, so each path
// shows in its calls; the second changes every colour, so a colour left unconverted shows.
#include "dialog/PreviewRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

using namespace quillon;

struct Calls {
    int convert8 = 0, convert16 = 0;
    Color8 first8{};
    Color16 first16{};
};
Calls gCalls;

SPErr Convert8(ColorSpace, ColorSpace, Color8* records, int16 count) {
    if (gCalls.convert8++ == 0 && count > 0) gCalls.first8 = records[0];
    return kSPNoError;
}
SPErr Convert16(ColorSpace, ColorSpace, Color16* records, int16 count) {
    if (gCalls.convert16++ == 0 && count > 0) gCalls.first16 = records[0];
    return kSPNoError;
}

const PSColorSpaceSuite1 kNoting{nullptr,   nullptr,    nullptr, nullptr, nullptr,
                                 &Convert8, &Convert16, nullptr, nullptr};

struct Case {
    const char* name;
    int16_t space;
    bool sixteenBit, live;
    int convert8, convert16;
};

TEST(PreviewRows, EachDocumentTakesItsPath) {
    const Case cases[] = {
        // Samples of 16-bit documents enter the 16-bit path times 128.
        {"16-bit RGB, live", plugIncolorServicesRGBSpace, true, true, 0, 2},
        {"8-bit RGB, live", plugIncolorServicesRGBSpace, false, true, 2, 0},
        {"RGB, original", plugIncolorServicesRGBSpace, false, false, 0, 0},
        {"16-bit Lab, live", plugIncolorServicesLabSpace, true, true, 0, 1},
        {"CMYK, original", plugIncolorServicesCMYKSpace, false, false, 1, 0},
    };
    auto engine = std::make_unique<engine::ColorEngine>();
    const std::vector<uint8_t> p0(4, 10), p1(4, 200), p2(4, 100), p3(4, 50);
    for (const Case& c : cases) {
        gCalls = {};
        std::vector<Color16> row(4);
        std::vector<uint8_t> display(4 * 4, 0);
        const dialog::PreviewPlanes planes{
            {p0.data(), p1.data(), p2.data(), p3.data()}, 4, 1, c.space, c.sixteenBit, c.live};
        dialog::IcsColours ics;
        dialog::ConvertPreviewRows(planes, *engine, kNoting, ics, row.data(),
                                   {display.data(), 16, 4});
        EXPECT_EQ(gCalls.convert8, c.convert8) << c.name;
        EXPECT_EQ(gCalls.convert16, c.convert16) << c.name;
        if (c.convert16 > 0 && c.space == plugIncolorServicesRGBSpace) {
            EXPECT_EQ(gCalls.first16.c1, 200 * 128) << c.name;
            EXPECT_EQ(gCalls.first16.c3, 50 * 128) << c.name;
        }
        if (c.convert8 > 0) {
            EXPECT_EQ(gCalls.first8.c1, 200) << c.name;
        }
        // Blue, green, red in the display; conversions that change nothing leave the planes.
        if (c.space == plugIncolorServicesRGBSpace) {
            EXPECT_NEAR(display[0], 50, 1) << c.name;
            EXPECT_NEAR(display[1], 100, 1) << c.name;
            EXPECT_NEAR(display[2], 200, 1) << c.name;
        }
    }
}

// --- a suite that converts ----------------------------------------------------------------

// Into Lab and out of it by two different reversible scramblings of the components, 8-bit and
// 16-bit alike; a space it is asked to refuse fails the call after converting half the records.
struct Converting {
    int into = 0, outOf = 0;
    ColorSpace refuse = -1;
};
Converting gConverting;

template <typename Record> SPErr Scramble(ColorSpace from, ColorSpace to, Record* r, int16 n) {
    using Sample = decltype(r->c1);
    const int32_t top = sizeof(Sample) == 1 ? 255 : 32768;
    const bool in = to == plugIncolorServicesLabSpace;
    (in ? gConverting.into : gConverting.outOf)++;
    const int16 done = from == gConverting.refuse ? int16(n / 2) : n;
    for (int16 i = 0; i < done; ++i) {
        const Sample a = r[i].c1, b = r[i].c2, c = r[i].c3;
        r[i].c1 = in ? c : Sample(top - b);
        r[i].c2 = in ? Sample(top - a) : c;
        r[i].c3 = in ? b : a;
    }
    return done == n ? kSPNoError : kSPBadParameterError;
}
SPErr Scramble8(ColorSpace from, ColorSpace to, Color8* r, int16 n) {
    return Scramble(from, to, r, n);
}
SPErr Scramble16(ColorSpace from, ColorSpace to, Color16* r, int16 n) {
    return Scramble(from, to, r, n);
}
const PSColorSpaceSuite1 kConverting{nullptr,    nullptr,     nullptr, nullptr, nullptr,
                                     &Scramble8, &Scramble16, nullptr, nullptr};

// An engine that moves the colours of a wide region: a few adjustments on the 16-bit Lab scale.
std::unique_ptr<engine::ColorEngine> MovingEngine() {
    auto engine = std::make_unique<engine::ColorEngine>();
    engine->Reset();
    for (int k = 0; k < 4; ++k) {
        engine::StoredAdjustment a;
        a.original[0] = 8000 + k * 5000;
        a.original[1] = 12000 + k * 2500;
        a.original[2] = 20000 - k * 2000;
        a.target[0] = a.original[0] + 2000;
        a.target[1] = a.original[1] + 3000;
        a.target[2] = a.original[2] - 2500;
        engine->LoadAdjustment(a);
    }
    engine->Rebuild();
    return engine;
}

// A small picture's planes with many colours; plane 0 unused as in RGB and Lab documents.
struct Picture {
    Picture(int32_t width, int32_t height, int seed) : width(width), height(height) {
        for (auto& plane : planes)
            plane.assign(size_t(width) * size_t(height), 0);
        for (size_t i = 0; i < planes[1].size(); ++i) {
            planes[1][i] = uint8_t(i * 37 + size_t(seed));
            planes[2][i] = uint8_t(i * 11 + 90 + size_t(seed));
            planes[3][i] = uint8_t(i * 23 + 40);
        }
    }
    dialog::PreviewPlanes Planes(int16_t space, bool sixteenBit) const {
        return {{planes[0].data(), planes[1].data(), planes[2].data(), planes[3].data()},
                width,
                height,
                space,
                sixteenBit,
                true};
    }
    int32_t width, height;
    std::vector<uint8_t> planes[4];
};

// The display as mapped with no colours kept: each row converted into the engine's space,
// transformed and converted to RGB.
std::vector<uint8_t> DrawAnew(const dialog::PreviewPlanes& planes, engine::ColorEngine& engine) {
    std::vector<Color16> row(size_t(planes.width) * 2);
    std::vector<uint8_t> display(size_t(planes.width) * size_t(planes.height) * 4, 0);
    dialog::IcsColours fresh;
    dialog::ConvertPreviewRows(planes, engine, kConverting, fresh, row.data(),
                               {display.data(), planes.width * 4, 4});
    return display;
}

std::vector<uint8_t> Draw(const dialog::PreviewPlanes& planes, engine::ColorEngine& engine,
                          dialog::IcsColours& kept) {
    std::vector<Color16> row(size_t(planes.width) * 2);
    std::vector<uint8_t> display(size_t(planes.width) * size_t(planes.height) * 4, 0);
    dialog::ConvertPreviewRows(planes, engine, kConverting, kept, row.data(),
                               {display.data(), planes.width * 4, 4});
    return display;
}

// After an edit, the kept colours give the very pixels a draw from scratch gives, and only the
// conversion out of the engine's space runs again.
TEST(PreviewRows, KeptColoursDrawWhatADrawAnewDraws) {
    const struct {
        const char* name;
        int16_t space;
        bool sixteenBit;
        int into; // conversions into the engine's space of the first draw of 3 rows
    } cases[] = {
        {"8-bit RGB", plugIncolorServicesRGBSpace, false, 3},
        {"16-bit RGB", plugIncolorServicesRGBSpace, true, 3},
        {"8-bit Lab", plugIncolorServicesLabSpace, false, 0},
        {"16-bit Lab", plugIncolorServicesLabSpace, true, 0},
    };
    const Picture picture(40, 3, 0);
    for (const auto& c : cases) {
        const auto engine = MovingEngine();
        const dialog::PreviewPlanes planes = picture.Planes(c.space, c.sixteenBit);
        dialog::IcsColours kept;
        gConverting = {};
        const std::vector<uint8_t> before = Draw(planes, *engine, kept);
        EXPECT_EQ(gConverting.into, c.into) << c.name;
        EXPECT_EQ(gConverting.outOf, 3) << c.name;
        EXPECT_EQ(before, DrawAnew(planes, *engine)) << c.name;

        engine->SetFuzziness(0.9f);
        gConverting = {};
        const std::vector<uint8_t> after = Draw(planes, *engine, kept);
        EXPECT_EQ(gConverting.into, 0) << c.name;
        EXPECT_EQ(gConverting.outOf, 3) << c.name;
        EXPECT_EQ(after, DrawAnew(planes, *engine)) << c.name;
        EXPECT_NE(after, before) << c.name << ": the edit shows";
    }
}

// Kept colours belong to one set of planes: other planes, another depth or another size, or a
// Forget, convert them again.
TEST(PreviewRows, KeptColoursFollowThePlanes) {
    const Picture first(16, 2, 0), wider(24, 2, 0), other(24, 2, 101);
    const auto engine = MovingEngine();
    dialog::IcsColours kept;
    const struct {
        const char* name;
        dialog::PreviewPlanes planes;
        bool forget;
        bool converts;
    } steps[] = {
        {"first", first.Planes(plugIncolorServicesRGBSpace, false), false, true},
        {"kept", first.Planes(plugIncolorServicesRGBSpace, false), false, false},
        {"another depth", first.Planes(plugIncolorServicesRGBSpace, true), false, true},
        {"another size", wider.Planes(plugIncolorServicesRGBSpace, true), false, true},
        {"another space", wider.Planes(plugIncolorServicesCMYKSpace, true), false, true},
        // Other pixels in planes like the last: only a Forget tells.
        {"forgotten", other.Planes(plugIncolorServicesCMYKSpace, true), true, true},
        {"kept again", other.Planes(plugIncolorServicesCMYKSpace, true), false, false},
    };
    for (const auto& step : steps) {
        if (step.forget) kept.Forget();
        gConverting = {};
        const std::vector<uint8_t> drawn = Draw(step.planes, *engine, kept);
        EXPECT_EQ(gConverting.into, step.converts ? 2 : 0) << step.name;
        EXPECT_EQ(drawn, DrawAnew(step.planes, *engine)) << step.name;
    }
}

// A conversion the host refuses is not kept: its rows show what the host left, untransformed,
// and the next draw asks again.
TEST(PreviewRows, RefusedConversionIsNotKept) {
    const Picture picture(8, 2, 0);
    const auto engine = MovingEngine();
    const dialog::PreviewPlanes planes = picture.Planes(plugIncolorServicesRGBSpace, false);
    dialog::IcsColours kept;
    gConverting = {};
    gConverting.refuse = plugIncolorServicesRGBSpace;
    Draw(planes, *engine, kept);
    EXPECT_EQ(gConverting.into, 2);
    EXPECT_FALSE(kept.RowConverted(0));
    EXPECT_EQ(gConverting.outOf, 0) << "refused rows are not mapped";

    gConverting = {};
    const std::vector<uint8_t> again = Draw(planes, *engine, kept);
    EXPECT_EQ(gConverting.into, 2) << "asked again";
    EXPECT_TRUE(kept.RowConverted(1));
    EXPECT_EQ(again, DrawAnew(planes, *engine));
}

// --- what the pane keeps between draws ----------------------------------------------------

// A host whose channels hold, at every display pixel, the source rectangle's left edge plus the
// channel type, and that notes each read; it refuses reads while `refuse` is set.
struct Reads {
    int calls = 0;
    bool refuse = false;
};
Reads gReads;

OSErr ReadPlane(PIChannelPort port, const PSScaling* scaling, const VRect* rect,
                const PixelMemoryDesc* memory, VRect* wrote) {
    ++gReads.calls;
    if (gReads.refuse) return filterBadParameters;
    const auto type = int16_t(reinterpret_cast<intptr_t>(port));
    auto* data = static_cast<uint8_t*>(memory->data);
    const int32_t rowBytes = memory->rowBits / 8;
    for (int32_t y = rect->top; y < rect->bottom; ++y)
        for (int32_t x = rect->left; x < rect->right; ++x)
            data[y * rowBytes + x] = uint8_t(scaling->sourceRect.left + type);
    *wrote = *rect;
    return noErr;
}

struct Channels {
    Channels() {
        const int16_t types[3] = {ctRed, ctGreen, ctBlue};
        for (int i = 0; i < 3; ++i) {
            descs[i] = {};
            descs[i].channelType = types[i];
            descs[i].port = reinterpret_cast<PIChannelPort>(intptr_t(types[i]));
            descs[i].next = i < 2 ? &descs[i + 1] : nullptr;
        }
    }
    ReadChannelDesc descs[3];
    ChannelPortProcs procs{1, 1, &ReadPlane};
};

// The document is read once per view; a new view reads it again and its colours replace the
// kept ones; a read the host refused is tried again.
TEST(PreviewSource, ReadsOnlyForANewView) {
    const Channels channels;
    const auto engine = MovingEngine();
    dialog::PreviewSource source;
    source.Allocate(6, 4);
    const dialog::PreviewSource::View view{{0, 10, 8, 22}, 6, 4};
    const dialog::PreviewSource::View scrolled{{0, 11, 8, 23}, 6, 4};
    gReads = {};

    struct Step {
        const char* name;
        dialog::PreviewSource::View view;
        bool refuse;
        bool asked;
        int reads;
    } const steps[] = {
        {"first view", view, false, true, 3},      {"same view", view, false, false, 3},
        {"scrolled", scrolled, false, true, 6},    {"back again", view, false, true, 9},
        {"refused", scrolled, true, true, 12},     {"after a refusal", scrolled, false, true, 15},
        {"then kept", scrolled, false, false, 15},
    };
    for (const Step& step : steps) {
        gReads.refuse = step.refuse;
        EXPECT_EQ(source.Read(channels.descs, channels.procs, step.view), step.asked) << step.name;
        EXPECT_EQ(gReads.calls, step.reads) << step.name;
        if (step.refuse) continue;
        const dialog::PreviewPlanes planes =
            source.Planes(plugIncolorServicesRGBSpace, false, true);
        EXPECT_EQ(planes.planes[0][0], 0) << step.name;
        EXPECT_EQ(planes.planes[1][5], uint8_t(step.view.source.left + ctRed)) << step.name;
        EXPECT_EQ(planes.planes[3][23], uint8_t(step.view.source.left + ctBlue)) << step.name;
        // The colours drawn are those of the view read, never those of an earlier view.
        gConverting = {};
        std::vector<uint8_t> display(6 * 4 * 4, 0);
        dialog::ConvertPreviewRows(planes, *engine, kConverting, source.Ics(), source.Rows(),
                                   {display.data(), 6 * 4, 4});
        EXPECT_EQ(display, DrawAnew(planes, *engine)) << step.name;
    }
}

// Views of another size than the storage are not read into it.
TEST(PreviewSource, RefusesAViewOfAnotherSize) {
    const Channels channels;
    dialog::PreviewSource source;
    gReads = {};
    EXPECT_FALSE(source.Read(channels.descs, channels.procs, {{0, 0, 4, 4}, 4, 4}));
    source.Allocate(4, 4);
    EXPECT_FALSE(source.Read(channels.descs, channels.procs, {{0, 0, 5, 5}, 5, 5}));
    EXPECT_EQ(gReads.calls, 0);
    EXPECT_TRUE(source.Read(channels.descs, channels.procs, {{0, 0, 4, 4}, 4, 4}));
    source.Release();
    EXPECT_FALSE(source.Allocated());
    EXPECT_FALSE(source.Read(channels.descs, channels.procs, {{0, 0, 4, 4}, 4, 4}));
    EXPECT_EQ(gReads.calls, 3);
}

} // namespace
