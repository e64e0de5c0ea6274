// SYSINFO.TXT gathered from the system; the texts come from sysinfo.cpp.
#include "files/sysinfo_win.h"

#include <lmcons.h>
#include <string.h>

#include "base/process_win.h"
#include "settings/settings.h"

char report_path[REPORT_PATH_BUF];

static HANDLE report_file = INVALID_HANDLE_VALUE;
static WindowListState window_list;

static constexpr DWORD DRIVE_STRINGS_BUF = 300;
static constexpr int WINDOW_TEXT_BUF = 100;  // at most 99 characters of a title or class
static_assert(sizeof(OSVERSIONINFOA) == 148, "the version record the report reads");

static int write_bytes(const char* bytes, size_t size)
{
    DWORD written = 0;
    if (!WriteFile(report_file, bytes, (DWORD)size, &written, NULL) || written != size)
        return REPORT_NOT_WRITTEN;
    return 0;
}

int report_append(const Text& text)
{
    if (text.failed())
        return REPORT_OUT_OF_MEMORY;
    return write_bytes(text.c_str(), text.size());
}

static void append_gap()
{
    write_bytes(REPORT_SECTION_GAP, strlen(REPORT_SECTION_GAP));
}

// A file that cannot be written to loses that piece and the report goes on; without memory
// it stops where it is.
static bool add_section(const Text& text)
{
    if (report_append(text) == REPORT_OUT_OF_MEMORY)
        return false;
    append_gap();
    return true;
}

static ReportTime report_time(const SYSTEMTIME& t)
{
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

static bool append_time()
{
    SYSTEMTIME system_time, local_time;
    GetSystemTime(&system_time);
    GetLocalTime(&local_time);
    return add_section(report_time_text(report_time(system_time), report_time(local_time)));
}

// Names are written whole however long; one that cannot be read is left empty.
static bool append_computer()
{
    char computer[MAX_COMPUTERNAME_LENGTH + 1] = {0};
    DWORD size = sizeof computer;
    if (!GetComputerNameA(computer, &size))
        computer[0] = 0;
    char user[UNLEN + 1] = {0};
    size = sizeof user;
    if (!GetUserNameA(user, &size))
        user[0] = 0;
    return add_section(report_computer_text(computer, user));
}

static bool append_os()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    return add_section(report_os_text(info.dwPlatformId, info.dwMajorVersion,
                                      info.dwMinorVersion, info.dwBuildNumber));
}

static bool append_folders()
{
    char system_dir[MAX_PATH] = {0};
    char windows_dir[MAX_PATH] = {0};
    if (GetSystemDirectoryA(system_dir, sizeof system_dir) >= sizeof system_dir)
        system_dir[0] = 0;
    if (GetWindowsDirectoryA(windows_dir, sizeof windows_dir) >= sizeof windows_dir)
        windows_dir[0] = 0;
    return add_section(report_folders_text(system_dir, windows_dir));
}

static bool append_display()
{
    HDC dc = GetDC(main_window);
    ReportDisplay display = {GetDeviceCaps(dc, DRIVERVERSION), GetDeviceCaps(dc, HORZRES),
                             GetDeviceCaps(dc, VERTRES),       GetDeviceCaps(dc, SIZEPALETTE),
                             GetDeviceCaps(dc, BITSPIXEL),     GetDeviceCaps(dc, PLANES)};
    ReleaseDC(main_window, dc);
    return add_section(report_display_text(display));
}

static bool append_drives()
{
    char roots[DRIVE_STRINGS_BUF] = {0};
    GetLogicalDriveStringsA(sizeof roots, roots);
    char root[DRIVE_STRINGS_BUF + 1];
    size_t at = 0;
    while (next_drive_root(roots, sizeof roots, &at, root, sizeof root)) {
        UINT type = GetDriveTypeA(root);
        DWORD sectors_per_cluster = 0, bytes_per_sector = 0, free_clusters = 0,
              total_clusters = 0;
        bool known = drive_type_has_size(type) &&
                     GetDiskFreeSpaceA(root, &sectors_per_cluster, &bytes_per_sector,
                                       &free_clusters, &total_clusters);
        ReportDiskSpace space = {sectors_per_cluster, bytes_per_sector, free_clusters,
                                 total_clusters};
        if (report_append(report_drive_text(root, type, known ? &space : nullptr)) ==
            REPORT_OUT_OF_MEMORY)
            return false;
    }
    append_gap();
    return true;
}

BOOL CALLBACK report_window(HWND window, LPARAM)
{
    DWORD process_id = 0;
    if (window)
        GetWindowThreadProcessId(window, &process_id);
    if (!window_list_visit(window_list, window == NULL, process_id))
        return FALSE;
    char title[WINDOW_TEXT_BUF] = {0};
    GetWindowTextA(window, title, sizeof title);
    char class_name[WINDOW_TEXT_BUF] = {0};
    GetClassNameA(window, class_name, sizeof class_name);
    RECT rect = {};
    GetWindowRect(window, &rect);
    ReportWindow entry = {window_list.window_counter,
                          title,
                          process_id,
                          rect.left,
                          rect.top,
                          rect.right,
                          rect.bottom,
                          IsWindowEnabled(window) != FALSE,
                          IsWindowVisible(window) != FALSE,
                          IsIconic(window) != FALSE,
                          class_name};
    // Without memory the list ends here; the report so far stands.
    return report_append(report_window_text(entry)) != REPORT_OUT_OF_MEMORY;
}

static void append_windows()
{
    window_list = WindowListState{};
    EnumWindows(report_window, 0);
}

int write_system_report()
{
    if (!form_report_path(report_path, sizeof report_path, settings.output_file_name,
                          program_dir))
        return 1;
    report_file = CreateFileA(report_path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (report_file == INVALID_HANDLE_VALUE)
        return 1;
    // The texts are built in memory; without it the report stops where it is, and the output
    // goes on (this runs inside the main window's procedure).
    bool complete = append_time() && append_computer() && append_os() && append_folders() &&
                    append_display() && append_drives();
    if (complete)
        append_windows();
    int result = complete ? 0 : 1;
    CloseHandle(report_file);
    report_file = INVALID_HANDLE_VALUE;
    return result;
}
