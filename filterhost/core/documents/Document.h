// An open document: planes of 8- or 16-bit samples in RGB, CMYK or Lab, plus what travels along.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quillon::filterhost {

enum class ColorMode { RGB, CMYK, Lab };

enum class ResolutionUnit { None, Inch, Centimetre };

// How a JPEG was coded, so that a JPEG written from it loses no more than it must: per component
// its sampling factors and quantisation table, and the tables (natural order). Empty for other
// files. quality, when set (1..100), asks for that quality's tables instead.
struct JpegCoding {
    int colorSpace = 0; // libjpeg's J_COLOR_SPACE of the coded data
    struct Component {
        uint8_t horizontal = 1, vertical = 1, table = 0;
    };
    std::vector<Component> components;
    std::vector<std::array<uint16_t, 64>> tables;
    int quality = 0; // also the quality of a lossy WebP, HEIF or AVIF written
};

// What a file carries beside its pixels, kept from IN to OUT.
struct Metadata {
    // Pixels per unit; 0 when the file gives none. Unit None is an aspect ratio only.
    double xResolution = 0;
    double yResolution = 0;
    ResolutionUnit resolutionUnit = ResolutionUnit::None;
    // An EXIF block as JPEG and PNG store it: a TIFF header and IFD0, little or big endian.
    std::vector<uint8_t> exif;
    // The EXIF orientation (1..8), 0 when the file gives none; kept in step with exif.
    uint16_t orientation = 0;
    std::string xmp; // an XMP packet, UTF-8
    JpegCoding jpegCoding;
    // The pixels were coded lossily (WebP, HEIF, AVIF): a WebP written from them is lossy too.
    bool lossyCoding = false;
};

struct Document {
    ColorMode mode = ColorMode::RGB;
    int depth = 8; // bits per sample; 16-bit samples run 0..32768
    int32_t width = 0;
    int32_t height = 0;
    // One plane per colour channel, then alpha when present; samples row by row.
    std::vector<std::vector<uint16_t>> planes;
    bool hasAlpha = false;
    std::vector<uint8_t> iccProfile;
    Metadata metadata;
    // For 16-bit documents, per plane: how far each file sample lay from the value the writer
    // gives its host sample, so samples the filter leaves alone are written back exactly (the
    // file's 65536 levels do not fit the host's 32769). Empty when the file had none.
    std::vector<std::vector<int8_t>> fileOffsets;
    // What reading changed or dropped that the user should hear of (one line each).
    std::vector<std::string> notes;

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
