// Reading a colour at a pane's sampler, averaged over the host's eyedropper size.
#pragma once

#include "dialog/ImagePanes.h"
#include "engine/ColorRecord.h"
#include "pluginapi/PIColorSpace.h"
#include "pluginapi/PIFilter.h"

#include <cstdint>

namespace quillon::dialog {

// One pixel as four components on the 16-bit scale and the host colour space they are in.
class QLNEyedropper {
  public:
    virtual ~QLNEyedropper() = default;
    // False, leaving the colour alone, when the point is outside the picture.
    virtual bool ReadPixel(ImagePoint point, Color16& color, int16_t& space) const = 0;
};

// The document, read through the host's channel ports at each channel's own depth.
class QLNPreviewEyedropper : public QLNEyedropper {
  public:
    explicit QLNPreviewEyedropper(const FilterRecord* record) : record_(record) {}
    bool ReadPixel(ImagePoint point, Color16& color, int16_t& space) const override;

  private:
    const FilterRecord* record_;
};

// The sample image shown in the right pane.
class QLNSampleEyedropper : public QLNEyedropper {
  public:
    explicit QLNSampleEyedropper(const QLNSampleImagePane& pane) : pane_(pane) {}
    bool ReadPixel(ImagePoint point, Color16& color, int16_t& space) const override;

  private:
    const QLNSampleImagePane& pane_;
};

// The host's eyedropper sample size.
enum class SampleSize { Point, ThreeByThree, FiveByFive };
// Asks the host application; a point when any step of asking fails.
SampleSize HostSampleSize();

// The colour at a point averaged over the square of the sample size, counting only the reads
// that fall inside the picture; zeros when none does. `space` is where the reads came from.
Color16 AverageAt(const QLNEyedropper& eyedropper, ImagePoint point, SampleSize size,
                  int16_t& space);

// A picked colour in the engine's space (host colour-space code `ics`) and in RGB.
struct PickedColor {
    engine::ColorRecord16 color, rgb;
};
PickedColor Pick(const QLNEyedropper& eyedropper, ImagePoint point, int16_t ics);

} // namespace quillon::dialog
