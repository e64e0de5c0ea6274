// Status-line and caption texts of the main window.
#include "app/status.h"

#include <cstdio>
#include <cstring>

#include "base/ids.h"

namespace {

struct OutputTexts {
    const char* line;
    const char* caption;
};

// By output device: printer, file, both; then any other value, which outputs nothing.
const OutputTexts OUTPUT_TEXTS[4] = {
    {"   SPOOL  ( %ld / %ld )   ", "SPOOL(%ld/%ld)"},
    {"   SAVE  ( %ld / %ld )    ", "SAVE(%ld/%ld)"},
    {" SAVE&SPOOL  ( %ld / %ld )    ", "SAVE&SPOOL(%ld/%ld)"},
    {"   OUTPUT  ( %ld / %ld )   ", "OUTPUT(%ld/%ld)"},
};

void set_colour(StatusLook& look, uint8_t r, uint8_t g, uint8_t b)
{
    look.red = r;
    look.green = g;
    look.blue = b;
}

}  // namespace

StatusLook status_look(int state, int output_device, long current, long total, int percent)
{
    StatusLook look{};
    snprintf(look.caption, sizeof look.caption, "%s", APP_TITLE);
    switch (state) {
    case STANDBY:
        snprintf(look.line, sizeof look.line, "  STANBY              ");
        set_colour(look, 0, 0, 250);
        break;
    case ADJUSTING:
        snprintf(look.line, sizeof look.line, " ADJUST %3d%%         ", percent);
        snprintf(look.caption, sizeof look.caption, "ADJUST %3d%%", percent);
        set_colour(look, 100, 0, 100);
        break;
    case OUTPUTTING: {
        const OutputTexts& t =
            OUTPUT_TEXTS[output_device >= 0 && output_device <= 2 ? output_device : 3];
        snprintf(look.line, sizeof look.line, t.line, current, total);
        snprintf(look.caption, sizeof look.caption, t.caption, current, total);
        set_colour(look, 250, 0, 0);
        break;
    }
    case SELECTING_AREA:
        snprintf(look.line, sizeof look.line, " SELECT AREA        ");
        snprintf(look.caption, sizeof look.caption, "SELECT AREA");
        set_colour(look, 0, 150, 0);
        break;
    default:
        break;
    }
    return look;
}
