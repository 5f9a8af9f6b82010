// The sample image of the right pane: a picture file the user opened, or the chart of swatches
// built into the module. Every change of sample forgets the adjustments' sample positions, which
// referred to the old picture.
#pragma once

#include "dialog/AdmWrappers.h"

#include <cstdint>

namespace quillon::dialog {

// The built-in chart's resource id.
inline constexpr int32_t kBuiltInSampleID = 71;

struct SampleImage {
    const uint8_t* pixels;
    int32_t width, height;
};

// Decodes an image resource of the module once and keeps it until the module is unloaded; null
// pixels (after a message) when it cannot be decoded.
SampleImage ReadResourceImage(int32_t id);

// Decodes the file and makes it the sample. On failure the sample stays as it was and, unless
// quiet, the user is told why.
bool LoadSampleFile(const wchar_t* path, bool quiet);
// The built-in chart becomes the sample.
void LoadBuiltInSample();
// Drops the sample and the sample positions that referred to it.
void ReleaseSample();
// The open-file dialog, then the chosen file as the sample; the sample path follows a
// successful load.
void ChooseSampleFile(Dialog dialog);

} // namespace quillon::dialog
