// The notification-area icon that stands in for the main window while `tray_mode` is 1.
#pragma once

#include <windows.h>

// Adds the icon, hides the main window and saves `tray_mode` 1 from the record in memory.
// Returns the save's result. On a system without a notification area (Windows NT 3.51) it does
// nothing and returns 0: the program stays a window and the settings file is not written.
int move_into_tray();

// UM_TRAY_NOTIFY: a double click on the icon brings the main window back and saves
// `tray_mode` 0; every other mouse message is ignored.
void on_tray_notify(LPARAM mouse_message);

// At exit: the icon does not outlive the program in the notification area.
void remove_tray_icon();
