// Format recognition by content.
#pragma once

#include "codec/ImageSource.h"

#include <span>
#include <string_view>

namespace quillon::codec {

enum class ImageFormat {
    Unknown,
    Bmp,
    Gif,
    Jpeg,
    Pcx,
    Tiff,
    Png,
    Metafile, // Windows and enhanced metafiles: need the system's player
    Psd,
    ContainerV2, // "TLA" 01: refused with its own code
    Container,   // "TLAU": the private container, not read
    NotRead,     // recognised signatures of formats the layer does not read
    Wbmp,
    Tga,
    PhotoCd,
    Pbm,
    Pgm,
    Ppm,
};

// Leaves the source at an unspecified position.
ImageFormat RecognizeFormat(ImageSource& source);

// The file name extensions (".png", lower case) of every format the layer reads, for the
// filters of an open-file dialog.
std::span<const std::string_view> ReadableExtensions();

} // namespace quillon::codec
