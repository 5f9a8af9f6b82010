#include "Fixtures.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>
#include <unistd.h>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace quillon::codec::fixtures {

Picture Indexed::Expand() const {
    Picture p{width, height, Bytes(size_t(width) * height * 3)};
    for (size_t i = 0; i < indices.size(); ++i) {
        size_t e = size_t(indices[i]) * 3;
        for (int c = 0; c < 3; ++c)
            p.rgb[i * 3 + c] = e + c < palette.size() ? palette[e + c] : 0;
    }
    return p;
}

Picture Pattern(int width, int height) {
    Picture p{width, height, Bytes(size_t(width) * height * 3)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* px = &p.rgb[(size_t(y) * width + x) * 3];
            px[0] = uint8_t(x * 255 / std::max(1, width - 1));
            px[1] = uint8_t(y * 255 / std::max(1, height - 1));
            px[2] = uint8_t(((x / 4 + y / 4) % 2) ? 200 : 40);
        }
    }
    return p;
}

Indexed IndexedPattern(int width, int height, int colors) {
    Indexed p{width, height, Bytes(size_t(width) * height), Bytes(size_t(colors) * 3)};
    for (int i = 0; i < colors; ++i) {
        p.palette[3 * i] = uint8_t(i * 37 + 11);
        p.palette[3 * i + 1] = uint8_t(255 - i * 53);
        p.palette[3 * i + 2] = uint8_t(i * 91 + 7);
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            p.indices[size_t(y) * width + x] = uint8_t((x + 3 * y) % colors);
    }
    return p;
}

