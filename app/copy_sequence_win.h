// The main road: a copy request accepted, the capture, the output, and the release; the output
// of dropped files one by one; the automatic output's minute timer.
#pragma once

#include <windows.h>

#include "capture/capture_win.h"

// State of the copy sequence. `busy` refuses copy requests; the drop fields describe the drop
// being output (`drop_count` 0 when there is none).
extern int busy;
extern int drop_count;
extern int drop_index;
extern HDROP drop_handle;

// What the hot key's note says to copy (capture_active_window, capture_target,
// capture_target_rect, saved_main_rect).
CaptureRequest noted_capture();

// Clears the state, as the main window does when it is created.
void reset_copy_sequence();

void on_hotkey(int id);
void on_drop_files(HDROP drop);
void on_capture(bool high_speed);
// UM_OUTPUT and UM_NEXT_DROPPED_FILE with their first parameter: 0 for the output of a capture,
// else the number of the drop the message belongs to.
void on_output(WPARAM serial);
void on_next_dropped_file(WPARAM serial);
// Timers 1, 2, 8 and 9; false for a timer that is not the sequence's.
bool on_sequence_timer(UINT_PTR id);
