// The colour rules, the progress points, and the bulk pass agreeing with the per-pixel rule.
#include <gtest/gtest.h>

#include <vector>

#include "capture/colour_adjust.h"

namespace {

ColourRule rule_with(int brightness, int red, int green, int blue, int black_emphasis = 0,
                     int binarize = 0, int threshold = 0)
{
    SettingsRecord rec{};
    rec.brightness = brightness;
    rec.red_level = red;
    rec.green_level = green;
    rec.blue_level = blue;
    rec.black_emphasis = black_emphasis;
    rec.binarize = binarize;
    rec.binarize_threshold = threshold;
    return colour_rule_from(rec);
}

void expect_rgb(Rgb got, int r, int g, int b)
{
    EXPECT_EQ(got.r, r);
    EXPECT_EQ(got.g, g);
    EXPECT_EQ(got.b, b);
}

std::vector<int> progress_shown(int width)
{
    std::vector<int> shown;
    int percent = 100;  // what the capture sets before the pass
    for (int x = 0; x < width; x++) {
        int p = progress_before_column(x, width, percent);
        if (p >= 0) {
            shown.push_back(p);
            percent = p;
        }
    }
    return shown;
}

}  // namespace

TEST(ColourRule, OffsetsCombineAndClamp)
{
    ColourRule r = rule_with(100, -100, 0, 0);
    EXPECT_EQ(r.red_offset, 0);
    EXPECT_EQ(r.green_offset, 100);
    expect_rgb(adjust_pixel(r, {10, 200, 100}), 10, 255, 200);

    ColourRule big = rule_with(200, 200, 0, -600);
    EXPECT_EQ(big.red_offset, 255);
    EXPECT_EQ(big.blue_offset, -255);
    // Values far outside what the dialog stores do not overflow.
    EXPECT_EQ(rule_with(INT32_MAX, INT32_MAX, 0, 0).red_offset, 255);
    EXPECT_EQ(rule_with(INT32_MIN, INT32_MIN, 0, 0).red_offset, -255);
}

TEST(ColourRule, PassIsNeededForOffsetsOrTwoLevelsOnly)
{
    EXPECT_FALSE(adjustment_needed(rule_with(0, 0, 0, 0, 1)));
    EXPECT_TRUE(adjustment_needed(rule_with(0, 0, 0, 1)));
    EXPECT_TRUE(adjustment_needed(rule_with(0, 0, 0, 0, 0, 1)));
    EXPECT_FALSE(adjustment_needed(rule_with(5, -5, -5, -5)));
}

TEST(ColourRule, TwoLevelsSplitAtTheThresholdWithDivisor768)
{
    ColourRule half = rule_with(0, 0, 0, 0, 0, 1, 50);
    expect_rgb(adjust_pixel(half, {128, 128, 128}), 255, 255, 255);
    expect_rgb(adjust_pixel(half, {127, 127, 127}), 0, 0, 0);
    expect_rgb(adjust_pixel(rule_with(0, 0, 0, 0, 0, 1, 0), {255, 255, 255}), 0, 0, 0);
    expect_rgb(adjust_pixel(rule_with(0, 0, 0, 0, 0, 1, 100), {0, 0, 0}), 255, 255, 255);
    // Two levels win over black emphasis and the offsets.
    expect_rgb(adjust_pixel(rule_with(200, 0, 0, 0, 1, 1, 100), {10, 10, 10}), 255, 255, 255);
}

TEST(ColourRule, BlackEmphasisTakesDarkPixelsBeforeOffsets)
{
    ColourRule r = rule_with(10, 0, 0, 0, 1);
    expect_rgb(adjust_pixel(r, {79, 79, 79}), 0, 0, 0);
    expect_rgb(adjust_pixel(r, {80, 0, 0}), 90, 10, 10);
}

TEST(ColourProgress, ShownAtMultiplesOfFiveBeforeTheirColumns)
{
    std::vector<int> twenty;
    for (int p = 0; p < 100; p += 5)
        twenty.push_back(p);
    EXPECT_EQ(progress_shown(20), twenty);
    EXPECT_EQ(progress_shown(21), (std::vector<int>{0, 80, 85, 90, 95}));
    EXPECT_EQ(progress_shown(7), (std::vector<int>{0, 85}));
    EXPECT_TRUE(progress_shown(0).empty());
    EXPECT_EQ(progress_shown(1), (std::vector<int>{0}));
    EXPECT_EQ(progress_shown(32767).size(), 20u);
}

