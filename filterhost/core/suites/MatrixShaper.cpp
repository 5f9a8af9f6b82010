#include "core/suites/MatrixShaper.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>

namespace quillon::filterhost {
namespace {

constexpr int kEncodeSteps = 1 << 16;   // linear light 0..1
constexpr float kMaxT = 2.0f;           // X/Xn of the most saturated colours stays below this
constexpr int kCubeRootSteps = 1 << 17; // over 0..kMaxT

constexpr float kEpsilon = 216.0f / 24389.0f;
constexpr float kKappa = 24389.0f / 27.0f;

// The CIE lightness function, exact.
float CieF(double t) {
    return float(t > kEpsilon ? std::cbrt(t) : (kKappa * t + 16.0) / 116.0);
}

float CieFInverse(float f) {
    const float t = f * f * f;
    return t > kEpsilon ? t : (116.0f * f - 16.0f) / kKappa;
}

// Linear interpolation in a table spread evenly over 0..range.
float Lookup(const std::vector<float>& table, float x, float range) {
    const float at = std::clamp(x, 0.0f, range) * float(table.size() - 1) / range;
    const size_t i = std::min(size_t(at), table.size() - 2);
    const float frac = at - float(i);
    return table[i] + (table[i + 1] - table[i]) * frac;
}

bool Invert(const double m[9], double out[9]) {
    const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                       m[2] * (m[3] * m[7] - m[4] * m[6]);
    if (std::fabs(det) < 1e-12) return false;
    out[0] = (m[4] * m[8] - m[5] * m[7]) / det;
    out[1] = (m[2] * m[7] - m[1] * m[8]) / det;
    out[2] = (m[1] * m[5] - m[2] * m[4]) / det;
    out[3] = (m[5] * m[6] - m[3] * m[8]) / det;
    out[4] = (m[0] * m[8] - m[2] * m[6]) / det;
    out[5] = (m[2] * m[3] - m[0] * m[5]) / det;
    out[6] = (m[3] * m[7] - m[4] * m[6]) / det;
    out[7] = (m[1] * m[6] - m[0] * m[7]) / det;
    out[8] = (m[0] * m[4] - m[1] * m[3]) / det;
    return true;
}

uint8_t Byte(float v) {
    return uint8_t(std::clamp(std::floor(v + 0.5f), 0.0f, 255.0f));
}
uint16_t Word(float v, float max) {
    return uint16_t(std::clamp(std::floor(v + 0.5f), 0.0f, max));
}

} // namespace

std::unique_ptr<MatrixShaper> MatrixShaper::FromProfile(void* profile) {
    if (!profile || cmsGetColorSpace(profile) != cmsSigRgbData || !cmsIsMatrixShaper(profile))
        return nullptr;
    const auto* r = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, cmsSigRedColorantTag));
    const auto* g = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, cmsSigGreenColorantTag));
    const auto* b = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, cmsSigBlueColorantTag));
    const cmsToneCurve* curves[3] = {
        static_cast<const cmsToneCurve*>(cmsReadTag(profile, cmsSigRedTRCTag)),
        static_cast<const cmsToneCurve*>(cmsReadTag(profile, cmsSigGreenTRCTag)),
        static_cast<const cmsToneCurve*>(cmsReadTag(profile, cmsSigBlueTRCTag))};
    if (!r || !g || !b || !curves[0] || !curves[1] || !curves[2]) return nullptr;

    // Colorants are relative to the D50 connection space; Lab is taken against D50 white.
    const cmsCIEXYZ* white = cmsD50_XYZ();
    const double m[9] = {r->X / white->X, g->X / white->X, b->X / white->X,
                         r->Y / white->Y, g->Y / white->Y, b->Y / white->Y,
                         r->Z / white->Z, g->Z / white->Z, b->Z / white->Z};
    double inverse[9];
    if (!Invert(m, inverse)) return nullptr;

    std::unique_ptr<MatrixShaper> s(new MatrixShaper);
    for (int i = 0; i < 9; ++i)
        s->toXyz_[i] = float(m[i]), s->fromXyz_[i] = float(inverse[i]);
    for (int c = 0; c < 3; ++c) {
        for (int v = 0; v < 256; ++v)
            s->linear8_[size_t(c)][size_t(v)] = cmsEvalToneCurveFloat(curves[c], v / 255.0f);
        s->linear16_[size_t(c)].resize(32769);
        for (int v = 0; v <= 32768; ++v)
            s->linear16_[size_t(c)][size_t(v)] = cmsEvalToneCurveFloat(curves[c], v / 32768.0f);
        cmsToneCurve* reversed = cmsReverseToneCurve(curves[c]);
        if (!reversed) return nullptr;
        s->encode_[size_t(c)].resize(kEncodeSteps + 1);
        for (int i = 0; i <= kEncodeSteps; ++i)
            s->encode_[size_t(c)][size_t(i)] =
                cmsEvalToneCurveFloat(reversed, float(i) / kEncodeSteps);
        cmsFreeToneCurve(reversed);
    }
    s->cubeRoot_.resize(kCubeRootSteps + 1);
    for (int i = 0; i <= kCubeRootSteps; ++i)
        s->cubeRoot_[size_t(i)] = CieF(double(i) * kMaxT / kCubeRootSteps);
    return s;
}

