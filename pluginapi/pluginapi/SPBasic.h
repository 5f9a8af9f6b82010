/* The basic suite: the root through which a plug-in acquires every other suite. */
#ifndef PLUGINAPI_SPBASIC_H
#define PLUGINAPI_SPBASIC_H

#include <stddef.h>

#include "pluginapi/PITypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define kSPBasicSuite "SP Basic Suite"
#define kSPBasicSuiteVersion 4

/* Written by the host; the plug-in only calls through it. */
typedef struct SPBasicSuite {
    /* Fills *suite with the function table of the named suite at that version; 0 on success. */
    SPErr (*AcquireSuite)(const char* name, int32 version, const void** suite);
    /* Releases one acquisition made by AcquireSuite with the same name and version. */
    SPErr (*ReleaseSuite)(const char* name, int32 version);
    Boolean (*IsEqual)(const char* token1, const char* token2);
    SPErr (*AllocateBlock)(size_t size, void** block);
    SPErr (*FreeBlock)(void* block);
    SPErr (*ReallocateBlock)(void* block, size_t newSize, void** newblock);
    SPErr (*Undefined)(void);
} SPBasicSuite;

#ifdef __cplusplus
}
#endif

#endif
