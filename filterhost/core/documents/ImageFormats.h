// One reader and one writer per file format; ImageFiles chooses among them.
#pragma once

#include "core/documents/ImageFiles.h"

#include <array>
#include <filesystem>
#include <vector>

namespace quillon::filterhost {

// How a reader or writer learns that the user cancelled; it then throws Cancelled.
using CancelCheck = std::function<bool()>;

// Each refuses a picture of more than maxPixels pixels before allocating its document.
Document ReadPng(const std::filesystem::path& file, int64_t maxPixels, const CancelCheck& cancel);
// A JPEG whose data is damaged is refused unless acceptDamaged, which decodes it with a note.
Document ReadJpeg(const std::filesystem::path& file, int64_t maxPixels, const CancelCheck& cancel,
                  bool acceptDamaged);
// Every page of the file, the first one first; maxPixels bounds all pages together.
std::vector<Document> ReadTiff(const std::filesystem::path& file, int64_t maxPixels,
                               const CancelCheck& cancel);
// Writers name `shown` (what the user asked for) in messages, never the temporary `file`.
void WritePng(const Document& document, const std::filesystem::path& file,
              const std::filesystem::path& shown, const CancelCheck& cancel);
void WriteJpeg(const Document& document, const std::filesystem::path& file,
               const std::filesystem::path& shown, const CancelCheck& cancel);
// WebP, HEIF and AVIF decode from the whole file; `shown` names it in messages. A HEIF or AVIF
// at more than 8 bits becomes a 16-bit document.
Document ReadWebp(const std::filesystem::path& file, int64_t maxPixels);
Document DecodeWebp(const std::vector<uint8_t>& bytes, int64_t maxPixels, const std::string& shown);
Document ReadHeif(const std::filesystem::path& file, int64_t maxPixels);
Document DecodeHeif(const std::vector<uint8_t>& bytes, int64_t maxPixels, const std::string& shown);
// WebP is lossless unless the document asks for a quality or was coded lossily; HEIF and AVIF are
// lossy (quality 90 unless asked), 16-bit documents at 10 bits (HEIF) or 12 (AVIF).
void WriteWebp(const Document& document, const std::filesystem::path& file,
               const std::filesystem::path& shown, const CancelCheck& cancel);
void WriteHeif(const Document& document, FileFormat format, const std::filesystem::path& file,
               const std::filesystem::path& shown, const CancelCheck& cancel);
// Throws HostFailure naming the encoder when libheif has none for the format (Heif or Avif).
void CheckHeifEncoder(FileFormat format, const std::filesystem::path& file);
// encoded[i], when there is one, holds the strips of pages[i] encoded ahead.
void WriteTiff(const std::vector<const Document*>& pages, const std::filesystem::path& file,
               const std::filesystem::path& shown, const CancelCheck& cancel,
               const std::vector<StripEncoder*>& encoded);

// 16-bit samples of one channel between a file's scale and the host's, both ways, keeping each
// sample's offset from the writer's value so untouched samples are written back exactly.
class SampleScale16 {
  public:
    template <typename Read, typename Write> SampleScale16(Read read, Write write) {
        for (size_t v = 0; v < 65536; ++v) {
            read_[v] = read(uint16_t(v));
            write_[v] = write(uint16_t(v));
        }
    }
    uint16_t Read(uint16_t stored) const { return read_[stored]; }
    // stored - the value the writer gives its host sample, when it fits in a byte.
    int8_t OffsetOf(uint16_t stored) const {
        const int offset = int(int16_t(uint16_t(stored - write_[read_[stored]])));
        return offset >= -128 && offset <= 127 ? int8_t(offset) : int8_t(0);
    }
    // The stored value for a host sample: the one read, when the sample is unchanged; otherwise
    // the writer's value. Either reads back as the host sample.
    uint16_t Write(uint16_t host, int8_t offset) const {
        const uint16_t plain = write_[host];
        const uint16_t exact = uint16_t(plain + offset);
        return read_[exact] == host ? exact : plain;
    }

  private:
    std::array<uint16_t, 65536> read_;
    std::array<uint16_t, 65536> write_;
};

// The samples of a 16-bit plane the reader keeps offsets for (see Document::fileOffsets).
void KeepOffsets(Document& d, size_t plane, size_t from, const uint16_t* stored, size_t count,
                 size_t stride, const SampleScale16& scale);

// Brings a profile read with a document into line with it: a grey picture's grey profile is used
// to turn its grey into sRGB; a profile that does not fit the mode or cannot be used is dropped
// with a note. `grey` says the file held grey (or a palette of greys) opened as RGB.
void SettleProfile(Document& d, std::vector<uint8_t> profile, bool grey);

// The EXIF orientation held in an EXIF block (a SHORT or LONG, signed or not), 0 when there is
// none; and an EXIF block that holds only an orientation (for a file that gave one outside
// EXIF). ReadExifResolution sets m's resolution from the block's, when it has one.
uint16_t ExifOrientation(const std::vector<uint8_t>& exif);
std::vector<uint8_t> ExifWithOrientation(const std::vector<uint8_t>& exif, uint16_t orientation);
void ReadExifResolution(const std::vector<uint8_t>& exif, Metadata& m);

} // namespace quillon::filterhost
