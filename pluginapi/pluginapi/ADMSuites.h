/* The dialog manager: ten suites through which a plug-in builds, draws and drives its dialogs. */
#ifndef PLUGINAPI_ADMSUITES_H
#define PLUGINAPI_ADMSUITES_H

#include "pluginapi/PITypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define kADMBasicSuite "ADM Basic Suite"
#define kADMBasicSuiteVersion8 8
#define kADMDialogSuite "ADM Dialog Suite"
#define kADMDialogSuiteVersion4 4
#define kADMItemSuite "ADM Item Suite"
#define kADMItemSuiteVersion3 3
#define kADMDrawerSuite "ADM Drawer Suite"
#define kADMDrawerSuiteVersion3 3
#define kADMImageSuite "ADM Image Suite"
#define kADMImageSuiteVersion2 2
#define kADMIconSuite "ADM Icon Suite"
#define kADMIconSuiteVersion1 1
#define kADMNotifierSuite "ADM Notifier Suite"
#define kADMNotifierSuiteVersion1 1
#define kADMTrackerSuite "ADM Tracker Suite"
#define kADMTrackerSuiteVersion1 1
#define kADMEntrySuite "ADM Entry Suite"
#define kADMEntrySuiteVersion2 2
#define kADMListSuite "ADM List Suite"
#define kADMListSuiteVersion1 1

/* Item type names. */
#define kADMFrameType "ADM Frame Type"
#define kADMTextStaticType "ADM Text Static Type"
#define kADMPopupMenuType "ADM Popup Menu Type"
#define kADMPicturePushButtonType "ADM Picture Push Button Type"
#define kADMSliderType "ADM Slider Type"
#define kADMTextEditType "ADM Text Edit Type"
#define kADMTextCheckBoxType "ADM Text Check Box Type"
#define kADMTextPushButtonType "ADM Text Push Button Type"

/* Notifier type names. */
#define kADMUserChangedNotifier "ADM User Changed Notifier"
#define kADMIntermediateChangedNotifier "ADM Intermediate Changed Notifier"
#define kADMBoundsChangedNotifier "ADM Bounds Changed Notifier"

typedef struct _Opaque_ADMDialog* ADMDialogRef;
typedef struct _Opaque_ADMItem* ADMItemRef;
typedef struct _Opaque_ADMDrawer* ADMDrawerRef;
typedef struct _Opaque_ADMImage* ADMImageRef;
typedef struct _Opaque_ADMIcon* ADMIconRef;
typedef struct _Opaque_ADMNotifier* ADMNotifierRef;
typedef struct _Opaque_ADMTracker* ADMTrackerRef;
typedef struct _Opaque_ADMEntry* ADMEntryRef;
typedef struct _Opaque_ADMList* ADMListRef;
typedef struct _Opaque_ADMTimer* ADMTimerRef;
typedef void* ADMUserData;
typedef void* ADMPluginRef;
typedef int32 ADMInt32;
typedef int32 ADMTimerID;
typedef Boolean ADMBoolean;
typedef float ADMReal;

/* Dialog-manager rectangles are left, top, right, bottom; right and bottom exclusive. */
typedef struct ADMRect {
    int32 left, top, right, bottom;
} ADMRect;

typedef struct ADMPoint {
    int32 h, v;
} ADMPoint;

/* Tracker actions. */
enum {
    kADMMouseMovedUpAction = -1,
    kADMMouseMovedDownAction = 1,
    kADMButtonDownAction = 2,
    kADMButtonUpAction = -2,
    kADMShiftKeyDownAction = 5,
    kADMShiftKeyUpAction = -5,
    kADMAltKeyDownAction = 7,
    kADMAltKeyUpAction = -7,
    kADMEnterAction = 11,
    kADMLeaveAction = -11,
    kADMKeyStrokeAction = -15
};

/* Tracker modifier bits. */
enum {
    kADMControlKeyModifier = 0x40,
    kADMShiftKeyModifier = 0x20,
    kADMOptionKeyModifier = 0x80,
    kADMDoubleClickModifier = 0x800
};

enum { kADMAllActionsMask = -1 };

/* Drawer modes and standard colours by number. */
enum { kADMNormalMode = 0, kADMXORMode = 1 };
enum {
    kADMBlackColor = 0,
    kADMWhiteColor = 1,
    kADMHiliteColor = 2,
    kADMLightColor = 5,
    kADMBackgroundColor = 19
};
typedef uint32 ADMRGBColor; /* 0x00RRGGBB */

typedef void (*ADMDialogInitProc)(ADMDialogRef dialog);
typedef void (*ADMItemInitProc)(ADMItemRef item);
typedef void (*ADMDialogNotifyProc)(ADMDialogRef dialog, ADMNotifierRef notifier);
typedef ADMBoolean (*ADMDialogTrackProc)(ADMDialogRef dialog, ADMTrackerRef tracker);
typedef void (*ADMItemDrawProc)(ADMItemRef item, ADMDrawerRef drawer);
typedef ADMBoolean (*ADMItemTrackProc)(ADMItemRef item, ADMTrackerRef tracker);
typedef void (*ADMItemNotifyProc)(ADMItemRef item, ADMNotifierRef notifier);
/* Returns true to keep the timer running. */
typedef ADMBoolean (*ADMDialogTimerProc)(ADMDialogRef dialog, ADMTimerID timer);

