// libFuzzer harness: any settings file, of any length and content, loads and is repaired
// without reading or writing outside the record or the file's bytes.
#include <cstdint>
#include <cstring>
#include <vector>

#include "settings/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first byte stretches the claimed file size past the bytes given, as a file that
    // shrank (or is longer than the record) would.
    uint64_t claimed = size;
    if (size > 0)
        claimed += (uint64_t)data[0] * 37;
    std::vector<unsigned char> file(data, data + size);
    size_t handed = size < SETTINGS_FILE_SIZE ? size : SETTINGS_FILE_SIZE;
    SettingsRecord rec;
    reset_settings(rec);
    int result = settings_load_image(rec, claimed, file.data(), handed);
    if (result != 0 && result != -1)
        __builtin_trap();
    repair_loaded_settings(rec);
    if (rec.printer_choice < 1 || rec.printer_choice > 2 || rec.hotkey_full_mod > 4 ||
        rec.hotkey_full_vk == 0 || rec.window_left == 0 || rec.window_top == 0)
        __builtin_trap();
    return 0;
}
