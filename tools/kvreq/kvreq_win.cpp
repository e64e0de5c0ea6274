// KVREQ.EXE: asks a running KAVREL for a copy from the command line, over DDE or with the
// remote request message, and says in words and in its exit code how the request was taken.
//
//   KVREQ.EXE full|active [--remote]
//
// Exit codes: 0 accepted, 1 refused (busy), 2 no KAVREL or bad arguments, 3 no answer in time.
#include <windows.h>
#include <ddeml.h>
#include <stdio.h>
#include <string.h>

#include "app/dde_commands.h"
#include "base/ids.h"

enum Outcome { ACCEPTED = 0, REFUSED = 1, NOT_RUNNING = 2, NO_ANSWER = 3 };

static const DWORD ANSWER_TIMEOUT_MS = 5000;

struct Request {
    bool active;
    bool remote;
};

static bool parse_arguments(int argc, char** argv, Request* request)
{
    int copies = 0;
    *request = Request{};
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "full") == 0) {
            request->active = false;
            copies++;
        } else if (strcmp(argv[i], "active") == 0) {
            request->active = true;
            copies++;
        } else if (strcmp(argv[i], "--remote") == 0) {
            request->remote = true;
        } else {
            return false;
        }
    }
    return copies == 1;
}

static HDDEDATA CALLBACK dde_callback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return NULL;
}

// A negative acknowledgement: Windows reports a busy one as DMLERR_BUSY, Wine as not processed.
static bool refused(UINT error, DWORD status)
{
    return error == DMLERR_NOTPROCESSED || error == DMLERR_BUSY || (status & DDE_STATUS_BUSY);
}

static Outcome execute_over_dde(DWORD instance, const char* command)
{
    HSZ service = DdeCreateStringHandleA(instance, DDE_SERVICE, CP_WINANSI);
    HSZ topic = DdeCreateStringHandleA(instance, DDE_TOPIC, CP_WINANSI);
    HCONV conversation = DdeConnect(instance, service, topic, NULL);
    Outcome outcome = NOT_RUNNING;
    if (conversation) {
        DWORD status = 0;
        HDDEDATA taken = DdeClientTransaction((LPBYTE)command, (DWORD)strlen(command) + 1,
                                              conversation, NULL, CF_TEXT, XTYP_EXECUTE,
                                              ANSWER_TIMEOUT_MS, &status);
        if (taken)
            outcome = ACCEPTED;
        else if (refused(DdeGetLastError(instance), status))
            outcome = REFUSED;
        else
            outcome = NO_ANSWER;
        DdeDisconnect(conversation);
    }
    DdeFreeStringHandle(instance, service);
    DdeFreeStringHandle(instance, topic);
    return outcome;
}

static Outcome request_over_dde(bool active)
{
    DWORD instance = 0;
    if (DdeInitializeA(&instance, dde_callback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return NOT_RUNNING;
    Outcome outcome =
        execute_over_dde(instance, active ? DDE_ACTIVE_WINDOW_COMMAND : DDE_FULL_SCREEN_COMMAND);
    DdeUninitialize(instance);
    return outcome;
}

// The reply is posted to a window of this program; a hidden window needs no procedure of its
// own, since the reply is taken straight from the queue.
static Outcome wait_reply(HWND own, HWND kavrel)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, own, UM_REMOTE_REQUEST, UM_REMOTE_REQUEST, PM_REMOVE)) {
            if ((HWND)msg.wParam == kavrel)
                return msg.lParam == REPLY_ACCEPTED ? ACCEPTED : REFUSED;
        }
        DWORD waited = GetTickCount() - start;
        if (waited >= ANSWER_TIMEOUT_MS)
            return NO_ANSWER;
        MsgWaitForMultipleObjects(0, NULL, FALSE, ANSWER_TIMEOUT_MS - waited, QS_POSTMESSAGE);
    }
}

static Outcome request_by_message(bool active)
{
    HWND kavrel = FindWindowA(APP_TITLE, NULL);
    if (!kavrel)
        return NOT_RUNNING;
    // A hidden top-level window: message-only ones came with Windows 2000.
    HWND own = CreateWindowExA(0, "STATIC", NULL, WS_POPUP, 0, 0, 0, 0, NULL, NULL,
                               GetModuleHandleA(NULL), NULL);
    if (!own)
        return NO_ANSWER;
    Outcome outcome = NOT_RUNNING;
    LPARAM code = active ? REQ_ACTIVE_WINDOW : REQ_FULL_SCREEN;
    if (PostMessageA(kavrel, UM_REMOTE_REQUEST, (WPARAM)own, code))
        outcome = wait_reply(own, kavrel);
    DestroyWindow(own);
    return outcome;
}

int main(int argc, char** argv)
{
    Request request;
    if (!parse_arguments(argc, argv, &request)) {
        fprintf(stderr, "usage: KVREQ.EXE full|active [--remote]\n");
        return NOT_RUNNING;
    }
    Outcome outcome =
        request.remote ? request_by_message(request.active) : request_over_dde(request.active);
    const char* copy = request.active ? "active-window copy" : "full-screen copy";
    switch (outcome) {
    case ACCEPTED:
        printf("accepted: KAVREL takes the %s\n", copy);
        break;
    case REFUSED:
        printf("refused: KAVREL is busy with a copy\n");
        break;
    case NOT_RUNNING:
        printf("not running: no KAVREL answered\n");
        break;
    case NO_ANSWER:
        printf("no answer: KAVREL did not reply within %lu ms\n", ANSWER_TIMEOUT_MS);
        break;
    }
    return outcome;
}
