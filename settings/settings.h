// The settings record: seven fixed blocks whose memory image is the file image of KAVREL.INI,
// plus the rules for reading that file by its size and for repairing what was read.
#pragma once

#include <cstddef>
#include <cstdint>

// A Win32 LOGFONTA as stored in the file (60 bytes); the Win32 side copies it to and from LOGFONTA.
struct FontRecord {
    int32_t height;
    int32_t width;
    int32_t escapement;
    int32_t orientation;
    int32_t weight;
    uint8_t italic;
    uint8_t underline;
    uint8_t strike_out;
    uint8_t char_set;
    uint8_t out_precision;
    uint8_t clip_precision;
    uint8_t quality;
    uint8_t pitch_and_family;
    char face_name[32];
};

struct SettingsRecord {
    // Block A: public part of the stored printer's DEVMODEA.
    unsigned char printer_devmode[156];
    // Block B: the driver-private bytes that followed it.
    unsigned char printer_driver_extra[5000];
    // Block C: the four offsets at the head of the stored printer's DEVNAMES.
    unsigned char printer_devnames[8];

    // Block D: basic settings.
    int32_t proportional_print;
    int32_t fit_to_paper;
    int32_t punch_margin_top;
    int32_t punch_margin_left;
    unsigned char reserved_d16[52];
    int32_t invert_image;
    int32_t reserved_d72;
    int32_t brightness;
    int32_t reserved_d80;
    int32_t red_level;
    int32_t green_level;
    int32_t blue_level;

    // Block E: extended settings and the window position.
    int32_t print_title;
    int32_t title_position;
    char title_text[50];
    unsigned char reserved_e58[2];
    FontRecord title_font;
    int32_t print_timestamp;
    int32_t timestamp_position;
    FontRecord timestamp_font;
    int32_t processing_speed;
    int32_t black_emphasis;
    int32_t window_left;
    int32_t window_top;
    int32_t window_right;
    int32_t window_bottom;
    int32_t reserved_e212;
    uint32_t title_color;
    uint32_t timestamp_color;
    int32_t capture_sound;
    int32_t hint_close_time;
    char printer_driver_name[80];

    // Block F: output and automatic output.
    int32_t binarize;
    int32_t binarize_threshold;
    int32_t window_show_cmd;
    int32_t output_device;
    char output_file_name[256];
    int32_t output_file_ext_offset;
    int32_t file_name_mode;
    int32_t high_speed_scan;
    int32_t use_fixed_area;
    int32_t area_left;
    int32_t area_top;
    int32_t area_right;
    int32_t area_bottom;
    int32_t use_banding;
    int32_t auto_output;
    int32_t exit_after_print;
    int32_t auto_full_screen;
    int32_t auto_active_window;
    int32_t auto_at_time;
    int32_t auto_hour;
    int32_t auto_minute;
    int32_t auto_interval;
    int32_t auto_interval_minutes;
    int32_t auto_after_start;
    int32_t auto_after_start_minutes;
    int32_t file_compression;
    int32_t write_sysinfo;
    int32_t printer_choice;

    // Block G: hot keys and modes.
    uint32_t hotkey_full_mod;
    uint32_t hotkey_full_vk;
    uint32_t hotkey_active_mod;
    uint32_t hotkey_active_vk;
    uint32_t hotkey_cancel_mod;
    uint32_t hotkey_cancel_vk;
    int32_t tray_mode;
    int32_t mail_after_output;
};

struct SettingsBlock {
    char name;
    size_t offset;
    size_t size;
};

constexpr SettingsBlock SETTINGS_BLOCKS[7] = {
    {'A', 0, 156},    {'B', 156, 5000}, {'C', 5156, 8},  {'D', 5164, 96},
    {'E', 5260, 312}, {'F', 5572, 364}, {'G', 5936, 32},
};
constexpr size_t SETTINGS_FILE_SIZE = 5968;

// Below this many bytes the file holds no settings at all.
constexpr uint64_t SETTINGS_MIN_FILE_SIZE = 1000;
// A file longer than these holds block F, and block G.
constexpr uint64_t SETTINGS_HAS_BLOCK_F = 5574;
constexpr uint64_t SETTINGS_HAS_BLOCK_G = 5938;

// The process-wide record every part of the program reads.
extern SettingsRecord settings;
// Set by a settings dialog while it changes the record; keeps its handlers from being re-entered.
extern int settings_busy;

// Number of blocks, counted from block A, that a file of this size is read into (0: none).
int settings_blocks_to_read(uint64_t file_size);

// Applies the first bytes of a settings file to the record the way block-by-block reads from
// offset 0 would: a block the data ends inside is overwritten only as far as the data goes.
// `data` holds the file's first `data_len` bytes. Returns 0 when read, -1 when the file is too
// short to hold settings or the last block read delivered nothing.
int settings_load_image(SettingsRecord& record, uint64_t file_size, const unsigned char* data,
                        size_t data_len);

// All blocks zero, then the two defaults that are not zero.
void reset_settings(SettingsRecord& record);

// The repairs start-up makes to whatever was loaded: window origin, printer choice, hot keys.
void repair_loaded_settings(SettingsRecord& record);

// How a window placement's show command is stored at exit: hidden or minimised become SW_MINIMIZE.
int32_t show_cmd_to_store(uint32_t placement_show_cmd);

// The show command start-up uses: a stored 0, or a value that is no show command, means
// minimised.
int32_t show_cmd_at_start(int32_t stored);
