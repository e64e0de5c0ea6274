// Puts a function of the test's own in place of a system function that this program imports,
// by rewriting its entry in the program's import table: the program's modules, linked into the
// test, then call the replacement. For faults the system cannot be made to produce on demand
// (a disk that fills up in the middle of a file) and for counting calls.
#pragma once

#include <windows.h>

// Replaces `function` of `dll` in this program's import table with `replacement` while it
// lives, and puts the original back afterwards. `original` is the system's function, or NULL
// when the program does not import it.
struct ImportHook {
    ImportHook(const char* dll, const char* function, void* replacement);
    ~ImportHook();
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;
    void* original = nullptr;
    void** slot = nullptr;
};
