// Reading and writing documents as PNG, JPEG and TIFF files.
#pragma once

#include "core/documents/Document.h"

#include <filesystem>

namespace quillon::filterhost {

enum class FileFormat { Png, Jpeg, Tiff };

struct LoadedImage {
    Document document;
    FileFormat format;
};

// Largest picture the host opens: plane sizes stay far from overflow.
inline constexpr int64_t kMaxImagePixels = int64_t{1} << 30;

// Throws HostFailure with one clear line when the file cannot be read as a document, or when it
// holds more than maxPixels pixels.
LoadedImage ReadImageFile(const std::filesystem::path& file, int64_t maxPixels = kMaxImagePixels);

// Writes through a temporary file in the same folder and renames it into place, so a failure
// never leaves a partial file. Throws HostFailure when the format cannot hold the document.
void WriteImageFile(const Document& document, FileFormat format, const std::filesystem::path& file);

// The format an output name asks for by its extension, or the fallback when it names none.
FileFormat FormatForOutput(const std::filesystem::path& file, FileFormat fallback);

// 16-bit file samples (0..65535) against the host's 16-bit scale (0..32768); every host value
// survives a write and a read.
uint16_t FromFile16(uint16_t v);
uint16_t ToFile16(uint16_t v);

} // namespace quillon::filterhost
