// Where the hint popup goes and how long it stays: the rules that need no window.
#pragma once

#include <cstddef>
#include <cstdint>

// The popup's own close timer.
constexpr int TIMER_HINT_CLOSE = 10;
constexpr unsigned HINT_CLOSE_NORMAL_MS = 6000;
constexpr unsigned HINT_CLOSE_FAST_MS = 3000;

// Context type of a help request that comes from a menu item (HELPINFO_MENUITEM).
constexpr int HELP_FROM_MENU_ITEM = 2;

struct HintPlace {
    int x;
    int y;
};

// Upper left corner of a popup of w x h for a pointer at (px, py): 10 pixels above and to the
// left of the pointer, or, where it would reach the right or bottom screen edge, with that edge
// 10 pixels beyond the pointer. Worked in 16-bit signed arithmetic.
HintPlace hint_position(int px, int py, int w, int h, int screen_w, int screen_h);

// Milliseconds until the popup closes by itself for a `hint_close_time` setting; 0 never.
unsigned hint_close_ms(int32_t hint_close_time);

// Up to three lines of explanation for one control of a dialog.
struct ControlHint {
    int control;
    const char* line1;
    const char* line2;
    const char* line3;
};

// The hint of `control` in a dialog's table, or null when it has none.
const ControlHint* find_control_hint(const ControlHint* table, size_t count, int control);
