// Where the hint popup is placed and how long it stays.
#include <gtest/gtest.h>

#include "app/hint_popup.h"

namespace {

// A popup of about the template's size on a 1024 x 768 screen.
constexpr int W = 440;
constexpr int H = 70;
constexpr int SCREEN_W = 1024;
constexpr int SCREEN_H = 768;

}  // namespace

TEST(HintPlacement, UpperLeftCornerSitsTenPixelsBeforeThePointer)
{
    HintPlace at = hint_position(300, 200, W, H, SCREEN_W, SCREEN_H);
    EXPECT_EQ(at.x, 290);
    EXPECT_EQ(at.y, 190);
}

TEST(HintPlacement, NearTheLowerRightCornerItGoesAboveAndLeftStillOnScreen)
{
    HintPlace at = hint_position(1000, 740, W, H, SCREEN_W, SCREEN_H);
    EXPECT_EQ(at.x + W, 1010) << "right edge 10 pixels beyond the pointer";
    EXPECT_EQ(at.y + H, 750) << "bottom edge 10 pixels beyond the pointer";
    EXPECT_GE(at.x, 0);
    EXPECT_GE(at.y, 0);
    EXPECT_LE(at.x + W, SCREEN_W);
    EXPECT_LE(at.y + H, SCREEN_H);
}

TEST(HintPlacement, ReachingTheEdgeExactlyAlreadyFlipsEachAxisOnItsOwn)
{
    // px + w equal to the screen width is not "less than" it.
    EXPECT_EQ(hint_position(SCREEN_W - W, 100, W, H, SCREEN_W, SCREEN_H).x, SCREEN_W - 2 * W + 10);
    EXPECT_EQ(hint_position(SCREEN_W - W - 1, 100, W, H, SCREEN_W, SCREEN_H).x, SCREEN_W - W - 11);
    HintPlace right_only = hint_position(1000, 100, W, H, SCREEN_W, SCREEN_H);
    EXPECT_EQ(right_only.x, 570);
    EXPECT_EQ(right_only.y, 90);
    HintPlace bottom_only = hint_position(100, SCREEN_H - H, W, H, SCREEN_W, SCREEN_H);
    EXPECT_EQ(bottom_only.x, 90);
    EXPECT_EQ(bottom_only.y, SCREEN_H - 2 * H + 10);
}

TEST(HintPlacement, PointerLeftOfOrAboveTheScreenIsNotPulledOntoIt)
{
    // A monitor left of the main one has negative coordinates; the popup stays by the pointer.
    HintPlace at = hint_position(-500, -20, W, H, SCREEN_W, SCREEN_H);
    EXPECT_EQ(at.x, -510);
    EXPECT_EQ(at.y, -30);
}

TEST(HintPlacement, SumsAreSixteenBit)
{
    // 32700 + 440 wraps below zero, so it counts as left of the edge.
    EXPECT_EQ(hint_position(32700, 0, W, H, SCREEN_W, SCREEN_H).x, 32690);
    // A coordinate is taken modulo 65536 first: 65836 is 300.
    EXPECT_EQ(hint_position(65836, 0, W, H, SCREEN_W, SCREEN_H).x, 290);
}

TEST(HintCloseTime, NormalSixSecondsFastThreeOtherwiseNever)
{
    EXPECT_EQ(hint_close_ms(1), 6000u);
    EXPECT_EQ(hint_close_ms(2), 3000u);
    for (int32_t never : {0, 3, -1, 1000})
        EXPECT_EQ(hint_close_ms(never), 0u) << never;
}

TEST(ControlHints, FoundByControlIdOnly)
{
    const ControlHint table[] = {{1002, "a", "", ""}, {1021, "b", "c", ""}};
    const ControlHint* hint = find_control_hint(table, 2, 1021);
    ASSERT_NE(hint, nullptr);
    EXPECT_STREQ(hint->line2, "c");
    EXPECT_EQ(find_control_hint(table, 2, 1), nullptr);
    EXPECT_EQ(find_control_hint(table, 0, 1002), nullptr);
}
