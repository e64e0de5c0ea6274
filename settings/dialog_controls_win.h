// Small helpers the settings dialogs share for putting values into controls and reading them.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// `format` takes one int: "%d", "%02d".
void set_dlg_number(HWND dlg, int id, const char* format, int32_t value);
// The number in the first `chars` characters of a control's text.
int32_t dlg_number(HWND dlg, int id, size_t chars);

// A text field of the record, which a damaged file may leave without its terminating zero.
void set_dlg_field_text(HWND dlg, int id, const char* field, size_t size);

void set_dlg_check(HWND dlg, int id, bool on);
// 1 when the button is checked, else 0.
int32_t dlg_checked(HWND dlg, int id);

// Empties a drop-down list and fills it with `items` in order.
void fill_combo(HWND dlg, int id, const char* const* items, size_t count);
// The selected index, -1 when nothing is selected.
int32_t combo_index(HWND dlg, int id);
// Selects `index`; an index outside the list leaves nothing selected.
void select_combo(HWND dlg, int id, int32_t index);
