// Font selection for the printed title and time stamp.
#include "print/font_win.h"

#include <commdlg.h>
#include <string.h>

#include "base/ids.h"
#include "base/process_win.h"
#include "settings/settings.h"

static_assert(sizeof(FontRecord) == sizeof(LOGFONTA), "the file keeps a whole LOGFONTA");

// The font dialog lists the display fonts, starts from the stored font and offers effects.
constexpr DWORD FONT_DIALOG_FLAGS = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS;
static_assert(FONT_DIALOG_FLAGS == 0x141, "");

int choose_font(int selector, HWND dialog, SettingsRecord& record)
{
    FontRecord* font = selector == FONT_TITLE ? &record.title_font : &record.timestamp_font;
    uint32_t* colour = selector == FONT_TITLE ? &record.title_color : &record.timestamp_color;

    LOGFONTA chosen = {};
    memcpy(&chosen, font, sizeof chosen);
    CHOOSEFONTA cf = {};
    static_assert(sizeof cf == 60, "the font-dialog record of every Win32 system");
    cf.lStructSize = sizeof cf;
    cf.hwndOwner = main_window;
    cf.lpLogFont = &chosen;
    cf.Flags = FONT_DIALOG_FLAGS;
    cf.rgbColors = *colour;
    if (ChooseFontA(&cf)) {
        memcpy(font, &chosen, sizeof chosen);
        *colour = cf.rgbColors;
    } else if (CommDlgExtendedError() != 0) {
        MessageBeep(MB_ICONHAND);
        MessageBoxA(NULL, "フォント情報を初期値にします", APP_TITLE, MB_ICONHAND);
        memset(font, 0, sizeof *font);
        *colour = 0;
    }
    SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    return 0;
}
