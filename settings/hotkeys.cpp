// The hot-key table shared by start-up repairs, installation and the key setup.
#include "settings/hotkeys.h"

#include "app/ids.h"

constexpr uint32_t VK_PRINT_SCREEN = 44;
constexpr uint32_t VK_LETTER_P = 80;
constexpr uint32_t MODIFIER_NONE = 0;
constexpr uint32_t MODIFIER_ALT = 1;

const Hotkey HOTKEYS[3] = {
    {HOTKEY_FULL_SCREEN, &SettingsRecord::hotkey_full_mod, &SettingsRecord::hotkey_full_vk,
     MODIFIER_NONE, VK_PRINT_SCREEN, "ホットキー(全画面コピー)の設定に失敗しました"},
    {HOTKEY_ACTIVE_WINDOW, &SettingsRecord::hotkey_active_mod, &SettingsRecord::hotkey_active_vk,
     MODIFIER_ALT, VK_PRINT_SCREEN, "ホットキー(アクティブ画面コピー)の設定に失敗しました"},
    {HOTKEY_CANCEL_FILES, &SettingsRecord::hotkey_cancel_mod, &SettingsRecord::hotkey_cancel_vk,
     MODIFIER_ALT, VK_LETTER_P, "ホットキー(複数ファイル出力キャンセル)の設定に失敗しました"},
};

const char HOTKEY_TAKEN_TEXT[] = "別のアプリケーションが設定しています";
