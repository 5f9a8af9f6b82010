#include "codec/Recognition.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace quillon::codec {
namespace {

struct Signature {
    size_t offset;
    std::string_view bytes;
    ImageFormat format;
};

using namespace std::string_view_literals;

// Long signatures before weak ones; the first match decides. "00 00" (WBMP) is confirmed by the
// end tests below because a footer-carrying TGA may start the same way.
constexpr std::array kSignatures{
    Signature{0, "BM"sv, ImageFormat::Bmp},
    Signature{0, "PAX"sv, ImageFormat::NotRead},
    Signature{0, "GIF89a"sv, ImageFormat::Gif},
    Signature{0, "GIF87a"sv, ImageFormat::Gif},
    Signature{0, "\xFF\xD8\xFF\xE0"sv, ImageFormat::Jpeg},
    Signature{0, "\xFF\xD8\xFF"sv, ImageFormat::Jpeg},
    Signature{0, "\x0A\x00"sv, ImageFormat::Pcx},
    Signature{0, "\x0A\x02"sv, ImageFormat::Pcx},
    Signature{0, "\x0A\x03"sv, ImageFormat::Pcx},
    Signature{0, "\x0A\x05"sv, ImageFormat::Pcx},
    Signature{0, "MM"sv, ImageFormat::Tiff},
    Signature{0, "II"sv, ImageFormat::Tiff},
    Signature{0, "\x89PNG\x0D\x0A\x1A\x0A"sv, ImageFormat::Png},
    Signature{0, "\x01\x00\x09\x00\x00"sv, ImageFormat::Metafile},
    Signature{0, "\xD7\xCD\xC6\x9A"sv, ImageFormat::Metafile},
    Signature{40, " EMF"sv, ImageFormat::Metafile},
    Signature{0, "8BPS"sv, ImageFormat::Psd},
    Signature{0, "TLA\x01"sv, ImageFormat::ContainerV2},
    Signature{0, "TLAU"sv, ImageFormat::Container},
    Signature{0, "PCD_OPA"sv, ImageFormat::NotRead},
    Signature{4, "jP  \x0D"sv, ImageFormat::NotRead},
    Signature{0, "\xFF\x4F"sv, ImageFormat::NotRead},
    Signature{4, "\xFF\x4F"sv, ImageFormat::NotRead},
    Signature{0, "\x00\x00"sv, ImageFormat::Wbmp},
    Signature{0, "\xD0\xCF\x11\xE0"sv, ImageFormat::NotRead},
    Signature{0, "P1"sv, ImageFormat::Pbm},
    Signature{0, "P4"sv, ImageFormat::Pbm},
    Signature{0, "P2"sv, ImageFormat::Pgm},
    Signature{0, "P5"sv, ImageFormat::Pgm},
    Signature{0, "P3"sv, ImageFormat::Ppm},
    Signature{0, "P6"sv, ImageFormat::Ppm},
};

constexpr size_t kHeadBytes = 44;
constexpr std::string_view kTgaFooter = "TRUEVISION-XFILE."sv;
constexpr size_t kTgaFooterBytes = 18;
constexpr int64_t kPhotoCdMarkOffset = 2048;

std::string LowerExtension(const std::string& name) {
    size_t dot = name.find_last_of('.');
    size_t slash = name.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = name.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

ImageFormat FormatFromExtension(const std::string& ext) {
    struct Entry {
        std::string_view ext;
        ImageFormat format;
    };
    static constexpr std::array kExtensions{
        Entry{".bmp", ImageFormat::Bmp},       Entry{".wbmp", ImageFormat::Wbmp},
        Entry{".wbm", ImageFormat::Wbmp},      Entry{".pcd", ImageFormat::PhotoCd},
        Entry{".gif", ImageFormat::Gif},       Entry{".tga", ImageFormat::Tga},
        Entry{".jpeg", ImageFormat::Jpeg},     Entry{".jpg", ImageFormat::Jpeg},
        Entry{".tif", ImageFormat::Tiff},      Entry{".tiff", ImageFormat::Tiff},
        Entry{".pcx", ImageFormat::Pcx},       Entry{".psd", ImageFormat::Psd},
        Entry{".tla", ImageFormat::Container}, Entry{".png", ImageFormat::Png},
        Entry{".wmf", ImageFormat::Metafile},  Entry{".emf", ImageFormat::Metafile},
        Entry{".pbm", ImageFormat::Pbm},       Entry{".pgm", ImageFormat::Pgm},
        Entry{".ppm", ImageFormat::Ppm},
    };
    for (const Entry& e : kExtensions) {
        if (ext == e.ext) return e.format;
    }
    return ImageFormat::Unknown;
}

} // namespace

std::span<const std::string_view> ReadableExtensions() {
    static constexpr std::array<std::string_view, 17> kReadable{
        ".png", ".jpg", ".jpeg", ".tif", ".tiff", ".psd", ".gif",  ".bmp", ".tga",
        ".pcx", ".pcd", ".pnm",  ".pbm", ".pgm",  ".ppm", ".wbmp", ".wbm"};
    return kReadable;
}

namespace {

bool HasTgaFooter(ImageSource& source, bool* readable) {
    char footer[kTgaFooterBytes];
    *readable = source.Seek(-static_cast<int64_t>(kTgaFooterBytes), SEEK_END) &&
                source.ReadExact(footer, sizeof footer);
    return *readable && std::memcmp(footer, kTgaFooter.data(), kTgaFooter.size()) == 0;
}

} // namespace

ImageFormat RecognizeFormat(ImageSource& source) {
    uint8_t head[kHeadBytes] = {};
    if (!source.Seek(0, SEEK_SET)) return ImageFormat::Unknown;
    size_t got = source.ReadUpTo(head, sizeof head);
    if (got == 0) return ImageFormat::Unknown;

    ImageFormat matched = ImageFormat::Unknown;
    for (const Signature& s : kSignatures) {
        if (s.offset + s.bytes.size() <= got &&
            std::memcmp(head + s.offset, s.bytes.data(), s.bytes.size()) == 0) {
            matched = s.format;
            break;
        }
    }
    if (matched != ImageFormat::Unknown && matched != ImageFormat::Wbmp) return matched;

    // End tests: the name, the TGA footer, then the Photo CD mark.
    std::string ext = source.HasName() ? LowerExtension(source.name) : std::string{};
    if (ext == ".wbmp" || ext == ".wbm") return ImageFormat::Wbmp;
    if (ext == ".tga") return ImageFormat::Tga;
    bool readable = false;
    if (HasTgaFooter(source, &readable)) return ImageFormat::Tga;
    if (!readable) return ImageFormat::Unknown;
    if (matched == ImageFormat::Wbmp) return matched;

    char mark[3];
    if (source.Seek(kPhotoCdMarkOffset, SEEK_SET) && source.ReadExact(mark, sizeof mark) &&
        std::memcmp(mark, "PCD", 3) == 0) {
        return ImageFormat::PhotoCd;
    }
    return source.HasName() ? FormatFromExtension(ext) : ImageFormat::Unknown;
}

} // namespace quillon::codec
