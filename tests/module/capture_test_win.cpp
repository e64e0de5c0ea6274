// Screen capture into the clipboard, called directly with a stand-in main window, over a window
// of the test's own that shows known colours.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "app/copy_sequence_win.h"
#include "app/shell_win.h"
#include "app/status.h"
#include "capture/capture_win.h"
#include "capture/clipboard_win.h"
#include "capture/colour_adjust.h"
#include "capture/window_frame_win.h"
#include "print/dib_win.h"
#include "settings/settings.h"
#include "tests/module/import_hook_win.h"
#include "tests/module/module_harness_win.h"
#include "tests/system/harness_win.h"

namespace {

// The pattern: four quadrants, one of them dark enough for black emphasis.
const RECT PATTERN = {100, 100, 300, 200};
const COLORREF QUADRANTS[4] = {RGB(200, 30, 40), RGB(20, 220, 90), RGB(60, 50, 70),
                               RGB(250, 250, 240)};

LRESULT CALLBACK pattern_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT rc;
        GetClientRect(hwnd, &rc);
        int mx = rc.right / 2, my = rc.bottom / 2;
        const RECT parts[4] = {{0, 0, mx, my}, {mx, 0, rc.right, my}, {0, my, mx, rc.bottom},
                               {mx, my, rc.right, rc.bottom}};
        for (int i = 0; i < 4; i++) {
            HBRUSH b = CreateSolidBrush(QUADRANTS[i]);
            FillRect(dc, &parts[i], b);
            DeleteObject(b);
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

struct Image {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, top-down
    uint32_t at(int x, int y) const { return pixels[(size_t)y * width + x] & 0xFFFFFF; }
};

Image bitmap_pixels(HBITMAP bitmap)
{
    Image img;
    BITMAP bm;
    if (!GetObjectA(bitmap, sizeof bm, &bm))
        return img;
    img.width = bm.bmWidth;
    img.height = bm.bmHeight;
    img.pixels.resize((size_t)img.width * img.height);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = img.width;
    bi.bmiHeader.biHeight = -img.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    HDC screen = GetDC(NULL);
    GetDIBits(screen, bitmap, 0, img.height, img.pixels.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(NULL, screen);
    return img;
}

Image clipboard_image()
{
    Image img;
    if (!OpenClipboard(NULL))
        return img;
    HBITMAP bitmap = (HBITMAP)GetClipboardData(CF_BITMAP);
    if (bitmap)
        img = bitmap_pixels(bitmap);
    CloseClipboard();
    return img;
}

uint32_t rgb_of(COLORREF c)
{
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

uint32_t adjusted(const ColourRule& rule, uint32_t px)
{
    Rgb out = adjust_pixel(rule, {(uint8_t)(px >> 16), (uint8_t)(px >> 8), (uint8_t)px});
    return (out.r << 16) | (out.g << 8) | out.b;
}

class Capture : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_settings(settings);
        settings.high_speed_scan = 1;  // the stand-in window stays where it is
        make_stand_in_main_window(600, 500, 180, 42, RGB(192, 192, 192));
        WNDCLASSA wc = {};
        wc.lpfnWndProc = pattern_proc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = "KavrelPattern";
        RegisterClassA(&wc);
        pattern = CreateWindowExA(WS_EX_TOPMOST, "KavrelPattern", "pattern", WS_POPUP | WS_VISIBLE,
                                  PATTERN.left, PATTERN.top, PATTERN.right - PATTERN.left,
                                  PATTERN.bottom - PATTERN.top, NULL, NULL,
                                  GetModuleHandleA(NULL), NULL);
        pump_messages(400);
        full_screen_of_pattern();
        boxes.reset(new BoxWatcher);
    }
    void TearDown() override
    {
        for (const std::string& text : boxes->texts())
            ADD_FAILURE() << "unexpected message: " << text;
        boxes.reset();
        DestroyWindow(pattern);
        destroy_stand_in_main_window();
    }
    // A full-screen copy limited by the fixed area to exactly the pattern window.
    void full_screen_of_pattern()
    {
        capture_active_window = 0;
        capture_target = main_window;
        capture_width = (int16_t)GetSystemMetrics(SM_CXSCREEN);
        capture_height = (int16_t)GetSystemMetrics(SM_CYSCREEN);
        settings.use_fixed_area = 1;
        settings.area_left = PATTERN.left;
        settings.area_top = PATTERN.top;
        settings.area_right = PATTERN.right;
        settings.area_bottom = PATTERN.bottom;
    }
    HWND pattern = NULL;
    std::unique_ptr<BoxWatcher> boxes;  // answers any box, so a failure cannot hang the run
};

}  // namespace

TEST_F(Capture, FixedAreaGivesThatSizeAndOrigin)
{
    ASSERT_EQ(capture_to_clipboard(main_window, noted_capture()), 0);
    EXPECT_EQ(capture_width, 200);
    EXPECT_EQ(capture_height, 100);
    Image img = clipboard_image();
    ASSERT_EQ(img.width, 200);
    ASSERT_EQ(img.height, 100);
    EXPECT_EQ(img.at(0, 0), rgb_of(QUADRANTS[0]));
    EXPECT_EQ(img.at(199, 0), rgb_of(QUADRANTS[1]));
    EXPECT_EQ(img.at(0, 99), rgb_of(QUADRANTS[2]));
    EXPECT_EQ(img.at(199, 99), rgb_of(QUADRANTS[3]));
    EXPECT_EQ(adjust_percent, 100) << "no pass without an adjustment";
}

TEST_F(Capture, ActiveWindowCopyTakesItsRectangleAndIgnoresTheFixedArea)
{
    settings.area_left = 0;  // a fixed area elsewhere must not matter
    capture_active_window = 1;
    capture_target = pattern;
    GetWindowRect(pattern, &capture_target_rect);
    capture_width = 200;
    capture_height = 100;
    ASSERT_EQ(capture_to_clipboard(main_window, noted_capture()), 0);
    Image img = clipboard_image();
    ASSERT_EQ(img.width, 200);
    EXPECT_EQ(img.at(0, 0), rgb_of(QUADRANTS[0]));
    EXPECT_EQ(img.at(150, 80), rgb_of(QUADRANTS[3]));
}

namespace {

// Stand-ins for the desktop window manager's answer. Wine 8's DwmGetWindowAttribute answers
// E_NOTIMPL for the frame bounds, so under Wine only the fallback is real; what a Windows with
// the manager answers is put in place of it (the program looks it up with GetProcAddress).
ImportHook* load_hook;
ImportHook* proc_hook;
std::string loaded_dll;
bool refuse_load;
LONG frame_result;
RECT frame_answer;
int frame_calls;
HWND asked_window;
DWORD asked_attribute, asked_size;

HMODULE WINAPI standin_load_library(LPCSTR path)
{
    loaded_dll = path;
    if (refuse_load) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return NULL;
    }
    return reinterpret_cast<HMODULE(WINAPI*)(LPCSTR)>(load_hook->original)(path);
}

LONG WINAPI standin_window_attribute(HWND hwnd, DWORD attribute, void* value, DWORD size)
{
    frame_calls++;
    asked_window = hwnd;
    asked_attribute = attribute;
    asked_size = size;
    if (frame_result >= 0 && value && size >= sizeof(RECT))
        memcpy(value, &frame_answer, sizeof frame_answer);
    return frame_result;
}

FARPROC WINAPI standin_get_proc_address(HMODULE module, LPCSTR name)
{
    if (HIWORD(name) && strcmp(name, "DwmGetWindowAttribute") == 0)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(standin_window_attribute));
    return reinterpret_cast<FARPROC(WINAPI*)(HMODULE, LPCSTR)>(proc_hook->original)(module, name);
}

