// The notification-area icon that stands in for the main window while `tray_mode` is 1.
#pragma once

#include <windows.h>

// Adds the icon, hides the main window and saves `tray_mode` 1 from the record in memory.
// Returns the save's result. On a system without a notification area (Windows NT 3.51), or
// when the shell refuses the icon, it returns 0: the program stays a window and the settings
// file is not written. After a refusal the icon is added when the task bar comes.
int move_into_tray();

// Whether the icon stands in for the main window now.
bool in_tray();

// True when `message` is the one the shell broadcasts when the task bar is created (again):
// an icon that should be there is then added again.
bool on_taskbar_created(UINT message);

// UM_TRAY_NOTIFY: a double click on the icon brings the main window back and saves
// `tray_mode` 0; every other mouse message is ignored.
void on_tray_notify(LPARAM mouse_message);

// UM_COME_BACK, from a second start: out of the notification area as by a double click on the
// icon, a minimised or hidden window restored, and the window in front.
void come_back();

// At exit: the icon does not outlive the program in the notification area.
void remove_tray_icon();
