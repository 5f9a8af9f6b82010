#include "codec/ImageCodec.h"

#include "codec/CodecState.h"
#include "codec/Readers.h"
#include "codec/Recognition.h"

#include <cstdio>

namespace quillon::codec {
namespace {

using Reader = int (*)(ImageSource&, DecodedImage&);

Reader ReaderFor(ImageFormat format) {
    switch (format) {
    case ImageFormat::Bmp:
        return ReadBmp;
    case ImageFormat::Gif:
        return ReadGif;
    case ImageFormat::Jpeg:
        return ReadJpeg;
    case ImageFormat::Pcx:
        return ReadPcx;
    case ImageFormat::Tiff:
        return ReadTiff;
    case ImageFormat::Png:
        return ReadPng;
    case ImageFormat::Psd:
        return ReadPsd;
    case ImageFormat::Wbmp:
        return ReadWbmp;
    case ImageFormat::Tga:
        return ReadTga;
    case ImageFormat::PhotoCd:
        return ReadPhotoCd;
    case ImageFormat::Pbm:
    case ImageFormat::Pgm:
    case ImageFormat::Ppm:
        return ReadPnm;
    default:
        return nullptr;
    }
}

int Decode(ImageSource& source, DecodedImage& image) {
    ImageFormat format = RecognizeFormat(source);
    if (format == ImageFormat::ContainerV2) return kCodecNotReadable;
    // Metafiles need a system player and the private container is never written by anyone we
    // read from, so both count as unrecognised.
    Reader reader = ReaderFor(format);
    if (reader == nullptr) return kCodecUnrecognised;

    if (format == ImageFormat::Psd) {
        if (!source.Seek(0, SEEK_SET)) return kCodecBadData;
        int code = CheckPsdHeader(source);
        if (code != kCodecOk) return code;
    }
    if (!source.Seek(0, SEEK_SET)) return kCodecBadData;
    int code = reader(source, image);
    if (code == kCodecOk && image.pixels == nullptr) return kCodecBadData;
    return code;
}

} // namespace

uint8_t* DecodeImage(ImageSource* source, int32_t* width, int32_t* height) {
    if (source == nullptr || width == nullptr || height == nullptr) {
        SetCodecError(kCodecBadArgument);
        return nullptr;
    }
    if (!source->Valid()) {
        SetCodecError(kCodecInvalidSource);
        return nullptr;
    }
    DecodedImage image;
    int code = Decode(*source, image);
    SetCodecError(code);
    if (code != kCodecOk) return nullptr;
    *width = image.width;
    *height = image.height;
    return image.pixels.release();
}

} // namespace quillon::codec
