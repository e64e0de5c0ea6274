// Saving a bitmap as a BMP file under the output-file naming modes, and the dialog that sets
// the output file name.
#pragma once

#include <windows.h>

// Writes `bitmap` (not selected into any DC) to `file_name` or a numbered name beside it, as
// `settings.file_name_mode` says, converting it through `dc`. 0 written, or nothing to write
// in mode 2; -1 failed, after a step error box ("Create Bitmap File").
int write_bitmap_file(const char* file_name, HBITMAP bitmap, HDC dc);

struct SettingsRecord;

// Lets the user pick the output file with the save-file dialog, owned by `dialog`; on OK the
// name and its extension offset go into `record` (the calling dialog's pending choices, not
// saved) and into the dialog's name display. Always 0.
int choose_output_file(HWND dialog, SettingsRecord& record);