bool same_rect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

// Alt+Print Screen takes the frame the user sees: with the desktop window manager the window
// rectangle also holds invisible resize borders (what lies behind them would be copied), which
// the frame bounds leave out. Where there is no such frame (no dwmapi.dll before Vista, no
// composition, a refused or empty answer) it is the window rectangle, as it always was.
TEST_F(Capture, ActiveWindowIsTakenByTheFrameTheSystemShows)
{
    RECT window;
    GetWindowRect(pattern, &window);
    RECT r{};
    window_frame_rect(pattern, &r);
    EXPECT_TRUE(same_rect(r, window)) << "Wine's own answer (E_NOTIMPL) falls back";

    ImportHook load("kernel32.dll", "LoadLibraryA", (void*)standin_load_library);
    ImportHook proc("kernel32.dll", "GetProcAddress", (void*)standin_get_proc_address);
    ASSERT_TRUE(load.original && proc.original) << "the program imports both";
    load_hook = &load;
    proc_hook = &proc;
    refuse_load = false;
    frame_calls = 0;
    const RECT visible = {window.left + 7, window.top, window.right - 7, window.bottom - 7};
    frame_result = 0;
    frame_answer = visible;
    r = RECT{};
    window_frame_rect(pattern, &r);
    EXPECT_TRUE(same_rect(r, visible)) << r.left << "," << r.top << "," << r.right << ","
                                       << r.bottom;
    EXPECT_EQ(frame_calls, 1);
    EXPECT_EQ(asked_window, pattern);
    EXPECT_EQ(asked_attribute, 9u) << "DWMWA_EXTENDED_FRAME_BOUNDS";
    EXPECT_EQ(asked_size, sizeof(RECT));
    char system_dir[MAX_PATH];
    GetSystemDirectoryA(system_dir, sizeof system_dir);
    EXPECT_EQ(_stricmp(loaded_dll.c_str(), (std::string(system_dir) + "\\dwmapi.dll").c_str()), 0)
        << "loaded " << loaded_dll << ": only the system's own, by its full path";

    const LONG E_HANDLE_RESULT = (LONG)0x80070006;  // no composition, or not a framed window
    struct Refusal {
        const char* what;
        bool no_dll;
        LONG result;
        RECT answer;
    } refusals[] = {
        {"no dwmapi.dll", true, 0, visible},
        {"refused", false, E_HANDLE_RESULT, visible},
        {"empty", false, 0, {10, 10, 10, 40}},
    };
    for (const Refusal& c : refusals) {
        refuse_load = c.no_dll;
        frame_result = c.result;
        frame_answer = c.answer;
        r = RECT{};
        window_frame_rect(pattern, &r);
        EXPECT_TRUE(same_rect(r, window)) << c.what;
    }
    load_hook = proc_hook = nullptr;
}

