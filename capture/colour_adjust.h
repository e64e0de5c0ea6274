// The colour rules of the adjustment pass: two-level conversion, black emphasis, and per-channel
// offsets from brightness and levels. The same rules serve the pixel-by-pixel method and the
// bulk pass over a bitmap's bits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "settings/settings.h"

struct ColourRule {
    int red_offset;  // level + brightness, clamped to -255..255
    int green_offset;
    int blue_offset;
    int32_t binarize;  // as stored: the pass converts when not 0, but is called for only by 1
    int32_t binarize_threshold;
    bool black_emphasis;
};

struct Rgb {
    uint8_t r, g, b;
};

ColourRule colour_rule_from(const SettingsRecord& record);

// True when a pass would change anything: an offset other than 0, or two-level conversion.
// Black emphasis alone does not call for a pass.
bool adjustment_needed(const ColourRule& rule);

Rgb adjust_pixel(const ColourRule& rule, Rgb in);

// The progress shown before column x of a pass over `width` columns: the new percentage when it
// is to be shown (a multiple of 5 other than `shown`), else -1.
int progress_before_column(int x, int width, int shown);

// Lookup tables that give adjust_pixel's result without its arithmetic.
struct ColourTables {
    ColourRule rule;
    uint8_t red[256], green[256], blue[256];  // offsets applied and clamped
    bool white_from_sum[766];                 // two-level result by R + G + B
};

void build_colour_tables(ColourTables& tables, const ColourRule& rule);

// Adjusts `count` pixels stored as blue, green, red, unused (a 32-bit DIB or DDB): each
// pixel's colour bytes become adjust_pixel's result; the fourth byte is never touched.
void adjust_bgrx_pixels(const ColourTables& tables, uint8_t* pixels, size_t count);

// The same over pixels of three bytes: blue, green, red (a 24-bit DIB).
void adjust_bgr_pixels(const ColourTables& tables, uint8_t* pixels, size_t count);
