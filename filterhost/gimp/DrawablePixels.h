// A drawable's pixels as a document the filter takes, and the filtered document written back.
// Only the selection's bounds are read; GIMP blends the result in through the selection mask
// when the shadow buffer is merged.
#pragma once

#include "core/documents/Document.h"

#include <babl/babl.h>
#include <gegl.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace quillon::gimp {

// Told how far writing has got, 0..1.
using WriteProgress = std::function<void(double done)>;

class DrawablePixels {
  public:
    // Throws HostFailure when the drawable is not an RGB layer or its image's profile cannot be
    // used.
    DrawablePixels(int32_t image, int32_t drawable);

    // Whether the selection leaves nothing of the drawable to filter.
    bool Empty() const { return width_ <= 0 || height_ <= 0; }

    // The selection's bounds as a document: 8-bit images at 8 bits, every other precision at 16
    // bits on the host's scale; the image's colour profile travels with it (none for sRGB).
    filterhost::Document Read() const;

    // Writes the filtered document (one Read gave) to the shadow buffer, merges it as one undo
    // step and updates the display. Samples the filter left as they were are written back as
    // they were stored, whatever the precision; alpha is never touched.
    void Write(const filterhost::Document& filtered, const WriteProgress& progress) const;

  private:
    // Reads rows [top, top + rows) of the bounds: raw as stored, and as the work format.
    void ReadRows(GeglBuffer* buffer, int32_t top, int32_t rows, std::vector<uint8_t>& raw,
                  std::vector<uint8_t>& work) const;

    int32_t image_, drawable_;
    int32_t x_ = 0, y_ = 0, width_ = 0, height_ = 0;
    bool alpha_ = false;
    int depth_ = 8;
    const Babl* stored_ = nullptr; // the format of the drawable's buffer
    const Babl* native_ = nullptr; // the same in the image's colour space
    const Babl* work_ = nullptr;   // R'G'B'(A) u8 or u16 in the image's colour space
    std::vector<uint8_t> profile_;
};

} // namespace quillon::gimp
