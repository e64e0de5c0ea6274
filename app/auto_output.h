// When the minute timer of the automatic output asks for a copy, and which copy.
#pragma once

#include <cstdint>

#include "settings/settings.h"

// Whole minutes since start-up, from the wrapping 32-bit millisecond tick count.
uint32_t minutes_since_start(uint32_t now_tick, uint32_t start_tick);

// True when this tick fires: at the set time of day, or at a multiple of the interval or of the
// after-start minutes (counted from start-up, never at minute 0).
bool auto_output_due(const SettingsRecord& record, int hour, int minute, uint32_t now_tick,
                     uint32_t start_tick);

// The hot-key id the automatic output posts: full screen, else active window, else 0 (none).
int auto_output_request(const SettingsRecord& record);
