/* The dialog manager: ten suites through which a plug-in builds, draws and drives its dialogs.
   Every function table is written by the host; the plug-in only calls through it and hands in
   its own callbacks, which must not let an exception out. */
#ifndef PLUGINAPI_ADMSUITES_H
#define PLUGINAPI_ADMSUITES_H

#include "pluginapi/PITypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define kADMBasicSuite "ADM Basic Suite"
#define kADMBasicSuiteVersion8 8
#define kADMBasicSuiteVersion9 9
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
/* A bitmap resource shown as it is; dialog templates use it for pictures. */
#define kADMPictureStaticType "ADM Picture Static Type"

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
    kADMKeyStrokeAction = -15,
    /* Additions of this host, which a plug-in may ignore and a host may never send: the space bar
       held and let go (under the modifier-key mask), and one notch of the mouse wheel over an item,
       up (away from the user) or down, at the point under the mouse. */
    kADMSpaceKeyDownAction = 9,
    kADMSpaceKeyUpAction = -9,
    /* The key of a key stroke let go (under the key-stroke mask), with its virtual key. */
    kADMKeyReleaseAction = 15,
    kADMWheelUpAction = 21,
    kADMWheelDownAction = -21,
    /* A file dropped on an item, at the point of the drop (under the drop mask). The file
       chooser's next answer is that file, without showing itself, so a plug-in opens a dropped
       file as it opens a chosen one. */
    kADMDropAction = 23
};

/* Tracker modifier bits. */
enum {
    kADMControlKeyModifier = 0x40,
    kADMShiftKeyModifier = 0x20, /* reported with Ctrl as 0x60 */
    kADMOptionKeyModifier = 0x80,
    kADMDoubleClickModifier = 0x800
};

/* Track masks: the actions that reach a track callback. Items start with buttons and key strokes,
   dialogs with everything. */
enum {
    kADMMouseMoveMask = 0x01,   /* 1, -1 */
    kADMButtonMask = 0x02,      /* 2, -2 */
    kADMModifierKeyMask = 0x04, /* 5, -5, 7, -7 */
    kADMEnterLeaveMask = 0x08,  /* 11, -11 */
    kADMKeyStrokeMask = 0x10,   /* -15, 15 */
    kADMWheelMask = 0x20,       /* 21, -21 */
    kADMDropMask = 0x40,        /* 23 */
    kADMDefaultItemMask = kADMButtonMask | kADMKeyStrokeMask,
    kADMAllActionsMask = -1
};

/* Virtual keys of key strokes that carry no character. */
enum {
    kADMTabKey = 0x09,
    kADMEnterKey = 0x0D,
    kADMEscapeKey = 0x1B,
    kADMLeftKey = 0x1C,
    kADMRightKey = 0x1D,
    kADMUpKey = 0x1E,
    kADMDownKey = 0x1F,
    kADMDeleteKey = 0x7F,
    kADMUnknownKey = 0xFFFF
};

/* Drawer modes. In exclusive-or mode the pen's colour is combined with the pixels, so drawing
   the same shape twice leaves them as they were; a black pen, which would change nothing,
   inverts instead. */
enum { kADMNormalMode = 0, kADMXORMode = 1 };

/* Standard colours by number; numbers without a colour of their own draw black. */
enum {
    kADMBlackColor = 0,
    kADMButtonFaceColor = 1,
    kADMHiliteColor = 2,
    kADMPaneColor = 5,
    kADMBackgroundColor = 19
};

/* Written by the plug-in: 16-bit components, 0..65535. */
typedef struct ADMRGBColor {
    uint16 red, green, blue;
} ADMRGBColor;

/* Modal and PopupModal return this when the dialog cannot be built (no such dialog resource, a
   malformed template, an unknown item type in it); the host has told the user why. */
enum { kADMDialogFailedResult = -1 };

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
    /* The work area of the screen that holds point (the primary screen for a null point). */
    void (*GetScreenDimensions)(const ADMPoint* point, ADMRect* workArea);
} ADMBasicSuite8;

