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

// A 16-bit display bitmap's pixels: where each channel's bits are (red, green, blue: 5-5-5 or
// 5-6-5), and how the system turns them into the 8-bit values GetPixel reports and an 8-bit
// value back into the bits SetPixel stores. Wine widens by repeating a channel's top bits
// (31 of 5 bits reads 255); a shift alone (31 reads 248) is the other way seen; both store a
// value by dropping its low bits.
struct Pixel16Format {
    int shift[3];
    int bits[3];
    uint8_t widen[3][64];    // stored channel value -> reported 8-bit value
    uint8_t narrow[3][256];  // 8-bit value -> stored channel value
};

// The channel places for 5-5-5 or 5-6-5 masks; false for any other masks.
bool pixel16_layout(uint32_t red, uint32_t green, uint32_t blue, Pixel16Format* format);

// Widening and narrowing tables by those two rules: top bits repeated, or a shift alone.
void pixel16_rules(Pixel16Format* format, bool repeat_top_bits);

// True when the tables can stand for the system: a stored value, reported and stored again,
// is itself, and a larger stored value never reads smaller.
bool pixel16_format_usable(const Pixel16Format& format);

// The pixel the pixel-by-pixel method leaves for every stored 16-bit pixel: the pixel as it
// was when the rule leaves its reported colour alone (it is not written), else the stored
// form of the new colour.
void build_pixel16_map(const ColourRule& rule, const Pixel16Format& format, uint16_t map[65536]);

// Each of `count` 16-bit pixels through the map.
void adjust_16bit_pixels(const uint16_t* map, uint16_t* pixels, size_t count);
