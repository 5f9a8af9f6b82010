#include "core/documents/HeifCanvases.h"

#include "core/HostFailure.h"
#include "core/documents/SizeClaims.h"

#include <algorithm>
#include <array>
#include <optional>

namespace quillon::filterhost {

namespace {

constexpr uint32_t FourCc(const char (&name)[5]) {
    return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 |
           uint32_t(uint8_t(name[2])) << 8 | uint32_t(uint8_t(name[3]));
}

// Big-endian reads within one range of the file; running past its end is a broken file.
class Cursor {
  public:
    Cursor(const uint8_t* data, size_t size, const std::string* broken)
        : data_(data), size_(size), broken_(broken) {}

    size_t Left() const { return size_ - at_; }
    const uint8_t* Here() const { return data_ + at_; }

    uint64_t Read(size_t bytes) {
        Need(bytes);
        uint64_t value = 0;
        for (size_t i = 0; i < bytes; ++i)
            value = value << 8 | data_[at_ + i];
        at_ += bytes;
        return value;
    }
    void Skip(size_t bytes) {
        Need(bytes);
        at_ += bytes;
    }
    Cursor Take(size_t bytes) {
        Need(bytes);
        const Cursor part(data_ + at_, bytes, broken_);
        at_ += bytes;
        return part;
    }
    [[noreturn]] void Fail(const std::string& why) const {
        throw HostFailure(*broken_ + ": " + why);
    }