void Put16LE(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void Put32LE(Bytes& b, uint32_t v) {
    Put16LE(b, v);
    Put16LE(b, v >> 16);
}
void Put16BE(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}
void Put32BE(Bytes& b, uint32_t v) {
    Put16BE(b, v >> 16);
    Put16BE(b, v);
}

Bytes PackBits(const uint8_t* data, size_t size) {
    Bytes out;
    size_t i = 0;
    while (i < size) {
        size_t run = 1;
        while (i + run < size && run < 128 && data[i + run] == data[i])
            ++run;
        if (run >= 3) {
            out.push_back(uint8_t(1 - int(run)));
            out.push_back(data[i]);
            i += run;
            continue;
        }
        size_t start = i, count = 0;
        while (i < size && count < 128) {
            if (i + 2 < size && data[i] == data[i + 1] && data[i] == data[i + 2]) break;
            ++i;
            ++count;
        }
        out.push_back(uint8_t(count - 1));
        out.insert(out.end(), data + start, data + start + count);
    }
    return out;
}

std::vector<Bytes> Planes(const Picture& p, int extra) {
    std::vector<Bytes> planes(3 + size_t(extra), Bytes(size_t(p.width) * p.height, 0x80));
    for (size_t i = 0; i < size_t(p.width) * p.height; ++i) {
        for (int c = 0; c < 3; ++c)
            planes[size_t(c)][i] = p.rgb[i * 3 + c];
    }
    return planes;
}

Bytes MakePsd(const PsdLayout& s) {
    Bytes b{'8', 'B', 'P', 'S'};
    Put16BE(b, 1);
    b.insert(b.end(), 6, 0);
    Put16BE(b, uint32_t(s.channels.size()));
    Put32BE(b, uint32_t(s.height));
    Put32BE(b, uint32_t(s.width));
    Put16BE(b, s.depth);
    Put16BE(b, s.mode);
    Put32BE(b, uint32_t(s.colorModeData.size()));
    b.insert(b.end(), s.colorModeData.begin(), s.colorModeData.end());
    Bytes resources{'8', 'B', 'I', 'M', 0x03, 0xED, 0, 0};
    Put32BE(resources, 16);
    resources.insert(resources.end(), 16, 0);
    Put32BE(b, uint32_t(resources.size()));
    b.insert(b.end(), resources.begin(), resources.end());
    Put32BE(b, uint32_t(s.layerSection.size()));
    b.insert(b.end(), s.layerSection.begin(), s.layerSection.end());
    Put16BE(b, s.rle ? 1 : 0);

    const size_t rowValues = s.depth == 1 ? (size_t(s.width) + 7) / 8 : size_t(s.width);
    auto row = [&](const Bytes& plane, int y) {
        Bytes r;
        if (s.depth == 1) {
            r.assign(rowValues, 0);
            for (int x = 0; x < s.width; ++x) {
                if (plane[size_t(y) * s.width + x]) r[size_t(x) / 8] |= uint8_t(0x80 >> (x % 8));
            }
        } else {
            for (int x = 0; x < s.width; ++x) {
                uint8_t v = plane[size_t(y) * s.width + x];
                r.push_back(v);
                if (s.depth == 16) r.push_back(v);
            }
        }
        return r;
    };
    if (!s.rle) {
        for (const Bytes& plane : s.channels) {
            for (int y = 0; y < s.height; ++y) {
                Bytes r = row(plane, y);
                b.insert(b.end(), r.begin(), r.end());
            }
        }
        return b;
    }
    std::vector<Bytes> packed;
    for (const Bytes& plane : s.channels) {
        for (int y = 0; y < s.height; ++y) {
            Bytes r = row(plane, y);
            packed.push_back(PackBits(r.data(), r.size()));
            Put16BE(b, uint32_t(packed.back().size()));
        }
    }
    for (const Bytes& p : packed)
        b.insert(b.end(), p.begin(), p.end());
    return b;
}

Bytes GifLzw(const Bytes& indices, int minCodeSize) {
    Bytes codes;
    uint32_t acc = 0;
    int bits = 0;
    const int clear = 1 << minCodeSize;
    int codeBits = minCodeSize + 1;
    int next = clear + 2;
    auto emit = [&](int code) {
        acc |= uint32_t(code) << bits;
        bits += codeBits;
        while (bits >= 8) {
            codes.push_back(uint8_t(acc));
            acc >>= 8;
            bits -= 8;
        }
    };
    std::map<std::pair<int, uint8_t>, int> table;
    emit(clear);
    int prefix = -1;
    for (uint8_t v : indices) {
        if (prefix < 0) {
            prefix = v;
            continue;
        }
        auto it = table.find({prefix, v});
        if (it != table.end()) {
            prefix = it->second;
            continue;
        }
        emit(prefix);
        if (next < 4096) {
            table[{prefix, v}] = next++;
            // The decoder widens its codes one code later than the encoder adds the entry.
            if (next > (1 << codeBits) && codeBits < 12) ++codeBits;
        } else {
            emit(clear);
            table.clear();
            codeBits = minCodeSize + 1;
            next = clear + 2;
        }
        prefix = v;
    }
    if (prefix >= 0) emit(prefix);
    emit(clear + 1);
    if (bits > 0) codes.push_back(uint8_t(acc));

    Bytes out{uint8_t(minCodeSize)};
    for (size_t i = 0; i < codes.size(); i += 255) {
        size_t n = std::min<size_t>(255, codes.size() - i);
        out.push_back(uint8_t(n));
        out.insert(out.end(), codes.begin() + long(i), codes.begin() + long(i + n));
    }
    out.push_back(0);
    return out;
}

namespace {

int TableBits(size_t entries) {
    int n = 1;
    while ((size_t(1) << n) < entries)
        ++n;
    return n;
}

void PutTable(Bytes& b, const Bytes& palette, int tableBits) {
    Bytes t = palette;
    t.resize((size_t(1) << tableBits) * 3, 0);
    b.insert(b.end(), t.begin(), t.end());
}

} // namespace

Bytes MakeGif(const std::vector<GifFrame>& frames, const Bytes& globalTable, int screenWidth,
              int screenHeight) {
    Bytes b{'G', 'I', 'F', '8', '9', 'a'};
    Put16LE(b, uint32_t(screenWidth));
    Put16LE(b, uint32_t(screenHeight));
    int globalBits = globalTable.empty() ? 1 : TableBits(globalTable.size() / 3);
    b.push_back(globalTable.empty() ? 0 : uint8_t(0x80 | (globalBits - 1)));
    b.push_back(0);
    b.push_back(0);
    if (!globalTable.empty()) PutTable(b, globalTable, globalBits);
    for (const GifFrame& f : frames) {
        // Graphic control extension naming index 0 transparent.
        b.insert(b.end(), {'!', 0xF9, 4, 1, 0, 0, 0, 0});
        b.push_back(',');
        Put16LE(b, uint32_t(f.left));
        Put16LE(b, uint32_t(f.top));
        Put16LE(b, uint32_t(f.image.width));
        Put16LE(b, uint32_t(f.image.height));
        int localBits = TableBits(f.image.palette.size() / 3);
        uint8_t flags = f.interlaced ? 0x40 : 0;
        if (f.localTable) flags |= uint8_t(0x80 | (localBits - 1));
        b.push_back(flags);
        if (f.localTable) PutTable(b, f.image.palette, localBits);
        Bytes stored = f.image.indices;
        if (f.interlaced) {
            stored.clear();
            const int w = f.image.width, h = f.image.height;
            for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}}) {
                for (int y = start; y < h; y += step) {
                    stored.insert(stored.end(), f.image.indices.begin() + long(y) * w,
                                  f.image.indices.begin() + long(y + 1) * w);
                }
            }
        }
        int codeSize = f.minCodeSize ? f.minCodeSize
                                     : std::max(2, TableBits(std::max(f.image.palette.size() / 3,
                                                                      globalTable.size() / 3)));
        Bytes lzw = GifLzw(stored, codeSize);
        b.insert(b.end(), lzw.begin(), lzw.end());
    }
    b.push_back(';');
    return b;
}

