#include "core/documents/ImageFiles.h"

#include "core/HostFailure.h"
#include "core/documents/AtomicFile.h"
#include "core/documents/ImageFormats.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>

namespace quillon::filterhost {
namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

bool StartsWith(const std::vector<uint8_t>& bytes, std::initializer_list<uint8_t> signature) {
    return bytes.size() >= signature.size() &&
           std::equal(signature.begin(), signature.end(), bytes.begin());
}

std::vector<uint8_t> Head(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw HostFailure("cannot open " + file.string());
    std::vector<uint8_t> head(8);
    in.read(reinterpret_cast<char*>(head.data()), 8);
    head.resize(size_t(in.gcount()));
    return head;
}

} // namespace

uint16_t FromFile16(uint16_t v) {
    return uint16_t((uint32_t(v) * 32768 + 32767) / 65535);
}
uint16_t ToFile16(uint16_t v) {
    return uint16_t((uint32_t(std::min<uint16_t>(v, 32768)) * 65535 + 16384) / 32768);
}

FileFormat FormatForOutput(const std::filesystem::path& file, FileFormat fallback) {
    const std::string ext = Lower(file.extension().string());
    if (ext == ".png") return FileFormat::Png;
    if (ext == ".jpg" || ext == ".jpeg") return FileFormat::Jpeg;
    if (ext == ".tif" || ext == ".tiff") return FileFormat::Tiff;
    return fallback;
}

LoadedImage ReadImageFile(const std::filesystem::path& file, int64_t maxPixels) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        throw HostFailure(file.string() + ": no such file");
    const auto head = Head(file);
    // Recognised by content, so a misnamed file still opens.
    if (StartsWith(head, {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a}))
        return {ReadPng(file, maxPixels), FileFormat::Png};
    if (StartsWith(head, {0xff, 0xd8, 0xff})) return {ReadJpeg(file, maxPixels), FileFormat::Jpeg};
    if (StartsWith(head, {'I', 'I', 42, 0}) || StartsWith(head, {'M', 'M', 0, 42}))
        return {ReadTiff(file, maxPixels), FileFormat::Tiff};
    throw HostFailure(file.string() + ": not a PNG, JPEG or TIFF file");
}

void WriteImageFile(const Document& document, FileFormat format,
                    const std::filesystem::path& file) {
    WriteThroughTemporary(file, [&](const std::filesystem::path& temporary) {
        switch (format) {
        case FileFormat::Png:
            WritePng(document, temporary);
            break;
        case FileFormat::Jpeg:
            WriteJpeg(document, temporary);
            break;
        case FileFormat::Tiff:
            WriteTiff(document, temporary);
            break;
        }
    });
}

} // namespace quillon::filterhost
