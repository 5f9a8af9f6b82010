// What the TIFF reader, the strip encoder and the writer share: libtiff kept quiet with its last
// message kept for ours, and the conversions between stored samples and the host's scale.
#pragma once

#include "core/HostFailure.h"
#include "core/documents/ImageFormats.h"

#include <tiffio.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace quillon::filterhost::tiff {

// libtiff reports through process-wide handlers; keeps them off the terminal.
void SilenceTiff();

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};
using Tiff = std::unique_ptr<TIFF, TiffCloser>;

// A failure naming the file, with libtiff's last message when it gave one.
HostFailure Broken(const std::filesystem::path& path, const std::string& what);

// A stored sample on the host's scale and back. CIELab keeps a and b signed (16 bits: 256 units
// of a*), ICCLab unsigned around 0x80 or 0x8080.
uint16_t ToHostSample(uint16_t photometric, bool chroma, size_t bytes, uint16_t stored);
uint16_t ToStoredSample(bool chroma, size_t bytes, uint16_t v);

// 16-bit colour and alpha samples, and CIELab's signed a and b.
const SampleScale16& PlainScale();
const SampleScale16& CieLabChromaScale();

// Every value of one channel's samples mapped once, so rows convert by lookup.
template <typename Map> inline std::vector<uint16_t> SampleTable(size_t bytes, Map map) {
    std::vector<uint16_t> table(size_t{1} << (8 * bytes));
    for (size_t v = 0; v < table.size(); ++v)
        table[v] = map(uint16_t(v));
    return table;
}

} // namespace quillon::filterhost::tiff
