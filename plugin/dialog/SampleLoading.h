// The sample image of the right pane: a picture file the user opened, or the chart of swatches
// built into the module. Every change of sample forgets the adjustments' sample positions, which
// referred to the old picture.
#pragma once

#include "dialog/ImagePanes.h"
#include "engine/ColorEngine.h"
#include "pluginapi/SPBasic.h"

#include <cstdint>
#include <span>
#include <string>

namespace quillon::dialog {

// The open-file dialog's filters for a sample: "Image Files" with every extension the codec
// layer reads, then "All Files"; each description and pattern list ends in a NUL.
std::string SampleFileFilters();

// The built-in chart's resource id.
inline constexpr int32_t kBuiltInSampleID = 71;

struct SampleImage {
    const uint8_t* pixels;
    int32_t width, height;
};

// The built-in chart, decoded on first use and kept until the owner goes (the module's unload).
class BuiltInChart {
  public:
    BuiltInChart() = default;
    ~BuiltInChart();
    BuiltInChart(const BuiltInChart&) = delete;
    BuiltInChart& operator=(const BuiltInChart&) = delete;
    // Null pixels (after a message) when it cannot be decoded.
    SampleImage Image();

  private:
    SampleImage image_{nullptr, 0, 0};
};

// Puts samples into the right pane, its zoom fitted to each.
class SampleLoader {
  public:
    SampleLoader(QLNSampleImagePane& pane, ZoomControl& zoom, engine::ColorEngine& engine,
                 BuiltInChart& chart, const SPBasicSuite* basic)
        : pane_(pane), zoom_(zoom), engine_(engine), chart_(chart), basic_(basic) {}

    // Decodes the file and makes it the sample. On failure the sample stays as it was and,
    // unless quiet, the user is told why.
    bool LoadFile(const wchar_t* path, bool quiet);
    // The built-in chart becomes the sample.
    void LoadBuiltIn();
    // Drops the sample and the sample positions that referred to it.
    void Release();
    // The open-file dialog, then the chosen file as the sample; samplePath follows a successful
    // load.
    void ChooseFile(Dialog dialog, std::span<wchar_t> samplePath);

  private:
    void Install(uint8_t* pixels, int32_t width, int32_t height, bool userSample);

    QLNSampleImagePane& pane_;
    ZoomControl& zoom_;
    engine::ColorEngine& engine_;
    BuiltInChart& chart_;
    const SPBasicSuite* basic_;
};

} // namespace quillon::dialog
