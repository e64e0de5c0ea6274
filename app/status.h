// What the main window shows for each state: the status line when shown, the caption when
// minimised, and the text colour.
#pragma once

#include <cstdint>

enum MainState { STANDBY = 0, ADJUSTING = 1, OUTPUTTING = 2, SELECTING_AREA = 3 };

struct StatusLook {
    char line[64];     // drawn in the client area while the window is shown
    char caption[64];  // the window caption while it is minimised
    uint8_t red, green, blue;
};

// `current`/`total` count dropped-file outputs (1 and 1 for a single copy).
StatusLook status_look(int main_state, int output_device, long current, long total,
                       int adjust_percent);
