// The canvas a HEIF tile grid or overlay claims is checked against its tiles and the size limit
// before libheif allocates it; the files are built here box by box.
#include "core/documents/HeifCanvases.h"
#include "core/HostFailure.h"
#include "core/documents/ImageFormats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace quillon::filterhost;
using Bytes = std::vector<uint8_t>;

void Put(Bytes& to, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        to.push_back(uint8_t(value >> (8 * i)));
}
void Put(Bytes& to, const std::string& text) {
    to.insert(to.end(), text.begin(), text.end());
}

Bytes Box(const std::string& type, const Bytes& body) {
    Bytes box;
    Put(box, body.size() + 8, 4);
    Put(box, type);
    box.insert(box.end(), body.begin(), body.end());
    return box;
}
Bytes FullBox(const std::string& type, uint32_t versionAndFlags, Bytes body) {
    Bytes head;
    Put(head, versionAndFlags, 4);
    head.insert(head.end(), body.begin(), body.end());
    return Box(type, head);
}
Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

struct Grid {
    uint32_t width, height;
    int rows, columns;
    uint32_t tileWidth, tileHeight;
    bool wideFields = false;
    // Where the grid's descriptor lies, counted from the start of the item data box.
    uint32_t dataOffset = 0;
};

// A HEIF whose primary picture is item 2, a grid of copies of item 1, a coded tile.
Bytes GridFile(const Grid& g) {
    Bytes descriptor = {0, uint8_t(g.wideFields ? 1 : 0), uint8_t(g.rows - 1),
                        uint8_t(g.columns - 1)};
    Put(descriptor, g.width, g.wideFields ? 4 : 2);
    Put(descriptor, g.height, g.wideFields ? 4 : 2);
    Bytes infos;
    Put(infos, 2, 2);
    for (const auto& [id, type] : {std::pair<int, std::string>{1, "hvc1"}, {2, "grid"}}) {
        Bytes entry;
        Put(entry, id, 2);
        Put(entry, 0, 2);
        Put(entry, type);
        entry.push_back(0);
        const Bytes infe = FullBox("infe", 2u << 24, entry);
        infos.insert(infos.end(), infe.begin(), infe.end());
    }
    Bytes locations = {0x44, 0x00};
    Put(locations, 1, 2);
    Put(locations, 2, 2);
    Put(locations, 1, 2); // in the item data box
    Put(locations, 0, 2);
    Put(locations, 1, 2);
    Put(locations, g.dataOffset, 4);
    Put(locations, descriptor.size(), 4);
    Bytes tileSize, gridSize;
    Put(tileSize, g.tileWidth, 4);
    Put(tileSize, g.tileHeight, 4);
    Put(gridSize, g.width, 4);
    Put(gridSize, g.height, 4);
    Bytes associations;
    Put(associations, 2, 4);
    for (int item = 1; item <= 2; ++item) {
        Put(associations, item, 2);
        Put(associations, 1, 1);
        Put(associations, 0x80 | item, 1);
    }
    Bytes dimg;
    Put(dimg, 2, 2);
    Put(dimg, g.rows * g.columns, 2);
    for (int i = 0; i < g.rows * g.columns; ++i)
        Put(dimg, 1, 2);
    Bytes pitm, handler(4, 0);
    Put(pitm, 2, 2);
    Put(handler, "pict");
    handler.insert(handler.end(), 13, 0);
    Bytes ftyp;
    Put(ftyp, "heic");
    Put(ftyp, 0, 4);
    Put(ftyp, "mif1heic");
    const Bytes meta = FullBox(
        "meta", 0,
        Join({FullBox("hdlr", 0, handler), FullBox("pitm", 0, pitm), FullBox("iinf", 0, infos),
              FullBox("iloc", 1u << 24, locations), Box("idat", descriptor),
              Box("iprp", Join({Box("ipco", Join({FullBox("ispe", 0, tileSize),
                                                  FullBox("ispe", 0, gridSize)})),
                                FullBox("ipma", 0, associations)})),
              FullBox("iref", 0, Box("dimg", dimg))}));
    return Join({Box("ftyp", ftyp), meta, Box("mdat", Bytes(16, 0))});
}

std::string Refusal(const Bytes& file, int64_t maxPixels) {
    try {
        CheckHeifCanvases(file, maxPixels, "in.heic");
    } catch (const HostFailure& failure) {
        return failure.what();
    }
    return "";
}

TEST(HeifCanvasesTest, CanvasesBeyondTheirTilesOrTheLimitAreRefused) {
    const struct {
        const char* name;
        Grid grid;
        int64_t maxPixels;
        std::string refusal;
    } cases[] = {
        {"one tile", {64, 48, 1, 1, 64, 48}, 1 << 20, ""},
        {"trimmed 2x2 grid", {120, 90, 2, 2, 64, 48}, 1 << 20, ""},
        {"32-bit fields", {128, 96, 2, 2, 64, 48, true}, 1 << 20, ""},
        {"canvas far beyond its one tile",
         {28786, 28518, 1, 1, 64, 64},
         int64_t{1} << 30,
         "in.heic: broken HEIF: a grid of 28786 x 28518 is larger than its tiles cover"},
        {"one row too many",
         {64, 97, 2, 1, 64, 48},
         1 << 20,
         "in.heic: broken HEIF: a grid of 64 x 97 is larger than its tiles cover"},
        {"over the limit", {64, 48, 1, 1, 64, 48}, 1000, "in.heic: picture too large (64 x 48)"},
        {"over the limit in 32-bit fields",
         {100000, 100000, 1, 1, 64, 48, true},
         int64_t{1} << 30,
         "in.heic: picture too large (100000 x 100000)"},
        {"descriptor outside the data box",
         {64, 48, 1, 1, 64, 48, false, 4000},
         1 << 20,
         "in.heic: broken HEIF: an item's data lies outside the file"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Refusal(GridFile(c.grid), c.maxPixels), c.refusal) << c.name;
}

TEST(HeifCanvasesTest, CutBoxesAreRefusedAndFilesWithoutGridsPass) {
    const Bytes whole = GridFile({64, 48, 1, 1, 64, 48});
    for (const size_t kept : {size_t(40), size_t(100), size_t(200), whole.size() - 30}) {
        Bytes cut(whole.begin(), whole.begin() + std::ptrdiff_t(kept));
        EXPECT_EQ(Refusal(cut, 1 << 20), "in.heic: broken HEIF: a box is cut short") << kept;
    }
    // An item location box that counts two items but holds one.
    Bytes overcounted = whole;
    const std::string iloc = "iloc";
    const auto at = std::search(overcounted.begin(), overcounted.end(), iloc.begin(), iloc.end());
    ASSERT_NE(at, overcounted.end());
    at[4 + 4 + 2 + 1] = 2;
    EXPECT_EQ(Refusal(overcounted, 1 << 20), "in.heic: broken HEIF: a box is cut short");
    EXPECT_EQ(Refusal(Box("ftyp", Bytes(8, 'x')), 1 << 20), "");
    EXPECT_EQ(Refusal(Bytes{'n', 'o', 't'}, 1 << 20), "");
}

TEST(HeifCanvasesTest, TheReaderRefusesTheCanvasBeforeDecoding) {
    try {
        DecodeHeif(GridFile({28786, 28518, 1, 1, 64, 64}), int64_t{1} << 30, "in.heic");
        FAIL() << "a grid far beyond its tile was decoded";
    } catch (const HostFailure& failure) {
        EXPECT_STREQ(
            failure.what(),
            "in.heic: broken HEIF: a grid of 28786 x 28518 is larger than its tiles cover");
    }
}

} // namespace
