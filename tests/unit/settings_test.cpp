// The settings file's size rules, partial blocks and start-up repairs.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "settings/hotkeys.h"
#include "settings/settings.h"

namespace {

std::vector<unsigned char> filled(size_t n, unsigned char value)
{
    return std::vector<unsigned char>(n, value);
}

// Loads a file image of `size` bytes of 0xAB over a record that holds 0x11 everywhere.
SettingsRecord load_over_marker(size_t size, int* result)
{
    SettingsRecord rec;
    memset(&rec, 0x11, sizeof rec);
    auto file = filled(size, 0xAB);
    *result = settings_load_image(rec, size, file.data(), file.size());
    return rec;
}

size_t first_byte_not(const SettingsRecord& rec, unsigned char value)
{
    auto* p = reinterpret_cast<const unsigned char*>(&rec);
    for (size_t i = 0; i < sizeof rec; i++)
        if (p[i] != value)
            return i;
    return sizeof rec;
}

size_t first_byte_not_from(const SettingsRecord& rec, size_t from, unsigned char value)
{
    auto* p = reinterpret_cast<const unsigned char*>(&rec);
    for (size_t i = from; i < sizeof rec; i++)
        if (p[i] != value)
            return i;
    return sizeof rec;
}

}  // namespace

TEST(SettingsFile, SizeDecidesWhichBlocksAreRead)
{
    EXPECT_EQ(settings_blocks_to_read(0), 0);
    EXPECT_EQ(settings_blocks_to_read(999), 0);
    EXPECT_EQ(settings_blocks_to_read(1000), 5);
    EXPECT_EQ(settings_blocks_to_read(5572), 5);
    EXPECT_EQ(settings_blocks_to_read(5574), 5);
    EXPECT_EQ(settings_blocks_to_read(5575), 6);
    EXPECT_EQ(settings_blocks_to_read(5936), 6);
    EXPECT_EQ(settings_blocks_to_read(5938), 6);
    EXPECT_EQ(settings_blocks_to_read(5939), 7);
    EXPECT_EQ(settings_blocks_to_read(5968), 7);
    EXPECT_EQ(settings_blocks_to_read(1ull << 33), 7);
}

TEST(SettingsFile, ShortFileLeavesTheRecordAlone)
{
    int result = 0;
    SettingsRecord rec = load_over_marker(999, &result);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(first_byte_not(rec, 0x11), sizeof rec);
}

TEST(SettingsFile, ThousandByteFileFillsAandPartOfBThenFails)
{
    int result = 0;
    SettingsRecord rec = load_over_marker(1000, &result);
    EXPECT_EQ(result, -1) << "block E delivered nothing";
    EXPECT_EQ(first_byte_not(rec, 0xAB), 1000u) << "A and the first 844 bytes of B";
    EXPECT_EQ(first_byte_not_from(rec, 1000, 0x11), sizeof rec);
}

