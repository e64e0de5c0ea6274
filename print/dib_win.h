// Turning a device-dependent bitmap into a packed DIB in movable global memory.
#pragma once

#include <windows.h>

// A new packed DIB (the caller frees it), or NULL with the last error of the call that failed.
// With no palette the default one is used.
HGLOBAL bitmap_to_dib(HBITMAP bitmap, HPALETTE palette);
