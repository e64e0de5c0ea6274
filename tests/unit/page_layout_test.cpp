// Page layout: margins, 32-bit float scale factors, truncation, frame corners, text places.
#include <gtest/gtest.h>

#include "print/page_layout.h"

TEST(PageLayout, ProportionalPortraitPage)
{
    PageLayout l = layout_page(4800, 6600, 1024, 768, 0, 0, true);
    EXPECT_EQ(l.left, 4);
    EXPECT_EQ(l.top, 6);
    EXPECT_EQ(l.width, 4796);
    EXPECT_EQ(l.height, 3597);
    EXPECT_EQ(l.frame_left, 3);
    EXPECT_EQ(l.frame_top, 5);
    EXPECT_EQ(l.frame_right, 4801);
    EXPECT_EQ(l.frame_bottom, 3603);
}

TEST(PageLayout, FloatFactorPrintsOnePixelShort)
{
    PageLayout l = layout_page(4800, 6600, 800, 600, 0, 0, true);
    EXPECT_EQ(l.width, 4795);
    EXPECT_EQ(l.height, 3596);
}

TEST(PageLayout, LandscapePageTakesTheSmallerFactor)
{
    PageLayout l = layout_page(3300, 2400, 1024, 768, 0, 0, true);
    EXPECT_EQ(l.left, 3);
    EXPECT_EQ(l.top, 2);
    EXPECT_EQ(l.width, 3197);
    EXPECT_EQ(l.height, 2397);
}

TEST(PageLayout, StretchedFillsTheRestOfThePage)
{
    PageLayout l = layout_page(4800, 6600, 1024, 768, 0, 0, false);
    EXPECT_EQ(l.width, 4796);
    EXPECT_EQ(l.height, 6594);
    EXPECT_EQ(l.frame_right, 4801);
    EXPECT_EQ(l.frame_bottom, 6600);
}

TEST(PageLayout, PunchMarginsAreAtLeastAThousandthOfThePage)
{
    PageLayout l = layout_page(4800, 6600, 100, 100, 200, 150, true);
    EXPECT_EQ(l.left, 200);
    EXPECT_EQ(l.top, 150);
    l = layout_page(4800, 6600, 100, 100, -50, 2, false);
    EXPECT_EQ(l.left, 4);
    EXPECT_EQ(l.top, 6);
    EXPECT_EQ(l.width, 4796);
}

TEST(TextPlace, SixPlacesAroundThePage)
{
    // 4,800 wide, 6,600 high; text 300 wide, 60 high.
    EXPECT_EQ(place_text(0, 4800, 6600, 300, 60).x, 4);
    EXPECT_EQ(place_text(0, 4800, 6600, 300, 60).y, 62);
    EXPECT_EQ(place_text(1, 4800, 6600, 300, 60).x, 2250);
    EXPECT_EQ(place_text(2, 4800, 6600, 300, 60).x, 4498) << "ends two pixels before the edge";
    EXPECT_EQ(place_text(3, 4800, 6600, 300, 60).y, 6585);
    EXPECT_EQ(place_text(5, 4800, 6600, 300, 61).y, 6585) << "a quarter of 61 drops its fraction";
    EXPECT_EQ(place_text(4, 4800, 6600, 301, 60).x, 2249);
    TextPlace unknown = place_text(9, 4800, 6600, 300, 60);
    EXPECT_EQ(unknown.x, 4);
    EXPECT_EQ(unknown.y, 62);
}

TEST(TextPlace, TimestampHasItsTrailingBlank)
{
    char text[32];
    format_timestamp(text, sizeof text, 2026, 12, 7, 9, 5, 3);
    EXPECT_STREQ(text, "2026/12/07 09:05:03 ");
}