  private:
    void Need(size_t bytes) const {
        if (bytes > Left()) Fail("a box is cut short");
    }

    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
    const std::string* broken_;
};

struct Box {
    uint32_t type = 0;
    Cursor body;
};

Box NextBox(Cursor& within) {
    uint64_t size = within.Read(4);
    const uint32_t type = uint32_t(within.Read(4));
    uint64_t header = 8;
    if (size == 1) {
        size = within.Read(8);
        header = 16;
    } else if (size == 0) {
        size = header + within.Left();
    }
    if (size < header || size - header > within.Left()) within.Fail("a box is cut short");
    return {type, within.Take(size_t(size - header))};
}

// A full box's version; its flags follow in three bytes.
uint32_t VersionAndFlags(Cursor& box, uint32_t* flags = nullptr) {
    const uint64_t both = box.Read(4);
    if (flags) *flags = uint32_t(both & 0xFFFFFF);
    return uint32_t(both >> 24);
}

struct Extent {
    uint64_t offset = 0;
    uint64_t length = 0;
};

struct Item {
    uint32_t id = 0;
    uint32_t type = 0;
    uint32_t method = 0;
    uint64_t base = 0;
    // Only the first extents: a descriptor is a few bytes long.
    std::array<Extent, 4> extents{};
    size_t extentCount = 0;
    std::optional<uint32_t> firstTile;
};

// The items of the file's meta box that a decoder sizes its canvas from, with where their
// descriptors lie and what they are made of.
struct Layout {
    std::vector<Item> derived;
    std::optional<Cursor> itemData;
    // Width and height for each item property in order; zero for properties of other kinds.
    std::vector<std::array<uint32_t, 2>> spatialExtents;
    // The derived items' first tiles, sorted, and the 1-based index of each one's spatial extent.
    std::vector<uint32_t> tiles;
    std::vector<uint32_t> tileExtents;
};

// Derived items are kept sorted by id.
Item* Find(Layout& layout, uint32_t id) {
    const auto at = std::lower_bound(layout.derived.begin(), layout.derived.end(), id,
                                     [](const Item& item, uint32_t key) { return item.id < key; });
    return at != layout.derived.end() && at->id == id ? &*at : nullptr;
}

void ReadItemInfos(Cursor box, Layout& layout) {
    box.Skip(VersionAndFlags(box) == 0 ? 2 : 4);
    while (box.Left() >= 8) {
        Box entry = NextBox(box);
        if (entry.type != FourCc("infe")) continue;
        const uint32_t version = VersionAndFlags(entry.body);
        if (version < 2) continue;
        const uint32_t id = uint32_t(entry.body.Read(version == 2 ? 2 : 4));
        entry.body.Skip(2);
        const uint32_t type = uint32_t(entry.body.Read(4));
        if (type == FourCc("grid") || type == FourCc("iovl")) {
            Item item;
            item.id = id;
            item.type = type;
            layout.derived.push_back(item);
        }
    }
    const auto byId = [](const Item& a, const Item& b) { return a.id < b.id; };
    std::stable_sort(layout.derived.begin(), layout.derived.end(), byId);
    const auto sameId = [](const Item& a, const Item& b) { return a.id == b.id; };
    layout.derived.erase(std::unique(layout.derived.begin(), layout.derived.end(), sameId),
                         layout.derived.end());
}

size_t FieldSize(uint32_t nibble, const Cursor& box) {
    if (nibble != 0 && nibble != 4 && nibble != 8)
        box.Fail("an item location has a bad field size");
    return nibble;
}

void ReadLocations(Cursor box, Layout& layout) {
    const uint32_t version = VersionAndFlags(box);
    if (version > 2) box.Fail("unknown item location version");
    const uint32_t sizes = uint32_t(box.Read(2));
    const size_t offsetSize = FieldSize(sizes >> 12, box);
    const size_t lengthSize = FieldSize(sizes >> 8 & 15, box);
    const size_t baseSize = FieldSize(sizes >> 4 & 15, box);
    const size_t indexSize = version == 0 ? 0 : FieldSize(sizes & 15, box);
    const uint64_t count = box.Read(version < 2 ? 2 : 4);
    for (uint64_t i = 0; i < count; ++i) {
        const uint32_t id = uint32_t(box.Read(version < 2 ? 2 : 4));
        const uint32_t method = version == 0 ? 0 : uint32_t(box.Read(2) & 15);
        box.Skip(2);
        const uint64_t base = box.Read(baseSize);
        const uint64_t extents = box.Read(2);
        Item* item = Find(layout, id);
        if (item) {
            item->method = method;
            item->base = base;
            item->extentCount = 0;
        }
        for (uint64_t e = 0; e < extents; ++e) {
            box.Skip(indexSize);
            const uint64_t offset = box.Read(offsetSize);
            const uint64_t length = box.Read(lengthSize);
            if (item && item->extentCount < item->extents.size())
                item->extents[item->extentCount++] = {offset, length};
        }
    }
}

void ReadReferences(Cursor box, Layout& layout) {
    const size_t idSize = VersionAndFlags(box) == 0 ? 2 : 4;
    while (box.Left() >= 8) {
        Box reference = NextBox(box);
        const uint32_t from = uint32_t(reference.body.Read(idSize));
        const uint64_t count = reference.body.Read(2);
        Item* item = reference.type == FourCc("dimg") ? Find(layout, from) : nullptr;
        for (uint64_t i = 0; i < count; ++i) {
            const uint32_t to = uint32_t(reference.body.Read(idSize));
            if (item && i == 0) item->firstTile = to;
        }
    }
}

void ReadProperties(Cursor box, Layout& layout) {
    for (const Item& item : layout.derived)
        if (item.firstTile) layout.tiles.push_back(*item.firstTile);
    std::sort(layout.tiles.begin(), layout.tiles.end());
    layout.tiles.erase(std::unique(layout.tiles.begin(), layout.tiles.end()), layout.tiles.end());
    layout.tileExtents.assign(layout.tiles.size(), 0);
    while (box.Left() >= 8) {
        Box part = NextBox(box);
        if (part.type == FourCc("ipco")) {
            while (part.body.Left() >= 8) {
                Box property = NextBox(part.body);
                std::array<uint32_t, 2> size{0, 0};
                if (property.type == FourCc("ispe")) {
                    VersionAndFlags(property.body);
                    size = {uint32_t(property.body.Read(4)), uint32_t(property.body.Read(4))};
                }
                layout.spatialExtents.push_back(size);
            }
        } else if (part.type == FourCc("ipma")) {
            uint32_t flags = 0;
            const uint32_t version = VersionAndFlags(part.body, &flags);
            const uint64_t entries = part.body.Read(4);
            for (uint64_t e = 0; e < entries; ++e) {
                const uint32_t id = uint32_t(part.body.Read(version < 1 ? 2 : 4));
                const auto tile = std::lower_bound(layout.tiles.begin(), layout.tiles.end(), id);
                const bool wanted = tile != layout.tiles.end() && *tile == id;
                const uint64_t count = part.body.Read(1);
                for (uint64_t a = 0; a < count; ++a) {
                    const uint32_t index = (flags & 1) ? uint32_t(part.body.Read(2) & 0x7FFF)
                                                       : uint32_t(part.body.Read(1) & 0x7F);
                    if (wanted && index > 0 && index <= layout.spatialExtents.size() &&
                        layout.spatialExtents[index - 1][0] != 0)
                        layout.tileExtents[size_t(tile - layout.tiles.begin())] = index;
                }
            }
        }
    }
}

// The width and height of a tile's spatial extent, when the file gives one.
std::optional<std::array<uint32_t, 2>> TileSize(const Layout& layout, uint32_t tile) {
    const auto at = std::lower_bound(layout.tiles.begin(), layout.tiles.end(), tile);
    if (at == layout.tiles.end() || *at != tile) return std::nullopt;
    const uint32_t index = layout.tileExtents[size_t(at - layout.tiles.begin())];
    if (index == 0) return std::nullopt;
    return layout.spatialExtents[index - 1];
}

// The first bytes of an item's data, joined over its extents; fewer where the data is shorter.
size_t DescriptorBytes(const Item& item, const std::vector<uint8_t>& file, const Layout& layout,
                       const Cursor& meta, std::array<uint8_t, 18>& head) {
    const uint8_t* source = file.data();
    size_t sourceSize = file.size();
    if (item.method == 1) {
        if (!layout.itemData) meta.Fail("an item's data lies in a missing data box");
        source = layout.itemData->Here();
        sourceSize = layout.itemData->Left();
    } else if (item.method != 0) {
        return 0;
    }
    size_t got = 0;
    for (size_t e = 0; e < item.extentCount && got < head.size(); ++e) {
        uint64_t start = 0;
        if (__builtin_add_overflow(item.base, item.extents[e].offset, &start) || start > sourceSize)
            meta.Fail("an item's data lies outside the file");
        const uint64_t length =
            item.extents[e].length == 0 ? sourceSize - start : item.extents[e].length;
        const size_t take =
            size_t(std::min<uint64_t>({length, sourceSize - start, uint64_t(head.size() - got)}));
        std::copy_n(source + start, take, head.begin() + std::ptrdiff_t(got));
        got += take;
    }
    return got;
}

uint32_t Field(const std::array<uint8_t, 18>& head, size_t at, size_t bytes) {
    uint32_t value = 0;
    for (size_t i = 0; i < bytes; ++i)
        value = value << 8 | head[at + i];
    return value;
}

} // namespace

void CheckHeifCanvases(const std::vector<uint8_t>& bytes, int64_t maxPixels,
                       const std::string& shown) {
    const std::string broken = shown + ": broken HEIF";
    Cursor file(bytes.data(), bytes.size(), &broken);
    std::optional<Cursor> meta;
    while (!meta && file.Left() >= 8) {
        Box box = NextBox(file);
        if (box.type == FourCc("meta")) meta = box.body;
    }
    // Without a meta box there is no derived picture; libheif says what else is wrong.
    if (!meta) return;
    VersionAndFlags(*meta);
    const Cursor metaStart = *meta;
    const auto forEachBox = [&](uint32_t type, const auto& read) {
        for (Cursor pass = metaStart; pass.Left() >= 8;) {
            Box box = NextBox(pass);
            if (box.type == type) read(box.body);
        }
    };
    Layout layout;
    forEachBox(FourCc("iinf"), [&](Cursor body) { ReadItemInfos(body, layout); });
    if (layout.derived.empty()) return;
    forEachBox(FourCc("iloc"), [&](Cursor body) { ReadLocations(body, layout); });
    forEachBox(FourCc("idat"), [&](Cursor body) { layout.itemData = body; });
    // The properties are read for the tiles the references name.
    forEachBox(FourCc("iref"), [&](Cursor body) { ReadReferences(body, layout); });
    forEachBox(FourCc("iprp"), [&](Cursor body) { ReadProperties(body, layout); });

    for (const Item& item : layout.derived) {
        std::array<uint8_t, 18> head{};
        const size_t got = DescriptorBytes(item, bytes, layout, metaStart, head);
        const bool grid = item.type == FourCc("grid");
        // grid: version, flags, rows - 1, columns - 1; overlay: version, flags, four fill values.
        const size_t sizesAt = grid ? 4 : 10;
        if (got < sizesAt) continue;
        const size_t field = (head[1] & 1) ? 4 : 2;
        if (got < sizesAt + 2 * field) metaStart.Fail("a picture's layout is cut short");
        const uint32_t width = Field(head, sizesAt, field);
        const uint32_t height = Field(head, sizesAt + field, field);
        if (!PixelsWithin(width, height, maxPixels))
            throw HostFailure(shown + ": picture too large (" + std::to_string(width) + " x " +
                              std::to_string(height) + ")");
        const std::optional<std::array<uint32_t, 2>> tile =
            grid && item.firstTile ? TileSize(layout, *item.firstTile) : std::nullopt;
        if (!tile) continue;
        // The tiles cover the canvas; a canvas beyond them would be allocated for nothing.
        const uint64_t columns = uint64_t(head[3]) + 1, rows = uint64_t(head[2]) + 1;
        if (width > columns * (*tile)[0] || height > rows * (*tile)[1])
            metaStart.Fail("a grid of " + std::to_string(width) + " x " + std::to_string(height) +
                           " is larger than its tiles cover");
    }
}

} // namespace quillon::filterhost
