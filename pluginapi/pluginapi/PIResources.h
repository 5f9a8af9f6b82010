/* The module's resource table: how a host reads a plug-in's resources without calling it.
   The module exports one data symbol, kPIResourceTableSymbol, of type PIResourceDirectory. */
#ifndef PLUGINAPI_PIRESOURCES_H
#define PLUGINAPI_PIRESOURCES_H

#include "pluginapi/PITypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define kPIResourceTableSymbol "PIResourceTable"

#define kPIPropertyListType PI_FOURCC('P', 'I', 'P', 'L')
#define kPITerminologyType PI_FOURCC('A', 'E', 'T', 'E')
#define kPIDialogType PI_FOURCC('D', 'L', 'O', 'G')
#define kPIBitmapType PI_FOURCC('B', 'M', 'A', 'P')
#define kPIIconType PI_FOURCC('I', 'C', 'O', 'N')
#define kPIFilesType PI_FOURCC('F', 'I', 'L', 'E')

/* The registration resource every filter module carries. */
#define kPIPropertyListID 16000

typedef struct PIResourceEntry {
    uint32 type;
    int32 id;
    const uint8* data;
    uint32 size;
} PIResourceEntry;

typedef struct PIResourceDirectory {
    int32 count;
    const PIResourceEntry* entries;
} PIResourceDirectory;

/* Property lists: little-endian; every key and vendor is a four-character code. */
#define PIPropertyVendor PI_FOURCC('8', 'B', 'I', 'M')
#define PIKindProperty PI_FOURCC('k', 'i', 'n', 'd')
#define PINameProperty PI_FOURCC('n', 'a', 'm', 'e')
#define PICategoryProperty PI_FOURCC('c', 'a', 't', 'g')
#define PIVersionProperty PI_FOURCC('v', 'e', 'r', 's')
#define PIWin32X86CodeProperty PI_FOURCC('w', 'x', '8', '6')
#define PIHasTerminologyProperty PI_FOURCC('h', 's', 't', 'm')
#define PIImageModesProperty PI_FOURCC('m', 'o', 'd', 'e')
#define PIEnableInfoProperty PI_FOURCC('e', 'n', 'b', 'l')
#define PIRequiredImageSize32Property PI_FOURCC('m', 's', '3', '2')
#define PIFilterCaseInfoProperty PI_FOURCC('f', 'i', 'c', 'i')
#define PIFilterKind PI_FOURCC('8', 'B', 'F', 'M')

/* Image mode mask bits, read from the most significant bit of the first byte. */
enum {
    PIModeBitmap = 0x8000,
    PIModeGrayScale = 0x4000,
    PIModeIndexedColor = 0x2000,
    PIModeRGBColor = 0x1000,
    PIModeCMYKColor = 0x0800,
    PIModeHSLColor = 0x0400,
    PIModeHSBColor = 0x0200,
    PIModeMultichannel = 0x0100,
    PIModeDuotone = 0x0080,
    PIModeLabColor = 0x0040
};

#ifdef __cplusplus
}
#endif

#endif