typedef struct ADMBasicSuite8 {
    void (*ErrorAlert)(const char* text);
    void (*MessageAlert)(const char* text);
    void (*GetScreenDimensions)(const ADMPoint* point, ADMRect* workArea);
} ADMBasicSuite8;

typedef struct ADMDialogSuite4 {
    /* Runs the dialog of the module's dialog resource modally; returns the id of the item that
       closed it (1 OK, 2 Cancel). */
    ADMInt32 (*Modal)(ADMPluginRef pluginRef, const char* name, ADMInt32 dialogID, ADMInt32 style,
                      ADMDialogInitProc initProc, ADMUserData userData, ADMInt32 options);
    ADMInt32 (*PopupModal)(ADMPluginRef pluginRef, const char* name, ADMInt32 dialogID,
                           ADMDialogInitProc initProc, ADMUserData userData, ADMInt32 options);
    void (*EndModal)(ADMDialogRef dialog, ADMInt32 modalResultID, ADMBoolean cancelling);
    ADMUserData (*GetUserData)(ADMDialogRef dialog);
    void (*SetText)(ADMDialogRef dialog, const char* text);
    void (*SetBoundsRect)(ADMDialogRef dialog, const ADMRect* bounds);
    void (*GetLocalRect)(ADMDialogRef dialog, ADMRect* localRect);
    void (*SetMinWidth)(ADMDialogRef dialog, ADMInt32 width);
    void (*SetMinHeight)(ADMDialogRef dialog, ADMInt32 height);
    void (*SetTrackProc)(ADMDialogRef dialog, ADMDialogTrackProc trackProc);
    ADMBoolean (*DefaultTrack)(ADMDialogRef dialog, ADMTrackerRef tracker);
    void (*SetMask)(ADMDialogRef dialog, ADMInt32 mask);
    void (*SetNotifyProc)(ADMDialogRef dialog, ADMDialogNotifyProc notifyProc);
    void (*DefaultNotify)(ADMDialogRef dialog, ADMNotifierRef notifier);
    void (*Invalidate)(ADMDialogRef dialog);
    ADMItemRef (*GetItem)(ADMDialogRef dialog, ADMInt32 itemID);
    ADMItemRef (*CreateItem)(ADMDialogRef dialog, ADMInt32 itemID, const char* itemType,
                             const ADMRect* boundsRect, ADMItemInitProc initProc, ADMUserData userData);
    ADMTimerID (*CreateTimer)(ADMDialogRef dialog, ADMInt32 milliseconds, ADMDialogTimerProc timerProc);
    void (*AbortTimer)(ADMDialogRef dialog, ADMTimerID timer);
    void* (*GetWindowRef)(ADMDialogRef dialog);
} ADMDialogSuite4;

typedef struct ADMItemSuite3 {
    void (*SetDrawProc)(ADMItemRef item, ADMItemDrawProc drawProc);
    void (*SetTrackProc)(ADMItemRef item, ADMItemTrackProc trackProc);
    ADMBoolean (*DefaultTrack)(ADMItemRef item, ADMTrackerRef tracker);
    void (*SetMask)(ADMItemRef item, ADMInt32 mask);
    void (*SetNotifyProc)(ADMItemRef item, ADMItemNotifyProc notifyProc);
    void (*DefaultNotify)(ADMItemRef item, ADMNotifierRef notifier);
    void (*SetUserData)(ADMItemRef item, ADMUserData userData);
    ADMUserData (*GetUserData)(ADMItemRef item);
    ADMInt32 (*GetID)(ADMItemRef item);
    ADMDialogRef (*GetDialog)(ADMItemRef item);
    void (*GetBoundsRect)(ADMItemRef item, ADMRect* boundsRect);
    void (*SetBoundsRect)(ADMItemRef item, const ADMRect* boundsRect);
    void (*GetLocalRect)(ADMItemRef item, ADMRect* localRect);
    void (*ScreenToLocalPoint)(ADMItemRef item, ADMPoint* point);
    void (*Invalidate)(ADMItemRef item);
    void (*Enable)(ADMItemRef item, ADMBoolean enable);
    ADMBoolean (*IsEnabled)(ADMItemRef item);
    void (*SetText)(ADMItemRef item, const char* text);
    void (*SetFloatValue)(ADMItemRef item, ADMReal value);
    ADMReal (*GetFloatValue)(ADMItemRef item);
    void (*SetMinFloatValue)(ADMItemRef item, ADMReal value);
    void (*SetMaxFloatValue)(ADMItemRef item, ADMReal value);
    void (*SetPrecision)(ADMItemRef item, ADMInt32 decimals);
    void (*SetBooleanValue)(ADMItemRef item, ADMBoolean value);
    ADMBoolean (*GetBooleanValue)(ADMItemRef item);
    ADMListRef (*GetList)(ADMItemRef item);
    void (*SetPictureID)(ADMItemRef item, ADMInt32 resourceID);
    /* A drawer that paints on the item's window at once, outside a draw callback. */
    ADMDrawerRef (*CreateDrawer)(ADMItemRef item);
    void (*DestroyDrawer)(ADMDrawerRef drawer);
} ADMItemSuite3;

