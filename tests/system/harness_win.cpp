// Helpers of the system tests; see harness_win.h.
#include "tests/system/harness_win.h"

#include <stdio.h>
#include <stdlib.h>

#include "app/ids.h"

static std::string exe_dir()
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, sizeof path);
    char* slash = strrchr(path, '\\');
    if (slash)
        *slash = 0;
    return path;
}

Kavrel::Kavrel(const std::string& work_dir)
{
    std::string exe = exe_dir() + "\\KAVREL.EXE";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string cmd = "\"" + exe + "\"";
    if (!CreateProcessA(exe.c_str(), &cmd[0], NULL, NULL, FALSE, 0, NULL, work_dir.c_str(), &si,
                        &pi))
        pi = PROCESS_INFORMATION{};
}

Kavrel::~Kavrel()
{
    if (!pi.hProcess)
        return;
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(pi.hProcess, 99);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}

struct FindRequest {
    DWORD pid;
    const char* class_name;
    bool visible_only;
    HWND found;
};

static BOOL CALLBACK find_proc(HWND hwnd, LPARAM lp)
{
    auto* req = reinterpret_cast<FindRequest*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[64] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if ((req->pid == 0 || pid == req->pid) && strcmp(cls, req->class_name) == 0 &&
        (!req->visible_only || IsWindowVisible(hwnd))) {
        req->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

static HWND wait_window(DWORD pid, const char* class_name, bool visible_only, int timeout_ms)
{
    DWORD start = GetTickCount();
    do {
        FindRequest req{pid, class_name, visible_only, NULL};
        EnumWindows(find_proc, reinterpret_cast<LPARAM>(&req));
        if (req.found)
            return req.found;
        Sleep(50);
    } while (GetTickCount() - start < (DWORD)timeout_ms);
    return NULL;
}

HWND Kavrel::main_window(int timeout_ms) const
{
    if (!pi.hProcess)
        return NULL;
    return wait_window(pi.dwProcessId, APP_TITLE, true, timeout_ms);
}

HWND Kavrel::message_box(int timeout_ms) const
{
    if (!pi.hProcess)
        return NULL;
    return wait_window(pi.dwProcessId, "#32770", true, timeout_ms);
}

bool Kavrel::wait_exit(int timeout_ms, DWORD* exit_code) const
{
    if (!pi.hProcess || WaitForSingleObject(pi.hProcess, timeout_ms) != WAIT_OBJECT_0)
        return false;
    if (exit_code)
        GetExitCodeProcess(pi.hProcess, exit_code);
    return true;
}

bool Kavrel::close(DWORD* exit_code) const
{
    HWND hwnd = main_window(1000);
    if (!hwnd)
        return false;
    PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    return wait_exit(START_TIMEOUT_MS, exit_code);
}

static void remove_tree(const std::string& dir)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = dir + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

std::string fresh_work_dir(const std::string& name)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string root = std::string(temp) + "kavrel-tests";
    CreateDirectoryA(root.c_str(), NULL);
    std::string dir = root + "\\" + name;
    remove_tree(dir);
    CreateDirectoryA(dir.c_str(), NULL);
    return dir;
}

std::string ini_path(const std::string& work_dir)
{
    return work_dir + "\\KAVREL.INI";
}

Bytes read_file(const std::string& path)
{
    Bytes data;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return data;
    unsigned char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        data.insert(data.end(), buf, buf + n);
    fclose(f);
    return data;
}

void write_file(const std::string& path, const Bytes& data)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return;
    if (!data.empty())
        fwrite(data.data(), 1, data.size(), f);
    fclose(f);
}

bool file_exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int32_t i32_at(const Bytes& data, size_t offset)
{
    if (offset + 4 > data.size())
        return INT32_MIN;
    return (int32_t)(data[offset] | (data[offset + 1] << 8) | (data[offset + 2] << 16) |
                     ((uint32_t)data[offset + 3] << 24));
}

void put_i32(Bytes& data, size_t offset, int32_t value)
{
    for (int i = 0; i < 4; i++)
        data[offset + i] = (unsigned char)((uint32_t)value >> (8 * i));
}

