// The automatic output of the real program: one real minute tick of its own timer (a copy a
// minute after start, none before), then the same tick posted at moments the test chooses, for
// the time of day and the interval. About a minute and ten seconds.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>

#include "base/ids.h"
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

void set_time_of_day(Bytes& ini, int minute_of_day)
{
    put_i32(ini, AT(auto_at_time), 1);
    put_i32(ini, AT(auto_hour), minute_of_day / 60);
    put_i32(ini, AT(auto_minute), minute_of_day % 60);
}

int minute_of_day()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now.wHour * 60 + now.wMinute;
}

// The program's minute tick, run now: its timer message posted to the main window, as the
// timer would; true once the program has ended what the tick asked for. The tick posts its copy
// request, so one answer comes first, after which that request is queued ahead of the next.
bool tick(const Kavrel& k, HWND main)
{
    PostMessageA(main, WM_TIMER, TIMER_AUTO_OUTPUT, 0);
    RemoteClient client;
    return client.ask(main, 950) >= 0 && k.idle();
}

}  // namespace

// Every copy reads the settings file again, so the file the test writes before a copy decides
// what the ticks after it may do.
TEST(AutoOutput, AfterStartOnItsOwnMinuteTickThenTheTimeOfDayAndTheIntervalAtSetMoments)
{
    SKIP_IN_EXTRA_SESSIONS("it waits for the program's minute timer and the local time, nothing the "
                           "system Wine reports changes");
    std::string dir = fresh_work_dir("auto-output");
    Bytes ini = automatic(dir);
    put_i32(ini, AT(auto_after_start), 1);
    put_i32(ini, AT(auto_interval), 1);
    write_file(ini_path(dir), ini);
    DWORD t0 = GetTickCount();
    Kavrel k(dir);
    HWND main = k.ready();
    ASSERT_TRUE(main);
    // Read back by the first copy: after-start off, a time of day twelve hours away.
    put_i32(ini, AT(auto_after_start), 0);
    set_time_of_day(ini, (minute_of_day() + 12 * 60) % (24 * 60));
    write_file(ini_path(dir), ini);

    Bytes first = wait_for_bmp(numbered_output(dir, 0), 90000);
    ASSERT_GE(first.size(), 54u) << "not one copy a minute after start";
    EXPECT_GE(GetTickCount() - t0, 59000u) << "a copy before the first minute";
    ASSERT_TRUE(k.idle());
    EXPECT_FALSE(file_exists(numbered_output(dir, 1))) << "two copies at the first minute";

    // Still the first minute: after-start is off, the time of day is not now, and one is no
    // multiple of the interval of three.
    ASSERT_TRUE(tick(k, main));
    EXPECT_FALSE(file_exists(numbered_output(dir, 1))) << "a copy between the set moments";

    // The time of day set to this minute, read by a copy asked for by hot key; then the tick,
    // within the same minute (fifteen seconds or more are left when the file is written).
    for (;;) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        if (now.wSecond <= 45)
            break;
        Sleep(200);
    }
    int minute = minute_of_day();
    set_time_of_day(ini, minute);
    write_file(ini_path(dir), ini);
    press_keys({VK_SNAPSHOT});
    ASSERT_GE(wait_for_bmp(numbered_output(dir, 1), 20000).size(), 54u) << "no hot-key copy";
    ASSERT_TRUE(k.idle());
    ASSERT_TRUE(tick(k, main));
    ASSERT_EQ(minute_of_day(), minute) << "the minute ran out before the tick";
    EXPECT_TRUE(file_exists(numbered_output(dir, 2))) << "not one copy at the set time";
    EXPECT_FALSE(file_exists(numbered_output(dir, 3))) << "two copies at the set time";
    EXPECT_FALSE(k.message_box(0));
    EXPECT_TRUE(k.close());
}
