// Loading a dropped BMP file as a bitmap compatible with the display.
#pragma once

#include <windows.h>

// Reads and checks `file_name` and makes a bitmap compatible with `window`'s device context;
// sets capture_width and capture_height to its size. The bitmap is the caller's; NULL after a
// step error box ("Load Bitmap"), with the capture size left alone.
HBITMAP load_bitmap_file(HWND window, const char* file_name);
