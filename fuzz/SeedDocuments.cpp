// Writes small documents in every format and mode the host writes, as seeds for the document
// fuzzer, plus a progressive JPEG (whose decoder allocates whole-picture buffers up front) and a
// multi-page TIFF.
#include "core/documents/ImageFiles.h"

#include <cstdio>
// jpeglib.h needs stdio's FILE and size_t declared first.
#include <jpeglib.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

void WriteProgressiveJpeg(const std::filesystem::path& file) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) return;
    jpeg_stdio_dest(&info, out);
    info.image_width = 24;
    info.image_height = 16;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(24 * 3);
    for (JDIMENSION y = 0; y < 16; ++y) {
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = JSAMPLE((i * 11 + y * 29) % 256);
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(out);
}

} // namespace

int main(int argc, char** argv) {
    using namespace quillon::filterhost;
    if (argc != 2) return 2;
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const struct {
        ColorMode mode;
        int depth;
        bool alpha;
        FileFormat format;
        const char* name;
    } seeds[] = {
        {ColorMode::RGB, 8, false, FileFormat::Png, "rgb8.png"},
        {ColorMode::RGB, 16, true, FileFormat::Png, "rgb16a.png"},
        {ColorMode::RGB, 8, false, FileFormat::Jpeg, "rgb8.jpg"},
        {ColorMode::CMYK, 8, false, FileFormat::Jpeg, "cmyk8.jpg"},
        {ColorMode::RGB, 8, true, FileFormat::Tiff, "rgb8a.tif"},
        {ColorMode::CMYK, 16, false, FileFormat::Tiff, "cmyk16.tif"},
        {ColorMode::Lab, 8, false, FileFormat::Tiff, "lab8.tif"},
        {ColorMode::Lab, 16, true, FileFormat::Tiff, "lab16a.tif"},
    };
    for (const auto& s : seeds) {
        Document d = MakeDocument(s.mode, s.depth, 16, 12, s.alpha);
        const int max = s.depth == 16 ? 32768 : 255;
        for (size_t p = 0; p < d.planes.size(); ++p)
            for (size_t i = 0; i < d.planes[p].size(); ++i)
                d.planes[p][i] = uint16_t((i * 37 + p * 91) % size_t(max + 1));
        d.metadata.xResolution = d.metadata.yResolution = 300;
        d.metadata.resolutionUnit = ResolutionUnit::Inch;
        d.metadata.orientation = 6;
        d.metadata.xmp = "<x:xmpmeta xmlns:x='adobe:ns:meta/'/>";
        WriteImageFile(d, s.format, folder / s.name);
    }
    WriteProgressiveJpeg(folder / "progressive.jpg");
    const Document page = MakeDocument(ColorMode::RGB, 8, 8, 4);
    const Document other = MakeDocument(ColorMode::CMYK, 16, 4, 8);
    WriteImageFile({&page, &other}, FileFormat::Tiff, folder / "pages.tif");
    return 0;
}
