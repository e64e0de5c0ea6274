// The stored printer setup and the system's default printer.
#pragma once

#include <windows.h>

// choose_printer's request for the retry after the print dialog failed, and its result then.
constexpr int RESET_PRINTER_SETUP = -6;

// Lets the user pick a printer in the system's print setup dialog and saves it as the stored
// setup. `request` 1, or RESET_PRINTER_SETUP to open the dialog without the stored device mode.
// 0 saved, or cancelled with nothing changed; -1 no settings, the printer cannot be opened or
// queried, or the save failed; RESET_PRINTER_SETUP the dialog failed (user told).
int choose_printer(int request);

// 1 nothing to do (stored printer in use, not forced); 0 the stored setup now describes the
// system default printer, asking for landscape; -1 no settings, no default printer, or it
// cannot be opened or queried.
int refresh_default_printer(int force);

// The whole name of the stored printer into `out` (PRINTER_NAME_SIZE bytes): the device mode
// keeps only its first 31 bytes. The name the last print dialog gave when those begin it, the
// stored name itself when it is shorter, else the one installed printer whose name begins with
// them. 0 found; else the system's error code (ERROR_INVALID_PRINTER_NAME when none or several
// printers' names begin with them).
DWORD stored_printer_name(char* out, size_t size);

// Keeps the device mode and DEVNAMES a print dialog returned, then the printer's driver name.
// 0 stored (in memory, not saved); -1 the printer cannot be opened or queried (user told).
int store_printer_from_dialog(HGLOBAL devmode, HGLOBAL devnames);