TEST_F(Capture, InversionHappensDuringTheCopyWithoutAPass)
{
    settings.invert_image = 1;
    clear_painted_percents();
    ASSERT_EQ(capture_to_clipboard(main_window, noted_capture()), 0);
    Image img = clipboard_image();
    EXPECT_EQ(img.at(0, 0), rgb_of(QUADRANTS[0]) ^ 0xFFFFFF);
    EXPECT_EQ(img.at(199, 99), rgb_of(QUADRANTS[3]) ^ 0xFFFFFF);
    EXPECT_EQ(adjust_percent, 100);
    EXPECT_TRUE(painted_percents().empty()) << "the pass showed progress";
}

// Every pixel of an adjusted copy is the rule applied to the plain copy, for each kind of rule,
// and progress shows before the same columns as the rule says.
TEST_F(Capture, AdjustedCopyIsTheRuleAppliedToEveryPixel)
{
    ASSERT_EQ(capture_to_clipboard(main_window, noted_capture()), 0);
    Image plain = clipboard_image();
    ASSERT_EQ(plain.width, 200);

    struct Case {
        const char* name;
        int brightness, red, green, blue, black, binarize, threshold, invert;
    };
    const Case cases[] = {
        {"brightness and levels", 100, -100, 0, 30, 0, 0, 0, 0},
        {"black emphasis", 10, 0, 0, 0, 1, 0, 0, 0},
        {"two levels", 0, 0, 0, 0, 0, 1, 50, 0},
        {"inverted and brighter", 40, 0, 0, 0, 0, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        settings.brightness = c.brightness;
        settings.red_level = c.red;
        settings.green_level = c.green;
        settings.blue_level = c.blue;
        settings.black_emphasis = c.black;
        settings.binarize = c.binarize;
        settings.binarize_threshold = c.threshold;
        settings.invert_image = c.invert;
        clear_painted_percents();
        ASSERT_EQ(capture_to_clipboard(main_window, noted_capture()), 0);
        Image img = clipboard_image();
        ASSERT_EQ(img.width, plain.width);
        ColourRule rule = colour_rule_from(settings);
        int wrong = 0;
        for (int y = 0; y < img.height; y++)
            for (int x = 0; x < img.width; x++) {
                uint32_t source = c.invert ? plain.at(x, y) ^ 0xFFFFFF : plain.at(x, y);
                wrong += img.at(x, y) != adjusted(rule, source);
            }
        EXPECT_EQ(wrong, 0);
        std::vector<int> expected;
        for (int p = 0; p < 100; p += 5)
            expected.push_back(p);
        EXPECT_EQ(painted_percents(), expected);
    }
}

TEST_F(Capture, MinimisedMainWindowSaysWaitingAfterwards)
{
    ShowWindow(main_window, SW_MINIMIZE);
    settings.brightness = 5;
    ASSERT_EQ(capture_to_clipboard(main_window, noted_capture()), 0);
    char title[64] = "";
    GetWindowTextA(main_window, title, sizeof title);
    EXPECT_STREQ(title, "waiting");
}

TEST_F(Capture, HiddenMainWindowComesBackAtItsSavedPlace)
{
    settings.high_speed_scan = 0;
    GetWindowRect(main_window, &saved_main_rect);
    OffsetRect(&saved_main_rect, -100, -50);
    ShowWindow(main_window, SW_HIDE);
    ASSERT_EQ(capture_to_clipboard(main_window, noted_capture()), 0);
    EXPECT_TRUE(IsWindowVisible(main_window));
    RECT now;
    GetWindowRect(main_window, &now);
    EXPECT_EQ(now.left, saved_main_rect.left);
    EXPECT_EQ(now.top, saved_main_rect.top);
}

static DWORD WINAPI hold_clipboard(void* arg)
{
    auto* events = static_cast<HANDLE*>(arg);
    OpenClipboard(NULL);
    SetEvent(events[0]);
    WaitForSingleObject(events[1], 10000);
    CloseClipboard();
    return 0;
}

TEST_F(Capture, ClipboardHeldElsewhereGivesMinusTwoAndKeepsItsContent)
{
    ASSERT_EQ(capture_to_clipboard(main_window, noted_capture()), 0);
    HANDLE events[2] = {CreateEventA(NULL, TRUE, FALSE, NULL), CreateEventA(NULL, TRUE, FALSE, NULL)};
    HANDLE holder = CreateThread(NULL, 0, hold_clipboard, events, 0, NULL);
    ASSERT_TRUE(wait_pumping(events[0], 5000));
    EXPECT_EQ(capture_to_clipboard(main_window, noted_capture()), -2);
    SetEvent(events[1]);
    std::vector<std::string> texts = boxes->texts();
    boxes->clear();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind("画像の取り込みに失敗しました\nOPEN CLIP(ERR=", 0), 0u) << texts[0];
    wait_pumping(holder, 5000);
    CloseHandle(holder);
    CloseHandle(events[0]);
    CloseHandle(events[1]);
    EXPECT_EQ(clipboard_image().width, 200) << "the previous image is gone";
}

