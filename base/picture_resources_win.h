// The program's pictures from its resources (app/tarvenix.rc, IDs in
// base/resource_ids.h): the button pictures as bitmaps ready to BitBlt onto a
// button, and the application icon.
#pragma once

#include <windows.h>

namespace tarvenix {

// The 32-bit bitmap resource `resourceId` (straight alpha in the fourth byte)
// flattened onto the `face` colour (FlattenOntoFace) and, when width x height
// is not the picture's own size, resampled to it by a box filter (ScaleBox):
// whole multiples repeat pixels, other sizes blend the pixels on a boundary.
// Returns a 32-bit top-down DIB section of width x height, or nullptr when the
// resource is missing, is not a 32-bit bitmap, or a size is not positive. The
// caller deletes it with DeleteObject.
HBITMAP LoadButtonPicture(int resourceId, COLORREF face, int width, int height);

// The application icon (IDI_APP) at size x size pixels, or nullptr when it
// cannot be loaded. The caller destroys it with DestroyIcon.
HICON LoadAppIcon(int size);

}  // namespace tarvenix
