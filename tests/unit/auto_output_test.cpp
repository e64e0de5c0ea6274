// The automatic output's conditions, including the wrap of the tick count.
#include <gtest/gtest.h>

#include "app/auto_output.h"
#include "base/ids.h"

namespace {

const uint32_t MINUTE = 60000;

SettingsRecord with_interval(int32_t minutes)
{
    SettingsRecord r{};
    r.auto_interval = 1;
    r.auto_interval_minutes = minutes;
    return r;
}

}  // namespace

TEST(AutoOutput, IntervalFiresAtEachMultipleButNotAtStart)
{
    SettingsRecord r = with_interval(5);
    EXPECT_FALSE(auto_output_due(r, 0, 0, 1000, 1000));
    EXPECT_FALSE(auto_output_due(r, 0, 0, 4 * MINUTE + 59999, 0));
    EXPECT_TRUE(auto_output_due(r, 0, 0, 5 * MINUTE, 0));
    EXPECT_FALSE(auto_output_due(r, 0, 0, 6 * MINUTE, 0));
    EXPECT_TRUE(auto_output_due(r, 0, 0, 10 * MINUTE + 30000, 0));
}

TEST(AutoOutput, AfterStartFiresAgainAtEveryMultiple)
{
    SettingsRecord r{};
    r.auto_after_start = 1;
    r.auto_after_start_minutes = 10;
    EXPECT_TRUE(auto_output_due(r, 0, 0, 10 * MINUTE, 0));
    EXPECT_TRUE(auto_output_due(r, 0, 0, 20 * MINUTE, 0));
    EXPECT_FALSE(auto_output_due(r, 0, 0, 15 * MINUTE, 0));
}

TEST(AutoOutput, TimeOfDayMatchesHourAndMinute)
{
    SettingsRecord r{};
    r.auto_at_time = 1;
    r.auto_hour = 13;
    r.auto_minute = 5;
    EXPECT_TRUE(auto_output_due(r, 13, 5, 0, 0));
    EXPECT_FALSE(auto_output_due(r, 13, 6, 0, 0));
    EXPECT_FALSE(auto_output_due(r, 1, 5, 0, 0));
    r.auto_at_time = 0;
    EXPECT_FALSE(auto_output_due(r, 13, 5, 0, 0));
}

TEST(AutoOutput, TickCountWrapStillCountsMinutesFromStart)
{
    uint32_t start = 0xFFFFFFFFu - 2 * MINUTE;  // two minutes before the wrap
    EXPECT_EQ(minutes_since_start(start + 5 * MINUTE, start), 5u);
    EXPECT_TRUE(auto_output_due(with_interval(5), 0, 0, start + 5 * MINUTE, start));
}

TEST(AutoOutput, StoredZeroOrNegativeMinutesDoNotDivideByZero)
{
    // Taken as the least values the dialog stores: 3 for the interval, 1 after start.
    EXPECT_TRUE(auto_output_due(with_interval(0), 0, 0, 3 * MINUTE, 0));
    EXPECT_FALSE(auto_output_due(with_interval(0), 0, 0, 4 * MINUTE, 0));
    EXPECT_TRUE(auto_output_due(with_interval(-7), 0, 0, 6 * MINUTE, 0));
    SettingsRecord r{};
    r.auto_after_start = 1;
    r.auto_after_start_minutes = 0;
    EXPECT_TRUE(auto_output_due(r, 0, 0, 1 * MINUTE, 0));
}

TEST(AutoOutput, FullScreenWinsOverActiveWindowAndNoneAsksNothing)
{
    SettingsRecord r{};
    EXPECT_EQ(auto_output_request(r), 0);
    r.auto_active_window = 1;
    EXPECT_EQ(auto_output_request(r), HOTKEY_ACTIVE_WINDOW);
    r.auto_full_screen = 1;
    EXPECT_EQ(auto_output_request(r), HOTKEY_FULL_SCREEN);
}
