// The text of SYSINFO.TXT; see sysinfo.h.
#include "files/sysinfo.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "app/cp932.h"

const char REPORT_SECTION_GAP[] = "\r\n\r\n";

static const char REPORT_FILE_NAME[] = "SYSINFO.TXT";

static std::string format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    va_list again;
    va_copy(again, args);
    int n = vsnprintf(nullptr, 0, fmt, args);
    va_end(args);
    std::string text(n > 0 ? (size_t)n : 0, '\0');
    if (n > 0)
        vsnprintf(&text[0], (size_t)n + 1, fmt, again);
    va_end(again);
    return text;
}

// Index of the last backslash that is a character of its own, or -1.
static long last_backslash(const char* text, size_t length)
{
    long found = -1;
    for (size_t i = 0; i < length; i++) {
        unsigned char c = (unsigned char)text[i];
        if (cp932_lead_byte(c) && i + 1 < length)
            i++;
        else if (c == '\\')
            found = (long)i;
    }
    return found;
}

std::string join_path(const std::string& folder, const char* name)
{
    // A drive root such as C:\ already ends in its backslash.
    bool has_separator = !folder.empty() &&
                         last_backslash(folder.c_str(), folder.size()) == (long)folder.size() - 1;
    return folder + (has_separator ? "" : "\\") + name;
}

bool form_report_path(char* out, size_t size, const char* output_file_name,
                      const char* program_dir)
{
    char name[OUTPUT_NAME_BUF] = {0};
    strncpy(name, output_file_name, OUTPUT_NAME_BUF - 1);
    size_t name_length = strlen(name);
    long cut = last_backslash(name, name_length);
    if (size == 0)
        return false;
    // Called from the output step inside a window procedure: no memory means no report.
    try {
        std::string folder;
        if (cut >= 1)
            folder.assign(name, (size_t)cut);
        else
            folder = program_dir;
        std::string path = join_path(folder, REPORT_FILE_NAME);
        if (path.size() < size) {
            memcpy(out, path.c_str(), path.size() + 1);
            return true;
        }
    } catch (const std::bad_alloc&) {
    }
    memset(out, 0, size);
    return false;
}