// The display's bits per pixel: what the session asked for (KAVREL_SCREEN_DEPTH; Wine reports
// a depth of 24 as 32), so that a session meant to prove a depth cannot prove another.
static int display_bits_checked()
{
    HDC screen = GetDC(NULL);
    int bits = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(NULL, screen);
    const char* asked = getenv("KAVREL_SCREEN_DEPTH");
    if (asked && atoi(asked) == 16) {
        EXPECT_EQ(bits, 16) << "the session asked for a 16-bit display";
    }
    return bits;
}

// On a real display bitmap (32 bits, or 16 in a session at depth 16) the bulk pass, which goes
// through the bits in its own order, leaves the pixels and shows the progress of the
// pixel-by-pixel method. Width 21 shows only 0, 80, 85, 90 and 95; with 3 rows several
// progress steps fall within one row. Two levels split where a widening of 5 or 6 bits
// decides the side.
TEST_F(Capture, BulkPassAndPixelMethodAgreeOnADisplayBitmap)
{
    const int bits = display_bits_checked();
    const struct {
        int w, h;
    } sizes[] = {{97, 61}, {21, 300}, {256, 3}};
    const struct {
        int brightness, green, black, binarize, threshold;
    } rules[] = {{25, -60, 1, 0, 0}, {0, 0, 0, 1, 52}};
    HDC screen = GetDC(NULL);
    for (const auto& rule : rules)
        for (const auto& size : sizes) {
            const int w = size.w, h = size.h;
            SCOPED_TRACE(testing::Message() << w << " x " << h << " at " << bits << " bits, "
                                            << (rule.binarize ? "two levels" : "offsets"));
            settings.brightness = rule.brightness;
            settings.green_level = rule.green;
            settings.black_emphasis = rule.black;
            settings.binarize = rule.binarize;
            settings.binarize_threshold = rule.threshold;
            HBITMAP a = CreateCompatibleBitmap(screen, w, h);
            HBITMAP b = CreateCompatibleBitmap(screen, w, h);
            BITMAP bm;
            ASSERT_TRUE(GetObjectA(a, sizeof bm, &bm));
            EXPECT_EQ(bm.bmBitsPixel, bits);
            std::vector<uint32_t> noise((size_t)w * h);
            uint32_t x = 99;
            for (auto& p : noise) {
                x = x * 1664525u + 1013904223u;
                p = x >> 8;
            }
            BITMAPINFO bi = {};
            bi.bmiHeader.biSize = sizeof bi.bmiHeader;
            bi.bmiHeader.biWidth = w;
            bi.bmiHeader.biHeight = -h;
            bi.bmiHeader.biPlanes = 1;
            bi.bmiHeader.biBitCount = 32;
            SetDIBits(screen, a, 0, h, noise.data(), &bi, DIB_RGB_COLORS);
            SetDIBits(screen, b, 0, h, noise.data(), &bi, DIB_RGB_COLORS);
            HDC dc = CreateCompatibleDC(screen);
            HGDIOBJ old = SelectObject(dc, a);
            clear_painted_percents();
            adjust_percent = 100;
            ASSERT_TRUE(adjust_image_colours_in_bulk(dc, a, w, h)) << "the bulk pass did not run";
            std::vector<int> bulk_percents = painted_percents();
            SelectObject(dc, b);
            clear_painted_percents();
            adjust_percent = 100;
            adjust_image_colours_by_pixel(dc, w, h);
            SelectObject(dc, old);
            DeleteDC(dc);
            Image ia = bitmap_pixels(a), ib = bitmap_pixels(b);
            int differ = 0;
            for (size_t i = 0; i < ia.pixels.size() && i < ib.pixels.size(); i++)
                differ += ia.pixels[i] != ib.pixels[i];
            EXPECT_EQ(ia.pixels.size(), ib.pixels.size());
            EXPECT_EQ(differ, 0) << "pixels that differ";
            EXPECT_EQ(bulk_percents, painted_percents());
            EXPECT_FALSE(bulk_percents.empty());
            DeleteObject(a);
            DeleteObject(b);
        }
    ReleaseDC(NULL, screen);
}

