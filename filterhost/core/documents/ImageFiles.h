// Reading and writing documents as PNG, JPEG, TIFF, WebP, HEIF and AVIF files.
#pragma once

#include "core/documents/AtomicFile.h"
#include "core/documents/Document.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>

namespace quillon::filterhost {

class StripEncoder;

enum class FileFormat { Png, Jpeg, Tiff, Webp, Heif, Avif };

struct LoadedImage {
    Document document;
    FileFormat format;
    // The pages after the first of a multi-page TIFF, in file order.
    std::vector<Document> morePages;
};

// Largest picture the host opens: plane sizes stay far from overflow.
inline constexpr int64_t kMaxImagePixels = int64_t{1} << 30;
// The most a caller may raise that limit to: a document's planes are bounded there.
inline constexpr int64_t kLargestImagePixels = int64_t{1} << 31;

// Returns true once the user has asked to stop; readers and writers then throw Cancelled.
using CancelCheck = std::function<bool()>;

// What readers and writers throw when the CancelCheck answers true.
class Cancelled : public std::runtime_error {
  public:
    Cancelled() : std::runtime_error("cancelled") {}
};

// The format a file's first bytes say it holds; HostFailure when it is none the host reads.
FileFormat RecognizeImageFile(const std::filesystem::path& file);

// Throws HostFailure with one clear line when the file cannot be read as a document, or when it
// holds more than maxPixels pixels (all pages together); the check comes before the decoder
// allocates, and the decoders' own memory is bounded by the same limit. A picture whose data is
// damaged is refused, unless acceptDamaged: then it is decoded as well as it can be, with a note.
LoadedImage ReadImageFile(const std::filesystem::path& file, int64_t maxPixels = kMaxImagePixels,
                          const CancelCheck& cancel = {}, bool acceptDamaged = false);

// Writes through a temporary file in the same folder as file's target and renames it into place,
// so a failure never leaves a partial file; a symbolic link is written through to its target,
// and a device or pipe is written into directly. Throws HostFailure, naming file, when the format
// cannot hold the document.
void WriteImageFile(const Document& document, FileFormat format, const std::filesystem::path& file,
                    const CancelCheck& cancel = {});
// Every page into one file; only TIFF holds more than one. A TIFF page's strips may have been
// encoded ahead, while the page was still being filtered: encoded[i] for pages[i], or null.
void WriteImageFile(const std::vector<const Document*>& pages, FileFormat format,
                    const std::filesystem::path& file, const CancelCheck& cancel = {},
                    const std::vector<StripEncoder*>& encoded = {});
void WriteImageFile(const std::vector<const Document*>& pages, FileFormat format,
                    const OutputTarget& target, const CancelCheck& cancel = {},
                    const std::vector<StripEncoder*>& encoded = {});

// The format a file name's extension names, if any.
std::optional<FileFormat> FormatOfName(const std::filesystem::path& file);
// The format an output name asks for by its extension, or the fallback when it names none.
FileFormat FormatForOutput(const std::filesystem::path& file, FileFormat fallback);
// The format an output name's extension asks for; HostFailure listing the extensions the host
// writes when it names none of them.
FileFormat FormatForOutput(const std::filesystem::path& file);
// Throws HostFailure naming what is missing when this machine cannot write the format (HEIF and
// AVIF need an encoder libheif may lack), before any work is done for the file.
void CheckCanWrite(FileFormat format, const std::filesystem::path& file);

// 16-bit file samples (0..65535) against the host's 16-bit scale (0..32768); every host value
// survives a write and a read.
uint16_t FromFile16(uint16_t v);
uint16_t ToFile16(uint16_t v);

} // namespace quillon::filterhost
