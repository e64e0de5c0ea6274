// The dragged area and the question that confirms it.
#include <gtest/gtest.h>

#include "app/area_select.h"

TEST(AreaSelect, EitherDragDirectionGivesTheSameArea)
{
    AreaRect down = area_from_corners(10, 20, 300, 200);
    AreaRect up = area_from_corners(300, 200, 10, 20);
    AreaRect across = area_from_corners(300, 20, 10, 200);
    for (const AreaRect& a : {down, up, across}) {
        EXPECT_EQ(a.left, 10);
        EXPECT_EQ(a.top, 20);
        EXPECT_EQ(a.right, 300);
        EXPECT_EQ(a.bottom, 200);
    }
    AreaRect click = area_from_corners(7, 9, 7, 9);
    EXPECT_EQ(click.left, click.right);
    EXPECT_EQ(click.top, click.bottom);
}

// A pointer held by the popup on a monitor left of or above the screen, or past its far edges:
// the corner stays on the screen, so the stored area is one a copy can take.
TEST(AreaSelect, CornersStayInsideTheScreenTheSelectionCovers)
{
    EXPECT_EQ(area_coordinate(300, 1024), 300);
    EXPECT_EQ(area_coordinate(0, 1024), 0);
    EXPECT_EQ(area_coordinate(0xFFD8, 1024), 0) << "-40 as the message's word";
    EXPECT_EQ(area_coordinate(0x8000, 1024), 0) << "the most negative word";
    EXPECT_EQ(area_coordinate(1024, 1024), 1024);
    EXPECT_EQ(area_coordinate(1500, 1024), 1024) << "a monitor right of the screen";
    EXPECT_EQ(area_coordinate(0x7FFF, 768), 768);
    AreaRect a = area_from_corners(area_coordinate(300, 1024), area_coordinate(260, 768),
                                   area_coordinate(0xFFD8, 1024), area_coordinate(0xFFE2, 768));
    EXPECT_EQ(a.left, 0);
    EXPECT_EQ(a.top, 0);
    EXPECT_EQ(a.right, 300);
    EXPECT_EQ(a.bottom, 260);
}

TEST(AreaSelect, QuestionNamesBothCorners)
{
    char text[300];
    format_area_question(text, sizeof text, {10, 20, 300, 200});
    EXPECT_STREQ(text, "指定 開始\n     X=10\n     Y=20\n指定 終了\n     X=300\n     Y=200\n\n"
                       "この設定でいいですか？");
}