/* Version 9 adds the open-file dialog. */
typedef struct ADMBasicSuite9 {
    void (*ErrorAlert)(const char* text);
    void (*MessageAlert)(const char* text);
    void (*GetScreenDimensions)(const ADMPoint* point, ADMRect* workArea);
    /* Lets the user choose an existing file, in a dialog owned by `owner` (or by the dialog on
       top when null) titled `message`. `filters` holds description and pattern strings in pairs,
       each NUL-terminated, the list ended by an empty string:
       "Image Files (*.psd, *.jpg)\0*.psd;*.jpg\0All Files\0*.*\0\0"; the first pair is
       selected. Writes the chosen path as NUL-terminated UTF-8 into `path` (`pathSize` bytes) and
       returns true; returns false, with an empty path, when the user cancels or the path does not
       fit. */
    ADMBoolean (*GetFile)(ADMDialogRef owner, const char* message, const char* filters, char* path,
                          ADMInt32 pathSize);
} ADMBasicSuite9;

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
    /* Bounds are the dialog's client area in screen coordinates. */
    void (*GetBoundsRect)(ADMDialogRef dialog, ADMRect* bounds);
    void (*SetBoundsRect)(ADMDialogRef dialog, const ADMRect* bounds);
    void (*GetLocalRect)(ADMDialogRef dialog, ADMRect* localRect);
    void (*SetMinWidth)(ADMDialogRef dialog, ADMInt32 width);
    void (*SetMinHeight)(ADMDialogRef dialog, ADMInt32 height);
    void (*SetTrackProc)(ADMDialogRef dialog, ADMDialogTrackProc trackProc);
    /* A track callback that returns false leaves the event to the dialog's standard handling
       (buttons press, boxes take keys, Enter and Escape close); DefaultTrack adds nothing to it
       and returns false. */
    ADMBoolean (*DefaultTrack)(ADMDialogRef dialog, ADMTrackerRef tracker);
    void (*SetMask)(ADMDialogRef dialog, ADMInt32 mask);
    void (*SetNotifyProc)(ADMDialogRef dialog, ADMDialogNotifyProc notifyProc);
    /* A user change of item 1 ends the modal dialog with 1, of item 2 with 2. */
    void (*DefaultNotify)(ADMDialogRef dialog, ADMNotifierRef notifier);
    void (*Invalidate)(ADMDialogRef dialog);
    /* Null when the dialog has no item of that id. */
    ADMItemRef (*GetItem)(ADMDialogRef dialog, ADMInt32 itemID);
    /* Null for an unknown item type. An id of 0 makes the dialog choose a free id. */
    ADMItemRef (*CreateItem)(ADMDialogRef dialog, ADMInt32 itemID, const char* itemType,
                             const ADMRect* boundsRect, ADMItemInitProc initProc,
                             ADMUserData userData);
    /* A repeating timer; 0 when it cannot be made. It stops when its callback returns false,
       when it is aborted, or when the dialog closes. */
    ADMTimerID (*CreateTimer)(ADMDialogRef dialog, ADMInt32 milliseconds,
                              ADMDialogTimerProc timerProc);
    void (*AbortTimer)(ADMDialogRef dialog, ADMTimerID timer);
    void* (*GetWindowRef)(ADMDialogRef dialog);
} ADMDialogSuite4;

typedef struct ADMItemSuite3 {
    void (*SetDrawProc)(ADMItemRef item, ADMItemDrawProc drawProc);
    void (*SetTrackProc)(ADMItemRef item, ADMItemTrackProc trackProc);
    ADMBoolean (*DefaultTrack)(ADMItemRef item, ADMTrackerRef tracker);
    void (*SetMask)(ADMItemRef item, ADMInt32 mask);
    void (*SetNotifyProc)(ADMItemRef item, ADMItemNotifyProc notifyProc);
    /* Passes the notifier on to the dialog's notify callback, or its default handling. */
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
    /* Copies at most maxLength bytes including the NUL; returns the text's full length. */
    ADMInt32 (*GetText)(ADMItemRef item, char* text, ADMInt32 maxLength);
    /* Values are clamped into minimum..maximum; setting them never notifies. */
    void (*SetFloatValue)(ADMItemRef item, ADMReal value);
    ADMReal (*GetFloatValue)(ADMItemRef item);
    void (*SetMinFloatValue)(ADMItemRef item, ADMReal value);
    void (*SetMaxFloatValue)(ADMItemRef item, ADMReal value);
    ADMReal (*GetMinFloatValue)(ADMItemRef item);
    ADMReal (*GetMaxFloatValue)(ADMItemRef item);
    void (*SetPrecision)(ADMItemRef item, ADMInt32 decimals);
    void (*SetBooleanValue)(ADMItemRef item, ADMBoolean value);
    ADMBoolean (*GetBooleanValue)(ADMItemRef item);
    /* The entry list of a popup menu; null for other item types. */
    ADMListRef (*GetList)(ADMItemRef item);
    /* A bitmap ('BMAP') or icon ('ICON') resource of the plug-in shown by picture items. */
    void (*SetPictureID)(ADMItemRef item, ADMInt32 resourceID);
    /* A drawer that paints on the item's window at once, outside a draw callback. */
    ADMDrawerRef (*CreateDrawer)(ADMItemRef item);
    void (*DestroyDrawer)(ADMDrawerRef drawer);
} ADMItemSuite3;

typedef struct ADMDrawerSuite3 {
    void (*SetRGBColor)(ADMDrawerRef drawer, const ADMRGBColor* color);
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
    /* Pixels in blue, green, red byte order (a fourth byte unused at 32 bits per pixel); rows
       GetByteWidth bytes apart. Create returns null for sizes outside 1..16384. */
    uint8* (*BeginBaseAddressAccess)(ADMImageRef image);
    void (*EndBaseAddressAccess)(ADMImageRef image);
} ADMImageSuite2;

typedef struct ADMIconSuite1 {
    /* Null when the plug-in has no such icon; iconIndex is unused. */
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

/* The point of a track callback's tracker is in the item's (or the dialog's) coordinates. A null
   tracker stands for the current state: the mouse point on the screen and the keys held now. */
typedef struct ADMTrackerSuite1 {
    void (*GetPoint)(ADMTrackerRef tracker, ADMPoint* point);
    ADMInt32 (*GetAction)(ADMTrackerRef tracker);
    ADMInt32 (*GetModifiers)(ADMTrackerRef tracker);
    ADMBoolean (*TestAction)(ADMTrackerRef tracker, ADMInt32 action);
    ADMBoolean (*TestModifier)(ADMTrackerRef tracker, ADMInt32 modifier);
    /* For key strokes: the character code for printable keys, else one of kADM*Key. */
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
    /* The entry the user chose last (or Select made), null when none. */
    ADMEntryRef (*GetActiveEntry)(ADMListRef list);
} ADMListSuite1;

#ifdef __cplusplus
}
#endif

#endif
