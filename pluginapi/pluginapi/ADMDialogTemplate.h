/* Byte layouts of the resources the dialog manager reads from a plug-in: dialog templates
   ('DLOG'), bitmaps ('BMAP') and icons ('ICON'). Written by the plug-in's build, read by the
   host, which checks every size and count before it trusts them. All integers little-endian. */
#ifndef PLUGINAPI_ADMDIALOGTEMPLATE_H
#define PLUGINAPI_ADMDIALOGTEMPLATE_H

#include "pluginapi/PITypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Dialog template:

     offset  size  field
     0       4     magic "QDLG"
     4       2     version (1)
     6       2     client width in pixels (1..4096)
     8       2     client height in pixels (1..4096)
     10      2     item count (0..256)
     12      2+n   title: length n (0..1024), then n bytes of UTF-8
     ...           items, one after the other:
                     4    id (signed; 1 and 2 are OK and Cancel)
                     2    left, 2 top (signed, pixels in the client area)
                     2    width, 2 height (0..4096)
                     4    picture resource id (0 for none)
                     1+t  item type name: length t (1..63), then the name (kADM*Type)
                     2+n  text: length n (0..1024), then n bytes of UTF-8

   Nothing may follow the last item. */
#define kADMTemplateMagic "QDLG"
enum {
    kADMTemplateVersion = 1,
    kADMTemplateMaxExtent = 4096,
    kADMTemplateMaxItems = 256,
    kADMTemplateMaxText = 1024,
    kADMTemplateMaxTypeName = 63
};

/* Bitmap and icon:

     offset  size  field
     0       4     magic "QBMP"
     4       2     width (1..1024)
     6       2     height (1..1024)
     8       1     bits per pixel: 24 (red, green, blue) or 32 (red, green, blue, alpha)
     9       1     0
     10      ...   rows from the top, width x bytes per pixel each, no padding

   The size is exactly 10 + width x height x bytes per pixel. */
#define kADMBitmapMagic "QBMP"
enum { kADMBitmapHeaderSize = 10, kADMBitmapMaxExtent = 1024 };

#ifdef __cplusplus
}
#endif

#endif
