// The hot-key table shared by start-up repairs, installation and the key setup.
#include "settings/hotkeys.h"

#include "base/ids.h"

constexpr uint32_t VK_PRINT_SCREEN = 44;
constexpr uint32_t VK_LETTER_P = 80;
constexpr uint32_t MODIFIER_NONE = 0;
constexpr uint32_t MODIFIER_ALT = 1;

const Hotkey HOTKEYS[3] = {
    {HOTKEY_FULL_SCREEN, &SettingsRecord::hotkey_full_mod, &SettingsRecord::hotkey_full_vk,
     MODIFIER_NONE, VK_PRINT_SCREEN, "ホットキー(全画面コピー)の設定に失敗しました",
     "ホットキー(全画面コピー)の設定に成功しました", "全画面コピー"},
    {HOTKEY_ACTIVE_WINDOW, &SettingsRecord::hotkey_active_mod, &SettingsRecord::hotkey_active_vk,
     MODIFIER_ALT, VK_PRINT_SCREEN, "ホットキー(アクティブ画面コピー)の設定に失敗しました",
     "ホットキー(アクティブ画面コピー)の設定に成功しました", "アクティブ画面コピー"},
    {HOTKEY_CANCEL_FILES, &SettingsRecord::hotkey_cancel_mod, &SettingsRecord::hotkey_cancel_vk,
     MODIFIER_ALT, VK_LETTER_P, "ホットキー(複数ファイル出力キャンセル)の設定に失敗しました",
     "ホットキー(複数ファイル出力キャンセル)の設定に成功しました", "複数ファイル出力キャンセル"},
};

const char HOTKEY_TAKEN_TEXT[] = "別のアプリケーションが設定しています";
const char HOTKEY_IN_USE_TEXT[] = "他のホットキーで既に使用されています";
const char HOTKEY_ALL_SET_TEXT[] = "各ホットキーの設定に成功しました";

constexpr uint32_t MODIFIER_SHIFT = 4;
constexpr int SHIFT_INDEX = 3;

const char* const HOTKEY_MODIFIER_TEXTS[HOTKEY_MODIFIER_COUNT] = {"なし", "Alt", "Ctrl"};
static const uint32_t MODIFIER_FLAGS[HOTKEY_MODIFIER_COUNT] = {MODIFIER_NONE, MODIFIER_ALT, 2};

const HotkeyKey HOTKEY_KEYS[HOTKEY_KEY_COUNT] = {
    {"Print Screen", VK_PRINT_SCREEN}, {"Scroll Lock", 145}, {"Home", 36}, {"Num Lock", 144},
    {"ESC", 27}, {"F1", 112}, {"F2", 113}, {"F3", 114}, {"F4", 115}, {"F5", 116}, {"F6", 117},
    {"F7", 118}, {"F8", 119}, {"F9", 120}, {"F10", 121}, {"F11", 122}, {"F12", 123},
    {"A", 'A'}, {"B", 'B'}, {"C", 'C'}, {"D", 'D'}, {"E", 'E'}, {"F", 'F'}, {"G", 'G'},
    {"H", 'H'}, {"I", 'I'}, {"J", 'J'}, {"K", 'K'}, {"L", 'L'}, {"M", 'M'}, {"N", 'N'},
    {"O", 'O'}, {"P", 'P'}, {"Q", 'Q'}, {"R", 'R'}, {"S", 'S'}, {"T", 'T'}, {"U", 'U'},
    {"V", 'V'}, {"W", 'W'}, {"X", 'X'}, {"Y", 'Y'}, {"Z", 'Z'},
};

uint32_t hotkey_modifier_flags(int index)
{
    if (index >= 0 && index < HOTKEY_MODIFIER_COUNT)
        return MODIFIER_FLAGS[index];
    return index == SHIFT_INDEX ? MODIFIER_SHIFT : HOTKEY_UNKNOWN;
}

int hotkey_modifier_index(uint32_t flags)
{
    for (int i = 0; i < HOTKEY_MODIFIER_COUNT; i++)
        if (MODIFIER_FLAGS[i] == flags)
            return i;
    return flags == MODIFIER_SHIFT ? SHIFT_INDEX : -1;
}

uint32_t hotkey_key_code(int index)
{
    return index >= 0 && index < HOTKEY_KEY_COUNT ? HOTKEY_KEYS[index].vk : HOTKEY_UNKNOWN;
}

int hotkey_key_index(uint32_t vk)
{
    for (int i = 0; i < HOTKEY_KEY_COUNT; i++)
        if (HOTKEY_KEYS[i].vk == vk)
            return i;
    return -1;
}
