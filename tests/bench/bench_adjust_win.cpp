// Benchmark: the colour adjustment pass over a 1920 x 1080 display bitmap, pixel by pixel
// through the device context versus in bulk over the bitmap's bits. Prints both times, the
// ratio, and whether the two results are identical.
//   bench_adjust_win.exe [WIDTH HEIGHT]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include "app/shell_win.h"
#include "app/status.h"
#include "capture/capture_win.h"
#include "settings/settings.h"

static std::vector<uint32_t> bits_of(HDC dc, HBITMAP bitmap, int w, int h)
{
    std::vector<uint32_t> bits((size_t)w * h);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    GetDIBits(dc, bitmap, 0, h, bits.data(), &bi, DIB_RGB_COLORS);
    return bits;
}

static HBITMAP noisy_bitmap(HDC screen, int w, int h)
{
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    std::vector<uint32_t> pixels((size_t)w * h);
    uint32_t x = 2024;
    for (size_t i = 0; i < pixels.size(); i++) {
        // Screen-like content: runs of flat colour with some noise.
        if (i % 37 == 0) {
            x = x * 1664525u + 1013904223u;
        }
        pixels[i] = (x >> 8) ^ (uint32_t)(i & 0x0F);
    }
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    SetDIBits(screen, bitmap, 0, h, pixels.data(), &bi, DIB_RGB_COLORS);
    return bitmap;
}

static double seconds_since(LARGE_INTEGER start)
{
    LARGE_INTEGER now, freq;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&freq);
    return double(now.QuadPart - start.QuadPart) / double(freq.QuadPart);
}

int main(int argc, char** argv)
{
    int w = argc > 2 ? atoi(argv[1]) : 1920;
    int h = argc > 2 ? atoi(argv[2]) : 1080;
    // A window for the progress display, as the program's main window would be.
    main_window = CreateWindowA("STATIC", "bench", WS_POPUP | WS_VISIBLE, 0, 0, 180, 42, NULL,
                                NULL, NULL, NULL);
    reset_settings(settings);
    settings.brightness = 30;
    settings.red_level = -20;
    settings.blue_level = 45;
    settings.black_emphasis = 1;

    HDC screen = GetDC(NULL);
    HBITMAP by_pixel = noisy_bitmap(screen, w, h);
    HBITMAP in_bulk = noisy_bitmap(screen, w, h);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, by_pixel);

    LARGE_INTEGER t0;
    QueryPerformanceCounter(&t0);
    adjust_percent = 100;
    adjust_image_colours_by_pixel(dc, w, h);
    double pixel_s = seconds_since(t0);

    SelectObject(dc, in_bulk);
    QueryPerformanceCounter(&t0);
    adjust_percent = 100;
    adjust_image_colours(dc, in_bulk, w, h);
    double bulk_s = seconds_since(t0);
    SelectObject(dc, old);

    bool same = bits_of(dc, by_pixel, w, h) == bits_of(dc, in_bulk, w, h);
    double mpix = double(w) * h / 1e6;
    printf("colour adjustment pass, %d x %d (%.2f Mpixel), brightness 30, levels -20/0/+45, "
           "black emphasis\n", w, h, mpix);
    printf("  per pixel (GetPixel/SetPixel): %9.3f s  %8.1f ms/Mpixel\n", pixel_s,
           pixel_s * 1000 / mpix);
    printf("  bulk over the bits:            %9.3f s  %8.1f ms/Mpixel\n", bulk_s,
           bulk_s * 1000 / mpix);
    printf("  ratio: %.1f times faster; results %s\n", pixel_s / bulk_s,
           same ? "identical" : "DIFFER");
    DeleteDC(dc);
    ReleaseDC(NULL, screen);
    return same ? 0 : 1;
}