void MatrixShaper::ToLab(const float rgb[3], float lab[3]) const {
    const float* m = toXyz_;
    const float fx = Lookup(cubeRoot_, m[0] * rgb[0] + m[1] * rgb[1] + m[2] * rgb[2], kMaxT);
    const float fy = Lookup(cubeRoot_, m[3] * rgb[0] + m[4] * rgb[1] + m[5] * rgb[2], kMaxT);
    const float fz = Lookup(cubeRoot_, m[6] * rgb[0] + m[7] * rgb[1] + m[8] * rgb[2], kMaxT);
    lab[0] = 116.0f * fy - 16.0f;
    lab[1] = 500.0f * (fx - fy);
    lab[2] = 200.0f * (fy - fz);
}

void MatrixShaper::ToLinearRgb(const float lab[3], float rgb[3]) const {
    const float fy = (lab[0] + 16.0f) / 116.0f;
    const float x = CieFInverse(fy + lab[1] / 500.0f);
    const float y = CieFInverse(fy);
    const float z = CieFInverse(fy - lab[2] / 200.0f);
    const float* m = fromXyz_;
    rgb[0] = m[0] * x + m[1] * y + m[2] * z;
    rgb[1] = m[3] * x + m[4] * y + m[5] * z;
    rgb[2] = m[6] * x + m[7] * y + m[8] * z;
}

float MatrixShaper::Encode(int channel, float linear) const {
    return Lookup(encode_[size_t(channel)], linear, 1.0f);
}

void MatrixShaper::RgbToLab(Color8* records, int count) const {
    for (int i = 0; i < count; ++i) {
        Color8& c = records[i];
        const float rgb[3] = {linear8_[0][c.c1], linear8_[1][c.c2], linear8_[2][c.c3]};
        float lab[3];
        ToLab(rgb, lab);
        c.c1 = Byte(lab[0] * 2.55f);
        c.c2 = Byte(lab[1] + 128.0f);
        c.c3 = Byte(lab[2] + 128.0f);
    }
}

void MatrixShaper::LabToRgb(Color8* records, int count) const {
    for (int i = 0; i < count; ++i) {
        Color8& c = records[i];
        const float lab[3] = {c.c1 / 2.55f, c.c2 - 128.0f, c.c3 - 128.0f};
        float rgb[3];
        ToLinearRgb(lab, rgb);
        c.c1 = Byte(Encode(0, rgb[0]) * 255.0f);
        c.c2 = Byte(Encode(1, rgb[1]) * 255.0f);
        c.c3 = Byte(Encode(2, rgb[2]) * 255.0f);
    }
}

void MatrixShaper::RgbToLab(Color16* records, int count) const {
    for (int i = 0; i < count; ++i) {
        Color16& c = records[i];
        const float rgb[3] = {linear16_[0][std::min<uint16_t>(c.c1, 32768)],
                              linear16_[1][std::min<uint16_t>(c.c2, 32768)],
                              linear16_[2][std::min<uint16_t>(c.c3, 32768)]};
        float lab[3];
        ToLab(rgb, lab);
        c.c1 = Word(lab[0] * 327.68f, 32768);
        c.c2 = Word(lab[1] * 128.0f + 16384.0f, 32768);
        c.c3 = Word(lab[2] * 128.0f + 16384.0f, 32768);
    }
}

void MatrixShaper::LabToRgb(Color16* records, int count) const {
    for (int i = 0; i < count; ++i) {
        Color16& c = records[i];
        const float lab[3] = {c.c1 / 327.68f, (c.c2 - 16384.0f) / 128.0f,
                              (c.c3 - 16384.0f) / 128.0f};
        float rgb[3];
        ToLinearRgb(lab, rgb);
        c.c1 = Word(Encode(0, rgb[0]) * 32768.0f, 32768);
        c.c2 = Word(Encode(1, rgb[1]) * 32768.0f, 32768);
        c.c3 = Word(Encode(2, rgb[2]) * 32768.0f, 32768);
    }
}

} // namespace quillon::filterhost
