// The DDE print server (service KAVREL, topic PRINT) and the remote request message: other
// programs' ways to ask for the two copies. Both end in a hot-key message to the main window.
#pragma once

#include <windows.h>

extern const char DDE_SERVER_CLASS[];  // "KAVREL-DUX.DDESERVER"

// The server window of the one open conversation, or NULL.
extern HWND dde_server_window;

// Procedure of the server window of the one open conversation, `dde_server_window`.
LRESULT CALLBACK dde_server_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

// WM_DDE_INITIATE at the main window: answered only for KAVREL/PRINT while no conversation is
// open.
void on_dde_initiate(HWND client, LPARAM lparam);

// UM_REMOTE_REQUEST at the main window: codes 900 to 999 are answered with 0 (accepted) or
// 1 (busy) to the sender's window; others are ignored.
void on_remote_request(HWND sender, LPARAM code);
