// For tests that call the program's Win32 modules directly: a stand-in main window owned by
// the test, and a watcher that answers (and records) the message boxes the modules show.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/system/harness_win.h"

// Creates the window the modules use as `main_window` (clipboard owner, status line), shown
// normally at (x, y) with the given client size, painted in `colour`. Sets `main_window`.
HWND make_stand_in_main_window(int x, int y, int width, int height, COLORREF colour);
void destroy_stand_in_main_window();

// The adjust_percent values the stand-in window painted, in order; cleared on request.
std::vector<int> painted_percents();
void clear_painted_percents();

// While it lives, every message box of this process is answered with OK and its text
// ("line\nline") kept, in order.
struct BoxWatcher {
    BoxWatcher();
    ~BoxWatcher();
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;
    std::vector<std::string> texts() const;
    void clear();
    HANDLE thread = nullptr;
    volatile LONG stop = 0;
};


// Puts a w x h screen-compatible bitmap with each of `parts` filled in its colour on the
// clipboard, as a capture would, and notes its size as the capture's.
void put_painted_image_on_clipboard(int w, int h, const RECT* parts, const COLORREF* colours,
                                    int count);

// Waits for `handle` while still answering this thread's messages (the clipboard owner must
// answer other threads). True when it was signalled.
bool wait_pumping(HANDLE handle, int ms);

// Moves a printed PDF into KAVREL_INTEROP_DIR as NAME.pdf, beside NAME.pdfexpect holding
// `expectations`, for the check after the run.
void keep_pdf_for_check(const std::string& pdf, const std::string& name,
                        const std::string& expectations);
