// An open document: planes of 8- or 16-bit samples in RGB, CMYK or Lab, plus what travels along.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::filterhost {

enum class ColorMode { RGB, CMYK, Lab };

struct Document {
    ColorMode mode = ColorMode::RGB;
    int depth = 8; // bits per sample; 16-bit samples run 0..32768
    int32_t width = 0;
    int32_t height = 0;
    // One plane per colour channel, then alpha when present; samples row by row.
    std::vector<std::vector<uint16_t>> planes;
    bool hasAlpha = false;
    std::vector<uint8_t> iccProfile;

    int ColorChannels() const { return mode == ColorMode::CMYK ? 4 : 3; }
    uint16_t& At(int plane, int32_t x, int32_t y) {
        return planes[size_t(plane)][size_t(y) * size_t(width) + size_t(x)];
    }
    uint16_t At(int plane, int32_t x, int32_t y) const {
        return planes[size_t(plane)][size_t(y) * size_t(width) + size_t(x)];
    }
};

// A blank document with every sample 0; fails cleanly for sizes the host cannot hold.
Document MakeDocument(ColorMode mode, int depth, int32_t width, int32_t height, bool alpha = false);

// The filter record's image mode for a document (e.g. 3 RGB, 11 48-bit RGB).
int16_t ImageModeOf(const Document& document);
const char* ModeName(ColorMode mode);

} // namespace quillon::filterhost
