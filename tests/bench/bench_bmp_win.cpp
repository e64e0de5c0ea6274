// Benchmark: the program's own BMP writer and loader on a copy of the whole screen, and the
// capture step before them. Leaves the last file written for other tools to compare with.
// Prints "FIG name values..." lines for scripts/bench.sh, and the figures in words.
//   bench_bmp_win.exe REPS FILE.BMP
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "app/copy_sequence_win.h"
#include "app/shell_win.h"
#include "capture/capture_win.h"
#include "files/bmp_loader_win.h"
#include "files/bmp_writer_win.h"
#include "settings/settings.h"
#include "tests/bench/bench_win.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: bench_bmp_win.exe REPS FILE.BMP\n");
        return 2;
    }
    int reps = atoi(argv[1]) > 0 ? atoi(argv[1]) : 1;
    const char* path = argv[2];
    // A window for the loader's device context and the progress display, as the main window.
    main_window = CreateWindowA("STATIC", "bench", WS_POPUP | WS_VISIBLE, 0, 0, 180, 42, NULL,
                                NULL, NULL, NULL);
    reset_settings(settings);
    settings.file_name_mode = 0;
    settings.high_speed_scan = 1;
    settings.capture_sound = 0;

    HDC dc = GetDC(main_window);
    int w = GetDeviceCaps(dc, HORZRES), h = GetDeviceCaps(dc, VERTRES);
    printf("screen %d x %d (%.2f Mpixel), %d repetitions\n", w, h, w * (double)h / 1e6, reps);

    // The capture as a copy makes it: screen to a new bitmap on the clipboard.
    std::vector<double> capture_ms, write_ms, load_ms;
    HBITMAP bitmap = NULL;
    for (int r = -1; r < reps; r++) {
        capture_active_window = 0;
        capture_width = (int16_t)w;
        capture_height = (int16_t)h;
        double t0 = now_ms();
        if (capture_to_clipboard(main_window, noted_capture()) != 0) {
            printf("capture failed\n");
            return 1;
        }
        if (r >= 0)
            capture_ms.push_back(now_ms() - t0);
    }
    OpenClipboard(main_window);
    bitmap = (HBITMAP)GetClipboardData(CF_BITMAP);

    for (int r = -1; r < reps; r++) {
        double t0 = now_ms();
        if (write_bitmap_file(path, bitmap, dc) != 0) {
            printf("write failed\n");
            return 1;
        }
        double t1 = now_ms();
        HBITMAP loaded = load_bitmap_file(main_window, path);
        double t2 = now_ms();
        if (!loaded) {
            printf("load failed\n");
            return 1;
        }
        DeleteObject(loaded);
        if (r >= 0) {
            write_ms.push_back(t1 - t0);
            load_ms.push_back(t2 - t1);
        }
    }
    CloseClipboard();
    ReleaseDC(main_window, dc);

    WIN32_FILE_ATTRIBUTE_DATA fa;
    double mb = 0;
    if (GetFileAttributesExA(path, GetFileExInfoStandard, &fa))
        mb = fa.nFileSizeLow / 1e6;
    print_fig("bmp_mb", {mb});
    print_fig("capture", capture_ms);
    print_fig("bmp_write", write_ms);
    print_fig("bmp_load", load_ms);
    return 0;
}
