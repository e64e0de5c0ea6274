// Colour rules of the adjustment pass; see colour_adjust.h.
#include "capture/colour_adjust.h"

static int64_t clamp(int64_t v, int64_t lo, int64_t hi)
{
    return v < lo ? lo : v > hi ? hi : v;
}

ColourRule colour_rule_from(const SettingsRecord& record)
{
    // Summed in 64 bits: the stored values are meant to be -255..255 but may be anything.
    auto offset = [&](int32_t level) {
        return (int)clamp((int64_t)level + record.brightness, -255, 255);
    };
    ColourRule rule{};
    rule.red_offset = offset(record.red_level);
    rule.green_offset = offset(record.green_level);
    rule.blue_offset = offset(record.blue_level);
    rule.binarize = record.binarize;
    rule.binarize_threshold = record.binarize_threshold;
    rule.black_emphasis = record.black_emphasis == 1;
    return rule;
}

bool adjustment_needed(const ColourRule& rule)
{
    return rule.red_offset != 0 || rule.green_offset != 0 || rule.blue_offset != 0 ||
           rule.binarize == 1;
}

static bool white_at(const ColourRule& rule, int sum)
{
    // 768, not 765: pure white has a grey of 99, never 100.
    int64_t grey = (int64_t)sum * 100 / 768;
    return grey >= 100 - (int64_t)rule.binarize_threshold;
}

static uint8_t shifted(int v, int offset)
{
    return (uint8_t)clamp(v + offset, 0, 255);
}

Rgb adjust_pixel(const ColourRule& rule, Rgb in)
{
    if (rule.binarize != 0) {
        uint8_t v = white_at(rule, in.r + in.g + in.b) ? 255 : 0;
        return {v, v, v};
    }
    if (rule.black_emphasis && in.r < 80 && in.g < 80 && in.b < 80)
        return {0, 0, 0};
    return {shifted(in.r, rule.red_offset), shifted(in.g, rule.green_offset),
            shifted(in.b, rule.blue_offset)};
}

int progress_before_column(int x, int width, int shown)
{
    if (width <= 0)
        return -1;
    int p = (int)((int64_t)x * 100 / width);
    return p != shown && p % 5 == 0 ? p : -1;
}

void build_colour_tables(ColourTables& t, const ColourRule& rule)
{
    t.rule = rule;
    for (int v = 0; v < 256; v++) {
        t.red[v] = shifted(v, rule.red_offset);
        t.green[v] = shifted(v, rule.green_offset);
        t.blue[v] = shifted(v, rule.blue_offset);
    }
    for (int s = 0; s < 766; s++)
        t.white_from_sum[s] = white_at(rule, s);
}

// Pixels of `step` bytes at p (blue, green, red first). Every colour byte is rewritten: an
// unchanged value written again is the same byte, and the loops stay free of branches that
// noisy screens would mispredict. Which rule applies is decided once, outside the loops.
static void adjust_run(const ColourTables& t, uint8_t* p, size_t count, size_t step)
{
    uint8_t* end = p + count * step;
    if (t.rule.binarize != 0) {
        for (; p != end; p += step) {
            uint8_t v = t.white_from_sum[p[0] + p[1] + p[2]] ? 255 : 0;
            p[0] = p[1] = p[2] = v;
        }
        return;
    }
    // Black emphasis: a pixel dark in all three channels becomes black, offsets or not.
    const unsigned dark_below = t.rule.black_emphasis ? 80 : 0;
    for (; p != end; p += step) {
        unsigned b = p[0], g = p[1], r = p[2];
        uint8_t keep = (uint8_t)((b < dark_below && g < dark_below && r < dark_below) ? 0 : 0xFF);
        p[0] = t.blue[b] & keep;
        p[1] = t.green[g] & keep;
        p[2] = t.red[r] & keep;
    }
}

void adjust_bgrx_pixels(const ColourTables& tables, uint8_t* pixels, size_t count)
{
    adjust_run(tables, pixels, count, 4);
}

void adjust_bgr_pixels(const ColourTables& tables, uint8_t* pixels, size_t count)
{
    adjust_run(tables, pixels, count, 3);
}

bool pixel16_layout(uint32_t red, uint32_t green, uint32_t blue, Pixel16Format* f)
{
    if (blue != 0x001F)
        return false;
    if (red == 0x7C00 && green == 0x03E0) {
        *f = Pixel16Format{{10, 5, 0}, {5, 5, 5}, {}, {}};
        return true;
    }
    if (red == 0xF800 && green == 0x07E0) {
        *f = Pixel16Format{{11, 5, 0}, {5, 6, 5}, {}, {}};
        return true;
    }
    return false;
}

void pixel16_rules(Pixel16Format* f, bool repeat_top_bits)
{
    for (int c = 0; c < 3; c++) {
        int bits = f->bits[c];
        for (int v = 0; v < (1 << bits); v++) {
            int wide = v << (8 - bits);
            f->widen[c][v] = (uint8_t)(repeat_top_bits ? wide | (wide >> bits) : wide);
        }
        for (int v = 0; v < 256; v++)
            f->narrow[c][v] = (uint8_t)(v >> (8 - bits));
    }
}

bool pixel16_format_usable(const Pixel16Format& f)
{
    for (int c = 0; c < 3; c++) {
        if (f.bits[c] < 1 || f.bits[c] > 6)
            return false;
        for (int v = 0; v < (1 << f.bits[c]); v++) {
            if (f.narrow[c][f.widen[c][v]] != v)
                return false;
            if (v > 0 && f.widen[c][v] < f.widen[c][v - 1])
                return false;
        }
        for (int v = 0; v < 256; v++)
            if (f.narrow[c][v] >> f.bits[c])
                return false;
    }
    return true;
}

void build_pixel16_map(const ColourRule& rule, const Pixel16Format& f, uint16_t map[65536])
{
    // The tables give adjust_pixel's result (as the bulk pass over 32 bits relies on) without
    // its 64-bit arithmetic, 65536 times.
    ColourTables t;
    build_colour_tables(t, rule);
    const unsigned dark_below = rule.black_emphasis ? 80 : 0;
    unsigned top[3];
    for (int c = 0; c < 3; c++)
        top[c] = (1u << f.bits[c]) - 1;
    for (unsigned v = 0; v < 65536; v++) {
        unsigned r = f.widen[0][(v >> f.shift[0]) & top[0]];
        unsigned g = f.widen[1][(v >> f.shift[1]) & top[1]];
        unsigned b = f.widen[2][(v >> f.shift[2]) & top[2]];
        unsigned nr, ng, nb;
        if (rule.binarize != 0) {
            nr = ng = nb = t.white_from_sum[r + g + b] ? 255 : 0;
        } else if (r < dark_below && g < dark_below && b < dark_below) {
            nr = ng = nb = 0;
        } else {
            nr = t.red[r];
            ng = t.green[g];
            nb = t.blue[b];
        }
        if (nr == r && ng == g && nb == b) {
            map[v] = (uint16_t)v;
            continue;
        }
        map[v] = (uint16_t)((f.narrow[0][nr] << f.shift[0]) | (f.narrow[1][ng] << f.shift[1]) |
                            (f.narrow[2][nb] << f.shift[2]));
    }
}

void adjust_16bit_pixels(const uint16_t* map, uint16_t* pixels, size_t count)
{
    for (size_t i = 0; i < count; i++)
        pixels[i] = map[pixels[i]];
}
