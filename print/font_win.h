// The title's and the time stamp's font and colour, chosen with the system's font dialog.
#pragma once

#include <windows.h>

constexpr int FONT_TITLE = 1;
constexpr int FONT_TIMESTAMP = 2;

struct SettingsRecord;

// Lets the user choose the font and colour `selector` names (FONT_TITLE, anything else the
// time stamp) into `record` (the calling dialog's pending choices), unsaved; `dialog` is
// brought back on top. Always 0.
int choose_font(int selector, HWND dialog, SettingsRecord& record);
