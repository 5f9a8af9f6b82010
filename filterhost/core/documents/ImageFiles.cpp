#include "core/documents/ImageFiles.h"

#include "core/HostFailure.h"
#include "core/documents/AtomicFile.h"
#include "core/documents/ImageFormats.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <optional>

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
    std::vector<uint8_t> head(64);
    in.read(reinterpret_cast<char*>(head.data()), std::streamsize(head.size()));
    head.resize(size_t(in.gcount()));
    return head;
}

bool Holds(const std::vector<uint8_t>& bytes, size_t at, const char* text) {
    const size_t n = std::char_traits<char>::length(text);
    return at <= bytes.size() && n <= bytes.size() - at &&
           std::equal(text, text + n, bytes.begin() + std::ptrdiff_t(at));
}

// An ISO media file's first box is 'ftyp': its size, the tag, the main brand, a version, then
// the compatible brands. HEIF names its pictures by brand; AVIF is HEIF with AV1 inside.
std::optional<FileFormat> HeifBrand(const std::vector<uint8_t>& head) {
    if (!Holds(head, 4, "ftyp") || head.size() < 16) return std::nullopt;
    const size_t box =
        size_t(head[0]) << 24 | size_t(head[1]) << 16 | size_t(head[2]) << 8 | size_t(head[3]);
    const size_t end = std::min(box, head.size());
    bool heif = false;
    for (size_t at = 8; at + 4 <= end; at += at == 8 ? 8 : 4) {
        if (Holds(head, at, "avif") || Holds(head, at, "avis")) return FileFormat::Avif;
        for (const char* brand : {"heic", "heix", "hevc", "hevx", "heim", "heis", "mif1", "msf1"})
            heif |= Holds(head, at, brand);
    }
    return heif ? std::optional(FileFormat::Heif) : std::nullopt;
}

} // namespace

uint16_t FromFile16(uint16_t v) {
    return uint16_t((uint32_t(v) * 32768 + 32767) / 65535);
}
uint16_t ToFile16(uint16_t v) {
    return uint16_t((uint32_t(std::min<uint16_t>(v, 32768)) * 65535 + 16384) / 32768);
}

std::optional<FileFormat> FormatOfName(const std::filesystem::path& file) {
    const std::string ext = Lower(file.extension().string());
    if (ext == ".png") return FileFormat::Png;
    if (ext == ".jpg" || ext == ".jpeg") return FileFormat::Jpeg;
    if (ext == ".tif" || ext == ".tiff") return FileFormat::Tiff;
    if (ext == ".webp") return FileFormat::Webp;
    if (ext == ".heic" || ext == ".heif") return FileFormat::Heif;
    if (ext == ".avif") return FileFormat::Avif;
    return std::nullopt;
}

FileFormat FormatForOutput(const std::filesystem::path& file, FileFormat fallback) {
    return FormatOfName(file).value_or(fallback);
}

FileFormat FormatForOutput(const std::filesystem::path& file) {
    if (auto format = FormatOfName(file)) return *format;
    throw HostFailure("cannot write " + file.string() +
                      ": the host writes .png, .jpg, .jpeg, .tif, .tiff, .webp, .heic, .heif "
                      "and .avif files");
}

void CheckCanWrite(FileFormat format, const std::filesystem::path& file) {
    if (format == FileFormat::Heif || format == FileFormat::Avif) CheckHeifEncoder(format, file);
}

void KeepOffsets(Document& d, size_t plane, size_t from, const uint16_t* stored, size_t count,
                 size_t stride, const SampleScale16& scale) {
    if (d.fileOffsets.size() < d.planes.size()) d.fileOffsets.resize(d.planes.size());
    auto& offsets = d.fileOffsets[plane];
    if (offsets.empty()) offsets.resize(d.planes[plane].size());
    int8_t* to = offsets.data() + from;
    for (size_t i = 0; i < count; ++i)
        to[i] = scale.OffsetOf(stored[i * stride]);
}

FileFormat RecognizeImageFile(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        throw HostFailure(file.string() + ": no such file");
    const auto head = Head(file);
    // Recognised by content, so a misnamed file still opens.
    if (StartsWith(head, {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a})) return FileFormat::Png;
    if (StartsWith(head, {0xff, 0xd8, 0xff})) return FileFormat::Jpeg;
    if (StartsWith(head, {'I', 'I', 42, 0}) || StartsWith(head, {'M', 'M', 0, 42}))
        return FileFormat::Tiff;
    if (Holds(head, 0, "RIFF") && Holds(head, 8, "WEBP")) return FileFormat::Webp;
    if (const std::optional<FileFormat> heif = HeifBrand(head)) return *heif;
    throw HostFailure(file.string() + ": not a PNG, JPEG, TIFF, WebP, HEIF or AVIF file");
}

LoadedImage ReadImageFile(const std::filesystem::path& file, int64_t maxPixels,
                          const CancelCheck& cancel, bool acceptDamaged) {
    const FileFormat format = RecognizeImageFile(file);
    switch (format) {
    case FileFormat::Png:
        return {ReadPng(file, maxPixels, cancel), FileFormat::Png, {}};
    case FileFormat::Jpeg:
        return {ReadJpeg(file, maxPixels, cancel, acceptDamaged), FileFormat::Jpeg, {}};
    case FileFormat::Webp:
        return {ReadWebp(file, maxPixels), FileFormat::Webp, {}};
    case FileFormat::Heif:
    case FileFormat::Avif:
        return {ReadHeif(file, maxPixels), format, {}};
    case FileFormat::Tiff:
        break;
    }
    std::vector<Document> pages = ReadTiff(file, maxPixels, cancel);
    LoadedImage image{std::move(pages.front()), FileFormat::Tiff, {}};
    image.morePages.assign(std::make_move_iterator(pages.begin() + 1),
                           std::make_move_iterator(pages.end()));
    return image;
}

void WriteImageFile(const std::vector<const Document*>& pages, FileFormat format,
                    const OutputTarget& target, const CancelCheck& cancel,
                    const std::vector<StripEncoder*>& encoded) {
    const std::filesystem::path& file = target.named;
    if (pages.empty()) throw HostFailure("cannot write " + file.string() + ": no pages");
    if (pages.size() > 1 && format != FileFormat::Tiff)
        throw HostFailure("cannot write " + file.string() + ": only TIFF holds " +
                          std::to_string(pages.size()) + " pages; use .tif");
    WriteThroughTemporary(target, [&](const std::filesystem::path& temporary) {
        switch (format) {
        case FileFormat::Png:
            WritePng(*pages.front(), temporary, file, cancel);
            break;
        case FileFormat::Jpeg:
            WriteJpeg(*pages.front(), temporary, file, cancel);
            break;
        case FileFormat::Tiff:
            WriteTiff(pages, temporary, file, cancel, encoded);
            break;
        case FileFormat::Webp:
            WriteWebp(*pages.front(), temporary, file, cancel);
            break;
        case FileFormat::Heif:
        case FileFormat::Avif:
            WriteHeif(*pages.front(), format, temporary, file, cancel);
            break;
        }
    });
}

void WriteImageFile(const std::vector<const Document*>& pages, FileFormat format,
                    const std::filesystem::path& file, const CancelCheck& cancel,
                    const std::vector<StripEncoder*>& encoded) {
    WriteImageFile(pages, format, ResolveOutput(file), cancel, encoded);
}

void WriteImageFile(const Document& document, FileFormat format, const std::filesystem::path& file,
                    const CancelCheck& cancel) {
    WriteImageFile(std::vector<const Document*>{&document}, format, file, cancel);
}

} // namespace quillon::filterhost
