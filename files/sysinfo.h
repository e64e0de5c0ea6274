// The text of SYSINFO.TXT, section by section, from values the Win32 side has gathered. Every
// function returns the exact bytes to write: code page 932, lines ended by CR LF.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/text.h"

// Room for the longest folder the output file name can hold plus "\SYSINFO.TXT".
constexpr size_t REPORT_PATH_BUF = 280;
constexpr size_t OUTPUT_NAME_BUF = 256;

// Where the report goes: the folder of the output file name (up to its last backslash after
// the first character), else `program_dir`. False, with `out` emptied, when the path does not
// fit into `size` bytes.
bool form_report_path(char* out, size_t size, const char* output_file_name,
                      const char* program_dir);

struct ReportTime {
    int year, month, day, hour, minute, second;
};

struct ReportDisplay {
    int driver_version;
    int horz_res;
    int vert_res;
    int palette_size;
    int bits_per_pixel;
    int planes;
};

// Drive types as GetDriveType reports them.
enum ReportDriveType {
    DRIVE_TYPE_UNKNOWN = 0,
    DRIVE_TYPE_NO_ROOT = 1,
    DRIVE_TYPE_REMOVABLE = 2,
    DRIVE_TYPE_FIXED = 3,
    DRIVE_TYPE_REMOTE = 4,
    DRIVE_TYPE_CDROM = 5,
    DRIVE_TYPE_RAMDISK = 6,
};

struct ReportDiskSpace {
    uint32_t sectors_per_cluster;
    uint32_t bytes_per_sector;
    uint32_t free_clusters;
    uint32_t total_clusters;
};

struct ReportWindow {
    int counter;
    const char* title;
    uint32_t process_id;
    long left, top, right, bottom;
    bool enabled;
    bool visible;
    bool iconic;
    const char* class_name;
};

Text report_time_text(const ReportTime& system, const ReportTime& local);
Text report_computer_text(const char* computer_name, const char* user_name);
Text report_os_text(uint32_t platform_id, uint32_t major, uint32_t minor, uint32_t build);
Text report_folders_text(const char* system_dir, const char* windows_dir);
Text report_display_text(const ReportDisplay& display);
// One drive's section; the size line only for fixed and RAM disks whose space is known
// (`space` null when the query failed).
Text report_drive_text(const char* root, unsigned type, const ReportDiskSpace* space);
Text report_window_text(const ReportWindow& window);
extern const char REPORT_SECTION_GAP[];  // "\r\n\r\n" between sections

// 2 to the power `bits`, in decimal, however large (0 or less gives "1").
Text power_of_two_text(int bits);

// Whether the drive type gets a size line.
bool drive_type_has_size(unsigned type);

// The roots of a GetLogicalDriveStrings buffer, one a call from `*at` on (0 at first):
// zero-separated, ended by an empty string or by the end of the `length` bytes. Copies the next
// one, zero-terminated, into `root` (cut to `root_size` - 1 bytes, so `length` + 1 cuts none)
// and moves `*at` past it; false when none is left.
bool next_drive_root(const char* buffer, size_t length, size_t* at, char* root,
                     size_t root_size);

// The window list: it runs from the first window up to, not including, the next window that
// belongs to the first window's process. Every window visited counts.
struct WindowListState {
    int32_t window_counter = 0;
    uint32_t first_window_process = 0;
};
// Visits one window (null handle: `is_null`); true when it is to be written and the
// enumeration goes on, false when the enumeration stops here.
bool window_list_visit(WindowListState& state, bool is_null, uint32_t process_id);