typedef struct ADMDrawerSuite3 {
    void (*SetRGBColor)(ADMDrawerRef drawer, ADMRGBColor color);
    void (*SetADMColor)(ADMDrawerRef drawer, ADMInt32 standardColor);
    void (*SetDrawMode)(ADMDrawerRef drawer, ADMInt32 mode);
    void (*DrawLine)(ADMDrawerRef drawer, const ADMPoint* startPoint, const ADMPoint* endPoint);
    void (*DrawPolygon)(ADMDrawerRef drawer, const ADMPoint* points, ADMInt32 numPoints);
    void (*DrawRect)(ADMDrawerRef drawer, const ADMRect* rect);
    void (*FillRect)(ADMDrawerRef drawer, const ADMRect* rect);
    void (*DrawSunkenRect)(ADMDrawerRef drawer, const ADMRect* rect);
    void (*DrawRaisedRect)(ADMDrawerRef drawer, const ADMRect* rect);
    void (*DrawIconCentered)(ADMDrawerRef drawer, ADMIconRef icon, const ADMRect* rect);
    void (*DrawADMImage)(ADMDrawerRef drawer, ADMImageRef image, const ADMPoint* topLeftPoint);
} ADMDrawerSuite3;

typedef struct ADMImageSuite2 {
    ADMImageRef (*Create)(ADMInt32 width, ADMInt32 height);
    void (*Destroy)(ADMImageRef image);
    ADMInt32 (*GetWidth)(ADMImageRef image);
    ADMInt32 (*GetHeight)(ADMImageRef image);
    ADMInt32 (*GetByteWidth)(ADMImageRef image);
    ADMInt32 (*GetBitsPerPixel)(ADMImageRef image);
    /* Pixels in blue, green, red byte order; rows GetByteWidth bytes apart. */
    uint8* (*BeginBaseAddressAccess)(ADMImageRef image);
    void (*EndBaseAddressAccess)(ADMImageRef image);
} ADMImageSuite2;

typedef struct ADMIconSuite1 {
    ADMIconRef (*GetFromResource)(ADMPluginRef pluginRef, ADMInt32 iconID, ADMInt32 iconIndex);
    void (*Destroy)(ADMIconRef icon);
    ADMInt32 (*GetWidth)(ADMIconRef icon);
    ADMInt32 (*GetHeight)(ADMIconRef icon);
} ADMIconSuite1;

typedef struct ADMNotifierSuite1 {
    ADMItemRef (*GetItem)(ADMNotifierRef notifier);
    ADMDialogRef (*GetDialog)(ADMNotifierRef notifier);
    ADMBoolean (*IsNotifierType)(ADMNotifierRef notifier, const char* notifierType);
} ADMNotifierSuite1;

typedef struct ADMTrackerSuite1 {
    void (*GetPoint)(ADMTrackerRef tracker, ADMPoint* point);
    ADMInt32 (*GetAction)(ADMTrackerRef tracker);
    ADMInt32 (*GetModifiers)(ADMTrackerRef tracker);
    ADMBoolean (*TestAction)(ADMTrackerRef tracker, ADMInt32 action);
    ADMBoolean (*TestModifier)(ADMTrackerRef tracker, ADMInt32 modifier);
    ADMInt32 (*GetVirtualKey)(ADMTrackerRef tracker);
} ADMTrackerSuite1;

typedef struct ADMEntrySuite2 {
    void (*SetText)(ADMEntryRef entry, const char* text);
    void (*SetSeparator)(ADMEntryRef entry, ADMBoolean separator);
    void (*SetID)(ADMEntryRef entry, ADMInt32 entryID);
    ADMInt32 (*GetID)(ADMEntryRef entry);
    ADMInt32 (*GetIndex)(ADMEntryRef entry);
    void (*Select)(ADMEntryRef entry, ADMBoolean select);
} ADMEntrySuite2;

typedef struct ADMListSuite1 {
    ADMEntryRef (*InsertEntry)(ADMListRef list, ADMInt32 index);
    void (*RemoveEntry)(ADMListRef list, ADMInt32 index);
    ADMEntryRef (*GetEntry)(ADMListRef list, ADMInt32 entryID);
    ADMEntryRef (*IndexEntry)(ADMListRef list, ADMInt32 index);
    ADMInt32 (*NumberOfEntries)(ADMListRef list);
    ADMEntryRef (*GetActiveEntry)(ADMListRef list);
} ADMListSuite1;

#ifdef __cplusplus
}
#endif

#endif
