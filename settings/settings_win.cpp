// KAVREL.INI on disk: opened for reading and writing without sharing, read by its size, written
// whole from offset 0 and never truncated, so a longer file keeps its tail.
#include "settings/settings_win.h"

#include <stdio.h>

#include "base/process_win.h"
#include "settings/settings.h"

static HANDLE open_settings_file()
{
    return CreateFileA(settings_path, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, NULL);
}

int load_settings()
{
    HANDLE file = open_settings_file();
    if (file == INVALID_HANDLE_VALUE) {
        char text[200];
        snprintf(text, sizeof text, "ユーザー情報が取得できません\n<ERR=%ld>",
                 (long)GetLastError());
        show_error_box(text);
        return -2;
    }
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    unsigned long long size = ((unsigned long long)high << 32) | low;
    if (size < SETTINGS_MIN_FILE_SIZE) {
        CloseHandle(file);
        return -1;
    }
    // Only the first 5,968 bytes matter; what lies beyond is kept but never read.
    static unsigned char image[SETTINGS_FILE_SIZE];
    DWORD got = 0;
    if (!ReadFile(file, image, sizeof image, &got, NULL))
        got = 0;
    CloseHandle(file);
    return settings_load_image(settings, size, image, got);
}

int save_settings()
{
    HANDLE file = open_settings_file();
    if (file == INVALID_HANDLE_VALUE) {
        show_error_box("ユーザー情報が出力できません");
        return -1;
    }
    const auto* image = reinterpret_cast<const unsigned char*>(&settings);
    DWORD written = 0;
    for (const SettingsBlock& b : SETTINGS_BLOCKS) {
        written = 0;
        if (!WriteFile(file, image + b.offset, (DWORD)b.size, &written, NULL))
            written = 0;
    }
    FlushFileBuffers(file);
    CloseHandle(file);
    return written > 0 ? 0 : -1;
}
