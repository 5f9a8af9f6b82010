/* An optional extension of the colour-space suite: a colour picker that reports the colour being
   chosen while it is open, so a plug-in can preview each change.

   A host may offer this suite alongside the colour-space suite; a plug-in acquires it through the
   basic suite and, when the host has none (AcquireSuite fails), falls back to the colour-space
   suite's PickColor, which gives only the final colour. */
#ifndef PLUGINAPI_PIPICKERFOLLOW_H
#define PLUGINAPI_PIPICKERFOLLOW_H

#include "pluginapi/PIColorSpace.h"

#ifdef __cplusplus
extern "C" {
#endif

#define kQuillonPickerFollowSuite "Quillon Color Picker Follow Suite"
#define kQuillonPickerFollowSuiteVersion1 1

/* Told of each change the user makes in the picker; id holds the colour being chosen during the
   call (read it with ExtractComponents; do not delete or pick with it). */
typedef void (*PickColorChangedProc)(void* data, ColorID id);

typedef struct QuillonPickerFollowSuite1 {
    /* As the colour-space suite's PickColor. While the picker is open, changed (when not null) is
       called with data each time the colour shown changes, in the order the changes are made.
       When the user cancels, id holds the colour handed in again when the call returns; changed
       is not called for that, so a plug-in that followed the changes restores its own state. */
    SPErr (*PickColorFollowing)(ColorID* id, const char* prompt, PickColorChangedProc changed,
                                void* data);
} QuillonPickerFollowSuite1;

#ifdef __cplusplus
}
#endif

#endif
