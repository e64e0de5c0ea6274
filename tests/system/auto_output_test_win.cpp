// The automatic output of the real program, waited for in real time: a copy a minute after
// start, one at a set time of day, and one at a multiple of an interval. The run waits for the
// program's own minute timer through three ticks: about three and a half minutes.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>

#include "settings/settings.h"
#include "tests/system/harness_win.h"

namespace {

#define AT(field) offsetof(SettingsRecord, field)

Bytes automatic(const std::string& dir)
{
    Bytes ini = output_settings(dir, 1, 1, 1);  // numbered files
    put_i32(ini, AT(auto_output), 1);
    put_i32(ini, AT(auto_full_screen), 1);
    put_i32(ini, AT(auto_interval_minutes), 3);
    put_i32(ini, AT(auto_after_start_minutes), 1);
    return ini;
}

// Starts with the local time's second between 3 and 45, so that a minute tick of the program
// cannot fall on either side of a minute's boundary by chance.
DWORD start_away_from_a_minute_boundary()
{
    for (;;) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        if (now.wSecond >= 3 && now.wSecond <= 45)
            return GetTickCount();
        pause_ms(500);
    }
}

// Seconds since `t0`.
int since(DWORD t0)
{
    return (int)((GetTickCount() - t0) / 1000);
}

// The number of numbered outputs at `seconds` after `t0`, waiting until then.
int outputs_at(const std::string& dir, DWORD t0, int seconds)
{
    while (since(t0) < seconds)
        pump_messages(200);
    int n = 0;
    while (file_exists(numbered_output(dir, n)))
        n++;
    return n;
}

}  // namespace

// One run of three minute ticks. Every copy reads the settings file again, so the file the test
// writes after each copy decides what the next tick may do: a copy a minute after start (and
// only then), one at the time of day set for the second tick, and one at the third minute of an
// interval of three, which was on all along.
TEST(AutoOutput, AfterStartThenTheTimeOfDayThenTheIntervalEachOnItsOwnTick)
{
    SKIP_LONG_TIMER_TEST_IN_EXTRA_SESSIONS();
    std::string dir = fresh_work_dir("auto-output");
    Bytes ini = automatic(dir);
    put_i32(ini, AT(auto_after_start), 1);
    put_i32(ini, AT(auto_interval), 1);
    put_i32(ini, AT(auto_interval_minutes), 3);
    write_file(ini_path(dir), ini);
    DWORD t0 = start_away_from_a_minute_boundary();
    SYSTEMTIME now;
    GetLocalTime(&now);
    Kavrel k(dir);
    ASSERT_TRUE(k.main_window());
    int second_tick = (now.wHour * 60 + now.wMinute + (now.wSecond + 120) / 60) % (24 * 60);
    put_i32(ini, AT(auto_after_start), 0);
    put_i32(ini, AT(auto_at_time), 1);
    put_i32(ini, AT(auto_hour), second_tick / 60);
    put_i32(ini, AT(auto_minute), second_tick % 60);
    pump_messages(1000);
    write_file(ini_path(dir), ini);  // read back by the first copy

    EXPECT_EQ(outputs_at(dir, t0, 50), 0) << "a copy before the first minute";
    EXPECT_EQ(outputs_at(dir, t0, 80), 1) << "not one copy a minute after start";
    EXPECT_EQ(outputs_at(dir, t0, 110), 1) << "a copy between the minutes";
    EXPECT_EQ(outputs_at(dir, t0, 140), 2) << "not one copy at the set time";
    EXPECT_EQ(outputs_at(dir, t0, 170), 2) << "a copy between the minutes";
    EXPECT_EQ(outputs_at(dir, t0, 200), 3) << "not one copy at the interval's multiple";
    EXPECT_FALSE(k.message_box(0));
    EXPECT_TRUE(k.close());
}