// The bulk pass must give exactly what the per-pixel rule gives, and leave the fourth byte
// alone; two levels take precedence over black emphasis there too.
TEST(ColourBulk, MatchesThePixelRuleForEveryKindOfRule)
{
    const ColourRule rules[] = {
        rule_with(37, -12, 90, -255), rule_with(-80, 0, 0, 0, 1), rule_with(0, 0, 0, 0, 0, 1, 63),
        rule_with(10, 0, 0, 0, 1), rule_with(255, 255, 255, 255), rule_with(0, 0, 0, 0, 1, 1, 40),
        rule_with(0, 0, 0, 0, 1), rule_with(0, 0, 0, 0, 0, 2, 50)};
    std::vector<uint8_t> original;
    uint32_t x = 12345;
    for (int i = 0; i < 4096; i++) {
        x = x * 1103515245u + 12345u;
        original.push_back((uint8_t)(x >> 16));
    }
    for (const ColourRule& rule : rules) {
        ColourTables tables;
        build_colour_tables(tables, rule);
        std::vector<uint8_t> bgrx = original;
        adjust_bgrx_pixels(tables, bgrx.data(), bgrx.size() / 4);
        std::vector<uint8_t> bgr = original;
        adjust_bgr_pixels(tables, bgr.data(), bgr.size() / 3);
        for (size_t i = 0; i < original.size() / 4; i++) {
            const uint8_t* in = &original[4 * i];
            Rgb want = adjust_pixel(rule, {in[2], in[1], in[0]});
            ASSERT_EQ(bgrx[4 * i + 2], want.r) << i;
            ASSERT_EQ(bgrx[4 * i + 1], want.g) << i;
            ASSERT_EQ(bgrx[4 * i + 0], want.b) << i;
            ASSERT_EQ(bgrx[4 * i + 3], in[3]) << "fourth byte of pixel " << i;
        }
        for (size_t i = 0; i < original.size() / 3; i++) {
            const uint8_t* in = &original[3 * i];
            Rgb want = adjust_pixel(rule, {in[2], in[1], in[0]});
            ASSERT_EQ(bgr[3 * i + 2], want.r) << i;
            ASSERT_EQ(bgr[3 * i + 1], want.g) << i;
            ASSERT_EQ(bgr[3 * i + 0], want.b) << i;
        }
    }
}

namespace {

Pixel16Format format_565(bool repeat_top_bits)
{
    Pixel16Format f;
    EXPECT_TRUE(pixel16_layout(0xF800, 0x07E0, 0x001F, &f));
    pixel16_rules(&f, repeat_top_bits);
    return f;
}

uint16_t pixel_565(int r, int g, int b)
{
    return (uint16_t)((r << 11) | (g << 5) | b);
}

}  // namespace

TEST(ColourPixel16, LayoutsAndTheTwoWaysOfWidening)
{
    Pixel16Format f;
    ASSERT_TRUE(pixel16_layout(0x7C00, 0x03E0, 0x001F, &f));
    EXPECT_EQ(f.shift[0], 10);
    EXPECT_EQ(f.bits[1], 5);
    EXPECT_FALSE(pixel16_layout(0x0F00, 0x00F0, 0x000F, &f));
    EXPECT_FALSE(pixel16_layout(0x001F, 0x07E0, 0xF800, &f)) << "blue on top";

    Pixel16Format wine = format_565(true), shifted = format_565(false);
    EXPECT_EQ(wine.widen[0][31], 255);
    EXPECT_EQ(shifted.widen[0][31], 248);
    EXPECT_EQ(wine.widen[1][63], 255);
    EXPECT_EQ(shifted.widen[1][63], 252);
    EXPECT_EQ(wine.widen[0][16], 132);
    EXPECT_EQ(wine.narrow[0][7], 0);
    EXPECT_EQ(wine.narrow[1][255], 63);
    EXPECT_TRUE(pixel16_format_usable(wine));
    EXPECT_TRUE(pixel16_format_usable(shifted));
    // A system that would store a reported colour as another value cannot be mirrored.
    Pixel16Format odd = wine;
    odd.narrow[2][wine.widen[2][9]] = 10;
    EXPECT_FALSE(pixel16_format_usable(odd));
    odd = wine;
    odd.narrow[1][200] = 64;
    EXPECT_FALSE(pixel16_format_usable(odd)) << "a value too wide for its field";
}

