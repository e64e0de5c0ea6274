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
