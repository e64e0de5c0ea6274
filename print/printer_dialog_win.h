// The printer setup dialog SETPRINTER: the stored printer or the system's default one.
#pragma once

// Shows SETPRINTER modally over the main window.
void open_printer_setup_dialog();
