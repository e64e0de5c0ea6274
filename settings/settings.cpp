// The settings record's layout, the size rules for reading KAVREL.INI and the start-up repairs.
#include "settings/settings.h"

#include <cstring>

#include "settings/hotkeys.h"

SettingsRecord settings;
int settings_busy;

// The file is the record byte for byte: every field must sit at its file offset.
#define AT(field, off) static_assert(offsetof(SettingsRecord, field) == (off), #field)
AT(printer_devmode, 0);
AT(printer_driver_extra, 156);
AT(printer_devnames, 5156);
AT(proportional_print, 5164);
AT(fit_to_paper, 5168);
AT(punch_margin_top, 5172);
AT(punch_margin_left, 5176);
AT(reserved_d16, 5180);
AT(invert_image, 5232);
AT(reserved_d72, 5236);
AT(brightness, 5240);
AT(reserved_d80, 5244);
AT(red_level, 5248);
AT(green_level, 5252);
AT(blue_level, 5256);
AT(print_title, 5260);
AT(title_position, 5264);
AT(title_text, 5268);
AT(reserved_e58, 5318);
AT(title_font, 5320);
AT(print_timestamp, 5380);
AT(timestamp_position, 5384);
AT(timestamp_font, 5388);
AT(processing_speed, 5448);
AT(black_emphasis, 5452);
AT(window_left, 5456);
AT(window_top, 5460);
AT(window_right, 5464);
AT(window_bottom, 5468);
AT(reserved_e212, 5472);
AT(title_color, 5476);
AT(timestamp_color, 5480);
AT(capture_sound, 5484);
AT(hint_close_time, 5488);
AT(printer_driver_name, 5492);
AT(binarize, 5572);
AT(binarize_threshold, 5576);
AT(window_show_cmd, 5580);
AT(output_device, 5584);
AT(output_file_name, 5588);
AT(output_file_ext_offset, 5844);
AT(file_name_mode, 5848);
AT(high_speed_scan, 5852);
AT(use_fixed_area, 5856);
AT(area_left, 5860);
AT(area_top, 5864);
AT(area_right, 5868);
AT(area_bottom, 5872);
AT(use_banding, 5876);
AT(auto_output, 5880);
AT(exit_after_print, 5884);
AT(auto_full_screen, 5888);
AT(auto_active_window, 5892);
AT(auto_at_time, 5896);
AT(auto_hour, 5900);
AT(auto_minute, 5904);
AT(auto_interval, 5908);
AT(auto_interval_minutes, 5912);
AT(auto_after_start, 5916);
AT(auto_after_start_minutes, 5920);
AT(file_compression, 5924);
AT(write_sysinfo, 5928);
AT(printer_choice, 5932);
AT(hotkey_full_mod, 5936);
AT(hotkey_full_vk, 5940);
AT(hotkey_active_mod, 5944);
AT(hotkey_active_vk, 5948);
AT(hotkey_cancel_mod, 5952);
AT(hotkey_cancel_vk, 5956);
AT(tray_mode, 5960);
AT(mail_after_output, 5964);
#undef AT
static_assert(sizeof(FontRecord) == 60, "LOGFONTA is 60 bytes");
static_assert(offsetof(FontRecord, face_name) == 28, "LOGFONTA face name");
static_assert(sizeof(SettingsRecord) == SETTINGS_FILE_SIZE, "the file is the record");
static_assert(SETTINGS_BLOCKS[6].offset + SETTINGS_BLOCKS[6].size == SETTINGS_FILE_SIZE,
              "blocks cover the record");

int settings_blocks_to_read(uint64_t file_size)
{
    if (file_size < SETTINGS_MIN_FILE_SIZE)
        return 0;
    if (file_size > SETTINGS_HAS_BLOCK_G)
        return 7;
    if (file_size > SETTINGS_HAS_BLOCK_F)
        return 6;
    return 5;
}

int settings_load_image(SettingsRecord& record, uint64_t file_size, const unsigned char* data,
                        size_t data_len)
{
    int blocks = settings_blocks_to_read(file_size);
    if (blocks == 0)
        return -1;
    auto* image = reinterpret_cast<unsigned char*>(&record);
    size_t last_got = 0;
    for (int i = 0; i < blocks; i++) {
        const SettingsBlock& b = SETTINGS_BLOCKS[i];
        last_got = 0;
        if (data_len > b.offset)
            last_got = data_len - b.offset < b.size ? data_len - b.offset : b.size;
        memcpy(image + b.offset, data + b.offset, last_got);
    }
    return last_got > 0 ? 0 : -1;
}

void reset_settings(SettingsRecord& record)
{
    memset(&record, 0, sizeof record);
    record.processing_speed = 2;
    record.black_emphasis = 0;
}

void repair_loaded_settings(SettingsRecord& record)
{
    if (record.window_left == 0)
        record.window_left = 1;
    if (record.window_top == 0)
        record.window_top = 1;
    if (record.printer_choice < 1)
        record.printer_choice = 1;
    if (record.printer_choice > 2)
        record.printer_choice = 2;
    for (const Hotkey& h : HOTKEYS) {
        if (record.*h.mod > 4 || record.*h.vk == 0) {
            record.*h.mod = h.default_mod;
            record.*h.vk = h.default_vk;
        }
    }
}

int32_t show_cmd_to_store(uint32_t placement_show_cmd)
{
    switch (placement_show_cmd) {
    case 0:  // SW_HIDE
    case 2:  // SW_SHOWMINIMIZED
    case 6:  // SW_MINIMIZE
    case 7:  // SW_SHOWMINNOACTIVE
        return 6;
    default:
        return static_cast<int32_t>(placement_show_cmd);
    }
}

int32_t show_cmd_at_start(int32_t stored)
{
    // A value the system does not know would leave the window hidden for good.
    const int32_t SW_MAX = 11;
    return stored <= 0 || stored > SW_MAX ? 6 : stored;
}
