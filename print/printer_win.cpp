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

// The whole name of the printer the system last described in a dialog's DEVNAMES: the device
// mode keeps only its first 31 bytes. Not saved; a start finds it again by the stored ones.
static char described_printer[PRINTER_NAME_SIZE];

static void stored_device_name(const SettingsRecord& record, char out[CCHDEVICENAME + 1])
{
    memcpy(out, record.printer_devmode + DEVMODE_DEVICE_NAME_AT, CCHDEVICENAME);
    out[CCHDEVICENAME] = '\0';
}

int store_printer_from_dialog(HGLOBAL devmode, HGLOBAL devnames)
{
    // The new setup goes into the record only whole: a device mode beside the old driver name
    // would be saved by the next save from memory, and on the Windows 95 family printed with.
    SettingsRecord staged = settings;
    store_block(staged, devmode, store_returned_devmode);
    store_block(staged, devnames, store_returned_devnames);

    // The printer by its whole name where the dialog gave it.
    char device_name[PRINTER_NAME_SIZE] = {0};
    stored_device_name(staged, device_name);
    char described[PRINTER_NAME_SIZE] = {0};
    store_block(staged, devnames, [&](SettingsRecord&, const unsigned char* p, size_t size) {
        devnames_device_name(p, size, described, sizeof described);
    });
    if (described[0] && printer_name_continues(device_name, described))
        memcpy(device_name, described, sizeof device_name);
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
    memcpy(described_printer, device_name, sizeof described_printer);
    return 0;
}

// The names of the installed printers, local and connected, through EnumPrintersA, looked up
// where it is (it is not among the calls the program imports). Empty when there are none or
// they cannot be listed; `error` then says why.
struct InstalledPrinters {
    BYTE* info = nullptr;
    const char** names = nullptr;
    DWORD count = 0;
    DWORD error = 0;
    InstalledPrinters() = default;
    void list()
    {
        using EnumPrintersProc = BOOL(WINAPI*)(DWORD, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD,
                                               LPDWORD);
        auto enum_printers = reinterpret_cast<EnumPrintersProc>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("WINSPOOL.DRV"), "EnumPrintersA")));
        if (!enum_printers) {
            error = ERROR_PROC_NOT_FOUND;
            return;
        }
        // Level 4 (names only, quick) is the NT family's; the Windows 95 family lists level 2,
        // its own printers and the network printers it is connected to alike.
        bool nt = os_platform != VER_PLATFORM_WIN32_WINDOWS;
        DWORD level = nt ? 4 : 2;
        DWORD flags = nt ? PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS : PRINTER_ENUM_LOCAL;
        DWORD needed = 0, returned = 0;
        // The list may grow between the two calls: asked again while it does.
        bool listed = false;
        for (int attempt = 0; attempt < 3 && !listed; attempt++) {
            listed = enum_printers(flags, NULL, level, info, needed, &needed, &returned);
            if (listed)
                break;
            error = GetLastError();
            free(info);
            info = nullptr;
            returned = 0;
            if (error != ERROR_INSUFFICIENT_BUFFER || needed == 0)
                return;
            info = static_cast<BYTE*>(calloc(1, needed));
            if (!info) {
                error = ERROR_NOT_ENOUGH_MEMORY;
                return;
            }
        }
        if (!listed)
            return;
        names = static_cast<const char**>(calloc(returned ? returned : 1, sizeof *names));
        if (!names) {
            error = ERROR_NOT_ENOUGH_MEMORY;
            return;
        }
        for (DWORD i = 0; i < returned; i++) {
            const char* name = nt ? reinterpret_cast<PRINTER_INFO_4A*>(info)[i].pPrinterName
                                  : reinterpret_cast<PRINTER_INFO_2A*>(info)[i].pPrinterName;
            if (name)
                names[count++] = name;
        }
        error = 0;
    }
    ~InstalledPrinters()
    {
        free(names);
        free(info);
    }
    InstalledPrinters(const InstalledPrinters&) = delete;
    InstalledPrinters& operator=(const InstalledPrinters&) = delete;
};

DWORD stored_printer_name(char* out, size_t size)
{
    char stored[CCHDEVICENAME + 1];
    stored_device_name(settings, stored);
    InstalledPrinters installed;
    const char* name = stored;
    if (described_printer[0] && printer_name_continues(stored, described_printer)) {
        name = described_printer;
    } else if (strlen(stored) >= STORED_NAME_MAY_BE_CUT) {
        installed.list();
        size_t found = 0;
        PrinterMatch match =
            match_stored_printer(stored, installed.names, installed.count, &found);
        if (match == PrinterMatch::NONE && installed.error)
            return installed.error;
        if (match != PrinterMatch::ONE)
            return ERROR_INVALID_PRINTER_NAME;
        name = installed.names[found];
    }
    size_t length = strlen(name);
    if (length >= size)
        return ERROR_INSUFFICIENT_BUFFER;
    memcpy(out, name, length + 1);
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
