/* User-interface hooks: host cursors by name. */
#ifndef PLUGINAPI_PIUIHOOKS_H
#define PLUGINAPI_PIUIHOOKS_H

#include "pluginapi/PITypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define kPSUIHooksSuite "Photoshop UIHooks Suite for Plug-ins"
#define kPSUIHooksSuiteVersion3 3

typedef struct PSUIHooksSuite1 {
    intptr_t (*MainAppWindow)(void);
    /* Shows the host cursor of that name; unknown names leave the cursor as it is. */
    SPErr (*SetCursor)(const char* cursorName);
    uint32 (*TickCount)(void);
} PSUIHooksSuite1;

#ifdef __cplusplus
}
#endif

#endif
