// Colours of a picture as the filter sees them: pixels sampled evenly, merged into a weighted
// palette, laid out as a small document the filter can run on, and compared as people see them
// (CIEDE2000 through LittleCMS).
#pragma once

#include "core/documents/Document.h"
#include "core/looks/ColorNotation.h"
#include "pluginapi/PIColorSpace.h"

#include <cstddef>
#include <vector>

namespace quillon::filterhost {

// CIE L*a*b* (D50), L* 0..100.
struct LabColor {
    double L = 0, a = 0, b = 0;
};

double DeltaE00(const LabColor& x, const LabColor& y);
LabColor ToLab(HostLab host);
HostLab ToHostLab(const LabColor& lab);

// Most pixels a look is measured on; more would cost time without changing the result.
inline constexpr size_t kMaxSampledPixels = 256 * 1024;

// The mode and profile of a picture, for documents of its colours and their conversion to Lab.
class ColorFrame {
  public:
    explicit ColorFrame(const Document& like);

    // Records of the document's pixels on the 16-bit scale (c0..c3 as the colour services take
    // them): at most `limit`, at evenly spaced pixel indices, so the same size gives the same
    // pixels in two documents.
    std::vector<Color16> Sample(const Document& document, size_t limit) const;
    // A document of the frame's mode and depth holding the records, row by row: the filter
    // takes another road through 8-bit documents, so trials go the picture's own way.
    Document Swatches(const std::vector<Color16>& records) const;
    // The first n records of a document Swatches made (after the filter ran on it).
    std::vector<Color16> Records(const Document& swatches, size_t n) const;
    // Records in CIE Lab; throws HostFailure when the profile cannot be used.
    std::vector<LabColor> Lab(std::vector<Color16> records) const;

  private:
    ColorMode mode_;
    int depth_;
    std::vector<uint8_t> profile_;
};

// Colours merged by nearness in Lab, each with the number of pixels it stands for; `after`
// carries, when given, the mean Lab of what each colour's pixels became in a second picture.
struct Palette {
    std::vector<Color16> records;
    std::vector<LabColor> lab;
    std::vector<LabColor> after;
    std::vector<double> weight;
    size_t Size() const { return records.size(); }
};

// Merges the samples (and their `after` colours when not empty) into cells of `step` ΔE.
Palette MergeColors(const std::vector<Color16>& records, const std::vector<LabColor>& lab,
                    const std::vector<LabColor>& after, double step);

// Weighted statistics of a list of differences.
struct DifferenceStats {
    double mean = 0, median = 0, p90 = 0, max = 0;
};
DifferenceStats Summarize(const std::vector<double>& differences,
                          const std::vector<double>& weights);

} // namespace quillon::filterhost
