// What the tests of the settings dialogs (SETTING, SETTING2, SETHOTKEY, the usage box) share:
// a program started over a settings file, the dialogs' captions, and the answering of the
// message boxes and hint popups they open.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "tests/system/dialogs_win.h"
#include "tests/system/harness_win.h"

const char BASIC_CAPTION[] = "基本機能設定";
const char EXTENDED_CAPTION[] = "拡張機能";
const char HOTKEY_CAPTION[] = "キーセットアップ";

// A started program over a settings file, and the dialog the test works with.
struct Session {
    std::string dir;
    Kavrel k;
    explicit Session(const std::string& name, const Bytes& ini)
        : dir(fresh_work_dir(name)), k((write_file(ini_path(dir), ini), dir))
    {
    }
    Bytes ini() const { return read_settings(dir); }
    int32_t at(size_t offset) const { return i32_at(ini(), offset); }
};

// Answers the message box that comes up; its text, or "" when none came.
std::string answer_box(const Kavrel& k, int timeout_ms = BOX_TIMEOUT_MS);

// Once the program has taken and ended all it was sent (Kavrel::idle), answers the message box
// it has up, if any: its text, "" when there is none. A box comes up within the handling of
// what caused it, so none now is none at all.
std::string box_once_idle(const Kavrel& k);

// The hint popup: a dialog without caption holding the three lines, other than `over`.
HWND wait_hint(const Kavrel& k, HWND over, int timeout_ms = DIALOG_TIMEOUT_MS);

// A settings file with the full-screen hot key set to `full_mod` + `full_vk`.
Bytes with_hotkeys(Bytes ini, uint32_t full_mod, uint32_t full_vk);