namespace {

Bytes BmpFileHeader(uint32_t dataOffset, uint32_t fileSize) {
    Bytes b{'B', 'M'};
    Put32LE(b, fileSize);
    Put32LE(b, 0);
    Put32LE(b, dataOffset);
    return b;
}

uint32_t HeaderSize(BmpHeader header) {
    return header == BmpHeader::V5_124 ? 124 : header == BmpHeader::V4_108 ? 108 : 40;
}

// The 40-byte info header, then as many more bytes as headerSize asks: the masks given (each
// version after the first begins with them), then zeros.
void BmpInfoHeader(Bytes& b, int width, int height, int bits, uint32_t compression, uint32_t colors,
                   uint32_t headerSize = 40, const std::vector<uint32_t>& masks = {}) {
    Put32LE(b, headerSize);
    Put32LE(b, uint32_t(width));
    Put32LE(b, uint32_t(height));
    Put16LE(b, 1);
    Put16LE(b, uint32_t(bits));
    Put32LE(b, compression);
    Put32LE(b, 0);
    Put32LE(b, 2835);
    Put32LE(b, 2835);
    Put32LE(b, colors);
    Put32LE(b, 0);
    if (headerSize == 40) return;
    for (uint32_t mask : masks)
        Put32LE(b, mask);
    b.insert(b.end(), headerSize - 40 - 4 * masks.size(), 0);
}

Bytes Finish(Bytes header, const Bytes& data) {
    uint32_t offset = uint32_t(header.size());
    header[10] = uint8_t(offset);
    header[11] = uint8_t(offset >> 8);
    header.insert(header.end(), data.begin(), data.end());
    uint32_t size = uint32_t(header.size());
    std::memcpy(&header[2], &size, 4);
    return header;
}

} // namespace

Bytes MakeBmpIndexed(const Indexed& p, int bits, bool topDown, BmpHeader header) {
    Bytes b = BmpFileHeader(0, 0);
    const int colors = int(p.palette.size() / 3);
    if (header == BmpHeader::Core12) {
        Put32LE(b, 12);
        Put16LE(b, uint32_t(p.width));
        Put16LE(b, uint32_t(p.height));
        Put16LE(b, 1);
        Put16LE(b, uint32_t(bits));
    } else {
        BmpInfoHeader(b, p.width, topDown ? -p.height : p.height, bits, 0, uint32_t(colors),
                      HeaderSize(header));
    }
    for (int i = 0; i < colors; ++i) {
        b.push_back(p.palette[3 * i + 2]);
        b.push_back(p.palette[3 * i + 1]);
        b.push_back(p.palette[3 * i]);
        if (header != BmpHeader::Core12) b.push_back(0);
    }
    if (header == BmpHeader::Core12) {
        // Core files have no colours-used field: the table always has 2^bits entries.
        b.insert(b.end(), size_t((1 << bits) - colors) * 3, 0);
    }
    const size_t rowBytes = (size_t(p.width) * bits + 31) / 32 * 4;
    Bytes data;
    for (int r = 0; r < p.height; ++r) {
        int y = topDown && header != BmpHeader::Core12 ? r : p.height - 1 - r;
        Bytes row(rowBytes, 0);
        for (int x = 0; x < p.width; ++x) {
            unsigned v = p.indices[size_t(y) * p.width + x];
            size_t bit = size_t(x) * bits;
            row[bit / 8] |= uint8_t(v << (8 - bits - bit % 8));
        }
        data.insert(data.end(), row.begin(), row.end());
    }
    return Finish(b, data);
}

