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
};

extern const Hotkey HOTKEYS[3];

// Appended to a hot key's own failure line.
extern const char HOTKEY_TAKEN_TEXT[];
