// The main road: a copy request accepted, the capture, the output, and the release; the output
// of dropped files one by one; the automatic output's minute timer.
#pragma once

#include <windows.h>

void on_hotkey(int id);
void on_drop_files(HDROP drop);
void on_capture(bool high_speed);
void on_output();
void on_next_dropped_file();
// Timers 1, 2, 8 and 9; false for a timer that is not the sequence's.
bool on_sequence_timer(UINT_PTR id);
