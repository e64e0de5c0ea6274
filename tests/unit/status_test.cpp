// Status-line and caption texts of the main window.
#include <gtest/gtest.h>

#include <cstring>

#include "app/dpi_scale.h"
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

// At 96 DPI the window is 180 x 42 on any system; at other scales its client area is the one
// 180 x 42 gives at 96 DPI, scaled, inside the frame the system draws at that scale (which does
// not grow in step: captions are rounded, borders are not scaled on every system).
TEST(StatusLine, WindowAndLineGrowWithTheDisplaysScale)
{
    for (DpiSize frame : {DpiSize{6, 25}, DpiSize{8, 31}, DpiSize{0, 0}}) {
        DpiSize at_96 = main_window_size(96, frame, frame);
        EXPECT_EQ(at_96.width, 180);
        EXPECT_EQ(at_96.height, 42);
    }
    EXPECT_EQ(main_window_size(0, {6, 25}, {6, 25}).width, 180) << "no DPI reported";
    DpiSize at_144 = main_window_size(144, {9, 37}, {6, 25});
    EXPECT_EQ(at_144.width, 9 + 261);   // 174 x 17 at 96 DPI, times 1.5
    EXPECT_EQ(at_144.height, 37 + 26);  // 25.5 rounded
    DpiSize at_192 = main_window_size(192, {10, 46}, {6, 25});
    EXPECT_EQ(at_192.width, 10 + 348);
    EXPECT_EQ(at_192.height, 46 + 34);

    StatusMetrics m96 = status_metrics(96);
    EXPECT_EQ(m96.font_height, 11);
    EXPECT_EQ(m96.font_width, 5);
    EXPECT_EQ(m96.x, 55);
    EXPECT_EQ(m96.y, 3);
    EXPECT_EQ(m96.refresh_right, 150);
    EXPECT_EQ(m96.refresh_bottom, 40);
    StatusMetrics m144 = status_metrics(144);
    EXPECT_EQ(m144.font_height, 17);  // 16.5 rounded
    EXPECT_EQ(m144.x, 83);
    EXPECT_EQ(m144.refresh_right, 225);
    StatusMetrics m192 = status_metrics(192);
    EXPECT_EQ(m192.font_width, 10);
    EXPECT_EQ(m192.refresh_bottom, 80);
}