namespace {

// A display bitmap of w x h filled with noise.
HBITMAP noise_bitmap(int w, int h, uint32_t seed)
{
    HDC screen = GetDC(NULL);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    std::vector<uint32_t> noise((size_t)w * h);
    for (auto& p : noise) {
        seed = seed * 1664525u + 1013904223u;
        p = seed >> 8;
    }
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    SetDIBits(screen, bitmap, 0, h, noise.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(NULL, screen);
    return bitmap;
}

// The bitmap adjusted pixel by pixel, for comparison.
Image adjusted_by_pixel(int w, int h, uint32_t seed)
{
    HBITMAP b = noise_bitmap(w, h, seed);
    HDC dc = CreateCompatibleDC(NULL);
    HGDIOBJ old = SelectObject(dc, b);
    adjust_image_colours_by_pixel(dc, w, h);
    SelectObject(dc, old);
    DeleteDC(dc);
    Image img = bitmap_pixels(b);
    DeleteObject(b);
    return img;
}

// Takes every free stretch of the address space of at least `smallest` bytes while it lives,
// so that no allocation of that size can succeed.
struct AddressSpaceTaken {
    std::vector<void*> taken;
    explicit AddressSpaceTaken(size_t smallest)
    {
        for (size_t size = (size_t)1 << 30; size >= smallest; size /= 2)
            while (void* p = VirtualAlloc(NULL, size, MEM_RESERVE, PAGE_NOACCESS))
                taken.push_back(p);
    }
    ~AddressSpaceTaken()
    {
        for (void* p : taken)
            VirtualFree(p, 0, MEM_RELEASE);
    }
};

}  // namespace

// Without memory for a copy of the bits the pass goes pixel by pixel, and no exception
// leaves it (it runs inside the main window's procedure, with the clipboard open).
TEST_F(Capture, PassWithoutMemoryForTheBitsGoesPixelByPixel)
{
    settings.brightness = 25;
    settings.red_level = -40;
    const int w = 600, h = 500;  // 1.2 MB of bits: more than any stretch left
    Image expected = adjusted_by_pixel(w, h, 7);
    HBITMAP b = noise_bitmap(w, h, 7);
    HDC dc = CreateCompatibleDC(NULL);
    HGDIOBJ old = SelectObject(dc, b);
    bool ran_in_bulk = true;
    {
        AddressSpaceTaken taken(1 << 20);
        ASSERT_FALSE(taken.taken.empty());
        try {
            ran_in_bulk = adjust_image_colours_in_bulk(dc, b, w, h);
            if (!ran_in_bulk)
                adjust_image_colours(dc, b, w, h);
        } catch (...) {
            ADD_FAILURE() << "an exception left the pass";
        }
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_FALSE(ran_in_bulk) << "the bulk pass found memory after all";
    Image got = bitmap_pixels(b);
    DeleteObject(b);
    EXPECT_TRUE(got.pixels == expected.pixels) << "not the pixel method's result";
}

namespace {

ImportHook* set_bits_hook = nullptr;
int short_writes = 0;

// The system's SetDIBits writing only the first half of the lines asked for, as a driver short
// of memory may, and saying so.
int WINAPI half_set_dibits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits,
                           const BITMAPINFO* info, UINT use)
{
    auto real = reinterpret_cast<decltype(&SetDIBits)>(set_bits_hook->original);
    short_writes++;
    return real(dc, bitmap, start, lines / 2, bits, info, use);
}

}  // namespace

// A write-back that stopped short leaves some rows adjusted and the rest as they were; the
// pass must still end with every pixel adjusted exactly once.
TEST_F(Capture, ShortWriteBackIsFinishedWithoutAdjustingRowsTwice)
{
    settings.brightness = 60;
    settings.blue_level = 80;
    const int w = 64, h = 40;
    Image expected = adjusted_by_pixel(w, h, 3);
    HBITMAP b = noise_bitmap(w, h, 3);
    HDC dc = CreateCompatibleDC(NULL);
    HGDIOBJ old = SelectObject(dc, b);
    {
        ImportHook hook("gdi32.dll", "SetDIBits", (void*)half_set_dibits);
        ASSERT_TRUE(hook.original) << "the program does not import SetDIBits";
        set_bits_hook = &hook;
        short_writes = 0;
        adjust_image_colours(dc, b, w, h);
        set_bits_hook = nullptr;
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_EQ(short_writes, 1) << "the bulk pass did not write back";
    Image got = bitmap_pixels(b);
    DeleteObject(b);
    ASSERT_EQ(got.pixels.size(), expected.pixels.size());
    int wrong = 0;
    for (size_t i = 0; i < got.pixels.size(); i++)
        wrong += (got.pixels[i] & 0xFFFFFF) != (expected.pixels[i] & 0xFFFFFF);
    EXPECT_EQ(wrong, 0) << "pixels not adjusted exactly once, of " << got.pixels.size();
}

TEST_F(Capture, ClipboardImageBecomesA24BitPackedDib)
{
    ASSERT_EQ(capture_to_clipboard(main_window, noted_capture()), 0);
    ASSERT_TRUE(OpenClipboard(NULL));
    HGLOBAL dib = bitmap_to_dib((HBITMAP)GetClipboardData(CF_BITMAP), NULL);
    CloseClipboard();
    ASSERT_TRUE(dib);
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
    EXPECT_EQ(h->biBitCount, 24) << "a 32-bit display gives 24-bit DIBs";
    EXPECT_EQ(h->biWidth, 200);
    EXPECT_EQ(h->biHeight, 100);
    EXPECT_EQ(h->biSizeImage, 600u * 100);
    EXPECT_GE(GlobalSize(dib), 40u + 60000u);
    // Bottom-up rows: the first row in memory is the bottom row of the image.
    const uint8_t* bottom_left = reinterpret_cast<const uint8_t*>(h) + 40;
    EXPECT_EQ(RGB(bottom_left[2], bottom_left[1], bottom_left[0]), QUADRANTS[2]);
    GlobalUnlock(dib);
    GlobalFree(dib);
}

TEST_F(Capture, SavingWithoutABitmapOnTheClipboardFails)
{
    ASSERT_TRUE(OpenClipboard(main_window));
    EmptyClipboard();
    HGLOBAL text = GlobalAlloc(GMEM_MOVEABLE, 6);
    memcpy(GlobalLock(text), "hello", 6);
    GlobalUnlock(text);
    SetClipboardData(CF_TEXT, text);
    CloseClipboard();
    EXPECT_EQ(save_clipboard_image(), -1);
    std::vector<std::string> texts = boxes->texts();
    boxes->clear();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind("データの展開に失敗しました\nB TO D1(ERR=", 0), 0u) << texts[0];
}

// The clipboard open in another thread from before the next call until 300 ms later, as a
// clipboard manager holds it for a moment after a change.
struct HeldForAMoment {
    HANDLE opened = CreateEventA(NULL, TRUE, FALSE, NULL);
    HANDLE thread = NULL;
    static DWORD WINAPI hold(void* arg)
    {
        OpenClipboard(NULL);
        SetEvent(static_cast<HeldForAMoment*>(arg)->opened);
        Sleep(300);
        CloseClipboard();
        return 0;
    }
    HeldForAMoment()
    {
        thread = CreateThread(NULL, 0, hold, this, 0, NULL);
        wait_pumping(opened, 5000);
    }
    ~HeldForAMoment()
    {
        wait_pumping(thread, 5000);
        CloseHandle(thread);
        CloseHandle(opened);
    }
};

// A captured image saved as a file and loaded back is the same image, with its size published;
// each step waits for a clipboard another program holds for a moment.
TEST_F(Capture, SavedImageLoadsBackOntoTheClipboard)
{
    std::string dir = fresh_work_dir("clipboard-round-trip");
    std::string path = dir + "\\COPY.BMP";
    snprintf(settings.output_file_name, sizeof settings.output_file_name, "%s", path.c_str());
    settings.file_name_mode = 0;
    {
        HeldForAMoment held;
        ASSERT_EQ(capture_to_clipboard(main_window, noted_capture()), 0);
    }
    Image captured = clipboard_image();
    {
        HeldForAMoment held;
        ASSERT_EQ(save_clipboard_image(), 0);
    }
    ASSERT_TRUE(file_exists(path));

    // Something else on the clipboard, and another size noted, before the load.
    ASSERT_TRUE(OpenClipboard(main_window));
    EmptyClipboard();
    CloseClipboard();
    capture_width = 1;
    capture_height = 1;
    {
        HeldForAMoment held;
        ASSERT_EQ(load_file_to_clipboard(main_window, path.c_str()), 0);
    }
    EXPECT_EQ(capture_width, 200);
    EXPECT_EQ(capture_height, 100);
    Image loaded = clipboard_image();
    EXPECT_EQ(loaded.width, 200);
    EXPECT_EQ(loaded.pixels, captured.pixels);
}

TEST_F(Capture, UnreadableFileLeavesClipboardAndSizeAlone)
{
    ASSERT_EQ(capture_to_clipboard(main_window, noted_capture()), 0);
    std::string dir = fresh_work_dir("clipboard-bad-file");
    std::string path = dir + "\\NOTES.BMP";
    write_file(path, Bytes{'h', 'e', 'l', 'l', 'o'});
    EXPECT_EQ(load_file_to_clipboard(main_window, path.c_str()), -1);
    std::vector<std::string> texts = boxes->texts();
    boxes->clear();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind("このファイルはビットマップファイルではありません\nLoad Bitmap", 0), 0u)
        << texts[0];
    EXPECT_EQ(capture_width, 200);
    EXPECT_EQ(clipboard_image().width, 200);
}
