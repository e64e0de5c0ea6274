// Placement and lifetime of the hint popup, kept apart from the window that shows it.
#include "app/hint_popup.h"

static const int16_t POINTER_GAP = 10;

// One axis of the placement rule. Sizes and sums are 16-bit: screen coordinates fit in it.
static int16_t place_on_axis(int pointer, int size, int screen)
{
    auto p = static_cast<int16_t>(pointer);
    auto s = static_cast<int16_t>(size);
    auto end = static_cast<int16_t>(p + s);
    if (end < static_cast<int16_t>(screen))
        return static_cast<int16_t>(p - POINTER_GAP);
    return static_cast<int16_t>(p - s + POINTER_GAP);
}

HintPlace hint_position(int px, int py, int w, int h, int screen_w, int screen_h)
{
    return HintPlace{place_on_axis(px, w, screen_w), place_on_axis(py, h, screen_h)};
}

unsigned hint_close_ms(int32_t hint_close_time)
{
    switch (hint_close_time) {
    case 1:
        return HINT_CLOSE_NORMAL_MS;
    case 2:
        return HINT_CLOSE_FAST_MS;
    default:
        return 0;
    }
}

const ControlHint* find_control_hint(const ControlHint* table, size_t count, int control)
{
    for (size_t i = 0; i < count; i++) {
        if (table[i].control == control)
            return &table[i];
    }
    return nullptr;
}
