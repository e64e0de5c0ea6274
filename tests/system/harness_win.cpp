// Helpers of the system tests; see harness_win.h.
#include "tests/system/harness_win.h"

#include <stdio.h>
#include <stdlib.h>

#include <cstddef>

#include "app/dde_commands.h"
#include "base/ids.h"
#include "settings/settings.h"

static std::string exe_dir()
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, sizeof path);
    char* slash = strrchr(path, '\\');
    if (slash)
        *slash = 0;
    return path;
}

// The tests see the screen in real pixels, as the program does (it is DPI aware): at another
// scale than 96 DPI a process that is not is told sizes scaled back to 96 DPI.
static const BOOL dpi_aware = SetProcessDPIAware();

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

struct WindowSearch {
    DWORD pid;
    const char* class_name;
    bool visible_only;
    std::vector<HWND> found;
};

static BOOL CALLBACK collect_windows(HWND hwnd, LPARAM lp)
{
    auto* s = reinterpret_cast<WindowSearch*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[64] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if ((s->pid == 0 || pid == s->pid) && strcmp(cls, s->class_name) == 0 &&
        (!s->visible_only || IsWindowVisible(hwnd)))
        s->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> windows_of(DWORD pid, const char* class_name, bool visible_only)
{
    WindowSearch s{pid, class_name, visible_only, {}};
    EnumWindows(collect_windows, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND wait_window(DWORD pid, const char* class_name, bool visible_only, int timeout_ms)
{
    DWORD start = GetTickCount();
    do {
        std::vector<HWND> found = windows_of(pid, class_name, visible_only);
        if (!found.empty())
            return found.front();
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

// The main window shown or not: in the tray it stays hidden.
static HWND main_of(const Kavrel& k, int timeout_ms)
{
    return k.pi.hProcess ? wait_window(k.pi.dwProcessId, APP_TITLE, false, timeout_ms) : NULL;
}

HWND Kavrel::ready(int timeout_ms) const
{
    DWORD start = GetTickCount();
    HWND main = main_of(*this, timeout_ms);
    if (!main)
        return NULL;
    // The first answer comes from a message loop, so start-up has posted all it posts (unless
    // a box of start-up answered it: a test expecting one answers it first); the second is
    // taken after all of that.
    RemoteClient client;
    for (int answers = 0; answers < 2; answers++) {
        DWORD spent = GetTickCount() - start;
        if (spent >= (DWORD)timeout_ms || !client.wait_idle(main, timeout_ms - (int)spent))
            return NULL;
    }
    return main;
}

bool Kavrel::idle(int timeout_ms) const
{
    HWND main = main_of(*this, timeout_ms);
    RemoteClient client;
    return main && client.wait_idle(main, timeout_ms);
}

bool Kavrel::taken_by_now() const
{
    HWND main = main_of(*this, START_TIMEOUT_MS);
    RemoteClient client;
    return main && client.ask(main, 950) >= 0;
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
    std::string dir = root + "\\" + name + WORK_DIR_SUFFIX;
    remove_tree(dir);
    // Said here: what the test does in it next fails for reasons that would not name this.
    if (!CreateDirectoryA(dir.c_str(), NULL))
        fprintf(stderr, "cannot make the test folder %s (error %lu)\n", dir.c_str(),
                (unsigned long)GetLastError());
    return dir;
}

std::string ini_path(const std::string& work_dir)
{
    return work_dir + "\\KAVREL.INI";
}

std::string numbered_output(const std::string& dir, int n)
{
    return dir + "\\" + OUTPUT_STEM + (n ? std::to_string(n) : "") + ".BMP";
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

// The settings file's size and time of last writing, taken without opening it: while a handle
// of ours is open, the program's own open (without sharing) fails, and it says so in a box.
static bool settings_stamp(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA* stamp)
{
    return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, stamp) != 0;
}

static bool same_stamp(const WIN32_FILE_ATTRIBUTE_DATA& a, const WIN32_FILE_ATTRIBUTE_DATA& b)
{
    return a.nFileSizeLow == b.nFileSizeLow && a.nFileSizeHigh == b.nFileSizeHigh &&
           CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) == 0;
}

Bytes wait_settings(const std::string& dir, const std::function<bool(const Bytes&)>& ready,
                    int timeout_ms)
{
    const std::string path = ini_path(dir);
    DWORD start = GetTickCount();
    Bytes ini;
    WIN32_FILE_ATTRIBUTE_DATA whole_at{};
    bool whole_seen = false;
    for (;;) {
        // Opened again only once it was written since it was last read whole, so that the
        // program is never kept from its file by a look that could tell nothing new.
        WIN32_FILE_ATTRIBUTE_DATA now;
        if (settings_stamp(path, &now) && !(whole_seen && same_stamp(now, whole_at))) {
            ini = read_file(path);
            if (ini.size() >= SETTINGS_FILE_SIZE) {
                whole_at = now;
                whole_seen = true;
                if (ready(ini))
                    return ini;
            }
        }
        if (GetTickCount() - start >= (DWORD)timeout_ms)
            return ini;
        pump_messages(50);
    }
}

Bytes wait_settings_changed(const std::string& dir, const Bytes& before, int timeout_ms)
{
    return wait_settings(dir, [&](const Bytes& ini) { return ini != before; }, timeout_ms);
}

Bytes read_settings(const std::string& dir, int timeout_ms)
{
    return wait_settings(dir, [](const Bytes&) { return true; }, timeout_ms);
}

#define AT(field) offsetof(SettingsRecord, field)

Bytes default_settings_file()
{
    Bytes data(SETTINGS_FILE_SIZE, 0);
    put_i32(data, AT(processing_speed), 2);
    put_i32(data, AT(window_left), 1);
    put_i32(data, AT(window_top), 1);
    put_i32(data, AT(printer_choice), 1);
    put_i32(data, AT(hotkey_full_vk), 44);     // Print Screen
    put_i32(data, AT(hotkey_active_mod), 1);   // Alt+
    put_i32(data, AT(hotkey_active_vk), 44);   //   Print Screen
    put_i32(data, AT(hotkey_cancel_mod), 1);   // Alt+
    put_i32(data, AT(hotkey_cancel_vk), 80);   //   P
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
    put_i32(ini, AT(output_device), device);
    std::string name = numbered_output(dir, 0);
    memcpy(&ini[AT(output_file_name)], name.c_str(), name.size() + 1);
    put_i32(ini, AT(output_file_ext_offset), (int32_t)name.size() - 3);  // after the dot
    put_i32(ini, AT(file_name_mode), file_name_mode);
    put_i32(ini, AT(high_speed_scan), high_speed);
    put_i32(ini, AT(printer_choice), 2);  // the system default, the session's PDF printer
    put_i32(ini, AT(window_show_cmd), SW_SHOWNORMAL);
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

Bytes bmp_24(int width, int height, bool top_down,
             const std::function<COLORREF(int x, int y)>& colour)
{
    size_t stride = ((size_t)width * 3 + 3) & ~(size_t)3;
    size_t image = stride * height;
    Bytes bmp(54 + image, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    put_i32(bmp, 2, (int32_t)bmp.size());
    put_i32(bmp, 10, 54);
    put_i32(bmp, 14, 40);
    put_i32(bmp, 18, width);
    put_i32(bmp, 22, top_down ? -height : height);
    bmp[26] = 1;
    bmp[28] = 24;
    put_i32(bmp, 34, (int32_t)image);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            COLORREF c = colour(x, y);
            size_t at = 54 + stride * (top_down ? y : height - 1 - y) + (size_t)x * 3;
            bmp[at] = GetBValue(c);
            bmp[at + 1] = GetGValue(c);
            bmp[at + 2] = GetRValue(c);
        }
    return bmp;
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

struct UnnamedControls {
    HWND dlg;
    int count = 0;
    bool static_text = false;
};

static BOOL CALLBACK count_unnamed(HWND child, LPARAM p)
{
    auto* c = reinterpret_cast<UnnamedControls*>(p);
    if (GetAncestor(child, GA_PARENT) == c->dlg && GetDlgCtrlID(child) == 0xFFFF) {
        char name[16] = "";
        GetClassNameA(child, name, sizeof name);
        c->count++;
        c->static_text = lstrcmpiA(name, "Static") == 0;
    }
    return TRUE;
}

bool is_message_box(HWND dlg)
{
    UnnamedControls unnamed{dlg};
    EnumChildWindows(dlg, count_unnamed, reinterpret_cast<LPARAM>(&unnamed));
    return unnamed.count == 1 && unnamed.static_text;
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

RemoteClient::RemoteClient()
{
    own = CreateWindowExA(0, "STATIC", NULL, 0, 0, 0, 0, 0, HWND_MESSAGE, NULL,
                          GetModuleHandleA(NULL), NULL);
}

RemoteClient::~RemoteClient()
{
    DestroyWindow(own);
}

int RemoteClient::ask(HWND main, long code, int timeout_ms)
{
    MSG stale;
    while (PeekMessageA(&stale, own, UM_REMOTE_REQUEST, UM_REMOTE_REQUEST, PM_REMOVE)) {
    }
    PostMessageA(main, UM_REMOTE_REQUEST, (WPARAM)own, code);
    DWORD start = GetTickCount();
    do {
        MSG msg;
        if (PeekMessageA(&msg, own, UM_REMOTE_REQUEST, UM_REMOTE_REQUEST, PM_REMOVE)) {
            replied_by = (HWND)msg.wParam;
            return (int)msg.lParam;
        }
        // Not pump_messages: it would hand the reply to the window's procedure.
        Sleep(10);
    } while (GetTickCount() - start < (DWORD)timeout_ms);
    return -1;
}

bool RemoteClient::wait_idle(HWND main, int timeout_ms, int* refused)
{
    DWORD start = GetTickCount();
    do {
        int reply = ask(main, 950);
        if (reply == REPLY_ACCEPTED)
            return true;
        if (reply == REPLY_BUSY && refused)
            ++*refused;
        pump_messages(100);
    } while (GetTickCount() - start < (DWORD)timeout_ms);
    return false;
}

struct HandleEntry {
    ULONG pid;
    UCHAR type;
    UCHAR flags;
    USHORT value;
    PVOID object;
    ACCESS_MASK access;
};

long kernel_handles_of(DWORD pid)
{
    typedef LONG(WINAPI * Query)(ULONG, PVOID, ULONG, PULONG);
    static Query query =
        (Query)(void*)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation");
    static std::vector<char> buffer(1 << 20);
    for (int tries = 0; query && tries < 8; tries++) {
        ULONG needed = 0;
        LONG status = query(16 /* SystemHandleInformation */, buffer.data(),
                            (ULONG)buffer.size(), &needed);
        if (status == 0) {
            ULONG n = *reinterpret_cast<ULONG*>(buffer.data());
            auto* e = reinterpret_cast<HandleEntry*>(buffer.data() + sizeof(ULONG_PTR));
            long count = 0;
            for (ULONG i = 0; i < n; i++)
                count += e[i].pid == pid;
            return count;
        }
        if (status != (LONG)0xC0000004 /* STATUS_INFO_LENGTH_MISMATCH */)
            break;
        buffer.resize(needed > buffer.size() ? needed + 65536 : buffer.size() * 2);
    }
    return -1;
}

int count_main_windows()
{
    return (int)windows_of(0, APP_TITLE, false).size();
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

std::set<std::string> printed_pdfs()
{
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

std::string wait_for_new_pdf(const std::set<std::string>& before, int ms)
{
    DWORD start = GetTickCount();
    do {
        for (const std::string& name : printed_pdfs())
            if (!before.count(name))
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
    // Until it is the active window and its colour is on the screen.
    POINT centre = {x + w / 2, y + h / 2};
    for (DWORD start = GetTickCount(); GetTickCount() - start < (DWORD)START_TIMEOUT_MS;) {
        pump_messages(0);
        if (GetForegroundWindow() == hwnd) {
            HDC screen = GetDC(NULL);
            COLORREF shown = GetPixel(screen, centre.x, centre.y);
            ReleaseDC(NULL, screen);
            if (shown == colour)
                break;
        }
        Sleep(20);
    }
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

// ---- Runs that end in boxes, and requests that must not be answered ----

HWND message_box_made(const Kavrel& k, bool shown_only)
{
    for (HWND hwnd : windows_of(k.pi.dwProcessId, "#32770", shown_only))
        if (is_message_box(hwnd))
            return hwnd;
    return NULL;
}

std::vector<std::string> answer_boxes_until_idle(const Kavrel& k, int timeout_ms)
{
    std::vector<std::string> texts;
    if (!k.pi.hProcess)
        return texts;
    HWND main = main_of(k, timeout_ms);
    RemoteClient client;
    DWORD start = GetTickCount();
    while (main && GetTickCount() - start < (DWORD)timeout_ms) {
        if (HWND box = message_box_made(k, true)) {
            texts.push_back(box_text(box));
            press_ok(box);
            for (DWORD t = GetTickCount(); IsWindow(box) && IsWindowVisible(box) &&
                                           GetTickCount() - t < (DWORD)BOX_TIMEOUT_MS;)
                Sleep(20);
            continue;
        }
        if (WaitForSingleObject(k.pi.hProcess, 0) == WAIT_OBJECT_0)
            break;
        if (client.ask(main, 950, 1000) == REPLY_ACCEPTED)
            break;
        Sleep(20);
    }
    return texts;
}

std::string session_printer()
{
    const char* name = getenv("KAVREL_PRINTER");
    return name ? name : "";
}
