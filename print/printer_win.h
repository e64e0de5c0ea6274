// The stored printer setup and the system's default printer.
#pragma once

#include <windows.h>

// 1 nothing to do (stored printer in use, not forced); 0 the stored setup now describes the
// system default printer, asking for landscape; -1 no settings, no default printer, or it
// cannot be opened or queried.
int refresh_default_printer(int force);

// Keeps the device mode and DEVNAMES a print dialog returned, then the printer's driver name.
// 0 stored (in memory, not saved); -1 the printer cannot be opened or queried (user told).
int store_printer_from_dialog(HGLOBAL devmode, HGLOBAL devnames);
