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

TEST(AreaSelect, QuestionNamesBothCorners)
{
    char text[300];
    format_area_question(text, sizeof text, {10, 20, 300, 200});
    EXPECT_STREQ(text, "指定 開始\n     X=10\n     Y=20\n指定 終了\n     X=300\n     Y=200\n\n"
                       "この設定でいいですか？");
}
