#include "CodecTestSupport.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace quillon::codec::testing {
namespace {

using namespace fixtures;

// A file in the temporary folder, removed at the end of the test.
class TempFile {
  public:
    TempFile(const Bytes& bytes, const std::string& suffix) {
        path_ = ::testing::TempDir() + "codec-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + suffix;
        FILE* f = std::fopen(path_.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    ~TempFile() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

Result DecodeSource(ImageSource* source) {
    Result r;
    int32_t w = 0, h = 0;
    uint8_t* pixels = DecodeImage(source, &w, &h);
    r.code = CodecLastError();
    if (pixels != nullptr) {
        r.picture = Picture{w, h, Bytes(pixels, pixels + size_t(w) * h * 3)};
        ReleaseRgbImage(pixels);
    }
    return r;
}

TEST(ImageSource, CreationFailuresSetTheirCodes) {
    uint8_t byte = 0;
    EXPECT_EQ(SourceFromMemory(nullptr, 10), nullptr);
    EXPECT_EQ(CodecLastError(), kCodecBadArgument);
    EXPECT_EQ(SourceFromMemory(&byte, 0), nullptr);
    EXPECT_EQ(CodecLastError(), kCodecBadArgument);
    EXPECT_EQ(SourceFromHandle(-1), nullptr);
    EXPECT_EQ(CodecLastError(), kCodecUnrecognised);
    int32_t w = 0, h = 0;
    EXPECT_EQ(DecodeImage(nullptr, &w, &h), nullptr);
    EXPECT_EQ(CodecLastError(), kCodecBadArgument);
}

TEST(ImageSource, HandleSourceDecodesAndLeavesTheDescriptorOpen) {
    Picture p = Pattern(9, 5);
    TempFile file(MakeBmpRgb(p, 24, false), ".bmp");
    int fd = open(file.path().c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ImageSource* source = SourceFromHandle(fd);
    ASSERT_NE(source, nullptr);
    Result r = DecodeSource(source);
    CloseImageSource(source);
    EXPECT_EQ(r.code, kCodecOk);
    EXPECT_TRUE(SamePicture(r.picture, p));
    EXPECT_EQ(lseek(fd, 0, SEEK_SET), 0) << "closing the source must not close the descriptor";
    close(fd);
}

TEST(ImageSource, HandleOnAClosedDescriptorFailsWithoutAnImage) {
    int fd = open("/dev/null", O_RDONLY);
    ImageSource* source = SourceFromHandle(fd);
    ASSERT_NE(source, nullptr);
    close(fd);
    Result r = DecodeSource(source);
    EXPECT_NE(r.code, kCodecOk);
    EXPECT_TRUE(r.picture.rgb.empty());
    CloseImageSource(source);
}

TEST(ImageSource, LastErrorIsKeptPerThread) {
    uint8_t byte = 0;
    SourceFromMemory(&byte, 0);
    ASSERT_EQ(CodecLastError(), kCodecBadArgument);
    int other = -1;
    std::thread([&] {
        other = CodecLastError();
        SourceFromHandle(-1);
    }).join();
    EXPECT_EQ(other, kCodecOk) << "a new thread starts clean";
    EXPECT_EQ(CodecLastError(), kCodecBadArgument) << "another thread's failure must not leak here";
}

// The content decides the reader; headers that look like a format but are cut short still go to
// that reader, whose error shows which one it was.
struct RecognitionCase {
    const char* name;
    Bytes bytes;
    int code;
};

Bytes Head(std::initializer_list<uint8_t> head, size_t size = 64) {
    Bytes b(head);
    b.resize(std::max(size, b.size()), 0);
    return b;
}

Bytes TgaWithoutFooterLooksLikeWbmp() {
    // Image-ID length 0 and no colour map: the file starts 00 00.
    return MakeTgaRgb(Pattern(4, 4), 24, false, false, false);
}

// A bitmap whose header claims the 64 bytes of OS/2 2.x, which the reader does not take.
Bytes Os2Header64() {
    Bytes b = MakeBmpIndexed(IndexedPattern(4, 4, 4), 8, false, BmpHeader::V5_124);
    b[14] = 64;
    return b;
}

Bytes PhotoCdMarkOnly() {
    Bytes b(4096, 0x55);
    std::memcpy(&b[2048], "PCD_IPI", 7);
    return b;
}

TEST(Recognition, ByContentInTableOrder) {
    const std::vector<RecognitionCase> cases = {
        {"empty memory is refused at creation", Bytes{}, kCodecBadArgument},
        {"short file without signature", Bytes(17, 0x41), kCodecUnrecognised},
        {"long file without signature", Bytes(3000, 0x41), kCodecUnrecognised},
        {"BMP signature, 64-byte header", Os2Header64(), kCodecBmpBadHeader},
        {"GIF signature, bad version", Head({'G', 'I', 'F', '8', '8', 'a'}), kCodecUnrecognised},
        {"PAX is not read", Head({'P', 'A', 'X'}), kCodecUnrecognised},
        {"container second variant", Head({'T', 'L', 'A', 1}), kCodecNotReadable},
        {"private container", Head({'T', 'L', 'A', 'U'}), kCodecUnrecognised},
        {"Windows metafile", Head({1, 0, 9, 0, 0}), kCodecUnrecognised},
        {"OLE compound file", Head({0xD0, 0xCF, 0x11, 0xE0}), kCodecUnrecognised},
        {"PCD_OPA overview pack", Head({'P', 'C', 'D', '_', 'O', 'P', 'A'}), kCodecUnrecognised},
        {"TGA footer-less goes the WBMP way", TgaWithoutFooterLooksLikeWbmp(), kCodecBadData},
        {"two zero bytes only", Bytes{0, 0}, kCodecUnrecognised},
        {"PCD mark at 2048 but no base image", PhotoCdMarkOnly(), kCodecBadData},
        {"PSD Lab", Head({'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0,
                          3,   0,   0,   0,   4, 0, 0, 0, 4, 0, 8, 0, 9}),
         kCodecUnsupportedMode},
    };
    for (const RecognitionCase& c : cases) {
        EXPECT_EQ(Decode(c.bytes).code, c.code) << c.name;
    }
}

TEST(Recognition, TgaFooterMakesZeroStartedFilesTga) {
    Picture p = Pattern(4, 3);
    Result r = Decode(MakeTgaRgb(p, 24, false, false, true));
    EXPECT_EQ(r.code, kCodecOk);
    EXPECT_TRUE(SamePicture(r.picture, p));
}

TEST(Recognition, ContentWinsOverTheName) {
    Picture p = Pattern(6, 6);
    TempFile file(MakePng(p, 2, 8, false), ".jpg");
    ImageSource* source = SourceFromFile(file.path().c_str());
    ASSERT_NE(source, nullptr);
    Result r = DecodeSource(source);
    CloseImageSource(source);
    EXPECT_EQ(r.code, kCodecOk);
    EXPECT_TRUE(SamePicture(r.picture, p));
}

TEST(Recognition, NamedTgaWithoutFooterIsTga) {
    Picture p = Pattern(5, 4);
    TempFile file(MakeTgaRgb(p, 24, false, false, false), ".TGA");
    ImageSource* source = SourceFromFile(file.path().c_str());
    ASSERT_NE(source, nullptr);
    Result r = DecodeSource(source);
    CloseImageSource(source);
    EXPECT_EQ(r.code, kCodecOk);
    EXPECT_TRUE(SamePicture(r.picture, p));
}

TEST(Recognition, NamedFileWithUnknownContentFallsBackToItsExtension) {
    // Content matches nothing, so ".pcx" decides and the PCX reader rejects the header.
    TempFile file(Bytes(200, 0x41), ".pcx");
    ImageSource* source = SourceFromFile(file.path().c_str());
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(DecodeSource(source).code, kCodecPcxBadHeader);
    CloseImageSource(source);
}

TEST(Recognition, EmptyFileIsUnrecognised) {
    TempFile file(Bytes{}, ".bmp");
    int fd = open(file.path().c_str(), O_RDONLY);
    ImageSource* source = SourceFromHandle(fd);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(DecodeSource(source).code, kCodecUnrecognised);
    CloseImageSource(source);
    close(fd);
}

} // namespace
} // namespace quillon::codec::testing
