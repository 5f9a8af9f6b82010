// Writes small documents in every format and mode the host writes, as seeds for the document
// fuzzer.
#include "core/documents/ImageFiles.h"

#include <filesystem>
#include <string>

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
        WriteImageFile(d, s.format, folder / s.name);
    }
    return 0;
}
