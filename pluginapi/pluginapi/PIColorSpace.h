/* The colour-space suite: conversions between the host's colour spaces. */
#ifndef PLUGINAPI_PICOLORSPACE_H
#define PLUGINAPI_PICOLORSPACE_H

#include "pluginapi/PITypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define kPSColorSpaceSuite "Photoshop ColorSpace Suite for Plug-ins"
#define kPSColorSpaceSuiteVersion1 1

/* Colour-space codes. */
typedef int16 ColorSpace;
enum {
    plugIncolorServicesRGBSpace = 0,
    plugIncolorServicesCMYKSpace = 2,
    plugIncolorServicesLabSpace = 3
};

/* Four-component colour records: c0 carries no colour except for CMYK (C, M, Y, K in c0..c3);
   otherwise c1..c3 are R, G, B or L, a, b. 16-bit components run 0..32768, Lab a and b neutral at
   16384; 8-bit components 0..255, Lab a and b neutral at 128. */
typedef struct Color8 {
    uint8 c0, c1, c2, c3;
} Color8;

typedef struct Color16 {
    uint16 c0, c1, c2, c3;
} Color16;

typedef struct PIOpaqueColor* ColorID;

typedef struct PSColorSpaceSuite1 {
    SPErr (*Make)(ColorID* id);
    SPErr (*Delete)(ColorID* id);
    SPErr (*StuffComponents)(ColorID id, ColorSpace space, uint8 c0, uint8 c1, uint8 c2, uint8 c3);
    SPErr (*ExtractComponents)(ColorID id, ColorSpace space, uint8* c0, uint8* c1, uint8* c2,
                               uint8* c3, Boolean* gamutFlag);
    /* Shows the host's colour picker; the colour is left unchanged when the user cancels. */
    SPErr (*PickColor)(ColorID* id, const char* prompt);
    /* Convert count records in place. */
    SPErr (*Convert8)(ColorSpace inputCSpace, ColorSpace outputCSpace, Color8* colorArray,
                      int16 count);
    SPErr (*Convert16)(ColorSpace inputCSpace, ColorSpace outputCSpace, Color16* colorArray,
                       int16 count);
    /* count is the number of components, not records. */
    SPErr (*Convert8to16)(const uint8* inputData, uint16* outputData, int16 count);
    SPErr (*Convert16to8)(const uint16* inputData, uint8* outputData, int16 count);
} PSColorSpaceSuite1;

#ifdef __cplusplus
}
#endif

#endif
