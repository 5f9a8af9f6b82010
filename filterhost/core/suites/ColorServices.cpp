#include "core/suites/ColorServices.h"

#include "core/HostFailure.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>

namespace quillon::filterhost {
namespace {

ColorServices* gServices = nullptr;

// Records carry a pad first (c0) for RGB and Lab; CMYK uses all four components.
cmsUInt32Number RecordFormat(ColorSpace space, int bytes) {
    switch (space) {
    case plugIncolorServicesCMYKSpace:
        return COLORSPACE_SH(PT_CMYK) | CHANNELS_SH(4) | BYTES_SH(bytes);
    case plugIncolorServicesLabSpace:
        return COLORSPACE_SH(PT_Lab) | EXTRA_SH(1) | CHANNELS_SH(3) | BYTES_SH(bytes) |
               SWAPFIRST_SH(1);
    default:
        return COLORSPACE_SH(PT_RGB) | EXTRA_SH(1) | CHANNELS_SH(3) | BYTES_SH(bytes) |
               SWAPFIRST_SH(1);
    }
}

bool Known(ColorSpace space) {
    return space == plugIncolorServicesRGBSpace || space == plugIncolorServicesCMYKSpace ||
           space == plugIncolorServicesLabSpace;
}

uint16_t Clamp16(long v) {
    return static_cast<uint16_t>(std::clamp(v, 0L, 65535L));
}

// The host's 16-bit scale (0..32768; Lab a, b neutral at 16384) against LittleCMS's
// (0..65535; Lab a, b neutral at 0x8080, one unit of a* being 257).
uint16_t ToCms(ColorSpace space, int channel, uint16_t v) {
    if (space == plugIncolorServicesLabSpace && channel > 0)
        return Clamp16(std::lround(v * 257.0 / 128.0));
    return Clamp16(std::lround(v * 65535.0 / 32768.0));
}

uint16_t FromCms(ColorSpace space, int channel, uint16_t v) {
    if (space == plugIncolorServicesLabSpace && channel > 0)
        return static_cast<uint16_t>(std::min(32768L, std::lround(v * 128.0 / 257.0)));
    return static_cast<uint16_t>(std::lround(v * 32768.0 / 65535.0));
}

// LittleCMS's precalculated tables are off by several levels in dark colours (measured: up to 10
// at 8 bits, 14 at 16 bits through Lab and back), so conversions run the exact pipeline.
constexpr cmsUInt32Number kPrecisionFlags = cmsFLAGS_NOOPTIMIZE;

struct ColorRecord {
    ColorSpace space;
    uint8_t c[4];
};

} // namespace

struct ColorServices::Transform {
    cmsHTRANSFORM handle = nullptr;
    ~Transform() {
        if (handle) cmsDeleteTransform(handle);
    }
};

struct ColorSuiteProcs {
    static SPErr Make(ColorID* id) {
        if (!id || !gServices) return kSPBadParameterError;
        *id = reinterpret_cast<ColorID>(new ColorRecord{plugIncolorServicesRGBSpace, {0, 0, 0, 0}});
        ++gServices->colors_;
        return kSPNoError;
    }
    static SPErr Delete(ColorID* id) {
        if (!id || !*id || !gServices) return kSPBadParameterError;
        delete reinterpret_cast<ColorRecord*>(*id);
        *id = nullptr;
        --gServices->colors_;
        return kSPNoError;
    }
    static SPErr Stuff(ColorID id, ColorSpace space, uint8 c0, uint8 c1, uint8 c2, uint8 c3) {
        if (!id || !Known(space)) return kSPBadParameterError;
        *reinterpret_cast<ColorRecord*>(id) = {space, {c0, c1, c2, c3}};
        return kSPNoError;
    }
    static SPErr Extract(ColorID id, ColorSpace space, uint8* c0, uint8* c1, uint8* c2, uint8* c3,
                         Boolean* gamut) {
        if (!id || !Known(space) || !gServices) return kSPBadParameterError;
        const ColorRecord& r = *reinterpret_cast<ColorRecord*>(id);
        Color8 color{r.c[0], r.c[1], r.c[2], r.c[3]};
        gServices->Convert8(r.space, space, &color, 1);
        if (c0) *c0 = color.c0;
        if (c1) *c1 = color.c1;
        if (c2) *c2 = color.c2;
        if (c3) *c3 = color.c3;
        if (gamut) *gamut = false;
        return kSPNoError;
    }
    static SPErr Pick(ColorID* id, const char*) {
        if (!id || !*id || !gServices) return kSPBadParameterError;
        auto& r = *reinterpret_cast<ColorRecord*>(*id);
        uint8_t picked[4] = {r.c[0], r.c[1], r.c[2], r.c[3]};
        if (gServices->pickColor_ && gServices->pickColor_(r.space, picked))
            std::copy(picked, picked + 4, r.c);
        return kSPNoError;
    }
    static SPErr Convert8(ColorSpace from, ColorSpace to, Color8* records, int16 count) {
        if (!gServices || !records || count < 0 || !Known(from) || !Known(to))
            return kSPBadParameterError;
        gServices->Convert8(from, to, records, count);
        return kSPNoError;
    }
    static SPErr Convert16(ColorSpace from, ColorSpace to, Color16* records, int16 count) {
        if (!gServices || !records || count < 0 || !Known(from) || !Known(to))
            return kSPBadParameterError;
        gServices->Convert16(from, to, records, count);
        return kSPNoError;
    }
    static SPErr Convert8to16(const uint8* in, uint16* out, int16 count) {
        if (!in || !out || count < 0) return kSPBadParameterError;
        for (int i = 0; i < count; ++i)
            out[i] = EightToHost16(in[i]);
        return kSPNoError;
    }
    static SPErr Convert16to8(const uint16* in, uint8* out, int16 count) {
        if (!in || !out || count < 0) return kSPBadParameterError;
        for (int i = 0; i < count; ++i)
            out[i] = static_cast<uint8>((std::min<uint32_t>(in[i], 32768) * 255 + 16384) / 32768);
        return kSPNoError;
    }
};

const PSColorSpaceSuite1* ColorServices::Suite() {
    static const PSColorSpaceSuite1 suite{
        &ColorSuiteProcs::Make,        &ColorSuiteProcs::Delete,
        &ColorSuiteProcs::Stuff,       &ColorSuiteProcs::Extract,
        &ColorSuiteProcs::Pick,        &ColorSuiteProcs::Convert8,
        &ColorSuiteProcs::Convert16,   &ColorSuiteProcs::Convert8to16,
        &ColorSuiteProcs::Convert16to8};
    return &suite;
}

ColorServices::ColorServices(std::span<const uint8_t> rgbProfile,
                             std::span<const uint8_t> cmykProfile) {
    if (gServices) throw HostFailure("only one colour service may be live");
    rgbProfile_ = rgbProfile.empty() ? cmsCreate_sRGBProfile()
                                     : cmsOpenProfileFromMem(rgbProfile.data(),
                                                             cmsUInt32Number(rgbProfile.size()));
    if (!rgbProfile_) throw HostFailure("the document's RGB colour profile cannot be read");
    cmykProfile_ = cmykProfile.empty() ? cmsOpenProfileFromFile(kDefaultCmykProfile, "r")
                                       : cmsOpenProfileFromMem(cmykProfile.data(),
                                                               cmsUInt32Number(cmykProfile.size()));
    labProfile_ = cmsCreateLab4Profile(cmsD50_xyY());
    shaper_ = MatrixShaper::FromProfile(rgbProfile_);
    gServices = this;
}

ColorServices::~ColorServices() {
    transforms_.clear();
    for (void* p : {rgbProfile_, cmykProfile_, labProfile_})
        if (p) cmsCloseProfile(p);
    gServices = nullptr;
}

void* ColorServices::ProfileFor(ColorSpace space) {
    switch (space) {
    case plugIncolorServicesCMYKSpace:
        if (!cmykProfile_)
            throw HostFailure(std::string("no CMYK colour profile: install ") +
                              kDefaultCmykProfile + " (libgs-common)");
        return cmykProfile_;
    case plugIncolorServicesLabSpace:
        return labProfile_;
    default:
        return rgbProfile_;
    }
}

ColorServices::Transform& ColorServices::TransformFor(ColorSpace from, ColorSpace to, int bytes) {
    auto& slot = transforms_[{from, to, bytes}];
    if (!slot) {
        slot = std::make_unique<Transform>();
        // The pad c0 of RGB and Lab records is carried across; CMYK has no pad to carry.
        const bool padBoth =
            from != plugIncolorServicesCMYKSpace && to != plugIncolorServicesCMYKSpace;
        slot->handle = cmsCreateTransform(
            ProfileFor(from), RecordFormat(from, bytes), ProfileFor(to), RecordFormat(to, bytes),
            INTENT_RELATIVE_COLORIMETRIC, kPrecisionFlags | (padBoth ? cmsFLAGS_COPY_ALPHA : 0));
        if (!slot->handle) throw HostFailure("cannot build a colour transform");
    }
    return *slot;
}

template <typename Record>
static bool ConvertWith(const MatrixShaper* shaper, ColorSpace from, ColorSpace to, Record* records,
                        int count) {
    if (!shaper) return false;
    if (from == plugIncolorServicesRGBSpace && to == plugIncolorServicesLabSpace) {
        shaper->RgbToLab(records, count);
        return true;
    }
    if (from == plugIncolorServicesLabSpace && to == plugIncolorServicesRGBSpace) {
        shaper->LabToRgb(records, count);
        return true;
    }
    return false;
}

bool ColorServices::ConvertFast(ColorSpace from, ColorSpace to, Color8* records, int count) const {
    return ConvertWith(shaper_.get(), from, to, records, count);
}

bool ColorServices::ConvertFast(ColorSpace from, ColorSpace to, Color16* records, int count) const {
    return ConvertWith(shaper_.get(), from, to, records, count);
}

void ColorServices::Convert8(ColorSpace from, ColorSpace to, Color8* records, int count) {
    if (from == to || count <= 0) return;
    ++conversions_;
    ++bySpaces_[{from, to}];
    if (ConvertFast(from, to, records, count)) return;
    cmsDoTransform(TransformFor(from, to, 1).handle, records, records, cmsUInt32Number(count));
}

void ColorServices::Convert16(ColorSpace from, ColorSpace to, Color16* records, int count) {
    if (from == to || count <= 0) return;
    ++conversions_;
    ++bySpaces_[{from, to}];
    if (ConvertFast(from, to, records, count)) return;
    Transform& t = TransformFor(from, to, 2);
    // Rescale into LittleCMS's range in a scratch row kept from call to call.
    const size_t n = size_t(count) * 4;
    if (scratch_.size() < n) scratch_.resize(n);
    uint16_t* raw = reinterpret_cast<uint16_t*>(records);
    const bool cmykIn = from == plugIncolorServicesCMYKSpace;
    for (size_t i = 0; i < n; ++i) {
        int channel = int(i % 4);
        scratch_[i] = (channel == 0 && !cmykIn) ? 0 : ToCms(from, cmykIn ? 0 : channel, raw[i]);
    }
    cmsDoTransform(t.handle, scratch_.data(), scratch_.data(), cmsUInt32Number(count));
    const bool cmykOut = to == plugIncolorServicesCMYKSpace;
    for (size_t i = 0; i < n; ++i) {
        int channel = int(i % 4);
        if (channel == 0 && !cmykOut) continue; // the pad travels untouched
        raw[i] = FromCms(to, cmykOut ? 0 : channel, scratch_[i]);
    }
}

} // namespace quillon::filterhost
