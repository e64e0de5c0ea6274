// Which way the colour adjustment pass goes: the agreement of the bulk pass with the
// pixel-by-pixel method (capture_test_win.cpp) means something only where the bulk pass ran.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "app/shell_win.h"
#include "app/status.h"
#include "capture/capture_win.h"
#include "settings/settings.h"
#include "tests/module/import_hook_win.h"
#include "tests/module/module_harness_win.h"

namespace {

ImportHook* get_pixel_hook = nullptr;
ImportHook* set_pixel_hook = nullptr;
long pixel_calls = 0;

COLORREF WINAPI counted_get_pixel(HDC dc, int x, int y)
{
    pixel_calls++;
    return reinterpret_cast<decltype(&GetPixel)>(get_pixel_hook->original)(dc, x, y);
}

COLORREF WINAPI counted_set_pixel(HDC dc, int x, int y, COLORREF c)
{
    pixel_calls++;
    return reinterpret_cast<decltype(&SetPixel)>(set_pixel_hook->original)(dc, x, y, c);
}

}  // namespace

// On display bitmaps of the sizes the agreement test uses (32 bits, or 16 in a session at
// depth 16), the pass reads and writes no single pixel; the method it is compared with reads
// every one.
TEST(AdjustPath, BulkPassRunsOnDisplayBitmaps)
{
    make_stand_in_main_window(600, 500, 180, 42, RGB(192, 192, 192));
    reset_settings(settings);
    settings.brightness = 25;
    settings.green_level = -60;
    settings.black_emphasis = 1;
    ImportHook get("gdi32.dll", "GetPixel", (void*)counted_get_pixel);
    ImportHook set("gdi32.dll", "SetPixel", (void*)counted_set_pixel);
    get_pixel_hook = &get;
    set_pixel_hook = &set;
    ASSERT_TRUE(get.original && set.original);
    HDC screen = GetDC(NULL);
    // At 16 bits the first pass learns once how the display reads and writes a pixel.
    {
        HBITMAP b = CreateCompatibleBitmap(screen, 4, 4);
        HDC dc = CreateCompatibleDC(screen);
        HGDIOBJ old = SelectObject(dc, b);
        adjust_image_colours(dc, b, 4, 4);
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(b);
    }
    const struct {
        int w, h;
    } sizes[] = {{97, 61}, {21, 300}, {256, 3}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size.w << " x " << size.h);
        HBITMAP b = CreateCompatibleBitmap(screen, size.w, size.h);
        HDC dc = CreateCompatibleDC(screen);
        HGDIOBJ old = SelectObject(dc, b);
        pixel_calls = 0;
        adjust_percent = 100;
        adjust_image_colours(dc, b, size.w, size.h);
        EXPECT_EQ(pixel_calls, 0) << "the pass went pixel by pixel";
        pixel_calls = 0;
        adjust_percent = 100;
        adjust_image_colours_by_pixel(dc, size.w, size.h);
        EXPECT_GE(pixel_calls, size.w * size.h) << "the count sees no pixel calls";
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(b);
    }
    ReleaseDC(NULL, screen);
    get_pixel_hook = set_pixel_hook = nullptr;
    destroy_stand_in_main_window();
}