// What the pixel-by-pixel method leaves, through GetPixel's widening and SetPixel's narrowing.
TEST(ColourPixel16, MapIsWhatThePixelMethodLeaves)
{
    uint16_t map[65536];
    Pixel16Format wine = format_565(true), shifted = format_565(false);
    // White under +40 reads 255 on Wine and stays; read as 248 it is written as white again.
    build_pixel16_map(rule_with(40, 0, 0, 0), wine, map);
    EXPECT_EQ(map[0xFFFF], 0xFFFF);
    EXPECT_EQ(map[pixel_565(10, 20, 30)], pixel_565(15, 30, 31));  // 82+40, 81+40, 247+40
    build_pixel16_map(rule_with(40, 0, 0, 0), shifted, map);
    EXPECT_EQ(map[0xFFFF], 0xFFFF);
    EXPECT_EQ(map[pixel_565(10, 20, 30)], pixel_565(15, 30, 31));  // 80+40, 80+40, 240+40
    // Two levels at threshold 52 (white from a sum of 369): (15, 31, 15) sums to 371 widened
    // by repeating the top bits, to 364 by a shift.
    build_pixel16_map(rule_with(0, 0, 0, 0, 0, 1, 52), wine, map);
    EXPECT_EQ(map[pixel_565(15, 31, 15)], 0xFFFF);
    build_pixel16_map(rule_with(0, 0, 0, 0, 0, 1, 52), shifted, map);
    EXPECT_EQ(map[pixel_565(15, 31, 15)], 0x0000);
    // A pixel the rule leaves alone is not written: bits outside the channels stay.
    Pixel16Format f555;
    ASSERT_TRUE(pixel16_layout(0x7C00, 0x03E0, 0x001F, &f555));
    pixel16_rules(&f555, true);
    build_pixel16_map(rule_with(0, 30, 0, 0), f555, map);
    EXPECT_EQ(map[0x8000 | 0x7C00], 0x8000 | 0x7C00) << "red at 255 stays";
    EXPECT_EQ(map[0x8000 | 0x0001], 0x0C01) << "written: the top bit goes";
    // Black emphasis on a pixel read as dark in every channel.
    build_pixel16_map(rule_with(10, 0, 0, 0, 1), wine, map);
    EXPECT_EQ(map[pixel_565(9, 19, 9)], 0) << "74, 77, 74";
    EXPECT_EQ(map[pixel_565(10, 19, 9)], pixel_565(11, 21, 10)) << "82+10, 77+10, 74+10";
    // Every stored pixel, for each kind of rule and both ways of widening: what adjust_pixel
    // makes of the reported colour, stored, or the pixel itself when that colour stays.
    const ColourRule rules[] = {rule_with(100, -100, 0, 30), rule_with(10, 0, -200, 0, 1),
                                rule_with(0, 0, 0, 0, 1, 1, 37), rule_with(0, 0, 0, 0, 0, 2, 0)};
    for (const Pixel16Format& f : {wine, shifted, f555})
        for (const ColourRule& rule : rules) {
            build_pixel16_map(rule, f, map);
            int wrong = 0;
            for (unsigned v = 0; v < 65536; v++) {
                auto field = [&](int c) { return (v >> f.shift[c]) & ((1u << f.bits[c]) - 1); };
                Rgb in = {f.widen[0][field(0)], f.widen[1][field(1)], f.widen[2][field(2)]};
                Rgb out = adjust_pixel(rule, in);
                unsigned want = (f.narrow[0][out.r] << f.shift[0]) |
                                (f.narrow[1][out.g] << f.shift[1]) |
                                (f.narrow[2][out.b] << f.shift[2]);
                if (out.r == in.r && out.g == in.g && out.b == in.b)
                    want = v;
                wrong += map[v] != want;
            }
            EXPECT_EQ(wrong, 0) << "shift " << f.shift[0] << ", binarize " << rule.binarize;
        }
    build_pixel16_map(rule_with(10, 0, 0, 0, 1), wine, map);
    uint16_t pixels[3] = {0xFFFF, pixel_565(10, 19, 9), pixel_565(9, 19, 9)};
    adjust_16bit_pixels(map, pixels, 3);
    EXPECT_EQ(pixels[0], 0xFFFF);
    EXPECT_EQ(pixels[1], pixel_565(11, 21, 10));
    EXPECT_EQ(pixels[2], 0);
}
