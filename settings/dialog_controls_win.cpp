// Control helpers of the settings dialogs.
#include "settings/dialog_controls_win.h"

#include <stdio.h>
#include <string.h>

#include "settings/dialog_fields.h"

void set_dlg_number(HWND dlg, int id, const char* format, int32_t value)
{
    char text[32];
    snprintf(text, sizeof text, format, (int)value);
    SetDlgItemTextA(dlg, id, text);
}

int32_t dlg_number(HWND dlg, int id, size_t chars)
{
    char text[64] = "";
    GetDlgItemTextA(dlg, id, text, sizeof text);
    return leading_number(text, chars);
}

void set_dlg_field_text(HWND dlg, int id, const char* field, size_t size)
{
    char text[512];
    size_t n = size < sizeof text - 1 ? size : sizeof text - 1;
    memcpy(text, field, n);
    text[n] = '\0';
    SetDlgItemTextA(dlg, id, text);
}

void set_dlg_check(HWND dlg, int id, bool on)
{
    CheckDlgButton(dlg, id, on ? BST_CHECKED : BST_UNCHECKED);
}

int32_t dlg_checked(HWND dlg, int id)
{
    return IsDlgButtonChecked(dlg, id) == BST_CHECKED ? 1 : 0;
}

void fill_combo(HWND dlg, int id, const char* const* items, size_t count)
{
    // Redraw is switched on the list itself, and only for a shown one: turning it back on
    // makes a window visible, which would show a list the dialog keeps hidden.
    HWND combo = GetDlgItem(dlg, id);
    bool shown = combo && IsWindowVisible(combo);
    if (shown)
        SendMessageA(combo, WM_SETREDRAW, FALSE, 0);
    SendDlgItemMessageA(dlg, id, CB_RESETCONTENT, 0, 0);
    for (size_t i = 0; i < count; i++)
        SendDlgItemMessageA(dlg, id, CB_ADDSTRING, 0, (LPARAM)items[i]);
    if (shown) {
        SendMessageA(combo, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(combo, NULL, TRUE);
    }
}

int32_t combo_index(HWND dlg, int id)
{
    LRESULT index = SendDlgItemMessageA(dlg, id, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : (int32_t)index;
}

void select_combo(HWND dlg, int id, int32_t index)
{
    SendDlgItemMessageA(dlg, id, CB_SETCURSEL, (WPARAM)index, 0);
}
