// Each reader, called directly, hands back an image only on success and nothing on failure.
#include "CodecTestSupport.h"

#include "codec/Readers.h"

namespace quillon::codec::testing {
namespace {

using namespace fixtures;

using ReaderFn = int (*)(ImageSource&, DecodedImage&);

struct ReaderInput {
    const char* name;
    ReaderFn reader;
    Bytes bytes;
};

Bytes FromHex(const std::string& hex) {
    Bytes b;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        b.push_back(uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return b;
}

// Inputs found by fuzzing, kept so that they keep failing cleanly.
std::vector<ReaderInput> Regressions() {
    return {
        // 1535 channels: the RLE byte-count table cannot fit, found after the image was allocated.
        {"psd rle table larger than the file", ReadPsd,
         FromHex("38425053000100000000000005ff0000000c0000001000010000000000000000001c3842"
                 "494d03ed0000000000100000000000000000000000000000000000000000000100030003"
                 "00030003000300030003000300030003000300030155550155aa01aaaa0155550155aa01"
                 "aaaa0155550155aa01aaaa0155550555aa01aaaa")},
        // Height 0 and a width of 3.7 billion: every size product was 0, and the row buffer
        // of 3.7 GB was allocated before the zero was noticed.
        {"psd zero height huge width", ReadPsd,
         FromHex("384250530001000000000000000400000000dc00000600080004000000000000001c3842"
                 "494d03ed0000000000100000000000003700000000000000000000000000000001001100"
                 "110011001100110011001100110011001100110011000200020002000200020002000200"
                 "020032000200020002000800080008000800080008000800080008000800080008000200"
                 "02000200020002000209fefffd00020002000200020f00112233445566778899aabbccdd"
                 "ee00001c381100110011001100110011001100110011001100110000000000000080f180"
                 "f180f180")},
    };
}

std::vector<ReaderInput> Valid() {
    Picture p = Pattern(20, 10);
    Indexed img = IndexedPattern(20, 10, 16);
    return {
        {"psd", ReadPsd, MakePsd({20, 10, 3, 8, true, Planes(p), {}, {}})},
        {"gif", ReadGif, MakeGif({{img, false, true}}, img.palette, 20, 10)},
        {"bmp", ReadBmp, MakeBmpRle(img, 4)},
        {"tga", ReadTga, MakeTgaMapped(img, true)},
        {"pcx", ReadPcx, MakePcx4Planes(img)},
        {"wbmp", ReadWbmp, MakeWbmp(IndexedPattern(20, 10, 2))},
        {"jpeg", ReadJpeg, MakeJpeg(p, false, true)},
        {"png", ReadPng, MakePng(p, 2, 8, true)},
        {"tiff", ReadTiff, MakeTiff(p, 5, 8, 3, true)},
        {"pnm", ReadPnm, MakePnm(p, '6', 255)},
    };
}

int RunReader(const ReaderInput& in, const Bytes& bytes, DecodedImage& image) {
    ImageSource* source = SourceFromMemory(bytes.data(), bytes.size());
    if (source == nullptr) return CodecLastError();
    int code = in.reader(*source, image);
    CloseImageSource(source);
    return code;
}

TEST(ReaderContract, FailureLeavesNoImageAndSuccessAFullOne) {
    for (const ReaderInput& in : Valid()) {
        for (size_t keep = 0; keep <= in.bytes.size();
             keep += std::max<size_t>(1, in.bytes.size() / 97)) {
            DecodedImage image;
            int code = RunReader(in, Bytes(in.bytes.begin(), in.bytes.begin() + long(keep)), image);
            if (code == kCodecOk) {
                EXPECT_NE(image.pixels, nullptr) << in.name << " cut to " << keep;
                EXPECT_GT(image.width, 0) << in.name;
            } else {
                EXPECT_EQ(image.pixels, nullptr)
                    << in.name << " cut to " << keep << " code " << code;
            }
        }
    }
}

TEST(ReaderContract, RegressionInputsFailCleanly) {
    for (const ReaderInput& in : Regressions()) {
        DecodedImage image;
        EXPECT_NE(RunReader(in, in.bytes, image), kCodecOk) << in.name;
        EXPECT_EQ(image.pixels, nullptr) << in.name;
    }
}

} // namespace
} // namespace quillon::codec::testing