Bytes MakeBmpRgb(const Picture& p, int bits, bool topDown, bool bitFields, BmpHeader header) {
    Bytes b = BmpFileHeader(0, 0);
    // 5-6-5 for 16 bits; red and blue swapped from the usual for 32 bits, with an alpha mask in
    // the longer headers.
    std::vector<uint32_t> masks;
    if (bitFields)
        masks = bits == 16 ? std::vector<uint32_t>{0xF800, 0x07E0, 0x001F}
                           : std::vector<uint32_t>{0x000000FF, 0x0000FF00, 0x00FF0000};
    if (bitFields && header != BmpHeader::Info40) masks.push_back(bits == 16 ? 0 : 0xFF000000);
    BmpInfoHeader(b, p.width, topDown ? -p.height : p.height, bits, bitFields ? 3 : 0, 0,
                  HeaderSize(header),
                  header == BmpHeader::Info40 ? std::vector<uint32_t>{} : masks);
    if (header == BmpHeader::Info40)
        for (uint32_t mask : masks)
            Put32LE(b, mask);
    const size_t rowBytes = (size_t(p.width) * bits + 31) / 32 * 4;
    Bytes data;
    for (int r = 0; r < p.height; ++r) {
        int y = topDown ? r : p.height - 1 - r;
        Bytes row(rowBytes, 0);
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* c = p.At(x, y);
            if (bits == 24) {
                row[size_t(x) * 3] = c[2];
                row[size_t(x) * 3 + 1] = c[1];
                row[size_t(x) * 3 + 2] = c[0];
            } else if (bits == 32) {
                uint32_t v = bitFields ? uint32_t(c[0] | c[1] << 8 | c[2] << 16)
                                       : uint32_t(c[2] | c[1] << 8 | c[0] << 16);
                std::memcpy(&row[size_t(x) * 4], &v, 4);
            } else {
                uint32_t v = bitFields ? uint32_t((c[0] >> 3) << 11 | (c[1] >> 2) << 5 | c[2] >> 3)
                                       : uint32_t((c[0] >> 3) << 10 | (c[1] >> 3) << 5 | c[2] >> 3);
                row[size_t(x) * 2] = uint8_t(v);
                row[size_t(x) * 2 + 1] = uint8_t(v >> 8);
            }
        }
        data.insert(data.end(), row.begin(), row.end());
    }
    return Finish(b, data);
}

Bytes MakeBmpRle(const Indexed& p, int bits) {
    Bytes b = BmpFileHeader(0, 0);
    const int colors = int(p.palette.size() / 3);
    BmpInfoHeader(b, p.width, p.height, bits, bits == 8 ? 1 : 2, uint32_t(colors));
    for (int i = 0; i < colors; ++i)
        b.insert(b.end(), {p.palette[3 * i + 2], p.palette[3 * i + 1], p.palette[3 * i], 0});
    Bytes data;
    for (int r = 0; r < p.height; ++r) {
        const uint8_t* row = &p.indices[size_t(p.height - 1 - r) * p.width];
        int x = 0;
        while (x < p.width) {
            int run = 1;
            while (x + run < p.width && run < 255 && row[x + run] == row[x])
                ++run;
            if (run >= 3 || p.width - x < 3) {
                data.push_back(uint8_t(run));
                data.push_back(bits == 8 ? row[x] : uint8_t(row[x] << 4 | row[x]));
                x += run;
                continue;
            }
            // An absolute run of three or more pixels, padded to a 16-bit boundary.
            int count = std::min(p.width - x, 255);
            data.push_back(0);
            data.push_back(uint8_t(count));
            Bytes lit;
            for (int i = 0; i < count; ++i) {
                if (bits == 8) {
                    lit.push_back(row[x + i]);
                } else if (i % 2 == 0) {
                    lit.push_back(uint8_t(row[x + i] << 4));
                } else {
                    lit.back() |= row[x + i];
                }
            }
            if (lit.size() % 2) lit.push_back(0);
            data.insert(data.end(), lit.begin(), lit.end());
            x += count;
        }
        data.insert(data.end(), {0, 0});
    }
    data.insert(data.end(), {0, 1});
    return Finish(b, data);
}

