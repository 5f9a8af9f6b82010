// Makes the built-in sample chart at build time and writes it as a C++ source holding the TIFF
// bytes: each ramp swatch converted from CIE L*a*b* (D50) to sRGB with LittleCMS, swatches that
// fall outside the sRGB gamut brought inside by reducing their chroma at constant lightness and
// hue, the fixed colours of the last row taken as they are.
#include "resources/SampleChart.h"

#include <lcms2.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace quillon::resources;

constexpr int kWidth = kChartColumns * kSwatchSize;
constexpr int kHeight = kChartRows * kSwatchSize;

bool InGamut(const double rgb[3]) {
    return std::all_of(rgb, rgb + 3, [](double v) { return v >= -1e-6 && v <= 1 + 1e-6; });
}

// The swatch in 16-bit sRGB, with the largest chroma (as a fraction of the table's) that fits.
void SwatchRgb16(cmsHTRANSFORM labToRgb, const ChartSwatch& swatch, uint16_t out[3]) {
    if (swatch.isRgb) {
        for (int c = 0; c < 3; ++c)
            out[c] = uint16_t(swatch.rgb[c] * 257);
        return;
    }
    const auto convert = [&](double scale, double rgb[3]) {
        const double lab[3] = {swatch.lab[0], swatch.lab[1] * scale, swatch.lab[2] * scale};
        cmsDoTransform(labToRgb, lab, rgb, 1);
    };
    double rgb[3];
    convert(1.0, rgb);
    if (!InGamut(rgb)) {
        double low = 0.0, high = 1.0;
        for (int i = 0; i < 40; ++i) {
            const double mid = (low + high) / 2;
            convert(mid, rgb);
            (InGamut(rgb) ? low : high) = mid;
        }
        convert(low, rgb);
    }
    for (int c = 0; c < 3; ++c)
        out[c] = uint16_t(std::lround(std::clamp(rgb[c], 0.0, 1.0) * 65535.0));
}

std::vector<uint16_t> PaintChart() {
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    // Floating-point transforms between matrix-shaper profiles are unbounded, so values outside
    // 0..1 show which swatches lie outside the gamut.
    cmsHTRANSFORM labToRgb =
        cmsCreateTransform(lab, TYPE_Lab_DBL, srgb, TYPE_RGB_DBL, INTENT_RELATIVE_COLORIMETRIC,
                           cmsFLAGS_NOOPTIMIZE | cmsFLAGS_NOCACHE);
    std::vector<uint16_t> pixels(size_t(kWidth) * kHeight * 3);
    for (int row = 0; row < kChartRows; ++row) {
        for (int column = 0; column < kChartColumns; ++column) {
            uint16_t rgb[3];
            SwatchRgb16(labToRgb, ChartSwatchAt(row, column), rgb);
            for (int y = row * kSwatchSize; y < (row + 1) * kSwatchSize; ++y)
                for (int x = column * kSwatchSize; x < (column + 1) * kSwatchSize; ++x)
                    std::copy(rgb, rgb + 3, &pixels[(size_t(y) * kWidth + x) * 3]);
        }
    }
    cmsDeleteTransform(labToRgb);
    cmsCloseProfile(lab);
    cmsCloseProfile(srgb);
    return pixels;
}

std::vector<uint8_t> SrgbProfileBytes() {
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(srgb, nullptr, &size);
    std::vector<uint8_t> bytes(size);
    cmsSaveProfileToMem(srgb, bytes.data(), &size);
    cmsCloseProfile(srgb);
    return bytes;
}

bool WriteTiff(const std::string& path, std::vector<uint16_t>& pixels) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (!tiff) return false;
    std::vector<uint8_t> profile = SrgbProfileBytes();
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, kSwatchSize);
    TIFFSetField(tiff, TIFFTAG_ICCPROFILE, uint32_t(profile.size()), profile.data());
    bool ok = true;
    for (int y = 0; y < kHeight && ok; ++y)
        ok = TIFFWriteScanline(tiff, &pixels[size_t(y) * kWidth * 3], uint32_t(y), 0) == 1;
    TIFFClose(tiff);
    return ok;
}

bool WriteSource(const std::string& path, const std::vector<uint8_t>& tiff) {
    std::ofstream out(path);
    out << "// Made by MakeSampleChart at build time.\n"
           "#include \"resources/SampleChart.h\"\n\n"
           "namespace quillon::resources {\nnamespace {\nconst uint8_t kChart[] = {";
    for (size_t i = 0; i < tiff.size(); ++i)
        out << (i % 24 == 0 ? "\n" : "") << int(tiff[i]) << ',';
    out << "\n};\n} // namespace\n\n"
           "std::span<const uint8_t> SampleChart() { return kChart; }\n\n"
           "} // namespace quillon::resources\n";
    return bool(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample_chart OUT.cpp\n");
        return 2;
    }
    const std::string source = argv[1];
    const std::string tiffPath = source + ".tif";
    std::vector<uint16_t> pixels = PaintChart();
    if (!WriteTiff(tiffPath, pixels)) {
        std::fprintf(stderr, "make_sample_chart: cannot write %s\n", tiffPath.c_str());
        return 1;
    }
    std::ifstream in(tiffPath, std::ios::binary);
    const std::vector<uint8_t> tiff{std::istreambuf_iterator<char>(in), {}};
    std::remove(tiffPath.c_str());
    if (tiff.empty() || !WriteSource(source, tiff)) {
        std::fprintf(stderr, "make_sample_chart: cannot write %s\n", source.c_str());
        return 1;
    }
    return 0;
}
