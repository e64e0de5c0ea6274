// Hot-key, timer, message and system-command ids of the main window. Other programs rely on
// UM_REMOTE_REQUEST and UM_MAIL_NOTIFY keeping their numbers.
#pragma once

constexpr int WM_USER_BASE = 0x0400;  // WM_USER, without pulling in windows.h

// The program's name: the main window's class and caption, and the single-instance mutex.
inline constexpr char APP_TITLE[] = "Kavrel-DUX 2.07";

// Hot keys.
constexpr int HOTKEY_FULL_SCREEN = 666;
constexpr int HOTKEY_ACTIVE_WINDOW = 667;
constexpr int HOTKEY_CANCEL_FILES = 668;

// Timers of the main window and their periods.
constexpr int TIMER_RELEASE_BUSY = 1;
constexpr int TIMER_CAPTURE_DELAY = 2;
constexpr int TIMER_MAIL_NOTIFY = 8;
constexpr int TIMER_AUTO_OUTPUT = 9;
constexpr int TIMER_AREA_START = 91;
constexpr int TIMER_AREA_DONE = 92;
constexpr int TIMER_AREA_CANCEL = 93;

constexpr unsigned RELEASE_BUSY_MS = 500;
constexpr unsigned CAPTURE_DELAY_MS = 500;
constexpr unsigned MAIL_NOTIFY_MS = 1000;
constexpr unsigned AUTO_OUTPUT_MS = 60000;
constexpr unsigned AREA_START_DELAY_MS = 500;  // lets the settings dialog close first

// Private messages.
constexpr unsigned UM_REGISTER_HOTKEYS = WM_USER_BASE + 10;
constexpr unsigned UM_REFRESH_STATUS = WM_USER_BASE + 90;
constexpr unsigned UM_CAPTURE = WM_USER_BASE + 100;
constexpr unsigned UM_OUTPUT = WM_USER_BASE + 101;
constexpr unsigned UM_CAPTURE_NOW = WM_USER_BASE + 200;
constexpr unsigned UM_NEXT_DROPPED_FILE = WM_USER_BASE + 250;
constexpr unsigned UM_REMOTE_REQUEST = WM_USER_BASE + 600;
constexpr unsigned UM_MAIL_NOTIFY = WM_USER_BASE + 667;
constexpr unsigned UM_TRAY_NOTIFY = WM_USER_BASE + 876;
// From a second start of the program: the running one comes back to the user.
constexpr unsigned UM_COME_BACK = WM_USER_BASE + 877;

static_assert(UM_REGISTER_HOTKEYS == 1034 && UM_REFRESH_STATUS == 1114 && UM_CAPTURE == 1124 &&
                  UM_OUTPUT == 1125 && UM_CAPTURE_NOW == 1224 && UM_NEXT_DROPPED_FILE == 1274 &&
                  UM_REMOTE_REQUEST == 1624 && UM_MAIL_NOTIFY == 1691 && UM_TRAY_NOTIFY == 1900 &&
                  UM_COME_BACK == 1901,
              "other programs rely on these numbers");

// Commands of the system menu (WM_SYSCOMMAND).
constexpr int CMD_USAGE = 1;
constexpr int CMD_PRINTER_SETUP = 2;
constexpr int CMD_BASIC_SETTINGS = 3;
constexpr int CMD_EXTENDED_SETTINGS = 4;
constexpr int CMD_HELP = 5;
constexpr int CMD_HELP_SEARCH = 6;
constexpr int CMD_LINKED_APP = 7;
constexpr int CMD_HOTKEY_SETUP = 8;
constexpr int CMD_TRAY = 9;
