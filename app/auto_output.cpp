// The automatic output's conditions, checked once a minute.
#include "app/auto_output.h"

#include "base/ids.h"

// The extended settings store at least these; a smaller stored value (0 would divide by zero)
// counts as the least one the dialog allows.
constexpr int32_t LEAST_INTERVAL_MINUTES = 3;
constexpr int32_t LEAST_AFTER_START_MINUTES = 1;

uint32_t minutes_since_start(uint32_t now_tick, uint32_t start_tick)
{
    return (uint32_t)(now_tick - start_tick) / 60000u;
}

static bool at_multiple(uint32_t minutes, int32_t every, int32_t least)
{
    uint32_t divisor = (uint32_t)(every < least ? least : every);
    return minutes != 0 && minutes % divisor == 0;
}

bool auto_output_due(const SettingsRecord& r, int hour, int minute, uint32_t now_tick,
                     uint32_t start_tick)
{
    bool due = false;
    if (r.auto_at_time == 1 && hour == r.auto_hour && minute == r.auto_minute)
        due = true;
    uint32_t m = minutes_since_start(now_tick, start_tick);
    if (r.auto_interval == 1 && at_multiple(m, r.auto_interval_minutes, LEAST_INTERVAL_MINUTES))
        due = true;
    if (r.auto_after_start == 1 &&
        at_multiple(m, r.auto_after_start_minutes, LEAST_AFTER_START_MINUTES))
        due = true;
    return due;
}

int auto_output_request(const SettingsRecord& r)
{
    if (r.auto_full_screen == 1)
        return HOTKEY_FULL_SCREEN;
    if (r.auto_active_window == 1)
        return HOTKEY_ACTIVE_WINDOW;
    return 0;
}