TEST(SettingsFile, OldLayoutsLoadTheirBlocksAndKeepTheRest)
{
    int result = 0;
    SettingsRecord rec = load_over_marker(5572, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(first_byte_not(rec, 0xAB), 5572u);
    EXPECT_EQ(first_byte_not_from(rec, 5572, 0x11), sizeof rec) << "F and G untouched";

    rec = load_over_marker(5574, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(first_byte_not(rec, 0xAB), 5572u) << "5,574 bytes do not load F";

    rec = load_over_marker(5575, &result);
    EXPECT_EQ(result, 0) << "F delivered three bytes";
    EXPECT_EQ(first_byte_not(rec, 0xAB), 5575u) << "F overwritten only as far as the file goes";
    EXPECT_EQ(first_byte_not_from(rec, 5575, 0x11), sizeof rec);

    rec = load_over_marker(5936, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(first_byte_not(rec, 0xAB), 5936u);
    EXPECT_EQ(rec.hotkey_full_vk, 0x11111111u);

    rec = load_over_marker(5938, &result);
    EXPECT_EQ(first_byte_not(rec, 0xAB), 5936u) << "5,938 bytes do not load G";

    rec = load_over_marker(5939, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(first_byte_not(rec, 0xAB), 5939u);
}

TEST(SettingsFile, FullAndLongerFilesLoadEveryBlock)
{
    int result = 0;
    SettingsRecord rec = load_over_marker(5968, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(first_byte_not(rec, 0xAB), sizeof rec);

    // Only the first 5,968 bytes are handed over for a longer file.
    SettingsRecord longer;
    auto file = filled(5968, 0x5A);
    EXPECT_EQ(settings_load_image(longer, 12000, file.data(), file.size()), 0);
    EXPECT_EQ(first_byte_not(longer, 0x5A), sizeof longer);
}

TEST(SettingsFile, FileThatShrankSinceItsSizeWasTakenFailsOnTheEmptyLastBlock)
{
    SettingsRecord rec;
    memset(&rec, 0x11, sizeof rec);
    auto file = filled(3000, 0xAB);
    EXPECT_EQ(settings_load_image(rec, 5968, file.data(), file.size()), -1);
    EXPECT_EQ(first_byte_not(rec, 0xAB), 3000u);
}

TEST(SettingsFile, FieldsSitAtTheirFileOffsets)
{
    std::vector<unsigned char> file(5968, 0);
    file[5448] = 2;        // processing_speed
    file[5932] = 1;        // printer_choice
    file[5940] = 44;       // hotkey_full_vk
    file[5956] = 80;       // hotkey_cancel_vk
    file[5240] = 0x01;     // brightness = -255 (0xFFFFFF01)
    file[5241] = file[5242] = file[5243] = 0xFF;
    memcpy(&file[5268], "TITLE", 5);
    SettingsRecord rec{};
    ASSERT_EQ(settings_load_image(rec, file.size(), file.data(), file.size()), 0);
    EXPECT_EQ(rec.processing_speed, 2);
    EXPECT_EQ(rec.printer_choice, 1);
    EXPECT_EQ(rec.hotkey_full_vk, 44u);
    EXPECT_EQ(rec.hotkey_cancel_vk, 80u);
    EXPECT_EQ(rec.brightness, -255);
    EXPECT_STREQ(rec.title_text, "TITLE");
}

TEST(SettingsDefaults, ResetZeroesAllButProcessingSpeed)
{
    SettingsRecord rec;
    memset(&rec, 0x77, sizeof rec);
    reset_settings(rec);
    EXPECT_EQ(rec.processing_speed, 2);
    rec.processing_speed = 0;
    EXPECT_EQ(first_byte_not(rec, 0), sizeof rec);
}

TEST(SettingsRepairs, NewRecordGetsOriginPrinterChoiceAndDefaultHotKeys)
{
    SettingsRecord rec;
    reset_settings(rec);
    repair_loaded_settings(rec);
    EXPECT_EQ(rec.window_left, 1);
    EXPECT_EQ(rec.window_top, 1);
    EXPECT_EQ(rec.printer_choice, 1);
    EXPECT_EQ(rec.hotkey_full_mod, 0u);
    EXPECT_EQ(rec.hotkey_full_vk, 44u);
    EXPECT_EQ(rec.hotkey_active_mod, 1u);
    EXPECT_EQ(rec.hotkey_active_vk, 44u);
    EXPECT_EQ(rec.hotkey_cancel_mod, 1u);
    EXPECT_EQ(rec.hotkey_cancel_vk, 80u);
}

TEST(SettingsRepairs, OnlyBrokenValuesChange)
{
    SettingsRecord rec{};
    rec.window_left = -30;  // negative positions are used unchanged
    rec.window_top = 0;
    rec.printer_choice = 7;
    rec.hotkey_full_mod = 5;  // out of range: whole pair reset
    rec.hotkey_full_vk = 'Q';
    rec.hotkey_active_mod = 3;  // Alt+Ctrl is accepted
    rec.hotkey_active_vk = 'W';
    rec.hotkey_cancel_mod = 4;  // Shift is accepted, but a key of 0 is not
    rec.hotkey_cancel_vk = 0;
    repair_loaded_settings(rec);
    EXPECT_EQ(rec.window_left, -30);
    EXPECT_EQ(rec.window_top, 1);
    EXPECT_EQ(rec.printer_choice, 2);
    EXPECT_EQ(rec.hotkey_full_mod, 0u);
    EXPECT_EQ(rec.hotkey_full_vk, 44u);
    EXPECT_EQ(rec.hotkey_active_mod, 3u);
    EXPECT_EQ(rec.hotkey_active_vk, (uint32_t)'W');
    EXPECT_EQ(rec.hotkey_cancel_mod, 1u);
    EXPECT_EQ(rec.hotkey_cancel_vk, 80u);

    rec.printer_choice = -5;
    rec.hotkey_full_mod = 0xFFFFFFFFu;  // read unsigned: far above 4
    repair_loaded_settings(rec);
    EXPECT_EQ(rec.printer_choice, 1);
    EXPECT_EQ(rec.hotkey_full_mod, 0u);
}

TEST(SettingsWindow, HiddenOrMinimisedIsStoredAsMinimised)
{
    for (uint32_t cmd : {0u, 2u, 6u, 7u})
        EXPECT_EQ(show_cmd_to_store(cmd), 6) << cmd;
    for (uint32_t cmd : {1u, 3u, 4u, 5u, 8u, 9u})
        EXPECT_EQ(show_cmd_to_store(cmd), (int32_t)cmd) << cmd;
    EXPECT_EQ(show_cmd_at_start(0), 6);
    EXPECT_EQ(show_cmd_at_start(1), 1);
    EXPECT_EQ(show_cmd_at_start(11), 11);
    // Not a show command at all: minimised rather than hidden with no way back.
    EXPECT_EQ(show_cmd_at_start(12), 6);
    EXPECT_EQ(show_cmd_at_start(-3), 6);
}
