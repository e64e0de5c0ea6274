// SYSINFO.TXT: a plain-text description of the machine, written beside the output file.
#pragma once

#include <windows.h>

#include "files/sysinfo.h"

// Where the last report went; the copy sequence clears it before each output.
extern char report_path[REPORT_PATH_BUF];

// Writes the report beside the output file (or in the program folder): 0 written, 1 the file
// cannot be created or memory ran out on the way (nothing is shown).
int write_system_report();

// Appends the text's bytes to the report file: 0 written, REPORT_NOT_WRITTEN, or
// REPORT_OUT_OF_MEMORY when the text could not be built (nothing is written).
constexpr int REPORT_NOT_WRITTEN = -1;
constexpr int REPORT_OUT_OF_MEMORY = -2;
int report_append(const Text& text);

// One top-level window of the report's window list (EnumWindows callback).
BOOL CALLBACK report_window(HWND window, LPARAM parameter);
