// The image and icon suites: pictures the plug-in makes or loads and then draws.
#include "ui/AdmSuiteSupport.h"

#include <utility>

namespace quillon::ui {
namespace {

constexpr ADMInt32 kMaxImageExtent = 16384;

ADMImageRef ImageCreate(ADMInt32 width, ADMInt32 height) noexcept {
    if (!M() || width < 1 || height < 1 || width > kMaxImageExtent || height > kMaxImageExtent)
        return nullptr;
    return GuardedCall<ADMImageRef>(nullptr, [&]() -> ADMImageRef {
        QImage picture(width, height, QImage::Format_RGB32);
        if (picture.isNull()) return nullptr;
        picture.fill(Qt::white);
        return reinterpret_cast<ADMImageRef>(new AdmImage(M()->Handles(), std::move(picture)));
    });
}

void ImageDestroy(ADMImageRef ref) noexcept {
    delete Im(ref);
}

ADMInt32 ImageWidth(ADMImageRef ref) noexcept {
    AdmImage* i = Im(ref);
    return i ? i->image.width() : 0;
}

ADMInt32 ImageHeight(ADMImageRef ref) noexcept {
    AdmImage* i = Im(ref);
    return i ? i->image.height() : 0;
}

ADMInt32 ImageByteWidth(ADMImageRef ref) noexcept {
    AdmImage* i = Im(ref);
    return i ? ADMInt32(i->image.bytesPerLine()) : 0;
}

ADMInt32 ImageBitsPerPixel(ADMImageRef ref) noexcept {
    AdmImage* i = Im(ref);
    return i ? i->image.depth() : 0;
}

uint8* BeginBaseAddressAccess(ADMImageRef ref) noexcept {
    AdmImage* i = Im(ref);
    return i ? i->image.bits() : nullptr;
}

void EndBaseAddressAccess(ADMImageRef) noexcept {}

ADMIconRef IconFromResource(ADMPluginRef, ADMInt32 id, ADMInt32) noexcept {
    if (!M()) return nullptr;
    return GuardedCall<ADMIconRef>(nullptr, [&]() -> ADMIconRef {
        QImage image = M()->Picture(id, true);
        if (image.isNull()) return nullptr;
        return reinterpret_cast<ADMIconRef>(new AdmIcon(M()->Handles(), std::move(image)));
    });
}

void IconDestroy(ADMIconRef ref) noexcept {
    delete Ic(ref);
}

ADMInt32 IconWidth(ADMIconRef ref) noexcept {
    AdmIcon* i = Ic(ref);
    return i ? i->image.width() : 0;
}

ADMInt32 IconHeight(ADMIconRef ref) noexcept {
    AdmIcon* i = Ic(ref);
    return i ? i->image.height() : 0;
}

} // namespace

const ADMImageSuite2 kImageSuite = {&ImageCreate,
                                    &ImageDestroy,
                                    &ImageWidth,
                                    &ImageHeight,
                                    &ImageByteWidth,
                                    &ImageBitsPerPixel,
                                    &BeginBaseAddressAccess,
                                    &EndBaseAddressAccess};

const ADMIconSuite1 kIconSuite = {&IconFromResource, &IconDestroy, &IconWidth, &IconHeight};

} // namespace quillon::ui
