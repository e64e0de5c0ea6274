// See module_harness_win.h.
#include "tests/module/module_harness_win.h"

#include <stdio.h>
#include <stdlib.h>

#include <mutex>

#include "app/shell_win.h"
#include "app/status.h"
#include "capture/capture_win.h"
#include "tests/system/harness_win.h"

static COLORREF stand_in_colour;
static std::mutex box_mutex;
static std::vector<std::string> box_texts;
static std::vector<int> percents;

static LRESULT CALLBACK stand_in_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_ERASEBKGND) {
        RECT rc;
        GetClientRect(hwnd, &rc);
        HBRUSH brush = CreateSolidBrush(stand_in_colour);
        FillRect((HDC)wp, &rc, brush);
        DeleteObject(brush);
        return 1;
    }
    if (msg == WM_PAINT)
        percents.push_back(adjust_percent);
    return DefWindowProcA(hwnd, msg, wp, lp);
}

HWND make_stand_in_main_window(int x, int y, int width, int height, COLORREF colour)
{
    stand_in_colour = colour;
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = stand_in_proc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
        wc.lpszClassName = "KavrelModuleTestMain";
        RegisterClassA(&wc);
        registered = true;
    }
    RECT rc = {x, y, x + width, y + height};
    main_window = CreateWindowExA(WS_EX_TOPMOST, "KavrelModuleTestMain", "module test",
                                  WS_POPUP | WS_VISIBLE, rc.left, rc.top, width, height, NULL,
                                  NULL, GetModuleHandleA(NULL), NULL);
    instance_handle = GetModuleHandleA(NULL);
    UpdateWindow(main_window);
    pump_messages(300);
    return main_window;
}

void destroy_stand_in_main_window()
{
    if (main_window)
        DestroyWindow(main_window);
    main_window = NULL;
    pump_messages(100);
}

std::vector<int> painted_percents()
{
    return percents;
}

void clear_painted_percents()
{
    percents.clear();
}

static DWORD WINAPI watch_boxes(void* arg)
{
    auto* w = static_cast<BoxWatcher*>(arg);
    HWND last = NULL;
    while (!w->stop) {
        std::vector<HWND> boxes = windows_of(GetCurrentProcessId(), "#32770", true);
        HWND found = boxes.empty() ? NULL : boxes.front();
        if (found && found != last) {
            char text[512] = "";
            GetDlgItemTextA(found, 0xFFFF, text, sizeof text);
            {
                std::lock_guard<std::mutex> lock(box_mutex);
                box_texts.push_back(text);
            }
            PostMessageA(found, WM_COMMAND, IDOK, 0);
            last = found;
        }
        Sleep(20);
    }
    return 0;
}

BoxWatcher::BoxWatcher()
{
    clear();
    thread = CreateThread(NULL, 0, watch_boxes, this, 0, NULL);
}

BoxWatcher::~BoxWatcher()
{
    InterlockedExchange(&stop, 1);
    WaitForSingleObject(thread, 2000);
    CloseHandle(thread);
}

std::vector<std::string> BoxWatcher::texts() const
{
    std::lock_guard<std::mutex> lock(box_mutex);
    return box_texts;
}

void BoxWatcher::clear()
{
    std::lock_guard<std::mutex> lock(box_mutex);
    box_texts.clear();
}


bool wait_pumping(HANDLE handle, int ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= (DWORD)ms)
            return false;
        DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, ms - elapsed, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0)
            return true;
        if (r != WAIT_OBJECT_0 + 1)
            return false;
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

void keep_pdf_for_check(const std::string& pdf, const std::string& name,
                        const std::string& expectations)
{
    std::string dir = env_dir_as_windows("KAVREL_INTEROP_DIR");
    if (dir.empty())
        return;
    MoveFileExA(pdf.c_str(), (dir + "\\" + name + ".pdf").c_str(),
                MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
    FILE* f = fopen((dir + "\\" + name + ".pdfexpect").c_str(), "wb");
    if (f) {
        fputs(expectations.c_str(), f);
        fclose(f);
    }
}

void put_painted_image_on_clipboard(int w, int h, const RECT* parts, const COLORREF* colours,
                                    int count)
{
    HDC screen = GetDC(NULL);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    for (int i = 0; i < count; i++) {
        HBRUSH b = CreateSolidBrush(colours[i]);
        FillRect(dc, &parts[i], b);
        DeleteObject(b);
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(NULL, screen);
    OpenClipboard(main_window);
    EmptyClipboard();
    SetClipboardData(CF_BITMAP, bitmap);
    CloseClipboard();
    capture_width = w;
    capture_height = h;
    capture_active_window = 0;
}
