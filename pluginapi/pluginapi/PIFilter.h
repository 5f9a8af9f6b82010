/* The filter protocol: entry point, selectors and the filter record. */
#ifndef PLUGINAPI_PIFILTER_H
#define PLUGINAPI_PIFILTER_H

#include "pluginapi/PIActions.h"
#include "pluginapi/PIChannelPorts.h"
#include "pluginapi/PIHandleSuite.h"
#include "pluginapi/PITypes.h"
#include "pluginapi/SPBasic.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
    filterSelectorAbout = 0,
    filterSelectorParameters = 1,
    filterSelectorPrepare = 2,
    filterSelectorStart = 3,
    filterSelectorContinue = 4,
    filterSelectorFinish = 5
};

/* Image modes of the filter record. */
enum {
    plugInModeBitmap = 0,
    plugInModeGrayScale = 1,
    plugInModeIndexedColor = 2,
    plugInModeRGBColor = 3,
    plugInModeCMYKColor = 4,
    plugInModeHSLColor = 5,
    plugInModeHSBColor = 6,
    plugInModeMultichannel = 7,
    plugInModeDuotone = 8,
    plugInModeLabColor = 9,
    plugInModeGray16 = 10,
    plugInModeRGB48 = 11,
    plugInModeLab48 = 12,
    plugInModeCMYK64 = 13,
    plugInModeDeepMultichannel = 14,
    plugInModeDuotone16 = 15
};

typedef Boolean (*TestAbortProc)(void);
typedef void (*ProgressProc)(int32 done, int32 total);
typedef OSErr (*AdvanceStateProc)(void);

/* Scaled reads of a channel for previews. */
typedef struct ChannelPortProcs {
    int16 channelPortProcsVersion;
    int16 numChannelPortProcs;
    OSErr (*readPixelsProc)(PIChannelPort port, const PSScaling* scaling, const VRect* writeRect,
                            const PixelMemoryDesc* destination, VRect* wroteRect);
} ChannelPortProcs;

/* 32-bit rectangles for documents larger than 30000 pixels. */
typedef struct BigDocumentStruct {
    int32 PluginUsing32BitCoordinates; /* plug-in: 1 to exchange rectangles here */
    VPoint imageSize32;                /* host */
    VRect filterRect32;                /* host */
    VRect inRect32;                    /* plug-in */
    VRect outRect32;                   /* plug-in */
    VRect maskRect32;                  /* plug-in */
    VPoint floatCoord32;               /* host */
    VPoint wholeSize32;                /* host */
} BigDocumentStruct;

typedef struct FilterRecord {
    int32 serialNumber;
    TestAbortProc abortProc;   /* host */
    ProgressProc progressProc; /* host */
    Handle parameters;         /* plug-in */
    Point imageSize;           /* host */
    int16 planes;              /* host */
    Rect filterRect;           /* host */
    int16 imageMode;           /* host */
    int32 depth;               /* host: 8 or 16 bits per sample */

    Rect inRect;                  /* plug-in */
    int16 inLoPlane, inHiPlane;   /* plug-in */
    Rect outRect;                 /* plug-in */
    int16 outLoPlane, outHiPlane; /* plug-in */

    void* inData;      /* host: interleaved input tile */
    int32 inRowBytes;  /* host */
    void* outData;     /* host: interleaved output tile */
    int32 outRowBytes; /* host */

    int32 bufferSpace; /* plug-in: bytes it will allocate itself */
    int32 maxSpace;    /* host on entry, plug-in may lower it */

    int16 outTileWidth;  /* host: preferred tile width */
    int16 outTileHeight; /* host */

    AdvanceStateProc advanceState;                /* host */
    HandleProcs* handleProcs;                     /* host */
    BufferProcs* bufferProcs;                     /* host */
    ChannelPortProcs* channelPortProcs;           /* host */
    ReadImageDocumentDesc* documentInfo;          /* host */
    PIDescriptorParameters* descriptorParameters; /* host; descriptor written by both */
    SPBasicSuite* sSPBasic;                       /* host */
    void* plugInRef;                    /* host: identifies the plug-in to the dialog manager */
    BigDocumentStruct* bigDocumentData; /* host; null when the host has no big documents */
} FilterRecord;

typedef struct AboutRecord {
    void* platformData;     /* host */
    SPBasicSuite* sSPBasic; /* host */
    void* plugInRef;        /* host */
} AboutRecord;

/* The one exported entry point. pluginParamBlock is an AboutRecord for the about selector and a
   FilterRecord for every other; data is the host's storage cell kept for the plug-in. */
typedef void (*PluginMainProc)(int16 selector, void* pluginParamBlock, intptr_t* data,
                               int16* result);

#ifdef __cplusplus
}
#endif

#endif
