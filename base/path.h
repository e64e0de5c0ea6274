// Paths in code page 932, where the second byte of a double-byte character may be 0x5C, the
// byte of '\': every path the programs build is joined here, never by testing a last byte.
#pragma once

#include <cstddef>

#include "base/text.h"

// Index of the last backslash that is a character of its own, or -1.
long last_backslash(const char* text, size_t length);

// "folder\name" (the folder's first `folder_length` bytes), without doubling a backslash the
// folder ends in (a drive root such as C:\).
Text join_path(const char* folder, size_t folder_length, const char* name);

// The same into `out`; false, with `out` emptied, when it does not fit into `size` bytes.
bool join_path_into(char* out, size_t size, const char* folder, size_t folder_length,
                    const char* name);
