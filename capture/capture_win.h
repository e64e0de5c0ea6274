// Copying the screen, a fixed area or the foreground window into a bitmap on the clipboard.
#pragma once

#include <windows.h>

#include <cstdint>

// What the next copy takes, set by the copy sequence before it calls capture_to_clipboard.
extern int capture_active_window;  // 1 the foreground window, 0 the full screen
extern HWND capture_target;        // the foreground window, or the main window
extern RECT capture_target_rect;   // the foreground window's rectangle at the hot key
extern RECT saved_main_rect;       // where the main window was before it was hidden
// Size of the image to copy, and afterwards of the image on the clipboard (also set by the
// BMP loader for a loaded file).
extern int16_t capture_width;
extern int16_t capture_height;

// 0 the clipboard holds the new, adjusted bitmap; -1 the display cannot copy bit blocks;
// -2 the clipboard could not be opened (unchanged); -3 a later step failed (clipboard emptied).
int capture_to_clipboard(HWND owner);

// The colour adjustment pass over the bitmap selected into `dc`, with progress in the status
// line. Works on the bitmap's bits in bulk when its format allows, else pixel by pixel.
void adjust_image_colours(HDC dc, HBITMAP bitmap, int width, int height);

// The pixel-by-pixel method through the device context; any bitmap format.
void adjust_image_colours_by_pixel(HDC dc, int width, int height);

// The bulk method alone: false when it could not run (a format other than 24 or 32 bits, no
// memory for a copy of the bits, the bits not read), the bitmap then untouched. `dc` holds
// `bitmap` before and after.
bool adjust_image_colours_in_bulk(HDC dc, HBITMAP bitmap, int width, int height);
