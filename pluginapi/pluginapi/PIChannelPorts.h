/* Channel ports: reading the document's channels outside the tile protocol. */
#ifndef PLUGINAPI_PICHANNELPORTS_H
#define PLUGINAPI_PICHANNELPORTS_H

#include "pluginapi/PITypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define kPSChannelPortsSuite "Photoshop ChannelPorts Suite for Plug-ins"
#define kPSChannelPortsSuiteVersion2 2

typedef struct PIOpaqueChannelPort* PIChannelPort;

/* Memory that the host writes pixels into: rowBits and colBits are strides in bits, bitOffset the
   first pixel's offset in bits, depth the bits per sample written. */
typedef struct PixelMemoryDesc {
    void* data;
    int32 rowBits;
    int32 colBits;
    int32 bitOffset;
    int32 depth;
} PixelMemoryDesc;

/* Scaling from a source rectangle of the channel to a destination rectangle of the memory. */
typedef struct PSScaling {
    VRect sourceRect;
    VRect destinationRect;
} PSScaling;

/* Channel types. */
enum {
    ctUnspecified = 0,
    ctRed = 1,
    ctGreen = 2,
    ctBlue = 3,
    ctCyan = 4,
    ctMagenta = 5,
    ctYellow = 6,
    ctBlack = 7,
    ctL = 8,
    ctA = 9,
    ctB = 10
};

typedef struct ReadChannelDesc {
    int32 minVersion;
    int32 maxVersion;
    struct ReadChannelDesc* next; /* host: next channel of the same list, or null */
    PIChannelPort port;
    VRect bounds;
    int32 depth; /* 8 or 16 */
    VPoint tileSize;
    VPoint tileOrigin;
    Boolean target;
    Boolean shown;
    int16 channelType;
    void* contextInfo;
    const char* name;
} ReadChannelDesc;

typedef struct ReadImageDocumentDesc {
    int32 minVersion;
    int32 maxVersion;
    int32 imageMode;
    int32 depth;
    VRect bounds;
    ReadChannelDesc* targetCompositeChannels; /* host: the composite channels in mode order */
} ReadImageDocumentDesc;

typedef struct PSChannelPortsSuite1 {
    SPErr (*CountLevels)(PIChannelPort port, int32* count);
    SPErr (*GetDepth)(PIChannelPort port, int32* depth);
    SPErr (*GetDataBounds)(PIChannelPort port, VRect* bounds);
    /* Reads rect of the channel at level 0 into destination at the channel's depth; wroteRect
       tells what was read. */
    SPErr (*ReadPixelsFromLevel)(PIChannelPort port, int32 level, const VRect* rect,
                                 const PixelMemoryDesc* destination, VRect* wroteRect);
    /* Reads scaling->sourceRect of the channel, scaled to scaling->destinationRect, into
       destination at 8 bits per sample. */
    SPErr (*ReadScaledPixels)(PIChannelPort port, const VRect* readRect, const PSScaling* scaling,
                              const PixelMemoryDesc* destination, VRect* wroteRect);
} PSChannelPortsSuite1;

#ifdef __cplusplus
}
#endif

#endif
