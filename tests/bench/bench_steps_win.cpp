// Benchmark: the copy path and the print path taken apart, each system call timed on its own in
// one process, so the time of every step can be told apart from the others: what the program
// chooses to do, and what the system does inside each call. The whole product functions are
// timed as well (capture_to_clipboard, write_bitmap_file, print_image), for the sum.
// Prints "FIG step_name values..." lines for scripts/bench.sh, and the figures in words.
//   bench_steps_win.exe REPS FILE.BMP [--print N]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/copy_sequence_win.h"
#include "app/shell_win.h"
#include "capture/capture_win.h"
#include "files/bmp_format.h"
#include "files/bmp_writer_win.h"
#include "print/dib.h"
#include "print/dib_win.h"
#include "print/page_layout.h"
#include "print/print_job_win.h"
#include "print/printer_setup.h"
#include "print/printer_win.h"
#include "settings/settings.h"
#include "settings/settings_win.h"
#include "tests/bench/bench_win.h"
#include "tests/system/harness_win.h"

namespace {

std::map<std::string, std::vector<double>> steps;
std::vector<std::string> order;

// Times one step; the clock is read right before and right after it.
struct Step {
    const char* name;
    double start;
    bool keep;
    Step(const char* n, bool k) : name(n), start(now_ms()), keep(k) {}
    ~Step()
    {
        double ms = now_ms() - start;
        if (!keep)
            return;
        if (!steps.count(name))
            order.push_back(name);
        steps[name].push_back(ms);
    }
};
#define STEP(name) Step step_timer(name, keep)

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Writes `size` bytes in pieces of `piece`, flushes and closes, each part timed.
void write_in_pieces(bool keep, const char* path, const unsigned char* data, DWORD size,
                     DWORD piece, const char* write_name)
{
    HANDLE file;
    {
        STEP("file_create");
        file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    }
    {
        Step t(write_name, keep);
        DWORD done = 0;
        do {
            DWORD n = std::min(piece, size - done), written = 0;
            WriteFile(file, data + done, n, &written, NULL);
            done += n;
        } while (done < size);
    }
    {
        STEP("file_flush");
        FlushFileBuffers(file);
    }
    {
        STEP("file_close");
        CloseHandle(file);
    }
}

// One copy as the program makes it, step by step: screen to clipboard to file.
void copy_steps(bool keep, const char* path)
{
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    HDC ref = GetDC(main_window);
    HBITMAP bitmap;
    {
        STEP("cap_create_bitmap");
        bitmap = CreateCompatibleBitmap(ref, w, h);
    }
    HDC mem = CreateCompatibleDC(ref);
    HGDIOBJ old = SelectObject(mem, bitmap);
    HDC screen = GetDC(NULL);
    // The same copy made the other way into a second new bitmap, first and second in turn.
    static int round = 0;
    HBITMAP other = CreateCompatibleBitmap(ref, w, h);
    HDC other_mem = CreateCompatibleDC(ref);
    HGDIOBJ other_old = SelectObject(other_mem, other);
    for (int i = 0; i < 2; i++) {
        if ((i + round) % 2 == 0) {
            STEP("cap_stretchblt");
            StretchBlt(mem, 0, 0, w, h, screen, 0, 0, w, h, SRCCOPY);
        } else {
            STEP("cap_bitblt");
            BitBlt(other_mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
        }
    }
    {
        STEP("cap_stretchblt_again");
        StretchBlt(mem, 0, 0, w, h, screen, 0, 0, w, h, SRCCOPY);
    }
    {
        STEP("cap_bitblt_again");
        BitBlt(other_mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    }
    round++;
    if (keep) {
        BITMAPINFO bi = {};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        std::vector<uint32_t> a((size_t)w * h), b((size_t)w * h);
        SelectObject(other_mem, other_old);
        SelectObject(mem, old);
        GetDIBits(ref, bitmap, 0, h, a.data(), &bi, DIB_RGB_COLORS);
        GetDIBits(ref, other, 0, h, b.data(), &bi, DIB_RGB_COLORS);
        SelectObject(mem, bitmap);
        if (a != b)
            printf("note: the stretching and the plain copy DIFFER\n");
    }
    SelectObject(other_mem, other_old);
    DeleteDC(other_mem);
    DeleteObject(other);
    ReleaseDC(NULL, screen);
    {
        STEP("cap_message_beep");
        MessageBeep(0);
    }
    SelectObject(mem, old);
    DeleteDC(mem);
    {
        STEP("clip_open_empty");
        OpenClipboard(main_window);
        EmptyClipboard();
    }
    {
        STEP("clip_set");
        SetClipboardData(CF_BITMAP, bitmap);
    }
    {
        STEP("clip_close");
        CloseClipboard();
    }
    HBITMAP back;
    {
        STEP("clip_get");
        OpenClipboard(main_window);
        back = (HBITMAP)GetClipboardData(CF_BITMAP);
    }
    if (back != bitmap && keep)
        printf("note: the clipboard gave back another handle than it was given\n");

    BITMAP bm;
    GetObjectA(back, sizeof bm, &bm);
    BmpLayout layout;
    bmp_layout_for(bm.bmWidth, bm.bmHeight, (uint16_t)(bm.bmPlanes * bm.bmBitsPixel), &layout);
    HGLOBAL block;
    unsigned char* pixels;
    {
        STEP("dib_alloc_zeroed");
        block = GlobalAlloc(GHND, layout.image_size);
        pixels = (unsigned char*)GlobalLock(block);
    }
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD table[256 + 3];
    } info = {};
    info.h.biSize = sizeof info.h;
    info.h.biWidth = layout.width;
    info.h.biHeight = layout.height;
    info.h.biPlanes = 1;
    info.h.biBitCount = layout.bits_per_pixel;
    info.h.biSizeImage = layout.image_size;
    {
        STEP("dib_getdibits");
        GetDIBits(ref, back, 0, layout.height, pixels, (BITMAPINFO*)&info, DIB_RGB_COLORS);
    }
    {
        STEP("dib_getdibits_again");
        GetDIBits(ref, back, 0, layout.height, pixels, (BITMAPINFO*)&info, DIB_RGB_COLORS);
    }
    CloseClipboard();
    // Each way of writing into a file that did not exist, as the benchmark's copies do.
    const struct {
        DWORD piece;
        const char* name;
    } ways[] = {{2000, "file_write_2000"}, {1 << 16, "file_write_64kib"},
                {1 << 20, "file_write_1mib"}, {layout.image_size, "file_write_one"}};
    for (const auto& way : ways) {
        DeleteFileA(path);
        write_in_pieces(keep, path, pixels, layout.image_size, way.piece, way.name);
    }
    GlobalUnlock(block);
    GlobalFree(block);
    ReleaseDC(main_window, ref);
}

// One page as the print job makes it, step by step, on the default printer.
void print_steps(bool keep, const char* device)
{
    HDC dc;
    {
        STEP("prn_create_dc");
        dc = CreateDCA("WINSPOOL", device, NULL, NULL);
    }
    {
        STEP("prn_start");
        DOCINFOA doc = {};
        doc.cbSize = sizeof doc;
        doc.lpszDocName = "bench";
        StartDocA(dc, &doc);
        StartPage(dc);
    }
    int16_t page_w = (int16_t)GetDeviceCaps(dc, HORZRES);
    int16_t page_h = (int16_t)GetDeviceCaps(dc, VERTRES);
    HGLOBAL image;
    {
        STEP("prn_image_dib");
        OpenClipboard(main_window);
        image = bitmap_to_dib((HBITMAP)GetClipboardData(CF_BITMAP), NULL);
    }
    auto* info = (BITMAPINFO*)GlobalLock(image);
    HDC window_dc = GetDC(main_window), window_mem, scratch;
    HBITMAP scratch_bitmap;
    HGLOBAL scratch_dib;
    {
        STEP("prn_scratch_dcs");
        window_mem = CreateCompatibleDC(window_dc);
        scratch = CreateCompatibleDC(dc);
    }
    {
        STEP("prn_scratch_bitmap");
        scratch_bitmap = CreateCompatibleBitmap(scratch, capture_width, capture_height);
        SelectObject(scratch, scratch_bitmap);
    }
    {
        STEP("prn_scratch_dib");
        scratch_dib = bitmap_to_dib(scratch_bitmap, NULL);
    }
    {
        STEP("prn_scratch_modes");
        SetStretchBltMode(scratch, HALFTONE);
        SetBrushOrgEx(scratch, 0, 0, NULL);
    }
    if (keep && scratch_dib) {
        auto* sh = (BITMAPINFOHEADER*)GlobalLock(scratch_dib);
        printf("note: the scratch bitmap's DIB has %d bits per pixel, %lu bytes\n", sh->biBitCount,
               (unsigned long)sh->biSizeImage);
        GlobalUnlock(scratch_dib);
    }
    {
        STEP("prn_scratch_draw");
        StretchDIBits(scratch, 0, 0, capture_width, capture_height, 0, 0, capture_width,
                      capture_height, dib_bits(info), info, DIB_PAL_COLORS, SRCCOPY);
    }
    PageLayout l = layout_page(page_w, page_h, capture_width, capture_height, 0, 0, true);
    {
        STEP("prn_stretchdibits");
        StretchDIBits(dc, l.left, l.top, l.width, l.height, 0, 0, capture_width, capture_height,
                      dib_bits(info), info, DIB_RGB_COLORS, SRCCOPY);
    }
    GlobalUnlock(image);
    GlobalFree(scratch_dib);
    DeleteDC(scratch);
    DeleteObject(scratch_bitmap);
    DeleteDC(window_mem);
    ReleaseDC(main_window, window_dc);
    GlobalFree(image);
    CloseClipboard();
    {
        STEP("prn_end_page");
        EndPage(dc);
    }
    {
        STEP("prn_end_doc");
        EndDoc(dc);
    }
    DeleteDC(dc);
}

// Waits until `count` new PDFs are whole, then removes them: they are nobody's pages.
void wait_and_remove_pdfs(const std::set<std::string>& before, size_t count)
{
    std::set<std::string> seen = before;
    for (size_t i = 0; i < count; i++) {
        std::string pdf = wait_for_new_pdf(seen, 120000);
        if (pdf.empty())
            break;
        seen.insert(pdf);
    }
    for (const std::string& name : seen)
        if (!before.count(name))
            DeleteFileA(name.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: bench_steps_win.exe REPS FILE.BMP [--print N]\n");
        return 2;
    }
    int reps = std::max(1, atoi(argv[1]));
    const char* path = argv[2];
    int prints = argc > 4 && strcmp(argv[3], "--print") == 0 ? atoi(argv[4]) : 0;
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    printf("screen %d x %d, %d repetitions, %d prints\n", w, h, reps, prints);
    main_window = CreateWindowA("STATIC", "bench", WS_POPUP | WS_VISIBLE, 0, 0, 180, 42, NULL,
                                NULL, NULL, NULL);
    std::string dir = fresh_work_dir("bench-steps");
    snprintf(settings_path, sizeof settings_path, "%s\\KAVREL.INI", dir.c_str());
    reset_settings(settings);
    repair_loaded_settings(settings);
    settings.file_name_mode = 0;
    settings.high_speed_scan = 1;
    settings.capture_sound = 0;

    // The first round of each pays for loading code and warming caches; it is not counted.
    for (int r = -1; r < reps; r++)
        copy_steps(r >= 0, path);
    for (int r = -1; r < reps; r++) {
        bool keep = r >= 0;
        capture_active_window = 0;
        capture_width = (int16_t)w;
        capture_height = (int16_t)h;
        {
            STEP("whole_capture_to_clipboard");
            capture_to_clipboard(main_window, noted_capture());
        }
        HDC dc = GetDC(main_window);
        OpenClipboard(main_window);
        HBITMAP bitmap = (HBITMAP)GetClipboardData(CF_BITMAP);
        {
            STEP("whole_write_bitmap_file");
            write_bitmap_file(path, bitmap, dc);
        }
        CloseClipboard();
        ReleaseDC(main_window, dc);
    }

    if (prints > 0) {
        save_settings();
        refresh_default_printer(1);
        settings.printer_choice = 1;
        char device[CCHDEVICENAME + 1] = {0};
        memcpy(device, settings.printer_devmode, CCHDEVICENAME);
        std::set<std::string> before = printed_pdfs();
        int jobs = 0;
        for (int r = -1; r < prints; r++, jobs++)
            print_steps(r >= 0, device);
        for (int r = -1; r < prints; r++, jobs++) {
            bool keep = r >= 0;
            STEP("whole_print_image");
            print_image();
        }
        wait_and_remove_pdfs(before, (size_t)jobs);
    }

    for (const std::string& name : order) {
        printf("%-28s %9.1f ms\n", name.c_str(), median(steps[name]));
        print_fig(("step_" + name).c_str(), steps[name], 1);
    }
    return 0;
}
