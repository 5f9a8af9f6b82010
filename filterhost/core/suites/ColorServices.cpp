#include "core/suites/ColorServices.h"

#include "core/HostFailure.h"
#include "core/suites/GuardedCall.h"
#include "core/suites/SessionServices.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>

namespace quillon::filterhost {
namespace {

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

const char* SpaceName(ColorSpace space) {
    switch (space) {
    case plugIncolorServicesCMYKSpace:
        return "CMYK";
    case plugIncolorServicesLabSpace:
        return "Lab";
    default:
        return "RGB";
    }
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

// Every entry point checks its colour records against the session's table and returns an error
// code for anything that fails, an unusable profile included.
struct ColorSuiteProcs {
    static ColorServices* Services() {
        SessionServices* session = SessionServices::Current();
        return session ? session->Colors() : nullptr;
    }
    static ColorRecord* Live(ColorServices* s, ColorID id) {
        return s && s->colours_ ? s->colours_->Find<ColorRecord>(id, HandleKind::Color) : nullptr;
    }

    static SPErr Make(ColorID* id) noexcept {
        ColorServices* s = Services();
        if (!id || !s || !s->colours_) return kSPBadParameterError;
        *id = nullptr;
        return GuardedCall<SPErr>(kSPBadParameterError, [&] {
            auto record =
                std::make_unique<ColorRecord>(ColorRecord{plugIncolorServicesRGBSpace, {}});
            s->colours_->Add(record.get(), HandleKind::Color);
            *id = reinterpret_cast<ColorID>(record.release());
            return SPErr(kSPNoError);
        });
    }
    static SPErr Delete(ColorID* id) noexcept {
        ColorServices* s = Services();
        ColorRecord* r = id ? Live(s, *id) : nullptr;
        if (!r) return kSPBadParameterError;
        s->colours_->Remove(r, HandleKind::Color);
        delete r;
        *id = nullptr;
        return kSPNoError;
    }
    static SPErr Stuff(ColorID id, ColorSpace space, uint8 c0, uint8 c1, uint8 c2,
                       uint8 c3) noexcept {
        ColorRecord* r = Live(Services(), id);
        if (!r || !Known(space)) return kSPBadParameterError;
        *r = {space, {c0, c1, c2, c3}};
        return kSPNoError;
    }
    static SPErr Extract(ColorID id, ColorSpace space, uint8* c0, uint8* c1, uint8* c2, uint8* c3,
                         Boolean* gamut) noexcept {
        ColorServices* s = Services();
        const ColorRecord* r = Live(s, id);
        if (!r || !Known(space)) return kSPBadParameterError;
        return GuardedCall<SPErr>(kSPBadParameterError, [&] {
            Color8 color{r->c[0], r->c[1], r->c[2], r->c[3]};
            s->Convert8(r->space, space, &color, 1);
            if (c0) *c0 = color.c0;
            if (c1) *c1 = color.c1;
            if (c2) *c2 = color.c2;
            if (c3) *c3 = color.c3;
            if (gamut) *gamut = false;
            return SPErr(kSPNoError);
        });
    }
    static SPErr Pick(ColorID* id, const char* prompt) noexcept {
        return PickFollowing(id, prompt, nullptr, nullptr);
    }
    // The record holds each colour the user makes while changed hears of it, and the colour
    // handed in again after a cancel. The plug-in may misuse the record in its callback, so it
    // is looked up again each time.
    static SPErr PickFollowing(ColorID* id, const char*, PickColorChangedProc changed,
                               void* data) noexcept {
        ColorServices* s = Services();
        ColorRecord* r = id ? Live(s, *id) : nullptr;
        if (!r) return kSPBadParameterError;
        const ColorID colour = *id;
        const ColorRecord before = *r;
        return GuardedCall<SPErr>(kSPBadParameterError, [&] {
            uint8_t picked[4] = {r->c[0], r->c[1], r->c[2], r->c[3]};
            ColorServices::PickChanged tell;
            if (changed)
                tell = [&](const uint8_t c[4]) {
                    ColorRecord* live = Live(s, colour);
                    if (!live) return;
                    std::copy(c, c + 4, live->c);
                    changed(data, colour);
                };
            const bool accepted = s->pickColor_ && s->pickColor_(before.space, picked, tell);
            ColorRecord* live = Live(s, colour);
            if (!live) return SPErr(kSPBadParameterError);
            *live = before;
            if (accepted) std::copy(picked, picked + 4, live->c);
            return SPErr(kSPNoError);
        });
    }
    template <typename Record>
    static SPErr Convert(ColorSpace from, ColorSpace to, Record* records, int16 count) noexcept {
        ColorServices* s = Services();
        if (!s || !records || count < 0 || !Known(from) || !Known(to)) return kSPBadParameterError;
        return GuardedCall<SPErr>(kSPBadParameterError, [&] {
            if constexpr (sizeof(Record) == sizeof(Color8))
                s->Convert8(from, to, records, count);
            else
                s->Convert16(from, to, records, count);
            return SPErr(kSPNoError);
        });
    }
    static SPErr Convert8to16(const uint8* in, uint16* out, int16 count) noexcept {
        if (!in || !out || count < 0) return kSPBadParameterError;
        for (int i = 0; i < count; ++i)
            out[i] = EightToHost16(in[i]);
        return kSPNoError;
    }
    static SPErr Convert16to8(const uint16* in, uint8* out, int16 count) noexcept {
        if (!in || !out || count < 0) return kSPBadParameterError;
        for (int i = 0; i < count; ++i)
            out[i] = static_cast<uint8>((std::min<uint32_t>(in[i], 32768) * 255 + 16384) / 32768);
        return kSPNoError;
    }
};

const PSColorSpaceSuite1* ColorServices::Suite() {
    static const PSColorSpaceSuite1 suite{&ColorSuiteProcs::Make,
                                          &ColorSuiteProcs::Delete,
                                          &ColorSuiteProcs::Stuff,
                                          &ColorSuiteProcs::Extract,
                                          &ColorSuiteProcs::Pick,
                                          &ColorSuiteProcs::Convert<Color8>,
                                          &ColorSuiteProcs::Convert<Color16>,
                                          &ColorSuiteProcs::Convert8to16,
                                          &ColorSuiteProcs::Convert16to8};
    return &suite;
}

const QuillonPickerFollowSuite1* ColorServices::FollowSuite() {
    static const QuillonPickerFollowSuite1 suite{&ColorSuiteProcs::PickFollowing};
    return &suite;
}

ColorServices::ColorServices(std::span<const uint8_t> rgbProfile,
                             std::span<const uint8_t> cmykProfile, HandleTable* colours)
    : colours_(colours) {
    rgbProfile_ = rgbProfile.empty() ? cmsCreate_sRGBProfile()
                                     : cmsOpenProfileFromMem(rgbProfile.data(),
                                                             cmsUInt32Number(rgbProfile.size()));
    if (!rgbProfile_) throw HostFailure("the document's RGB colour profile cannot be read");
    cmykProfile_ = cmykProfile.empty() ? cmsOpenProfileFromFile(kDefaultCmykProfile, "r")
                                       : cmsOpenProfileFromMem(cmykProfile.data(),
                                                               cmsUInt32Number(cmykProfile.size()));
    rgbEmbedded_ = !rgbProfile.empty();
    cmykEmbedded_ = !cmykProfile.empty();
    labProfile_ = cmsCreateLab4Profile(cmsD50_xyY());
    shaper_ = MatrixShaper::FromProfile(rgbProfile_);
}

ColorServices::~ColorServices() {
    transforms_.clear();
    for (void* p : {rgbProfile_, cmykProfile_, labProfile_})
        if (p) cmsCloseProfile(p);
    if (colours_)
        for (void* c : colours_->All(HandleKind::Color)) {
            colours_->Remove(c, HandleKind::Color);
            delete static_cast<ColorRecord*>(c);
        }
}

void* ColorServices::ProfileFor(ColorSpace space) {
    switch (space) {
    case plugIncolorServicesCMYKSpace:
        if (!cmykProfile_ && cmykEmbedded_)
            throw HostFailure("the document's embedded CMYK colour profile cannot be used");
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
        if (!slot->handle) {
            transforms_.erase({from, to, bytes});
            const ColorSpace profiled = from == plugIncolorServicesLabSpace ? to : from;
            const bool embedded =
                profiled == plugIncolorServicesCMYKSpace ? cmykEmbedded_ : rgbEmbedded_;
            throw HostFailure(std::string("the ") + (embedded ? "document's embedded " : "") +
                              SpaceName(profiled) +
                              " colour profile cannot be used (LittleCMS cannot convert " +
                              SpaceName(from) + " to " + SpaceName(to) + " with it)");
        }
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

bool ColorServices::InDocumentGamut(double l, double a, double b) {
    const bool cmyk = documentSpace_ == plugIncolorServicesCMYKSpace;
    const ColorSpace device = cmyk ? plugIncolorServicesCMYKSpace : plugIncolorServicesRGBSpace;
    if (!toDevice_) {
        const cmsUInt32Number deviceFormat = cmyk ? TYPE_CMYK_DBL : TYPE_RGB_DBL;
        auto to = std::make_unique<Transform>();
        auto from = std::make_unique<Transform>();
        to->handle = cmsCreateTransform(labProfile_, TYPE_Lab_DBL, ProfileFor(device), deviceFormat,
                                        INTENT_RELATIVE_COLORIMETRIC, kPrecisionFlags);
        from->handle =
            cmsCreateTransform(ProfileFor(device), deviceFormat, labProfile_, TYPE_Lab_DBL,
                               INTENT_RELATIVE_COLORIMETRIC, kPrecisionFlags);
        if (!to->handle || !from->handle)
            throw HostFailure(
                std::string("the ") +
                ((cmyk ? cmykEmbedded_ : rgbEmbedded_) ? "document's embedded " : "") +
                SpaceName(device) + " colour profile cannot be used for a gamut check");
        toDevice_ = std::move(to);
        fromDevice_ = std::move(from);
    }
    // The colour is clipped into the device's range and brought back: what moved is outside.
    // Matrix RGB profiles invert exactly; CMYK tables only to within a few tenths.
    const cmsCIELab lab{l, a, b};
    double deviceValues[4] = {};
    cmsDoTransform(toDevice_->handle, &lab, deviceValues, 1);
    const double top = cmyk ? 100.0 : 1.0;
    for (double& v : deviceValues)
        v = std::clamp(v, 0.0, top);
    cmsCIELab back{};
    cmsDoTransform(fromDevice_->handle, deviceValues, &back, 1);
    const double tolerance = cmyk ? 3.0 : 1.0;
    return cmsDeltaE(&lab, &back) <= tolerance;
}

void ColorServices::Convert8(ColorSpace from, ColorSpace to, Color8* records, int count) {
    if (from == to || count <= 0) return;
    if (counts_) ++(*counts_)[{from, to}];
    if (ConvertFast(from, to, records, count)) return;
    cmsDoTransform(TransformFor(from, to, 1).handle, records, records, cmsUInt32Number(count));
}

void ColorServices::Convert16(ColorSpace from, ColorSpace to, Color16* records, int count) {
    if (from == to || count <= 0) return;
    if (counts_) ++(*counts_)[{from, to}];
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
