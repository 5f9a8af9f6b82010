/* Scripting: descriptor procedures of the filter record and the action suites. */
#ifndef PLUGINAPI_PIACTIONS_H
#define PLUGINAPI_PIACTIONS_H

#include "pluginapi/PITypes.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct PIOpaqueReadDescriptor* PIReadDescriptor;
typedef struct PIOpaqueWriteDescriptor* PIWriteDescriptor;
typedef Handle PIDescriptorHandle;

/* Descriptor value types. */
#define typeBoolean PI_FOURCC('b', 'o', 'o', 'l')
#define typeFloat PI_FOURCC('d', 'o', 'u', 'b')
#define typeChar PI_FOURCC('T', 'E', 'X', 'T')
#define typeInteger PI_FOURCC('l', 'o', 'n', 'g')
#define typeEnumerated PI_FOURCC('e', 'n', 'u', 'm')
#define typeObject PI_FOURCC('O', 'b', 'j', 'c')
#define typePath PI_FOURCC('P', 't', 'h', ' ')
#define typeNull PI_FOURCC('n', 'u', 'l', 'l')

/* The application's eyedropper size, read as property 'EyDr' of the target application. */
#define classProperty PI_FOURCC('P', 'r', 'p', 'r')
#define classApplication PI_FOURCC('c', 'a', 'p', 'p')
#define typeOrdinal PI_FOURCC('O', 'r', 'd', 'n')
#define enumTarget PI_FOURCC('T', 'r', 'g', 't')
#define keyEyedropperSample PI_FOURCC('E', 'y', 'D', 'r')
#define eyedropperPoint PI_FOURCC('S', 'm', 'p', 'P')
#define eyedropper3x3 PI_FOURCC('S', 'm', 'p', '3')
#define eyedropper5x5 PI_FOURCC('S', 'm', 'p', '5')

/* Reading: open with a 0-terminated list of the keys the plug-in understands; getKey hands out the
   keys present in the descriptor, one per call, in the host's order. */
typedef struct ReadDescriptorProcs {
    int16 readDescriptorProcsVersion;
    int16 numReadDescriptorProcs;
    PIReadDescriptor (*openReadDescriptorProc)(PIDescriptorHandle descriptor,
                                               DescriptorKeyID* keyArray);
    OSErr (*closeReadDescriptorProc)(PIReadDescriptor token);
    Boolean (*getKeyProc)(PIReadDescriptor token, DescriptorKeyID* key, DescriptorTypeID* type,
                          int32* flags);
    OSErr (*getIntegerProc)(PIReadDescriptor token, int32* value);
    OSErr (*getFloatProc)(PIReadDescriptor token, double* value);
    OSErr (*getBooleanProc)(PIReadDescriptor token, Boolean* value);
    /* The text comes in a new handle that the caller disposes of. */
    OSErr (*getTextProc)(PIReadDescriptor token, Handle* value);
} ReadDescriptorProcs;

typedef struct WriteDescriptorProcs {
    int16 writeDescriptorProcsVersion;
    int16 numWriteDescriptorProcs;
    PIWriteDescriptor (*openWriteDescriptorProc)(void);
    /* Hands out the finished descriptor; the token is gone afterwards. */
    OSErr (*closeWriteDescriptorProc)(PIWriteDescriptor token, PIDescriptorHandle* descriptor);
    OSErr (*putIntegerProc)(PIWriteDescriptor token, DescriptorKeyID key, int32 value);
    OSErr (*putFloatProc)(PIWriteDescriptor token, DescriptorKeyID key, const double* value);
    OSErr (*putBooleanProc)(PIWriteDescriptor token, DescriptorKeyID key, Boolean value);
    /* The text is the handle's bytes up to its NUL; the handle stays the caller's. */
    OSErr (*putTextProc)(PIWriteDescriptor token, DescriptorKeyID key, Handle textHandle);
} WriteDescriptorProcs;

/* Dialog options on play-back and when recording. */
enum { plugInDialogOptional = 0, plugInDialogRequired = 1, plugInDialogNone = 2 };
enum { plugInDialogDontDisplay = 0, plugInDialogDisplay = 1, plugInDialogSilent = 2 };

typedef struct PIDescriptorParameters {
    int16 descriptorParametersVersion;
    int16 playInfo;                /* host: plugInDialog* of play-back */
    int16 recordInfo;              /* plug-in: plugInDialog* to record */
    PIDescriptorHandle descriptor; /* host on entry (play-back), plug-in at finish (record) */
    WriteDescriptorProcs* writeDescriptorProcs;
    ReadDescriptorProcs* readDescriptorProcs;
} PIDescriptorParameters;

/* Action descriptor, reference and control suites (acquired through the basic suite). */
typedef struct PIOpaqueActionDescriptor* PIActionDescriptor;
typedef struct PIOpaqueActionReference* PIActionReference;

#define kPSActionDescriptorSuite "df135115-c769-11d0-8079-00c04fd7ec47"
#define kPSActionDescriptorSuiteVersion 2
#define kPSActionReferenceSuite "df135117-c769-11d0-8079-00c04fd7ec47"
#define kPSActionReferenceSuiteVersion 2
#define kPSBasicActionControlSuite "3eb7c480-8797-11d1-8da7-00c04fd5f7ee"
#define kPSBasicActionControlSuiteVersion 2
#define kPSDescriptorRegistrySuite "61e608b0-40fd-11d1-8da3-00c04fd5f7ee"
#define kPSDescriptorRegistrySuiteVersion 1

typedef struct PSActionDescriptorProcs {
    SPErr (*Make)(PIActionDescriptor* descriptor);
    SPErr (*Free)(PIActionDescriptor descriptor);
    SPErr (*HasKey)(PIActionDescriptor descriptor, DescriptorKeyID key, Boolean* hasKey);
    SPErr (*PutString)(PIActionDescriptor descriptor, DescriptorKeyID key, const char* cstrValue);
    /* Copies at most maxLength bytes including the NUL. */
    SPErr (*GetString)(PIActionDescriptor descriptor, DescriptorKeyID key, char* cstrValue,
                       uint32 maxLength);
    SPErr (*GetEnumerated)(PIActionDescriptor descriptor, DescriptorKeyID key,
                           DescriptorTypeID* type, uint32* value);
} PSActionDescriptorProcs;

typedef struct PSActionReferenceProcs {
    SPErr (*Make)(PIActionReference* reference);
    SPErr (*Free)(PIActionReference reference);
    SPErr (*PutProperty)(PIActionReference reference, DescriptorTypeID desiredClass,
                         DescriptorKeyID value);
    SPErr (*PutEnumerated)(PIActionReference reference, DescriptorTypeID desiredClass,
                           DescriptorTypeID type, uint32 value);
} PSActionReferenceProcs;

typedef struct PSBasicActionControlProcs {
    /* Fetches the object the reference names into a new descriptor the caller frees. */
    SPErr (*Get)(PIActionDescriptor* result, PIActionReference reference);
} PSBasicActionControlProcs;

typedef struct PSDescriptorRegistryProcs {
    /* The registry keeps its own copy of the descriptor. */
    SPErr (*Register)(const char* key, PIActionDescriptor descriptor, Boolean isPersistent);
    SPErr (*Erase)(const char* key);
    /* Hands out a new descriptor the caller frees, or null when nothing is registered. */
    SPErr (*Get)(const char* key, PIActionDescriptor* descriptor);
} PSDescriptorRegistryProcs;

#ifdef __cplusplus
}
#endif

#endif
