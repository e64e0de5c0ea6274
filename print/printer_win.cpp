// Taking the printer setup from the system: print dialogs and the spooler's driver information.
#include "print/printer_win.h"

#include <commdlg.h>
#include <winspool.h>

#include "base/process_win.h"
#include "print/devmode_block.h"
#include "print/printer_setup.h"
#include "settings/settings.h"
#include "settings/settings_win.h"

static const char SAVE_FAILED_TEXT[] = "プリンター情報が保存できません";
// The print-dialog record of every Win32 system (byte-packed in 32-bit programs).
static_assert(sizeof(PRINTDLGA) == 66, "the print-dialog record");

// Copies from a movable block without reading past its end, whatever the block claims.
template <typename Store>
static void store_block(SettingsRecord& record, HGLOBAL block, Store store)
{
    if (!block)
        return;
    const auto* p = static_cast<const unsigned char*>(GlobalLock(block));
    if (!p)
        return;
    store(record, p, GlobalSize(block));
    GlobalUnlock(block);
}

// Keeps the path of the printer's driver for `environment` (NULL: this program's own). False
// with the error code when the system has no such driver or it cannot be read.
static bool store_driver_path(SettingsRecord& record, HANDLE printer, LPSTR environment,
                              DWORD* error)
{
    DWORD needed = 0;
    GetPrinterDriverA(printer, environment, 2, NULL, 0, &needed);
    DWORD query_error = GetLastError();
    BYTE* info = needed ? static_cast<BYTE*>(calloc(1, needed)) : NULL;
    if (!info || !GetPrinterDriverA(printer, environment, 2, info, needed, &needed)) {
        // Without a size the first query is the call that failed; without the block, memory.
        *error = !needed ? query_error : !info ? ERROR_NOT_ENOUGH_MEMORY : GetLastError();
        free(info);
        return false;
    }
    const char* path = reinterpret_cast<DRIVER_INFO_2A*>(info)->pDriverPath;
    store_driver_name(record, path ? path : "");
    free(info);
    return true;
}

int store_printer_from_dialog(HGLOBAL devmode, HGLOBAL devnames)
{
    // The new setup goes into the record only whole: a device mode beside the old driver name
    // would be saved by the next save from memory, and on the Windows 95 family printed with.
    SettingsRecord staged = settings;
    store_block(staged, devmode, store_returned_devmode);
    store_block(staged, devnames, store_returned_devnames);

    char device_name[CCHDEVICENAME + 1] = {0};
    memcpy(device_name, staged.printer_devmode + DEVMODE_DEVICE_NAME_AT, CCHDEVICENAME);
    PRINTER_DEFAULTSA defaults = {NULL, NULL, PRINTER_ACCESS_USE};
    DEVMODEA* dm = devmode ? static_cast<DEVMODEA*>(GlobalLock(devmode)) : NULL;
    defaults.pDevMode = dm;
    HANDLE printer = NULL;
    BOOL opened = OpenPrinterA(device_name, &printer, &defaults);
    DWORD open_error = GetLastError();
    if (dm)
        GlobalUnlock(devmode);
    if (!opened) {
        show_step_error_code(SAVE_FAILED_TEXT, "Open Printer", open_error);
        return -1;
    }

    DWORD error = 0;
    bool stored = store_driver_path(staged, printer, NULL, &error);
    // A 32-bit program asks for the "Windows NT x86" driver, which a printer of a 64-bit
    // Windows may lack; its 64-bit driver is the printer's driver all the same. On NT the path
    // is only kept, never loaded.
    static char x64_environment[] = "Windows x64";
    DWORD x64_error;  // the first query's code is the one reported
    if (!stored && os_platform == VER_PLATFORM_WIN32_NT)
        stored = store_driver_path(staged, printer, x64_environment, &x64_error);
    ClosePrinter(printer);
    if (!stored) {
        show_step_error_code(SAVE_FAILED_TEXT, "Get Driver", error);
        return -1;
    }
    settings = staged;
    return 0;
}

// The stored setup as the full device mode the print setup dialog starts from. The retry after
// a failed dialog drops the public part, which may be what the dialog could not take.
static HGLOBAL make_devmode_block(int request)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, DEVMODE_BLOCK_SIZE);
    if (!block)
        return NULL;
    auto* p = static_cast<unsigned char*>(GlobalLock(block));
    if (!p) {
        GlobalFree(block);
        return NULL;
    }
    fill_devmode_block(settings, p);
    if (request == RESET_PRINTER_SETUP)
        memset(p, 0, DEVMODE_PUBLIC_SIZE);
    GlobalUnlock(block);
    return block;
}

static void free_dialog_blocks(PRINTDLGA& pd)
{
    if (pd.hDevMode)
        GlobalFree(pd.hDevMode);
    if (pd.hDevNames)
        GlobalFree(pd.hDevNames);
    pd.hDevMode = NULL;
    pd.hDevNames = NULL;
}

int choose_printer(int request)
{
    if (load_settings() == -1)
        return -1;
    if (stored_dm_size(settings) == 0)
        set_stored_dm_size(settings, DEVMODE_PUBLIC_SIZE);

    PRINTDLGA pd = {};
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = main_window;
    pd.hDevMode = make_devmode_block(request);
    pd.Flags = PD_PRINTSETUP;
    pd.nFromPage = 1;
    pd.nToPage = 1;
    pd.nCopies = 1;
    if (!PrintDlgA(&pd)) {
        free_dialog_blocks(pd);
        if (CommDlgExtendedError() == 0)
            return 0;
        show_error_box("プリンター情報を初期値にします");
        return RESET_PRINTER_SETUP;
    }
    int stored = store_printer_from_dialog(pd.hDevMode, pd.hDevNames);
    free_dialog_blocks(pd);
    if (stored != 0)
        return -1;
    return save_settings() == 0 ? 0 : -1;
}

int refresh_default_printer(int force)
{
    if (settings.printer_choice == 1 && force == 0)
        return 1;
    if (load_settings() == -1)
        return -1;

    PRINTDLGA pd = {};
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = main_window;
    pd.Flags = PD_RETURNDEFAULT;
    pd.nFromPage = 1;
    pd.nToPage = 1;
    pd.nCopies = 1;
    if (!PrintDlgA(&pd))
        return -1;
    int stored = store_printer_from_dialog(pd.hDevMode, pd.hDevNames);
    if (pd.hDevMode)
        GlobalFree(pd.hDevMode);
    if (pd.hDevNames)
        GlobalFree(pd.hDevNames);
    if (stored != 0)
        return -1;
    save_settings();
    set_stored_dm_orientation(settings, ORIENTATION_LANDSCAPE);
    return 0;
}
