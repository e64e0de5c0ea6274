// Copying the screen, a fixed area or the foreground window into a bitmap on the clipboard.
#pragma once

#include <windows.h>

// What to copy, as the caller noted it at the hot key: the foreground window's rectangle, or
// (active_window 0) the full screen or the fixed area of the settings; and where the hidden
// main window goes back to once the screen is copied.
struct CaptureRequest {
    int active_window;
    HWND target;       // the foreground window, or the main window
    RECT target_rect;  // the foreground window's rectangle at the hot key
    RECT main_rect;
};

// 0 the clipboard holds the new, adjusted bitmap; -1 the display cannot copy bit blocks;
// -2 the clipboard could not be opened (unchanged); -3 a later step failed (clipboard emptied).
// The image's size is left in capture_width and capture_height.
int capture_to_clipboard(HWND owner, const CaptureRequest& request);

// The colour adjustment pass over the bitmap selected into `dc`, with progress in the status
// line. Works on the bitmap's bits in bulk when its format allows, else pixel by pixel.
void adjust_image_colours(HDC dc, HBITMAP bitmap, int width, int height);

// The pixel-by-pixel method through the device context; any bitmap format.
void adjust_image_colours_by_pixel(HDC dc, int width, int height);

// The bulk method alone: false when it could not run (a format other than 16, 24 or 32 bits,
// 16 bits other than 5-5-5 and 5-6-5 or read and written in a way it cannot mirror, no memory
// for a copy of the bits, the bits not read), the bitmap then untouched. `dc` holds
// `bitmap` before and after.
bool adjust_image_colours_in_bulk(HDC dc, HBITMAP bitmap, int width, int height);
