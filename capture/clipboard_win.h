// Moving the current image between the clipboard and BMP files.
#pragma once

#include <windows.h>

// Opens the clipboard for `owner`, waiting up to about a second while another program holds it
// (clipboard history, remote desktop and clipboard managers open it for a moment after every
// change). FALSE with OpenClipboard's error code when it stays held.
BOOL open_clipboard(HWND owner);

// Saves the clipboard bitmap to the output file: the writer's result, or -1 when the clipboard
// holds no bitmap. Without a DC of the main window nothing is saved and the result is 1.
int save_clipboard_image();

// Makes a BMP file the clipboard bitmap (capture_width/capture_height follow it): 0, or -1
// with the clipboard left as it was.
int load_file_to_clipboard(HWND window, const char* path);
