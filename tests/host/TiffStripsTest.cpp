// TIFF pages written from strips the host compresses itself: what libtiff's own reader makes of
// them, strips encoded ahead while rows still change, and a write that fails.
#include "TestFolder.h"
#include "core/HostFailure.h"
#include "core/documents/ImageFiles.h"
#include "core/documents/StripEncoder.h"
#include "core/session/FilterSession.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using namespace quillon::filterhost;
namespace fs = std::filesystem;

class TiffStripsTest : public quillon::testing::TestFolderTest {};

// Samples that hardly repeat, so the predictor and deflate see every kind of difference; the
// largest and smallest values appear.
Document Noise(ColorMode mode, int depth, int32_t width, int32_t height, bool alpha,
               uint32_t seed = 1) {
    Document d = MakeDocument(mode, depth, width, height, alpha);
    const uint32_t max = depth == 16 ? 32768 : 255;
    uint32_t n = seed;
    for (auto& plane : d.planes)
        for (uint16_t& sample : plane) {
            n = n * 1664525u + 1013904223u;
            sample = uint16_t((n >> 8) % (max + 1));
        }
    d.planes[0].front() = uint16_t(max);
    d.planes[1].back() = 0;
    return d;
}

std::vector<uint8_t> Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What a file sample should hold for a host sample, worked out apart from the writer: 8-bit
// CIELab a and b are signed, 16-bit samples run 0..65535 and 16-bit CIELab a and b are signed
// with 256 units per unit of a*.
uint16_t Stored(const Document& d, size_t plane, uint16_t v) {
    const bool chroma = d.mode == ColorMode::Lab && plane > 0 && plane < 3;
    if (d.depth == 8) return chroma ? uint16_t(uint8_t(v ^ 0x80)) : v;
    if (!chroma) return ToFile16(v);
    return uint16_t(int16_t(std::clamp((int(v) - 16384) * 2, -32768, 32767)));
}

struct Layout {
    ColorMode mode;
    int depth;
    bool alpha;
    int32_t width, height;
    uint16_t photometric;
    const char* name;
};

// libtiff decodes every row to the samples the document asks for, under the tags a reader
// expects; the host's reader gives the document back.
TEST_F(TiffStripsTest, LibtiffReadsEveryLayoutBackExactly) {
    const Layout layouts[] = {
        {ColorMode::RGB, 8, false, 1, 1, PHOTOMETRIC_RGB, "one pixel"},
        {ColorMode::RGB, 8, false, 7, 2, PHOTOMETRIC_RGB, "smaller than one strip"},
        {ColorMode::RGB, 8, true, 1001, 37, PHOTOMETRIC_RGB, "odd width, last strip short"},
        {ColorMode::RGB, 16, false, 333, 29, PHOTOMETRIC_RGB, "16 bits, several rows a strip"},
        {ColorMode::CMYK, 8, false, 515, 9, PHOTOMETRIC_SEPARATED, "CMYK"},
        {ColorMode::CMYK, 16, true, 77, 40, PHOTOMETRIC_SEPARATED, "CMYK 16 bits with alpha"},
        {ColorMode::Lab, 8, false, 129, 31, PHOTOMETRIC_CIELAB, "Lab"},
        {ColorMode::Lab, 16, true, 3001, 3, PHOTOMETRIC_CIELAB, "Lab 16 bits, a row a strip"},
    };
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.name);
        const Document d = Noise(l.mode, l.depth, l.width, l.height, l.alpha);
        const fs::path file = folder_ / "page.tif";
        WriteImageFile(d, FileFormat::Tiff, file);

        TIFF* t = TIFFOpen(file.c_str(), "r");
        ASSERT_TRUE(t);
        uint16_t compression = 0, predictor = 0, photometric = 0, bits = 0, samples = 0;
        uint32_t rowsPerStrip = 0;
        TIFFGetField(t, TIFFTAG_COMPRESSION, &compression);
        TIFFGetField(t, TIFFTAG_PREDICTOR, &predictor);
        TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric);
        TIFFGetField(t, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetField(t, TIFFTAG_SAMPLESPERPIXEL, &samples);
        TIFFGetField(t, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
        EXPECT_EQ(compression, COMPRESSION_ADOBE_DEFLATE);
        EXPECT_EQ(predictor, PREDICTOR_HORIZONTAL);
        EXPECT_EQ(photometric, l.photometric);
        EXPECT_EQ(bits, l.depth);
        EXPECT_EQ(samples, d.planes.size());
        ASSERT_GT(rowsPerStrip, 0u);
        EXPECT_EQ(TIFFNumberOfStrips(t), (uint32_t(l.height) + rowsPerStrip - 1) / rowsPerStrip);

        std::vector<uint8_t> line(size_t(TIFFScanlineSize(t)));
        size_t wrong = 0;
        for (int32_t y = 0; y < l.height; ++y) {
            ASSERT_EQ(TIFFReadScanline(t, line.data(), uint32_t(y), 0), 1) << "row " << y;
            for (int32_t x = 0; x < l.width; ++x)
                for (size_t p = 0; p < d.planes.size(); ++p) {
                    const size_t at = size_t(x) * d.planes.size() + p;
                    uint16_t got = line[at];
                    if (l.depth == 16) std::memcpy(&got, &line[2 * at], 2);
                    wrong += got != Stored(d, p, d.At(int(p), x, y));
                }
        }
        TIFFClose(t);
        EXPECT_EQ(wrong, 0u);
        const LoadedImage back = ReadImageFile(file);
        EXPECT_EQ(back.document.planes, d.planes);
    }
}

