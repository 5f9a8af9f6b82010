/* Basic types shared by the host and its filter plug-ins. Declarations only. */
#ifndef PLUGINAPI_PITYPES_H
#define PLUGINAPI_PITYPES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int16_t int16;
typedef uint16_t uint16;
typedef int32_t int32;
typedef uint32_t uint32;
typedef uint8_t uint8;
typedef unsigned char Boolean;
typedef int16 OSErr;
typedef int32 SPErr;
typedef uint32 DescriptorKeyID;
typedef uint32 DescriptorTypeID;
typedef char* Ptr;

/* Opaque host-owned memory blocks; only the host's procedures look inside. */
typedef struct HandleRecord* Handle;
typedef struct BufferRecord* BufferID;

/* Rectangles exchanged with the host's pixel services: top, left, bottom, right; bottom and right
   exclusive. The 16-bit form is the classic one, the 32-bit form the big-document one. */
typedef struct Rect {
    int16 top, left, bottom, right;
} Rect;

typedef struct VRect {
    int32 top, left, bottom, right;
} VRect;

typedef struct Point {
    int16 v, h;
} Point;

typedef struct VPoint {
    int32 v, h;
} VPoint;

/* Four-character code as a 32-bit integer: PI_FOURCC('8','B','I','M'). */
#define PI_FOURCC(a, b, c, d)                                                                      \
    (((uint32)(uint8)(a) << 24) | ((uint32)(uint8)(b) << 16) | ((uint32)(uint8)(c) << 8) |         \
     (uint32)(uint8)(d))

/* Result codes of the filter protocol, written by the plug-in into the selector's result. */
enum {
    noErr = 0,
    memFullErr = -108,
    userCanceledErr = -128,
    filterBadParameters = -30100,
    filterBadMode = -30101,
    errPlugInHostInsufficient = -30900
};

/* Result codes of the basic suite and the suites it hands out (SPErr). */
enum {
    kSPNoError = 0,
    kSPBadParameterError = (int32)PI_FOURCC('P', 'a', 'r', 'm'),
    /* This host answers a suite it does not offer with the 16-bit "host insufficient" code, so
       the code fits the selector's 16-bit result unchanged. */
    kSPSuiteNotFoundError = errPlugInHostInsufficient
};

#ifdef __cplusplus
}
#endif

#endif
