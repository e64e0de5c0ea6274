// The key setup's lists and the mappings between list positions and what the settings keep.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "settings/hotkeys.h"

TEST(HotkeyModifiers, MapBothWaysWithShiftKnownButNotOffered)
{
    EXPECT_EQ(hotkey_modifier_flags(0), 0u);
    EXPECT_EQ(hotkey_modifier_flags(1), 1u);
    EXPECT_EQ(hotkey_modifier_flags(2), 2u);
    EXPECT_EQ(hotkey_modifier_flags(3), 4u);
    EXPECT_EQ(hotkey_modifier_flags(-1), HOTKEY_UNKNOWN) << "a combo without selection";
    EXPECT_EQ(hotkey_modifier_flags(4), HOTKEY_UNKNOWN);
    for (int i = 0; i <= 3; i++)
        EXPECT_EQ(hotkey_modifier_index(hotkey_modifier_flags(i)), i);
    EXPECT_EQ(hotkey_modifier_index(3), -1) << "Alt+Ctrl is no item";
    EXPECT_EQ(hotkey_modifier_index(8), -1);
    EXPECT_EQ(hotkey_modifier_index(HOTKEY_UNKNOWN), -1);
    EXPECT_EQ(std::string(HOTKEY_MODIFIER_TEXTS[2]), "Ctrl");
}

TEST(HotkeyKeys, FortyThreeKeysInTheirOrder)
{
    EXPECT_EQ(hotkey_key_code(0), 44u);
    EXPECT_EQ(hotkey_key_code(1), 145u);
    EXPECT_EQ(hotkey_key_code(2), 36u);
    EXPECT_EQ(hotkey_key_code(3), 144u);
    EXPECT_EQ(hotkey_key_code(4), 27u);
    for (int f = 1; f <= 12; f++) {
        EXPECT_EQ(hotkey_key_code(4 + f), 111u + f);
        EXPECT_EQ(std::string(HOTKEY_KEYS[4 + f].text), "F" + std::to_string(f));
    }
    for (int letter = 0; letter < 26; letter++) {
        EXPECT_EQ(hotkey_key_code(17 + letter), (uint32_t)('A' + letter));
        EXPECT_EQ(HOTKEY_KEYS[17 + letter].text, std::string(1, (char)('A' + letter)));
    }
    EXPECT_EQ(hotkey_key_code(43), HOTKEY_UNKNOWN);
    EXPECT_EQ(hotkey_key_code(-1), HOTKEY_UNKNOWN);

    std::set<uint32_t> codes;
    for (int i = 0; i < HOTKEY_KEY_COUNT; i++) {
        EXPECT_EQ(hotkey_key_index(hotkey_key_code(i)), i);
        codes.insert(hotkey_key_code(i));
    }
    EXPECT_EQ(codes.size(), (size_t)HOTKEY_KEY_COUNT);
    EXPECT_EQ(hotkey_key_index(124), -1) << "F13 is not offered";
    EXPECT_EQ(hotkey_key_index('0'), -1);
}

TEST(HotkeyKeys, TheDefaultsAreInTheLists)
{
    for (const Hotkey& h : HOTKEYS) {
        EXPECT_GE(hotkey_modifier_index(h.default_mod), 0) << h.row_label;
        EXPECT_GE(hotkey_key_index(h.default_vk), 0) << h.row_label;
    }
}
