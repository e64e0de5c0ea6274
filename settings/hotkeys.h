// The three global hot keys: their ids, where the settings keep them, their default pairs and
// the line that names each one when it cannot be installed.
#pragma once

#include <cstdint>

#include "settings/settings.h"

struct Hotkey {
    int id;
    uint32_t SettingsRecord::*mod;
    uint32_t SettingsRecord::*vk;
    uint32_t default_mod;
    uint32_t default_vk;
    const char* failure_line;
    const char* success_line;  // the key setup's TEST of this row alone
    const char* row_label;
};

extern const Hotkey HOTKEYS[3];

// Appended to a hot key's own failure line.
extern const char HOTKEY_TAKEN_TEXT[];

// The key setup's answers: a row taken by something else, and all three rows tried at once.
extern const char HOTKEY_IN_USE_TEXT[];
extern const char HOTKEY_ALL_SET_TEXT[];

// What the key setup offers: three modifiers and 43 keys, each list in its display order.
constexpr int HOTKEY_MODIFIER_COUNT = 3;
constexpr int HOTKEY_KEY_COUNT = 43;
constexpr uint32_t HOTKEY_UNKNOWN = 0xFFFFFFFF;

extern const char* const HOTKEY_MODIFIER_TEXTS[HOTKEY_MODIFIER_COUNT];

struct HotkeyKey {
    const char* text;
    uint32_t vk;
};
extern const HotkeyKey HOTKEY_KEYS[HOTKEY_KEY_COUNT];

// Modifier flags of a list index and back. Shift (flags 4) is known as index 3 although the
// list never offers it; anything else maps to HOTKEY_UNKNOWN or -1 (no selection).
uint32_t hotkey_modifier_flags(int index);
int hotkey_modifier_index(uint32_t flags);

// Virtual-key code of a key-list index and back; HOTKEY_UNKNOWN or -1 outside the list.
uint32_t hotkey_key_code(int index);
int hotkey_key_index(uint32_t vk);