namespace {

Bytes TgaHeader(int type, int width, int height, int bits, bool topDown, int mapLength = 0) {
    Bytes b{0, uint8_t(mapLength ? 1 : 0), uint8_t(type)};
    Put16LE(b, 0);
    Put16LE(b, uint32_t(mapLength));
    b.push_back(mapLength ? 24 : 0);
    Put32LE(b, 0);
    Put16LE(b, uint32_t(width));
    Put16LE(b, uint32_t(height));
    b.push_back(uint8_t(bits));
    b.push_back(uint8_t((topDown ? 0x20 : 0) | (bits == 32 ? 8 : 0)));
    return b;
}

void TgaFooter(Bytes& b) {
    b.insert(b.end(), 8, 0);
    const char sig[] = "TRUEVISION-XFILE.";
    b.insert(b.end(), sig, sig + sizeof sig);
}

// Pixels of `bytes` each, stored in rows; rle packs runs and raw packets.
void TgaPixels(Bytes& b, const std::vector<Bytes>& pixels, bool rle) {
    if (!rle) {
        for (const Bytes& p : pixels)
            b.insert(b.end(), p.begin(), p.end());
        return;
    }
    size_t i = 0;
    while (i < pixels.size()) {
        size_t run = 1;
        while (i + run < pixels.size() && run < 128 && pixels[i + run] == pixels[i])
            ++run;
        if (run > 1) {
            b.push_back(uint8_t(0x80 | (run - 1)));
            b.insert(b.end(), pixels[i].begin(), pixels[i].end());
            i += run;
            continue;
        }
        size_t count = 1;
        while (i + count < pixels.size() && count < 128 &&
               pixels[i + count] != pixels[i + count - 1])
            ++count;
        b.push_back(uint8_t(count - 1));
        for (size_t k = 0; k < count; ++k)
            b.insert(b.end(), pixels[i + k].begin(), pixels[i + k].end());
        i += count;
    }
}

template <typename PixelFn>
std::vector<Bytes> TgaOrder(int width, int height, bool topDown, PixelFn pixel) {
    std::vector<Bytes> out;
    for (int r = 0; r < height; ++r) {
        int y = topDown ? r : height - 1 - r;
        for (int x = 0; x < width; ++x)
            out.push_back(pixel(x, y));
    }
    return out;
}

} // namespace

Bytes MakeTgaRgb(const Picture& p, int bits, bool rle, bool topDown, bool footer) {
    Bytes b = TgaHeader(rle ? 10 : 2, p.width, p.height, bits, topDown);
    TgaPixels(b,
              TgaOrder(p.width, p.height, topDown,
                       [&](int x, int y) {
                           const uint8_t* c = p.At(x, y);
                           if (bits == 24) return Bytes{c[2], c[1], c[0]};
                           if (bits == 32) return Bytes{c[2], c[1], c[0], 0x7F};
                           unsigned v = (c[0] >> 3) << 10 | (c[1] >> 3) << 5 | c[2] >> 3;
                           return Bytes{uint8_t(v), uint8_t(v >> 8)};
                       }),
              rle);
    if (footer) TgaFooter(b);
    return b;
}

Bytes MakeTgaGrey(const Picture& p, bool rle, bool footer) {
    Bytes b = TgaHeader(rle ? 11 : 3, p.width, p.height, 8, false);
    TgaPixels(
        b, TgaOrder(p.width, p.height, false, [&](int x, int y) { return Bytes{p.At(x, y)[0]}; }),
        rle);
    if (footer) TgaFooter(b);
    return b;
}

