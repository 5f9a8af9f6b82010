// The readers of the generic decoder. Each reads from the source's current position, returns 0
// with a filled image or an error code with the image left empty.
#pragma once

#include "codec/CodecState.h"
#include "codec/ImageSource.h"

namespace quillon::codec {

int ReadPsd(ImageSource& source, DecodedImage& image);
// Reads only the header: the colour modes the reader cannot draw fail here with code 47.
int CheckPsdHeader(ImageSource& source);
int ReadGif(ImageSource& source, DecodedImage& image);
int ReadBmp(ImageSource& source, DecodedImage& image);
int ReadTga(ImageSource& source, DecodedImage& image);
int ReadPcx(ImageSource& source, DecodedImage& image);
int ReadWbmp(ImageSource& source, DecodedImage& image);
int ReadPhotoCd(ImageSource& source, DecodedImage& image);
int ReadJpeg(ImageSource& source, DecodedImage& image);
int ReadPng(ImageSource& source, DecodedImage& image);
int ReadTiff(ImageSource& source, DecodedImage& image);
int ReadPnm(ImageSource& source, DecodedImage& image);

} // namespace quillon::codec