// Strips encoded while rows are said final step by step, and again after the rows were
// reopened and changed, make the same file as the finished document written at once.
TEST_F(TiffStripsTest, StripsEncodedAheadMakeTheSameFileAsAWholeWrite) {
    for (int depth : {8, 16}) {
        SCOPED_TRACE(depth);
        Document d = Noise(ColorMode::RGB, depth, 700, 64, false);
        {
            StripEncoder ahead(d);
            ASSERT_GT(ahead.StripCount(), 20u);
            ahead.RowsFinal(10);
            ahead.RowsFinal(40);
            // Strips above row 40 are done before rows from 20 down are changed again.
            for (size_t k = 0; k < size_t(40 / ahead.RowsPerStrip()); ++k)
                ahead.Strip(k);
            ahead.RowsFinal(20);
            const Document changed = Noise(ColorMode::RGB, depth, 700, 64, false, 7);
            for (size_t p = 0; p < 3; ++p)
                std::copy(changed.planes[p].begin() + 20 * 700, changed.planes[p].end(),
                          d.planes[p].begin() + 20 * 700);
            // After a reopening, rows said final again may still change until the end.
            ahead.RowsFinal(50);
            d.At(1, 17, 55) = 99;
            WriteImageFile({&d}, FileFormat::Tiff, folder_ / "ahead.tif", {}, {&ahead});
        }
        WriteImageFile(d, FileFormat::Tiff, folder_ / "whole.tif");
        EXPECT_TRUE(Bytes(folder_ / "ahead.tif") == Bytes(folder_ / "whole.tif"));
        EXPECT_EQ(ReadImageFile(folder_ / "ahead.tif").document.planes, d.planes);
    }
}

// A filter's run with the strips of finished rows encoded meanwhile writes the file a run
// written afterwards writes, whether the filter goes once from the top down or comes back.
TEST_F(TiffStripsTest, FilteringWhileEncodingWritesWhatASequentialRunWrites) {
    struct Case {
        const char* module;
        ColorMode mode;
        int depth;
        bool alpha;
        int tile;
    };
    const Case cases[] = {{"Invert.8bf", ColorMode::RGB, 8, false, 16},
                          {"Invert.8bf", ColorMode::RGB, 16, true, 50},
                          {"Invert.8bf", ColorMode::RGB, 8, false, 7},
                          {"TwoPasses.8bf", ColorMode::RGB, 8, false, 16},
                          {"TwoPasses.8bf", ColorMode::RGB, 16, true, 64}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.module) + " tile " + std::to_string(c.tile));
        PluginModule module(std::string(TEST_MODULE_DIR) + "/" + c.module);
        FilterSession host;
        RunOptions options;
        options.tileWidth = options.tileHeight = c.tile;
        Document overlapped = Noise(c.mode, c.depth, 1500, 120, c.alpha);
        Document sequential = overlapped;
        {
            StripEncoder ahead(overlapped);
            options.rowsFinal = [&ahead](int32_t rows) { ahead.RowsFinal(rows); };
            ASSERT_EQ(host.Run(module, overlapped, options).result, 0);
            WriteImageFile({&overlapped}, FileFormat::Tiff, folder_ / "overlapped.tif", {},
                           {&ahead});
        }
        options.rowsFinal = nullptr;
        ASSERT_EQ(host.Run(module, sequential, options).result, 0);
        WriteImageFile(sequential, FileFormat::Tiff, folder_ / "sequential.tif");
        EXPECT_TRUE(Bytes(folder_ / "overlapped.tif") == Bytes(folder_ / "sequential.tif"));
        EXPECT_EQ(ReadImageFile(folder_ / "overlapped.tif").document.planes, sequential.planes);
    }
}

// An encoder left behind mid-way, by a failure or a cancel, stops its workers.
TEST_F(TiffStripsTest, AnEncoderLeftMidwayStops) {
    const Document d = Noise(ColorMode::CMYK, 16, 2000, 200, true);
    for (int32_t rows : {0, 1, 100, 200}) {
        StripEncoder ahead(d);
        ahead.RowsFinal(rows);
    }
    StripEncoder finished(d);
    finished.Finish();
    EXPECT_FALSE(finished.Strip(finished.StripCount() - 1).empty());
    const Document other = Noise(ColorMode::CMYK, 16, 2000, 200, true);
    EXPECT_THROW(WriteImageFile({&other}, FileFormat::Tiff, folder_ / "mixed.tif", {}, {&finished}),
                 std::logic_error);
}

// Writes d to out in a process that may not grow files past 64 KB; exits with 3 and the
// message when the write fails.
[[noreturn]] void WriteToAFullDisk(const Document& d, const fs::path& out) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64 << 10, 64 << 10};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
        WriteImageFile(d, FileFormat::Tiff, out);
    } catch (const HostFailure& e) {
        std::fprintf(stderr, "%s\n", e.what());
        std::exit(3);
    }
    std::exit(0);
}

// A file system that takes no more bytes: the write fails with a message, and neither OUT nor
// a temporary file stays behind.
TEST_F(TiffStripsTest, AFullDiskIsReportedAndLeavesNoFile) {
    const Document d = Noise(ColorMode::RGB, 16, 600, 400, false);
    EXPECT_EXIT(WriteToAFullDisk(d, folder_ / "out.tif"), ::testing::ExitedWithCode(3),
                "out.tif: cannot write");
    EXPECT_TRUE(fs::is_empty(folder_));
}

} // namespace