Bytes MakeTgaMapped(const Indexed& p, bool rle, bool footer) {
    const int colors = int(p.palette.size() / 3);
    Bytes b = TgaHeader(rle ? 9 : 1, p.width, p.height, 8, true, colors);
    for (int i = 0; i < colors; ++i)
        b.insert(b.end(), {p.palette[3 * i + 2], p.palette[3 * i + 1], p.palette[3 * i]});
    TgaPixels(b,
              TgaOrder(p.width, p.height, true,
                       [&](int x, int y) { return Bytes{p.indices[size_t(y) * p.width + x]}; }),
              rle);
    if (footer) TgaFooter(b);
    return b;
}

namespace {

Bytes PcxHeader(int width, int height, int bits, int planes, int bytesPerLine) {
    Bytes b(128, 0);
    b[0] = 0x0A;
    b[1] = 5;
    b[2] = 1;
    b[3] = uint8_t(bits);
    b[8] = uint8_t(width - 1);
    b[9] = uint8_t((width - 1) >> 8);
    b[10] = uint8_t(height - 1);
    b[11] = uint8_t((height - 1) >> 8);
    b[65] = uint8_t(planes);
    b[66] = uint8_t(bytesPerLine);
    b[67] = uint8_t(bytesPerLine >> 8);
    return b;
}

void PcxRle(Bytes& out, const Bytes& line) {
    size_t i = 0;
    while (i < line.size()) {
        size_t run = 1;
        while (i + run < line.size() && run < 63 && line[i + run] == line[i])
            ++run;
        if (run > 1 || (line[i] & 0xC0) == 0xC0) out.push_back(uint8_t(0xC0 | run));
        out.push_back(line[i]);
        i += run;
    }
}

int EvenBytes(int width, int bits) {
    return ((width * bits + 7) / 8 + 1) & ~1;
}

Bytes PcxPlanar(const Indexed& p, int bits, int planes) {
    const int bpl = EvenBytes(p.width, bits);
    Bytes b = PcxHeader(p.width, p.height, bits, planes, bpl);
    for (size_t i = 0; i < 16 && i * 3 < p.palette.size(); ++i) {
        std::memcpy(&b[16 + i * 3], &p.palette[i * 3], 3);
    }
    for (int y = 0; y < p.height; ++y) {
        Bytes line(size_t(bpl) * planes, 0);
        for (int x = 0; x < p.width; ++x) {
            unsigned v = p.indices[size_t(y) * p.width + x];
            for (int pl = 0; pl < planes; ++pl) {
                unsigned part = (v >> (pl * bits)) & ((1u << bits) - 1);
                size_t bit = size_t(x) * bits;
                line[size_t(pl) * bpl + bit / 8] |= uint8_t(part << (8 - bits - bit % 8));
            }
        }
        PcxRle(b, line);
    }
    return b;
}

} // namespace

Bytes MakePcx8(const Indexed& p) {
    Bytes b = PcxPlanar(p, 8, 1);
    b.push_back(0x0C);
    Bytes pal = p.palette;
    pal.resize(768, 0);
    b.insert(b.end(), pal.begin(), pal.end());
    return b;
}

Bytes MakePcx1(const Indexed& p) {
    return PcxPlanar(p, 1, 1);
}
Bytes MakePcx4Planes(const Indexed& p) {
    return PcxPlanar(p, 1, 4);
}

Bytes MakePcx24(const Picture& p) {
    const int bpl = EvenBytes(p.width, 8);
    Bytes b = PcxHeader(p.width, p.height, 8, 3, bpl);
    for (int y = 0; y < p.height; ++y) {
        Bytes line(size_t(bpl) * 3, 0);
        for (int x = 0; x < p.width; ++x) {
            for (int c = 0; c < 3; ++c)
                line[size_t(c) * bpl + x] = p.At(x, y)[c];
        }
        PcxRle(b, line);
    }
    return b;
}

