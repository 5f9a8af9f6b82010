/* Handles: the host's movable memory blocks, through the record's procedures or the suite. */
#ifndef PLUGINAPI_PIHANDLESUITE_H
#define PLUGINAPI_PIHANDLESUITE_H

#include "pluginapi/PITypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define kPSHandleSuite "Photoshop Handle Suite for Plug-ins"
#define kPSHandleSuiteVersion2 2

typedef struct HandleProcs {
    int16 handleProcsVersion;
    int16 numHandleProcs;
    Handle (*newProc)(int32 size);
    void (*disposeProc)(Handle h);
    int32 (*getSizeProc)(Handle h);
    OSErr (*setSizeProc)(Handle h, int32 newSize);
    Ptr (*lockProc)(Handle h, Boolean moveHigh);
    void (*unlockProc)(Handle h);
} HandleProcs;

typedef struct PSHandleSuite2 {
    Handle (*New)(int32 size);
    void (*Dispose)(Handle h);
    void (*DisposeRegularHandle)(Handle h);
    void (*SetLock)(Handle h, Boolean lock, Ptr* address, Boolean* oldLock);
    int32 (*GetSize)(Handle h);
    OSErr (*SetSize)(Handle h, int32 newSize);
} PSHandleSuite2;

typedef struct BufferProcs {
    int16 bufferProcsVersion;
    int16 numBufferProcs;
    OSErr (*allocateProc)(int32 size, BufferID* bufferID);
    Ptr (*lockProc)(BufferID bufferID, Boolean moveHigh);
    void (*unlockProc)(BufferID bufferID);
    void (*freeProc)(BufferID bufferID);
    int32 (*spaceProc)(void);
} BufferProcs;

#ifdef __cplusplus
}
#endif

#endif
