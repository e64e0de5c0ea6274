// The usage box, opened through the system menu.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/ids.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "tests/system/dialogs_win.h"
#include "tests/system/harness_win.h"
#include "tests/system/settings_dialogs_win.h"

TEST(UsageBox, ShowsTheDefaultKeysWhateverIsConfigured)
{
    Session s("usage", with_hotkeys(default_settings_file(), MOD_CONTROL, VK_F9));
    HWND dlg = open_from_system_menu(s.k, CMD_USAGE, "使用方法");
    ASSERT_TRUE(dlg);
    std::string texts;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        texts += window_text(c) + "\n";
    EXPECT_NE(texts.find(" [Print Screen] キーで画面のハードコピーの印刷をします"), std::string::npos);
    EXPECT_NE(texts.find(" Drag&&Drop による連続印刷の中止は [Alt]+{P] です"), std::string::npos);
    EXPECT_NE(texts.find("Windows NT 3.51"), std::string::npos);
    press_key(GetDlgItem(dlg, IDOK), VK_ESCAPE);
    EXPECT_TRUE(wait_gone(dlg)) << "Escape closes the usage box";
    EXPECT_TRUE(s.k.close());
}