Bytes MakeWbmp(const Indexed& p) {
    Bytes b{0, 0};
    auto mbi = [&](uint32_t v) {
        Bytes tmp{uint8_t(v & 0x7F)};
        while (v >>= 7)
            tmp.insert(tmp.begin(), uint8_t(0x80 | (v & 0x7F)));
        b.insert(b.end(), tmp.begin(), tmp.end());
    };
    mbi(uint32_t(p.width));
    mbi(uint32_t(p.height));
    for (int y = 0; y < p.height; ++y) {
        Bytes row((size_t(p.width) + 7) / 8, 0);
        for (int x = 0; x < p.width; ++x) {
            if (p.indices[size_t(y) * p.width + x]) row[size_t(x) / 8] |= uint8_t(0x80 >> (x % 8));
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

Bytes MakePhotoCd(uint8_t y, uint8_t c1, uint8_t c2) {
    // The first sector of a pack is filled with 0xFF.
    Bytes b(0x30000, 0);
    std::fill(b.begin(), b.begin() + 2048, 0xFF);
    std::memcpy(&b[2048], "PCD_IPI", 7);
    for (int pair = 0; pair < 256; ++pair) {
        size_t at = b.size();
        b.insert(b.end(), 768 * 2, y);
        b.insert(b.end(), 384, c1);
        b.insert(b.end(), 384, c2);
        if (pair == 0) b[at] = 0;
    }
    return b;
}

namespace {

void PngWrite(png_structp png, png_bytep data, size_t n) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

Bytes EncodePng(int width, int height, int colorType, int depth, bool interlaced,
                const std::vector<Bytes>& rows, const Bytes& palette,
                const Bytes& transparency = {}) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("png encode");
    }
    png_set_write_fn(png, &out, PngWrite, nullptr);
    png_set_IHDR(png, info, uint32_t(width), uint32_t(height), depth, colorType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        std::vector<png_color> entries(palette.size() / 3);
        for (size_t i = 0; i < entries.size(); ++i)
            entries[i] = {palette[3 * i], palette[3 * i + 1], palette[3 * i + 2]};
        png_set_PLTE(png, info, entries.data(), int(entries.size()));
        if (!transparency.empty())
            png_set_tRNS(png, info, transparency.data(), int(transparency.size()), nullptr);
    }
    png_write_info(png, info);
    std::vector<png_bytep> pointers;
    for (const Bytes& r : rows)
        pointers.push_back(const_cast<png_bytep>(r.data()));
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

} // namespace

Bytes MakePng(const Picture& p, int colorType, int depth, bool interlaced) {
    const int channels = colorType == PNG_COLOR_TYPE_GRAY         ? 1
                         : colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                         : colorType == PNG_COLOR_TYPE_RGB        ? 3
                                                                  : 4;
    std::vector<Bytes> rows;
    for (int y = 0; y < p.height; ++y) {
        Bytes row;
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* c = p.At(x, y);
            uint8_t values[4] = {c[0], c[1], c[2], 0};
            if (channels <= 2) values[1] = 0;
            for (int k = 0; k < channels; ++k) {
                uint8_t v = channels <= 2 && k == 0 ? c[0] : values[k];
                if (depth == 16) {
                    row.push_back(v);
                    row.push_back(uint8_t(255 - v));
                } else {
                    row.push_back(v);
                }
            }
        }
        rows.push_back(row);
    }
    return EncodePng(p.width, p.height, colorType, depth, interlaced, rows, {});
}

Bytes MakePngIndexed(const Indexed& p, const Bytes& transparency) {
    std::vector<Bytes> rows;
    for (int y = 0; y < p.height; ++y) {
        rows.emplace_back(p.indices.begin() + long(y) * p.width,
                          p.indices.begin() + long(y + 1) * p.width);
    }
    return EncodePng(p.width, p.height, PNG_COLOR_TYPE_PALETTE, 8, false, rows, p.palette,
                     transparency);
}

Bytes MakeJpeg(const Picture& p, bool grey, bool progressive, int quality) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(p.width);
    cinfo.image_height = JDIMENSION(p.height);
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    Bytes row;
    while (cinfo.next_scanline < cinfo.image_height) {
        row.clear();
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* c = p.At(x, int(cinfo.next_scanline));
            if (grey) {
                row.push_back(c[0]);
            } else {
                row.insert(row.end(), c, c + 3);
            }
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

Bytes MakeJpegCmyk(const std::vector<std::array<uint8_t, 4>>& pixels) {
    // Each value fills an 8 x 8 block, so that the lossy coding keeps it nearly exact.
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(pixels.size() * 8);
    cinfo.image_height = 8;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    Bytes row;
    for (const auto& px : pixels) {
        for (int i = 0; i < 8; ++i)
            row.insert(row.end(), px.begin(), px.end());
    }
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

Bytes MakeTiff(const Picture& p, int compression, int bits, int samples, bool tiled) {
    char path[] = "/tmp/quillon-fixture-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) throw std::runtime_error("mkstemp");
    close(fd);
    TIFF* tif = TIFFOpen(path, "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(p.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(p.height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(bits));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samples));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, samples == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, uint16_t(compression));
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    if (samples == 4) {
        uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    const size_t sampleBytes = size_t(bits / 8);
    auto pixelSample = [&](int x, int y, int s) -> unsigned {
        if (s == 3) return 0; // fully transparent
        const uint8_t* c = p.At(x, y);
        uint8_t v = samples == 1 ? c[0] : c[s];
        return bits == 16 ? v * 257u : v;
    };
    auto put = [&](Bytes& buf, size_t at, unsigned v) {
        if (bits == 16) {
            uint16_t w = uint16_t(v);
            std::memcpy(&buf[at], &w, 2);
        } else {
            buf[at] = uint8_t(v);
        }
    };
    if (tiled) {
        const int tw = 16, th = 16;
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, tw);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, th);
        Bytes tile(size_t(tw) * th * samples * sampleBytes);
        for (int ty = 0; ty < p.height; ty += th) {
            for (int tx = 0; tx < p.width; tx += tw) {
                std::fill(tile.begin(), tile.end(), 0);
                for (int y = 0; y < th && ty + y < p.height; ++y) {
                    for (int x = 0; x < tw && tx + x < p.width; ++x) {
                        for (int s = 0; s < samples; ++s) {
                            put(tile, ((size_t(y) * tw + x) * samples + s) * sampleBytes,
                                pixelSample(tx + x, ty + y, s));
                        }
                    }
                }
                TIFFWriteTile(tif, tile.data(), uint32_t(tx), uint32_t(ty), 0, 0);
            }
        }
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 7);
        Bytes row(size_t(p.width) * samples * sampleBytes);
        for (int y = 0; y < p.height; ++y) {
            for (int x = 0; x < p.width; ++x) {
                for (int s = 0; s < samples; ++s)
                    put(row, (size_t(x) * samples + s) * sampleBytes, pixelSample(x, y, s));
            }
            TIFFWriteScanline(tif, row.data(), uint32_t(y), 0);
        }
    }
    TIFFClose(tif);
    FILE* f = std::fopen(path, "rb");
    Bytes out;
    uint8_t chunk[65536];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        out.insert(out.end(), chunk, chunk + n);
    std::fclose(f);
    std::remove(path);
    return out;
}

Bytes MakePnm(const Picture& p, char kind, int maxval) {
    std::string header = std::string("P") + kind + "\n" + std::to_string(p.width) + " " +
                         std::to_string(p.height) + "\n";
    const bool bitmap = kind == '1' || kind == '4';
    if (!bitmap) header += std::to_string(maxval) + "\n";
    Bytes b(header.begin(), header.end());
    const int channels = kind == '3' || kind == '6' ? 3 : 1;
    const bool plain = kind <= '3';
    auto scaled = [&](uint8_t v) { return unsigned(v) * unsigned(maxval) / 255; };
    for (int y = 0; y < p.height; ++y) {
        Bytes packed((size_t(p.width) + 7) / 8, 0);
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* c = p.At(x, y);
            if (bitmap) {
                bool black = c[0] < 128;
                if (plain) {
                    b.push_back(black ? '1' : '0');
                    b.push_back(' ');
                } else if (black) {
                    packed[size_t(x) / 8] |= uint8_t(0x80 >> (x % 8));
                }
                continue;
            }
            for (int k = 0; k < channels; ++k) {
                unsigned v = scaled(c[k]);
                if (plain) {
                    std::string s = std::to_string(v) + " ";
                    b.insert(b.end(), s.begin(), s.end());
                } else if (maxval > 255) {
                    b.push_back(uint8_t(v >> 8));
                    b.push_back(uint8_t(v));
                } else {
                    b.push_back(uint8_t(v));
                }
            }
        }
        if (bitmap && !plain) b.insert(b.end(), packed.begin(), packed.end());
        if (plain) b.push_back('\n');
    }
    return b;
}

Bytes WithoutTail(const Bytes& b, size_t drop) {
    return Bytes(b.begin(), b.end() - long(std::min(drop, b.size())));
}

} // namespace quillon::codec::fixtures