Bytes default_settings_file()
{
    Bytes data(5968, 0);
    put_i32(data, 5448, 2);     // processing_speed
    put_i32(data, 5456, 1);     // window_left
    put_i32(data, 5460, 1);     // window_top
    put_i32(data, 5932, 1);     // printer_choice
    put_i32(data, 5940, 44);    // full screen: Print Screen
    put_i32(data, 5944, 1);     // active window: Alt+
    put_i32(data, 5948, 44);    //   Print Screen
    put_i32(data, 5952, 1);     // cancel: Alt+
    put_i32(data, 5956, 80);    //   P
    return data;
}

Bytes pseudo_random_bytes(size_t n, uint32_t seed)
{
    Bytes data(n);
    uint32_t x = seed ? seed : 1;
    for (auto& b : data) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = (unsigned char)x;
    }
    return data;
}

Bytes output_settings(const std::string& dir, int device, int file_name_mode, int high_speed)
{
    Bytes ini = default_settings_file();
    put_i32(ini, 5584, device);  // output_device
    std::string name = dir + "\\OUT.BMP";
    memcpy(&ini[5588], name.c_str(), name.size() + 1);  // output_file_name
    put_i32(ini, 5844, (int32_t)name.size() - 3);       // output_file_ext_offset: after the dot
    put_i32(ini, 5848, file_name_mode);
    put_i32(ini, 5852, high_speed);      // high_speed_scan
    put_i32(ini, 5932, 2);               // printer_choice: the system default, the CUPS PDF printer
    put_i32(ini, 5580, SW_SHOWNORMAL);   // window_show_cmd
    return ini;
}

Bytes wait_for_bmp(const std::string& path, int ms)
{
    DWORD start = GetTickCount();
    do {
        Bytes data = read_file(path);
        if (data.size() >= 54 && data[0] == 'B' && data[1] == 'M' &&
            (uint32_t)i32_at(data, 2) == data.size())
            return data;
        pump_messages(100);
    } while (GetTickCount() - start < (DWORD)ms);
    return read_file(path);
}

uint32_t bmp_pixel(const Bytes& bmp, int x, int y)
{
    if (bmp.size() < 54)
        return 0xFFFFFFFF;
    uint32_t offset = (uint32_t)i32_at(bmp, 10);
    int width = i32_at(bmp, 18), height = i32_at(bmp, 22);
    int bpp = bmp[28] | (bmp[29] << 8);
    if (x < 0 || y < 0 || x >= width || y >= height)
        return 0xFFFFFFFF;
    size_t stride = ((size_t)width * bpp / 8 + 3) & ~(size_t)3;
    size_t at = offset + stride * (height - 1 - y) + (size_t)x * bpp / 8;
    if (at + 3 > bmp.size())
        return 0xFFFFFFFF;
    return RGB(bmp[at + 2], bmp[at + 1], bmp[at]);
}

std::string window_text(HWND hwnd)
{
    char text[512] = "";
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

std::string box_text(HWND box)
{
    char text[512] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    return text;
}

void press_ok(HWND box)
{
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

void press_keys(std::initializer_list<WORD> keys)
{
    std::vector<INPUT> in;
    for (WORD k : keys) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = k;
        in.push_back(i);
    }
    for (auto it = keys.end(); it != keys.begin();) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = *--it;
        i.ki.dwFlags = KEYEVENTF_KEYUP;
        in.push_back(i);
    }
    SendInput((UINT)in.size(), in.data(), sizeof(INPUT));
}

static BOOL CALLBACK count_proc(HWND hwnd, LPARAM lp)
{
    char cls[64] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (strcmp(cls, APP_TITLE) == 0)
        ++*reinterpret_cast<int*>(lp);
    return TRUE;
}

int count_main_windows()
{
    int n = 0;
    EnumWindows(count_proc, reinterpret_cast<LPARAM>(&n));
    return n;
}

void pause_ms(int ms)
{
    Sleep(ms);
}

void pump_messages(int ms)
{
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    } while (GetTickCount() - start < (DWORD)ms);
}

