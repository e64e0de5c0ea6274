// Reaching past Wine from the system tests: Linux paths of Windows files, files dropped on a
// window the way a Linux file manager drops them, and Linux commands run to their end.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/system/harness_win.h"

// The Linux path Wine maps a Windows path to ("" when there is none).
std::string unix_path(const std::string& windows_path);

// Drags `files` from outside Wine onto the middle of `target` and drops them (an X drag by
// tests/xdnd_drop.py that Wine delivers as WM_DROPFILES). How the drag source saw the drop end:
// "finished" when Wine took it; anything else says what went wrong.
std::string drop_files(HWND target, const std::vector<std::string>& files,
                       const std::string& work_dir);

// The same drag, held over `target` until the file `trigger` exists, and dropped then (at
// once when `trigger` is empty). Returns without waiting: what to hand to finish_drop, which
// waits for the drop's end and says how it ended, as drop_files does.
std::string start_drop(HWND target, const std::vector<std::string>& files,
                       const std::string& work_dir, const std::string& trigger);
std::string finish_drop(const std::string& started);

// Runs a Linux shell command line in `work_dir` and waits for it: its exit code, or -1 when it
// did not end within `timeout_ms`. What it printed goes to `output` (its errors
// beside it, in run<N>.err of `work_dir`).
int run_linux(const std::string& work_dir, const std::string& command, std::string* output,
              int timeout_ms = 60000);

// The repository's tests folder as a Linux path (beside tests/xdnd_drop.py).
std::string tests_folder();
