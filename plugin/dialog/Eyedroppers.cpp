#include "dialog/Eyedroppers.h"

#include "pluginapi/PIActions.h"
#include "pluginapi/PIChannelPorts.h"
#include "suites/HostSuites.h"
#include "suites/ScopedSuite.h"

#include <cstdlib>

namespace quillon::dialog {
namespace {

// The channel type each colour component holds, by document space.
constexpr int16_t kRgbTypes[4] = {ctUnspecified, ctRed, ctGreen, ctBlue};
constexpr int16_t kCmykTypes[4] = {ctCyan, ctMagenta, ctYellow, ctBlack};
constexpr int16_t kLabTypes[4] = {ctUnspecified, ctL, ctA, ctB};

} // namespace

// --- reading pixels -------------------------------------------------------------------------

bool QLNPreviewEyedropper::ReadPixel(ImagePoint point, Color16& color, int16_t& space) const {
    const FilterRecord* record = record_;
    if (!record || !record->documentInfo) return false;
    const VRect& bounds = record->documentInfo->bounds;
    if (point.x < bounds.left || point.x >= bounds.right || point.y < bounds.top ||
        point.y >= bounds.bottom)
        return false;
    color = {};
    space = suites::ImageModeToSpace(record->imageMode);
    const int16_t* types = space == plugIncolorServicesCMYKSpace  ? kCmykTypes
                           : space == plugIncolorServicesLabSpace ? kLabTypes
                                                                  : kRgbTypes;
    const auto& ports = suites::ChannelPorts();
    uint16_t* components[4] = {&color.c0, &color.c1, &color.c2, &color.c3};
    const VRect pixel{point.y, point.x, point.y + 1, point.x + 1};
    for (const ReadChannelDesc* channel = record->documentInfo->targetCompositeChannels; channel;
         channel = channel->next) {
        for (int k = 0; k < 4; ++k) {
            if (types[k] == ctUnspecified || types[k] != channel->channelType) continue;
            uint16_t value = 0;
            const int32_t depth = channel->depth == 16 ? 16 : 8;
            const PixelMemoryDesc memory{&value, depth, depth, 0, depth};
            VRect wrote{};
            if (ports.ReadPixelsFromLevel(channel->port, 0, &pixel, &memory, &wrote) != kSPNoError)
                continue;
            if (depth == 8) {
                const uint8_t byte = *reinterpret_cast<const uint8_t*>(&value);
                suites::ColorSpace().Convert8to16(&byte, &value, 1);
            }
            *components[k] = value;
        }
    }
    return true;
}

bool QLNSampleEyedropper::ReadPixel(ImagePoint point, Color16& color, int16_t& space) const {
    const uint8_t* pixels = pane_.SamplePixels();
    if (!pixels || point.x < 0 || point.x >= pane_.ImageWidth() || point.y < 0 ||
        point.y >= pane_.ImageHeight())
        return false;
    const uint8_t* p =
        pixels + (size_t(point.y) * size_t(pane_.ImageWidth()) + size_t(point.x)) * 3;
    const uint8_t bytes[4] = {0, p[0], p[1], p[2]};
    uint16_t wide[4] = {};
    suites::ColorSpace().Convert8to16(bytes, wide, 4);
    color = {wide[0], wide[1], wide[2], wide[3]};
    space = plugIncolorServicesRGBSpace;
    return true;
}

SampleSize HostSampleSize() {
    using suites::ScopedSuite;
    const SPBasicSuite* basic = suites::BasicSuite();
    ScopedSuite<PSActionReferenceProcs> references(basic, kPSActionReferenceSuite,
                                                   kPSActionReferenceSuiteVersion);
    ScopedSuite<PSBasicActionControlProcs> control(basic, kPSBasicActionControlSuite,
                                                   kPSBasicActionControlSuiteVersion);
    ScopedSuite<PSActionDescriptorProcs> descriptors(basic, kPSActionDescriptorSuite,
                                                     kPSActionDescriptorSuiteVersion);
    if (!references || !control || !descriptors) return SampleSize::Point;
    PIActionReference reference = nullptr;
    if (references->Make(&reference) != kSPNoError || !reference) return SampleSize::Point;
    PIActionDescriptor result = nullptr;
    DescriptorTypeID type = 0;
    uint32_t value = eyedropperPoint;
    const bool ok =
        references->PutProperty(reference, classProperty, keyEyedropperSample) == kSPNoError &&
        references->PutEnumerated(reference, classApplication, typeOrdinal, enumTarget) ==
            kSPNoError &&
        control->Get(&result, reference) == kSPNoError && result &&
        descriptors->GetEnumerated(result, keyEyedropperSample, &type, &value) == kSPNoError;
    if (result) descriptors->Free(result);
    references->Free(reference);
    if (!ok || value == eyedropperPoint) return SampleSize::Point;
    return value == eyedropper3x3 ? SampleSize::ThreeByThree : SampleSize::FiveByFive;
}

Color16 AverageAt(const QLNEyedropper& eyedropper, ImagePoint point, SampleSize size,
                  int16_t& space) {
    Color16 color{};
    space = plugIncolorServicesRGBSpace;
    if (size == SampleSize::Point) {
        eyedropper.ReadPixel(point, color, space);
        return color;
    }
    const int32_t reach = size == SampleSize::ThreeByThree ? 1 : 2;
    uint32_t sum[4] = {};
    uint32_t count = 0;
    for (int32_t dx = -reach; dx <= reach; ++dx)
        for (int32_t dy = -reach; dy <= reach; ++dy) {
            Color16 read{};
            if (!eyedropper.ReadPixel({point.x + dx, point.y + dy}, read, space)) continue;
            sum[0] += read.c0, sum[1] += read.c1, sum[2] += read.c2, sum[3] += read.c3;
            ++count;
        }
    if (count == 0) return color;
    return {uint16_t(sum[0] / count), uint16_t(sum[1] / count), uint16_t(sum[2] / count),
            uint16_t(sum[3] / count)};
}

PickedColor Pick(const QLNEyedropper& eyedropper, ImagePoint point, int16_t ics) {
    int16_t space = plugIncolorServicesRGBSpace;
    Color16 color = AverageAt(eyedropper, point, HostSampleSize(), space);
    Color16 rgb = color;
    const auto& cs = suites::ColorSpace();
    if (space != plugIncolorServicesRGBSpace)
        cs.Convert16(space, plugIncolorServicesRGBSpace, &rgb, 1);
    if (space != ics) cs.Convert16(space, ics, &color, 1);
    return {{color.c0, color.c1, color.c2, color.c3}, {rgb.c0, rgb.c1, rgb.c2, rgb.c3}};
}

} // namespace quillon::dialog