static std::string time_line(const char* label, const ReportTime& t)
{
    return format("%s = %04d/%02d/%02d %02d:%02d:%02d\r\n", label, t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
}

std::string report_time_text(const ReportTime& system, const ReportTime& local)
{
    return time_line("SYSTEM", system) + time_line("LOCAL ", local);
}

std::string report_computer_text(const char* computer_name, const char* user_name)
{
    return format("ＰＣ情報：COMP NAME = %s\r\n", computer_name) +
           format("         USER NAME = %s\r\n", user_name);
}

static const char* platform_text(uint32_t platform_id)
{
    switch (platform_id) {
    case 0:
        return "Win32s on Windows 3.1.";
    case 1:
        return "Win32 on Windows 95.";
    case 2:
        return "Win32 on Windows NT.";
    default:
        return "Win32 on Windows ???.";
    }
}

std::string report_os_text(uint32_t platform_id, uint32_t major, uint32_t minor, uint32_t build)
{
    return format("ＯＳ情報：%s\r\n", platform_text(platform_id)) +
           format("         MajorVersion = %ld\r\n", (long)(int32_t)major) +
           format("         MinorVersion = %ld\r\n", (long)(int32_t)minor) +
           format("         BuildNumber = %ld\r\n", (long)(int32_t)build);
}

std::string report_folders_text(const char* system_dir, const char* windows_dir)
{
    return std::string("         SYSTEM-DIRECTORY\r\n") +
           format("                %s\r\n", system_dir) +
           "         WINDOWS-DIRECTORY\r\n" + format("                %s\r\n", windows_dir);
}

std::string power_of_two_text(int bits)
{
    std::string digits = "1";  // least significant digit first
    for (int i = 0; i < bits; i++) {
        int carry = 0;
        for (char& d : digits) {
            int v = (d - '0') * 2 + carry;
            d = (char)('0' + v % 10);
            carry = v / 10;
        }
        if (carry)
            digits.push_back((char)('0' + carry));
    }
    return std::string(digits.rbegin(), digits.rend());
}

std::string report_display_text(const ReportDisplay& d)
{
    // 32 bits per pixel and more do not fit a 32-bit count; the number is printed in full.
    return std::string("画面情報：\r\n") +
           format("         ドライバーバージョン %d\r\n", d.driver_version) +
           format("         表示解像度 %d×%ld\r\n", d.horz_res, (long)d.vert_res) +
           format("         表示パレット数 %d\r\n", d.palette_size) + "         表示色数 " +
           power_of_two_text(d.bits_per_pixel * d.planes) + "\r\n";
}

static const char* drive_type_line(unsigned type)
{
    switch (type) {
    case DRIVE_TYPE_UNKNOWN:
        return "             ドライブの種類が判断できません\r\n";
    case DRIVE_TYPE_NO_ROOT:
        return "             ルート ディレクトリが存在しません\r\n";
    case DRIVE_TYPE_REMOVABLE:
        return "             リムーバブルディスク\r\n";
    case DRIVE_TYPE_FIXED:
        return "             固定ディスク\r\n";
    case DRIVE_TYPE_REMOTE:
        return "             リモート(ネットワーク)ディスク\r\n";
    case DRIVE_TYPE_CDROM:
        return "             ＣＤ－ＲＯＭ\r\n";
    case DRIVE_TYPE_RAMDISK:
        return "             ＲＡＭディスク\r\n";
    default:
        return "";
    }
}

bool drive_type_has_size(unsigned type)
{
    return type == DRIVE_TYPE_FIXED || type == DRIVE_TYPE_RAMDISK;
}

std::string report_drive_text(const char* root, unsigned type, const ReportDiskSpace* space)
{
    std::string text = format("ディスク情報：%s\r\n", root) + drive_type_line(type);
    if (drive_type_has_size(type) && space) {
        // Products of 64 bits: disks of 2 GiB and more.
        uint64_t cluster = (uint64_t)space->bytes_per_sector * space->sectors_per_cluster;
        unsigned long long total = cluster * space->total_clusters;
        unsigned long long free_bytes = cluster * space->free_clusters;
        text += format("             全容量=%llubyte,空容量=%llubyte\r\n", total, free_bytes);
    }
    return text;
}

std::string report_window_text(const ReportWindow& w)
{
    return format("Windows %2d：%s (ProcID=%ld)\r\n", w.counter, w.title,
                  (long)(int32_t)w.process_id) +
           format("            表示位置(X,Y) (%ld,%ld)-(%ld,%ld)\r\n", w.left, w.top, w.right,
                  w.bottom) +
           (w.enabled ? "            入力可能 Window\r\n" : "            入力不可能 Window\r\n") +
           (w.visible ? "            表示 Window\r\n" : "            非表示 Window\r\n") +
           (w.iconic ? "            アイコン状態\r\n" : "            ウィンドウ状態\r\n") +
           format("            クラス名 %s\r\n\r\n", w.class_name);
}

std::vector<std::string> split_drive_strings(const char* buffer, size_t length)
{
    std::vector<std::string> roots;
    size_t at = 0;
    while (at < length && buffer[at] != 0) {
        size_t end = at;
        while (end < length && buffer[end] != 0)
            end++;
        roots.emplace_back(buffer + at, end - at);
        at = end + 1;
    }
    return roots;
}

bool window_list_visit(WindowListState& state, bool is_null, uint32_t process_id)
{
    state.window_counter++;
    if (is_null)
        return false;
    if (process_id == state.first_window_process)
        return false;
    if (state.first_window_process == 0)
        state.first_window_process = process_id;
    return true;
}
