// Status-line and caption texts of the main window.
#include <gtest/gtest.h>

#include <cstring>

#include "app/status.h"

TEST(StatusLine, StandbyIsBlueWithTheProgramCaption)
{
    StatusLook look = status_look(STANDBY, 0, 1, 1, 0);
    EXPECT_STREQ(look.line, "  STANBY              ");
    EXPECT_EQ(strlen(look.line), 22u);
    EXPECT_STREQ(look.caption, "Kavrel-DUX 2.07");
    EXPECT_EQ(look.blue, 250);
}

TEST(StatusLine, AdjustingShowsThePercentPadded)
{
    StatusLook look = status_look(ADJUSTING, 0, 1, 1, 5);
    EXPECT_STREQ(look.line, " ADJUST   5%         ");
    EXPECT_STREQ(look.caption, "ADJUST   5%");
    EXPECT_EQ(look.red, 100);
    EXPECT_EQ(look.blue, 100);
    EXPECT_STREQ(status_look(ADJUSTING, 0, 1, 1, 100).caption, "ADJUST 100%");
}

TEST(StatusLine, OutputTextFollowsTheDeviceAndCounts)
{
    EXPECT_STREQ(status_look(OUTPUTTING, 0, 1, 1, 0).line, "   SPOOL  ( 1 / 1 )   ");
    EXPECT_STREQ(status_look(OUTPUTTING, 1, 2, 5, 0).line, "   SAVE  ( 2 / 5 )    ");
    StatusLook both = status_look(OUTPUTTING, 2, 1, 1, 0);
    EXPECT_STREQ(both.line, " SAVE&SPOOL  ( 1 / 1 )    ");
    EXPECT_STREQ(both.caption, "SAVE&SPOOL(1/1)");
    EXPECT_EQ(both.red, 250);
    EXPECT_STREQ(status_look(OUTPUTTING, 0, 3, 4, 0).caption, "SPOOL(3/4)");
    EXPECT_STREQ(status_look(OUTPUTTING, 1, 1, 1, 0).caption, "SAVE(1/1)");
    // A device the dialog never offers outputs nothing and says so without naming one.
    EXPECT_STREQ(status_look(OUTPUTTING, 9, 1, 1, 0).caption, "OUTPUT(1/1)");
}

TEST(StatusLine, SelectingAreaIsGreen)
{
    StatusLook look = status_look(SELECTING_AREA, 0, 1, 1, 0);
    EXPECT_STREQ(look.line, " SELECT AREA        ");
    EXPECT_STREQ(look.caption, "SELECT AREA");
    EXPECT_EQ(look.green, 150);
}
