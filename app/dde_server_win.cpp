// The DDE print server and the remote request message: raw WM_DDE_* conversations, one at a
// time, and UM_REMOTE_REQUEST answered to its sender. What a request asks for is decided in
// dde_commands.cpp; the copy itself is the hot-key road of the main window.
#include "app/dde_server_win.h"

#include <dde.h>

#include "app/copy_sequence_win.h"
#include "app/dde_commands.h"
#include "app/shell_win.h"
#include "base/ids.h"

const char DDE_SERVER_CLASS[] = "KAVREL-DUX.DDESERVER";

HWND dde_server_window;

// The client of the open conversation, kept to tell whether it still exists.
static HWND dde_client_window;

static void post_copy_request(int hotkey)
{
    PostMessageA(main_window, WM_HOTKEY, hotkey, 0);
}

// A client that ended without terminating would otherwise hold the one conversation for good.
static void drop_abandoned_conversation()
{
    if (!dde_server_window || IsWindow(dde_client_window))
        return;
    HWND server = dde_server_window;
    dde_server_window = NULL;
    dde_client_window = NULL;
    DestroyWindow(server);
}

static bool open_conversation(HWND client)
{
    dde_server_window = CreateWindowExA(0, DDE_SERVER_CLASS, NULL, WS_CHILD, 0, 0, 0, 0,
                                        main_window, NULL, instance_handle, NULL);
    dde_client_window = dde_server_window ? client : NULL;
    return dde_server_window != NULL;
}

void on_dde_initiate(HWND client, LPARAM lparam)
{
    ATOM service = GlobalAddAtomA(DDE_SERVICE);
    ATOM topic = GlobalAddAtomA(DDE_TOPIC);
    // An initiate is sent, never posted: its parameter is the plain pair, with nothing to free.
    // Atom 0 asks for any service or topic and is not answered.
    bool ours = service && topic && LOWORD(lparam) == service && HIWORD(lparam) == topic;
    if (ours)
        drop_abandoned_conversation();
    if (ours && !dde_server_window && open_conversation(client)) {
        // The answer to an initiate is sent unpacked too; its atoms now belong to the client.
        SendMessageA(client, WM_DDE_ACK, (WPARAM)dde_server_window, MAKELPARAM(service, topic));
        return;
    }
    if (service)
        GlobalDeleteAtom(service);
    if (topic)
        GlobalDeleteAtom(topic);
}

static DdeExecute read_execute(HGLOBAL commands)
{
    if (busy == 1)
        return dde_execute(busy, NULL, 0);
    const char* text = static_cast<const char*>(GlobalLock(commands));
    DdeExecute exec = dde_execute(busy, text, text ? GlobalSize(commands) : 0);
    if (text)
        GlobalUnlock(commands);
    return exec;
}

// The acknowledgement says the request was taken, not that the copy worked; the command block
// goes back with it for the client to free.
static void on_dde_execute(HWND server, HWND client, LPARAM lparam)
{
    UINT_PTR unused = 0, commands = 0;
    UnpackDDElParam(WM_DDE_EXECUTE, lparam, &unused, &commands);
    FreeDDElParam(WM_DDE_EXECUTE, lparam);
    DdeExecute exec = read_execute(reinterpret_cast<HGLOBAL>(commands));
    if (exec.full_screen)
        post_copy_request(HOTKEY_FULL_SCREEN);
    if (exec.active_window)
        post_copy_request(HOTKEY_ACTIVE_WINDOW);
    LPARAM ack = PackDDElParam(WM_DDE_ACK, exec.status, commands);
    if (!PostMessageA(client, WM_DDE_ACK, (WPARAM)server, ack))
        FreeDDElParam(WM_DDE_ACK, ack);
}

static void on_dde_terminate(HWND server, HWND client)
{
    PostMessageA(client, WM_DDE_TERMINATE, (WPARAM)server, 0);
    if (server == dde_server_window) {
        dde_server_window = NULL;
        dde_client_window = NULL;
    }
    DestroyWindow(server);
}

// Ending with the main window while a conversation is open: the client is told, as either side
// of a conversation must before it goes.
static void on_server_destroy(HWND server)
{
    if (server != dde_server_window)
        return;
    PostMessageA(dde_client_window, WM_DDE_TERMINATE, (WPARAM)server, 0);
    dde_server_window = NULL;
    dde_client_window = NULL;
}

LRESULT CALLBACK dde_server_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam)
{
    switch (msg) {
    case WM_DDE_EXECUTE:
        on_dde_execute(hwnd, reinterpret_cast<HWND>(wparam), lparam);
        return 0;
    case WM_DDE_TERMINATE:
        on_dde_terminate(hwnd, reinterpret_cast<HWND>(wparam));
        return 0;
    case WM_DESTROY:
        on_server_destroy(hwnd);
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wparam, lparam);
    }
}

void on_remote_request(HWND sender, LPARAM code)
{
    RemoteAnswer answer = remote_request(busy, (long)code);
    if (!answer.answered)
        return;
    if (answer.hotkey)
        post_copy_request(answer.hotkey);
    // Without a sender the reply would land in this thread's own queue.
    if (sender)
        PostMessageA(sender, UM_REMOTE_REQUEST, (WPARAM)main_window, answer.reply);
}
