// Helpers of the settings dialogs' tests; see settings_dialogs_win.h.
#include "tests/system/settings_dialogs_win.h"

#include <cstddef>

#include "res/resource.h"
#include "settings/settings.h"

std::string answer_box(const Kavrel& k, int timeout_ms)
{
    HWND box = open_message_box(k, timeout_ms);
    if (!box)
        return "";
    std::string text = box_text(box);
    press_ok(box);
    wait_gone(box);
    return text;
}

std::string box_once_idle(const Kavrel& k)
{
    if (!k.idle())
        return "(the program did not come to take requests)";
    HWND box = message_box_made(k);
    if (!box)
        return "";
    std::string text = box_text(box);
    press_ok(box);
    for (DWORD start = GetTickCount();
         IsWindow(box) && GetTickCount() - start < (DWORD)DIALOG_TIMEOUT_MS;)
        Sleep(20);
    return text;
}

HWND wait_hint(const Kavrel& k, HWND over, int timeout_ms)
{
    return wait_dialog(
        k,
        [&](HWND h) {
            return h != over && GetDlgItem(h, IDC_HINT_LINE1) &&
                   !(GetWindowLongA(h, GWL_STYLE) & WS_CAPTION);
        },
        timeout_ms);
}

Bytes with_hotkeys(Bytes ini, uint32_t full_mod, uint32_t full_vk)
{
    put_i32(ini, offsetof(SettingsRecord, hotkey_full_mod), (int32_t)full_mod);
    put_i32(ini, offsetof(SettingsRecord, hotkey_full_vk), (int32_t)full_vk);
    return ini;
}
