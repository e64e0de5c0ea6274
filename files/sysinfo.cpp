// The text of SYSINFO.TXT; see sysinfo.h.
#include "files/sysinfo.h"

#include <cstring>

#include "base/path.h"

const char REPORT_SECTION_GAP[] = "\r\n\r\n";

static const char REPORT_FILE_NAME[] = "SYSINFO.TXT";

bool form_report_path(char* out, size_t size, const char* output_file_name,
                      const char* program_dir)
{
    char name[OUTPUT_NAME_BUF] = {0};
    strncpy(name, output_file_name, OUTPUT_NAME_BUF - 1);
    size_t name_length = strlen(name);
    long cut = last_backslash(name, name_length);
    // Called from the output step inside a window procedure: no memory means no report.
    return cut >= 1 ? join_path_into(out, size, name, (size_t)cut, REPORT_FILE_NAME)
                    : join_path_into(out, size, program_dir, strlen(program_dir),
                                     REPORT_FILE_NAME);
}

static void add_time_line(Text& text, const char* label, const ReportTime& t)
{
    text.add_format("%s = %04d/%02d/%02d %02d:%02d:%02d\r\n", label, t.year, t.month, t.day,
                    t.hour, t.minute, t.second);
}

Text report_time_text(const ReportTime& system, const ReportTime& local)
{
    Text text;
    add_time_line(text, "SYSTEM", system);
    add_time_line(text, "LOCAL ", local);
    return text;
}

Text report_computer_text(const char* computer_name, const char* user_name)
{
    Text text;
    text.add_format("ＰＣ情報：COMP NAME = %s\r\n", computer_name)
        .add_format("         USER NAME = %s\r\n", user_name);
    return text;
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

Text report_os_text(uint32_t platform_id, uint32_t major, uint32_t minor, uint32_t build)
{
    Text text;
    text.add_format("ＯＳ情報：%s\r\n", platform_text(platform_id))
        .add_format("         MajorVersion = %ld\r\n", (long)(int32_t)major)
        .add_format("         MinorVersion = %ld\r\n", (long)(int32_t)minor)
        .add_format("         BuildNumber = %ld\r\n", (long)(int32_t)build);
    return text;
}

Text report_folders_text(const char* system_dir, const char* windows_dir)
{
    Text text("         SYSTEM-DIRECTORY\r\n");
    text.add_format("                %s\r\n", system_dir)
        .add("         WINDOWS-DIRECTORY\r\n")
        .add_format("                %s\r\n", windows_dir);
    return text;
}

Text power_of_two_text(int bits)
{
    Text digits("1");  // least significant digit first
    for (int i = 0; i < bits && !digits.failed(); i++) {
        int carry = 0;
        char* d = digits.data();
        for (size_t at = 0; at < digits.size(); at++) {
            int v = (d[at] - '0') * 2 + carry;
            d[at] = (char)('0' + v % 10);
            carry = v / 10;
        }
        if (carry) {
            char c = (char)('0' + carry);
            digits.add(&c, 1);
        }
    }
    char* d = digits.data();
    for (size_t i = 0, j = digits.size(); i + 1 < j; i++, j--) {
        char c = d[i];
        d[i] = d[j - 1];
        d[j - 1] = c;
    }
    return digits;
}

Text report_display_text(const ReportDisplay& d)
{
    // 32 bits per pixel and more do not fit a 32-bit count; the number is printed in full.
    Text text("画面情報：\r\n");
    text.add_format("         ドライバーバージョン %d\r\n", d.driver_version)
        .add_format("         表示解像度 %d×%ld\r\n", d.horz_res, (long)d.vert_res)
        .add_format("         表示パレット数 %d\r\n", d.palette_size)
        .add("         表示色数 ")
        .add(power_of_two_text(d.bits_per_pixel * d.planes))
        .add("\r\n");
    return text;
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

Text report_drive_text(const char* root, unsigned type, const ReportDiskSpace* space)
{
    Text text;
    text.add_format("ディスク情報：%s\r\n", root).add(drive_type_line(type));
    if (drive_type_has_size(type) && space) {
        // Products of 64 bits: disks of 2 GiB and more.
        uint64_t cluster = (uint64_t)space->bytes_per_sector * space->sectors_per_cluster;
        unsigned long long total = cluster * space->total_clusters;
        unsigned long long free_bytes = cluster * space->free_clusters;
        text.add_format("             全容量=%llubyte,空容量=%llubyte\r\n", total, free_bytes);
    }
    return text;
}

Text report_window_text(const ReportWindow& w)
{
    Text text;
    text.add_format("Windows %2d：%s (ProcID=%ld)\r\n", w.counter, w.title,
                    (long)(int32_t)w.process_id)
        .add_format("            表示位置(X,Y) (%ld,%ld)-(%ld,%ld)\r\n", w.left, w.top, w.right,
                    w.bottom)
        .add(w.enabled ? "            入力可能 Window\r\n" : "            入力不可能 Window\r\n")
        .add(w.visible ? "            表示 Window\r\n" : "            非表示 Window\r\n")
        .add(w.iconic ? "            アイコン状態\r\n" : "            ウィンドウ状態\r\n")
        .add_format("            クラス名 %s\r\n\r\n", w.class_name);
    return text;
}

bool next_drive_root(const char* buffer, size_t length, size_t* at, char* root,
                     size_t root_size)
{
    size_t start = *at;
    if (start >= length || buffer[start] == 0 || root_size == 0)
        return false;
    size_t end = start;
    while (end < length && buffer[end] != 0)
        end++;
    size_t count = end - start < root_size - 1 ? end - start : root_size - 1;
    memcpy(root, buffer + start, count);
    root[count] = 0;
    *at = end + 1;
    return true;
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