std::string env_dir_as_windows(const char* variable)
{
    const char* dir = getenv(variable);
    if (!dir || !*dir)
        return "";
    std::string path = std::string("Z:") + dir;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

static HANDLE pdf_lock = INVALID_HANDLE_VALUE;
static OVERLAPPED pdf_lock_range;

// Wine turns a byte-range lock into a lock on the Linux file, which the sessions' other Wine
// servers see; it does not wake a waiter for a holder outside its own server, so this polls.
static void take_pdf_lock()
{
    if (pdf_lock != INVALID_HANDLE_VALUE)
        return;
    std::string path = env_dir_as_windows("KAVREL_PDF_LOCK");
    if (path.empty())
        return;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        printf("[   NOTE   ] the PDF folder's lock %s cannot be opened (error %lu)\n",
               path.c_str(), GetLastError());
        return;
    }
    const DWORD limit_ms = 10 * 60 * 1000;
    DWORD start = GetTickCount();
    pdf_lock_range = OVERLAPPED();
    while (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                       &pdf_lock_range)) {
        if (GetTickCount() - start > limit_ms) {
            printf("[   NOTE   ] the PDF folder was not free after %lu s; going on without it\n",
                   limit_ms / 1000);
            CloseHandle(file);
            return;
        }
        Sleep(200);
    }
    if (GetTickCount() - start > 1000)
        printf("[   NOTE   ] waited %lu s for another session to finish with the PDF folder\n",
               (GetTickCount() - start) / 1000);
    pdf_lock = file;
}

void release_pdf_lock()
{
    if (pdf_lock == INVALID_HANDLE_VALUE)
        return;
    UnlockFileEx(pdf_lock, 0, 1, 0, &pdf_lock_range);
    CloseHandle(pdf_lock);
    pdf_lock = INVALID_HANDLE_VALUE;
}

bool holds_pdf_lock()
{
    return pdf_lock != INVALID_HANDLE_VALUE;
}

std::set<std::string> printed_pdfs()
{
    take_pdf_lock();
    std::set<std::string> names;
    std::string dir = env_dir_as_windows("KAVREL_PDF_DIR");
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*.pdf").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do
        names.insert(dir + "\\" + fd.cFileName);
    while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

// cups-pdf writes the file in pieces; it is done when it ends with the PDF trailer.
static bool pdf_finished(const std::string& path)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    char tail[64] = {0};
    fseek(f, 0, SEEK_END);
    long size = ftell(f);
    if (size > (long)sizeof tail - 1)
        fseek(f, size - (long)(sizeof tail - 1), SEEK_SET);
    else
        fseek(f, 0, SEEK_SET);
    size_t n = fread(tail, 1, sizeof tail - 1, f);
    fclose(f);
    tail[n] = 0;
    for (size_t i = 0; i + 5 <= n; i++)
        if (memcmp(tail + i, "%%EOF", 5) == 0)
            return true;
    return false;
}

std::string wait_for_new_pdf(const std::set<std::string>& before, int ms)
{
    DWORD start = GetTickCount();
    do {
        for (const std::string& name : printed_pdfs())
            if (!before.count(name) && pdf_finished(name))
                return name;
        pump_messages(200);
    } while (GetTickCount() - start < (DWORD)ms);
    return "";
}

static COLORREF target_colour;

static LRESULT CALLBACK coloured_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_ERASEBKGND) {
        RECT rc;
        GetClientRect(hwnd, &rc);
        HBRUSH b = CreateSolidBrush(target_colour);
        FillRect((HDC)wp, &rc, b);
        DeleteObject(b);
        return 1;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

HWND coloured_window(int x, int y, int w, int h, COLORREF colour)
{
    target_colour = colour;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = coloured_proc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "KavrelCopyTarget";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(WS_EX_TOPMOST, "KavrelCopyTarget", "target", WS_POPUP | WS_VISIBLE,
                                x, y, w, h, NULL, NULL, GetModuleHandleA(NULL), NULL);
    SetForegroundWindow(hwnd);
    pump_messages(500);
    return hwnd;
}

bool windows_95_family()
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

bool wine_cannot_print_here()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    bool wine = ntdll && GetProcAddress(ntdll, "wine_get_version");
    return wine && windows_95_family();
}
