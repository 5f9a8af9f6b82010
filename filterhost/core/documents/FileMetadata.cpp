// What travels with a document's pixels: its colour profile, brought into line with the
// document's mode, and the EXIF orientation.
#include "core/documents/ImageFormats.h"

#include <lcms2.h>

#include <cstring>
#include <memory>
#include <optional>

namespace quillon::filterhost {
namespace {

struct ProfileCloser {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

struct TransformCloser {
    void operator()(void* t) const { cmsDeleteTransform(t); }
};
using Transform = std::unique_ptr<void, TransformCloser>;

std::vector<uint8_t> SrgbProfileBytes() {
    Profile srgb(cmsCreate_sRGBProfile());
    cmsUInt32Number length = 0;
    if (!srgb || !cmsSaveProfileToMem(srgb.get(), nullptr, &length)) return {};
    std::vector<uint8_t> bytes(length);
    if (!cmsSaveProfileToMem(srgb.get(), bytes.data(), &length)) return {};
    return bytes;
}

// Grey samples (R = G = B) through the grey profile into sRGB. False when the profile cannot
// take part in a transform.
bool GreyToSrgb(Document& d, void* grey) {
    Profile srgb(cmsCreate_sRGBProfile());
    Transform transform(cmsCreateTransform(grey, TYPE_GRAY_16, srgb.get(), TYPE_RGB_16,
                                           INTENT_RELATIVE_COLORIMETRIC, 0));
    if (!transform) return false;
    // Every grey level the document can hold, converted once.
    const uint16_t top = d.depth == 16 ? 32768 : 255;
    std::vector<uint16_t> levels(size_t(top) + 1), rgb(levels.size() * 3);
    for (size_t v = 0; v < levels.size(); ++v)
        levels[v] = uint16_t((v * 65535 + top / 2) / top);
    cmsDoTransform(transform.get(), levels.data(), rgb.data(), cmsUInt32Number(levels.size()));
    for (size_t i = 0; i < d.planes[0].size(); ++i) {
        const size_t level = std::min<size_t>(d.planes[0][i], top);
        for (size_t c = 0; c < 3; ++c)
            d.planes[c][i] = uint16_t((uint32_t(rgb[level * 3 + c]) * top + 32767) / 65535);
    }
    d.fileOffsets.clear();
    return true;
}

// The colour-space suite converts between the document's profile and Lab both ways.
bool ConvertsWithLab(void* profile, cmsUInt32Number format) {
    Profile lab(cmsCreateLab4Profile(cmsD50_xyY()));
    Transform in(cmsCreateTransform(profile, format, lab.get(), TYPE_Lab_16,
                                    INTENT_RELATIVE_COLORIMETRIC, 0));
    Transform out(cmsCreateTransform(lab.get(), TYPE_Lab_16, profile, format,
                                     INTENT_RELATIVE_COLORIMETRIC, 0));
    return in && out;
}

const char* SpaceName(cmsColorSpaceSignature space) {
    switch (space) {
    case cmsSigGrayData:
        return "grey";
    case cmsSigRgbData:
        return "RGB";
    case cmsSigCmykData:
        return "CMYK";
    case cmsSigLabData:
        return "Lab";
    default:
        return "another colour space";
    }
}

// Reads a 16- or 32-bit number of an EXIF block at offset, false when it lies outside.
bool Number(const std::vector<uint8_t>& b, size_t at, size_t bytes, bool big, uint32_t& value) {
    if (at > b.size() || bytes > b.size() - at) return false;
    value = 0;
    for (size_t i = 0; i < bytes; ++i)
        value |= uint32_t(b[at + i]) << (8 * (big ? bytes - 1 - i : i));
    return true;
}

// An entry of an EXIF block's first IFD: its type, the bytes of one value and where its first
// value sits (inline when the values fit in four bytes, else where the entry points).
struct ExifEntry {
    uint32_t type = 0, count = 0;
    size_t size = 0, at = 0;
};

size_t TypeSize(uint32_t type) {
    switch (type) {
    case 3: // SHORT
    case 8: // SSHORT
        return 2;
    case 4: // LONG
    case 9: // SLONG
        return 4;
    case 5:  // RATIONAL
    case 10: // SRATIONAL
        return 8;
    default:
        return 0;
    }
}

// The numeric entry for tag in IFD0, if the block holds one that lies inside it.
std::optional<ExifEntry> FindEntry(const std::vector<uint8_t>& exif, uint32_t tag, bool& big) {
    if (exif.size() < 8) return std::nullopt;
    if (exif[0] == 'M' && exif[1] == 'M')
        big = true;
    else if (exif[0] == 'I' && exif[1] == 'I')
        big = false;
    else
        return std::nullopt;
    uint32_t ifd = 0, count = 0;
    if (!Number(exif, 4, 4, big, ifd) || !Number(exif, ifd, 2, big, count)) return std::nullopt;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t entry = size_t(ifd) + 2 + size_t(i) * 12;
        uint32_t found = 0;
        ExifEntry e;
        if (!Number(exif, entry, 2, big, found) || !Number(exif, entry + 2, 2, big, e.type) ||
            !Number(exif, entry + 4, 4, big, e.count))
            return std::nullopt;
        if (found != tag) continue;
        e.size = TypeSize(e.type);
        if (e.size == 0 || e.count == 0) return std::nullopt;
        uint32_t pointer = 0;
        if (e.size * e.count <= 4)
            e.at = entry + 8;
        else if (Number(exif, entry + 8, 4, big, pointer))
            e.at = pointer;
        if (e.at == 0 || e.at > exif.size() || e.size > exif.size() - e.at) return std::nullopt;
        return e;
    }
    return std::nullopt;
}

// A SHORT or LONG value, signed types read the same way for the small numbers they hold here.
std::optional<uint32_t> Integer(const std::vector<uint8_t>& exif, uint32_t tag) {
    bool big = false;
    const std::optional<ExifEntry> e = FindEntry(exif, tag, big);
    uint32_t value = 0;
    if (!e || e->size > 4 || !Number(exif, e->at, e->size, big, value)) return std::nullopt;
    return value;
}

// A RATIONAL or SRATIONAL value, when it is a positive number.
std::optional<double> Rational(const std::vector<uint8_t>& exif, uint32_t tag) {
    bool big = false;
    const std::optional<ExifEntry> e = FindEntry(exif, tag, big);
    uint32_t numerator = 0, denominator = 0;
    if (!e || e->size != 8 || !Number(exif, e->at, 4, big, numerator) ||
        !Number(exif, e->at + 4, 4, big, denominator) || denominator == 0)
        return std::nullopt;
    const double value = e->type == 10 ? double(int32_t(numerator)) / int32_t(denominator)
                                       : double(numerator) / denominator;
    if (!(value > 0)) return std::nullopt;
    return value;
}

constexpr uint32_t kOrientationTag = 0x0112;

} // namespace

void SettleProfile(Document& d, std::vector<uint8_t> profile, bool grey) {
    if (profile.empty()) return;
    Profile opened(cmsOpenProfileFromMem(profile.data(), cmsUInt32Number(profile.size())));
    if (!opened) {
        d.notes.push_back("its colour profile cannot be read; it is left out");
        return;
    }
    const cmsColorSpaceSignature space = cmsGetColorSpace(opened.get());
    if (grey) {
        if (space == cmsSigGrayData && GreyToSrgb(d, opened.get())) {
            d.iccProfile = SrgbProfileBytes();
            return;
        }
        if (space != cmsSigRgbData || !ConvertsWithLab(opened.get(), TYPE_RGB_16)) {
            d.notes.push_back(std::string("its ") + SpaceName(space) +
                              " colour profile cannot be used for its grey; it is left out");
            return;
        }
    } else if (d.mode == ColorMode::RGB || d.mode == ColorMode::CMYK) {
        const bool rgb = d.mode == ColorMode::RGB;
        if (space != (rgb ? cmsSigRgbData : cmsSigCmykData) ||
            !ConvertsWithLab(opened.get(), rgb ? TYPE_RGB_16 : TYPE_CMYK_16)) {
            d.notes.push_back(std::string("its ") + SpaceName(space) +
                              " colour profile cannot be used for " + ModeName(d.mode) +
                              " pixels; it is left out");
            return;
        }
    }
    d.iccProfile = std::move(profile);
}

uint16_t ExifOrientation(const std::vector<uint8_t>& exif) {
    const std::optional<uint32_t> value = Integer(exif, kOrientationTag);
    return value && *value >= 1 && *value <= 8 ? uint16_t(*value) : 0;
}

void ReadExifResolution(const std::vector<uint8_t>& exif, Metadata& m) {
    const std::optional<double> x = Rational(exif, 0x011A), y = Rational(exif, 0x011B);
    if (!x || !y) return;
    // EXIF's default unit is the inch; 3 is the centimetre, 1 no unit.
    const uint32_t unit = Integer(exif, 0x0128).value_or(2);
    if (unit < 1 || unit > 3) return;
    m.xResolution = *x;
    m.yResolution = *y;
    m.resolutionUnit = unit == 2   ? ResolutionUnit::Inch
                       : unit == 3 ? ResolutionUnit::Centimetre
                                   : ResolutionUnit::None;
}

std::vector<uint8_t> ExifWithOrientation(const std::vector<uint8_t>& exif, uint16_t orientation) {
    if (orientation < 1 || orientation > 8) return exif;
    if (exif.empty()) {
        // A little-endian TIFF header and an IFD0 of one entry: Orientation, SHORT, 1.
        return {
            'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, uint8_t(orientation),
            0,   0,   0,  0, 0, 0, 0};
    }
    bool big = false;
    const std::optional<ExifEntry> e = FindEntry(exif, kOrientationTag, big);
    if (!e || e->size > 4) return exif;
    std::vector<uint8_t> changed = exif;
    for (size_t i = 0; i < e->size; ++i)
        changed[e->at + i] = uint8_t(i == (big ? e->size - 1 : 0) ? orientation : 0);
    return changed;
}

} // namespace quillon::filterhost
