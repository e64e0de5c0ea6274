// The DDE print server, the remote request message and KVREQ.EXE, used from outside as other
// programs use them: a DDEML client and a raw WM_DDE_* client of the test's own, request
// messages to the main window, and the companion program run as a child process.
#include <windows.h>
#include <dde.h>
#include <ddeml.h>
#include <gtest/gtest.h>

#include <string.h>

#include <cstddef>

#include "app/dde_commands.h"
#include "base/ids.h"
#include "settings/settings.h"
#include "tests/system/harness_win.h"

namespace {

constexpr int OUTPUT_TIMEOUT_MS = 20000;
constexpr int REPLY_TIMEOUT_MS = 5000;
const char SERVER_CLASS[] = "KAVREL-DUX.DDESERVER";
const char SET_UP_PRINTER[] = "プリンタの設定をしてください";

std::string out_bmp(const std::string& dir)
{
    return numbered_output(dir, 0);
}

void expect_screen_sized(const Bytes& bmp)
{
    ASSERT_GE(bmp.size(), 54u) << "no copy was written";
    EXPECT_EQ(i32_at(bmp, 18), GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(i32_at(bmp, 22), GetSystemMetrics(SM_CYSCREEN));
}

HDDEDATA CALLBACK ignore_dde(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return NULL;
}

// One DDEML client instance with at most one conversation.
struct DdeClient {
    DWORD instance = 0;
    HCONV conversation = NULL;
    DdeClient() { DdeInitializeA(&instance, ignore_dde, APPCMD_CLIENTONLY, 0); }
    ~DdeClient()
    {
        disconnect();
        DdeUninitialize(instance);
    }
    DdeClient(const DdeClient&) = delete;
    DdeClient& operator=(const DdeClient&) = delete;

    bool connect(const char* service = DDE_SERVICE, const char* topic = DDE_TOPIC)
    {
        HSZ s = DdeCreateStringHandleA(instance, service, CP_WINANSI);
        HSZ t = DdeCreateStringHandleA(instance, topic, CP_WINANSI);
        conversation = DdeConnect(instance, s, t, NULL);
        DdeFreeStringHandle(instance, s);
        DdeFreeStringHandle(instance, t);
        return conversation != NULL;
    }

    void disconnect()
    {
        if (conversation)
            DdeDisconnect(conversation);
        conversation = NULL;
    }

    HWND server_window() const
    {
        CONVINFO info{};
        info.cb = sizeof info;
        if (!DdeQueryConvInfo(conversation, QID_SYNC, &info))
            return NULL;
        return info.hwndPartner;
    }

    struct Result {
        bool taken;
        DWORD status;  // the acknowledgement's status word
    };

    Result execute(const char* text)
    {
        DWORD status = 0xFFFFFFFF;
        HDDEDATA taken = DdeClientTransaction((LPBYTE)text, (DWORD)strlen(text) + 1, conversation,
                                              NULL, CF_TEXT, XTYP_EXECUTE, REPLY_TIMEOUT_MS,
                                              &status);
        return {taken != NULL, status};
    }
};

void expect_accepted(const DdeClient::Result& r)
{
    EXPECT_TRUE(r.taken);
    EXPECT_EQ(r.status & 0xFFFF, DDE_FACK | 0u) << "return code 0 with the ack flag";
}

void expect_refused(const DdeClient::Result& r, bool busy)
{
    EXPECT_FALSE(r.taken);
    EXPECT_EQ(r.status & 0xFF, 1u) << "return code 1";
    EXPECT_EQ((r.status & DDE_FACK) != 0, false);
    EXPECT_EQ((r.status & DDE_FBUSY) != 0, busy);
}

// A client speaking the window-message protocol itself, for what DDEML will not send: an
// initiate with a wildcard, a command block of an exact size, a client that vanishes.
struct RawClient {
    static int acks;
    static HWND ack_from;
    static WORD ack_status;
    static int terminates;
    static bool initiating;
    HWND hwnd = NULL;
    HWND server = NULL;

    static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
    {
        if (msg == WM_DDE_ACK) {
            acks++;
            ack_from = (HWND)wp;
            if (initiating) {
                GlobalDeleteAtom(LOWORD(lp));
                GlobalDeleteAtom(HIWORD(lp));
            } else {
                UINT_PTR status = 0, commands = 0;
                UnpackDDElParam(WM_DDE_ACK, lp, &status, &commands);
                FreeDDElParam(WM_DDE_ACK, lp);
                ack_status = (WORD)status;
                GlobalFree((HGLOBAL)commands);
            }
            return 0;
        }
        if (msg == WM_DDE_TERMINATE) {
            terminates++;
            return 0;
        }
        return DefWindowProcA(hwnd, msg, wp, lp);
    }

    RawClient()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = "KavrelRawDdeClient";
        RegisterClassA(&wc);
        hwnd = CreateWindowExA(0, wc.lpszClassName, NULL, WS_POPUP, 0, 0, 0, 0, NULL, NULL,
                               wc.hInstance, NULL);
    }
    ~RawClient()
    {
        if (hwnd)
            DestroyWindow(hwnd);
    }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    // Sends the initiate to the main window alone; the server window when answered.
    HWND initiate(HWND main, const char* service, const char* topic)
    {
        ATOM s = service ? GlobalAddAtomA(service) : 0;
        ATOM t = topic ? GlobalAddAtomA(topic) : 0;
        acks = 0;
        initiating = true;
        SendMessageA(main, WM_DDE_INITIATE, (WPARAM)hwnd, MAKELPARAM(s, t));
        initiating = false;
        if (s)
            GlobalDeleteAtom(s);
        if (t)
            GlobalDeleteAtom(t);
        server = acks ? ack_from : NULL;
        return server;
    }

    // Posts a command block of exactly `size` bytes; the ack's status word, or -1 without one.
    int execute(const void* bytes, size_t size)
    {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size);
        memcpy(GlobalLock(block), bytes, size);
        GlobalUnlock(block);
        acks = 0;
        if (!PostMessageA(server, WM_DDE_EXECUTE, (WPARAM)hwnd, (LPARAM)block)) {
            GlobalFree(block);
            return -1;
        }
        DWORD start = GetTickCount();
        while (!acks && GetTickCount() - start < (DWORD)REPLY_TIMEOUT_MS)
            pump_messages(20);
        return acks ? ack_status : -1;
    }

    bool terminate()
    {
        terminates = 0;
        PostMessageA(server, WM_DDE_TERMINATE, (WPARAM)hwnd, 0);
        DWORD start = GetTickCount();
        while (!terminates && GetTickCount() - start < (DWORD)REPLY_TIMEOUT_MS)
            pump_messages(20);
        return terminates > 0;
    }
};

int RawClient::acks;
HWND RawClient::ack_from;
WORD RawClient::ack_status;
int RawClient::terminates;
bool RawClient::initiating;

std::string test_exe_dir()
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, sizeof path);
    char* slash = strrchr(path, '\\');
    if (slash)
        *slash = 0;
    return path;
}

struct KvreqRun {
    DWORD exit_code = 0xFFFFFFFF;
    std::string output;
};

// Runs KVREQ.EXE with `args`, its output into a file of `dir`, pumping this thread's messages
// meanwhile so that its DDE broadcast is not held up by the test's own windows.
KvreqRun run_kvreq(const std::string& dir, const std::string& args)
{
    KvreqRun run;
    // A file of its own for each run: the last run's may not be let go of yet.
    static int runs;
    std::string out_path = dir + "\\kvreq-out" + std::to_string(++runs) + ".txt";
    SECURITY_ATTRIBUTES sa{sizeof sa, NULL, TRUE};
    HANDLE out = CreateFileA(out_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    if (out == INVALID_HANDLE_VALUE)
        return run;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out;
    si.hStdError = out;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    std::string exe = test_exe_dir() + "\\KVREQ.EXE";
    std::string cmd = "\"" + exe + "\" " + args;
    bool started = CreateProcessA(exe.c_str(), &cmd[0], NULL, NULL, TRUE, CREATE_NO_WINDOW, NULL,
                                  dir.c_str(), &si, &pi);
    CloseHandle(out);
    if (!started)
        return run;
    DWORD start = GetTickCount();
    while (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT &&
           GetTickCount() - start < (DWORD)START_TIMEOUT_MS)
        pump_messages(20);
    GetExitCodeProcess(pi.hProcess, &run.exit_code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    Bytes text = read_file(out_path);
    run.output.assign(text.begin(), text.end());
    return run;
}

// Whether the program answers request `code` from a window of its own. A request of this
// test's other window, posted after it, is answered after it: any answer to `code` has come
// by the time that one has.
bool answers(HWND main, long code)
{
    RemoteClient asked, after;
    MSG stale;
    while (PeekMessageA(&stale, asked.own, UM_REMOTE_REQUEST, UM_REMOTE_REQUEST, PM_REMOVE)) {
    }
    PostMessageA(main, UM_REMOTE_REQUEST, (WPARAM)asked.own, code);
    EXPECT_GE(after.ask(main, 950), 0) << "no answer to a request that asks for nothing";
    return PeekMessageA(&stale, asked.own, UM_REMOTE_REQUEST, UM_REMOTE_REQUEST, PM_REMOVE);
}


}  // namespace

TEST(DdeServer, ExecuteIsAcknowledgedByItsTextAndACopyFollows)
{
    std::string dir = fresh_work_dir("dde-execute");
    write_file(ini_path(dir), output_settings(dir, 1, 0, 1));
    Kavrel k(dir);
    HWND main = k.ready();
    ASSERT_TRUE(main);
    RemoteClient remote;
    DdeClient client;
    ASSERT_TRUE(client.connect()) << "no answer to KAVREL/PRINT";

    expect_refused(client.execute("[printallscreen]"), false);
    expect_refused(client.execute("PRINTALLSCREEN [PRINTACTIVE]"), false);
    ASSERT_TRUE(k.idle());
    EXPECT_FALSE(file_exists(out_bmp(dir))) << "a refused command copied";

    expect_accepted(client.execute("[Open(\"x\")][PRINTALLSCREEN][Close]"));
    // The copy request was posted before the ack: the next execute finds the program busy.
    expect_refused(client.execute("[PRINTALLSCREEN]"), true);
    expect_screen_sized(wait_for_bmp(out_bmp(dir), OUTPUT_TIMEOUT_MS));

    ASSERT_TRUE(remote.wait_idle(main));
    DeleteFileA(out_bmp(dir).c_str());
    HWND front = coloured_window(100, 100, 200, 120, RGB(255, 255, 255));
    expect_accepted(client.execute("[PRINTACTIVESCREEN]"));
    Bytes bmp = wait_for_bmp(out_bmp(dir), OUTPUT_TIMEOUT_MS);
    ASSERT_GE(bmp.size(), 54u) << "no active-window copy";
    EXPECT_EQ(i32_at(bmp, 18), 200);
    EXPECT_EQ(i32_at(bmp, 22), 120);
    DestroyWindow(front);

    client.disconnect();
    EXPECT_FALSE(k.message_box(0)) << box_text(k.message_box(0));
    EXPECT_TRUE(k.close());
}

TEST(DdeServer, ExitAfterOutputEndsTheProgramAfterACopyItAskedFor)
{
    std::string dir = fresh_work_dir("dde-exit-after");
    Bytes ini = output_settings(dir, 1, 0, 1);
    put_i32(ini, offsetof(SettingsRecord, exit_after_print), 1);
    write_file(ini_path(dir), ini);
    Kavrel k(dir);
    ASSERT_TRUE(k.ready());
    DdeClient client;
    ASSERT_TRUE(client.connect());
    expect_accepted(client.execute("[PRINTALLSCREEN]"));
    DWORD code = 1;
    EXPECT_TRUE(k.wait_exit(OUTPUT_TIMEOUT_MS, &code)) << "still running";
    EXPECT_EQ(code, 0u);
    expect_screen_sized(read_file(out_bmp(dir)));
}

TEST(DdeServer, OneConversationAtATimeOnItsOwnChildWindow)
{
    std::string dir = fresh_work_dir("dde-conversations");
    write_file(ini_path(dir), output_settings(dir, 1, 0, 1));
    Kavrel k(dir);
    HWND main = k.ready();
    ASSERT_TRUE(main);

    DdeClient wrong_topic;
    EXPECT_FALSE(wrong_topic.connect(DDE_SERVICE, "SYSTEM"));
    DdeClient wrong_service;
    EXPECT_FALSE(wrong_service.connect("KAVRELX", DDE_TOPIC));

    DdeClient first;
    ASSERT_TRUE(first.connect());
    HWND server = first.server_window();
    ASSERT_TRUE(server);
    char cls[64] = "";
    GetClassNameA(server, cls, sizeof cls);
    EXPECT_STREQ(cls, SERVER_CLASS);
    EXPECT_EQ(GetParent(server), main);
    EXPECT_TRUE(GetWindowLongA(server, GWL_STYLE) & WS_CHILD);
    RECT rc{};
    GetWindowRect(server, &rc);
    EXPECT_EQ(rc.right - rc.left, 0);
    EXPECT_EQ(rc.bottom - rc.top, 0);

    DdeClient second;
    EXPECT_FALSE(second.connect()) << "answered while a conversation is open";

    first.disconnect();
    // The server answers the terminate before it destroys its window.
    for (int i = 0; i < 100 && IsWindow(server); i++)
        pump_messages(20);
    EXPECT_FALSE(IsWindow(server)) << "server window kept after the terminate";
    // Global atoms ignore case, so the names in any case reach the server.
    EXPECT_TRUE(second.connect("kavrel", "print")) << "no new conversation after the terminate";
    second.disconnect();
    EXPECT_TRUE(k.close());
}

TEST(DdeServer, RawProtocolWildcardsExactBlocksAndAVanishedClient)
{
    std::string dir = fresh_work_dir("dde-raw");
    write_file(ini_path(dir), output_settings(dir, 1, 0, 1));
    Kavrel k(dir);
    HWND main = k.ready();
    ASSERT_TRUE(main);
    RemoteClient remote;

    {
        RawClient wildcard;
        EXPECT_FALSE(wildcard.initiate(main, NULL, DDE_TOPIC)) << "any service answered";
        EXPECT_FALSE(wildcard.initiate(main, DDE_SERVICE, NULL)) << "any topic answered";
    }

    RawClient raw;
    ASSERT_TRUE(raw.initiate(main, DDE_SERVICE, DDE_TOPIC));
    // No terminator: the block ends where the command ends.
    const char exact[] = "[PRINTALLSCREEN]";
    EXPECT_EQ(raw.execute(exact, strlen(exact)), (int)DDE_FACK);
    expect_screen_sized(wait_for_bmp(out_bmp(dir), OUTPUT_TIMEOUT_MS));
    ASSERT_TRUE(remote.wait_idle(main));
    DeleteFileA(out_bmp(dir).c_str());
    // The block ends one byte short of the command: what lies beyond it is not read.
    EXPECT_EQ(raw.execute(exact, strlen(exact) - 1), 1);
    ASSERT_TRUE(k.idle());
    EXPECT_FALSE(file_exists(out_bmp(dir)));
    EXPECT_TRUE(raw.terminate()) << "terminate not answered";

    // A client that goes without terminating does not hold the conversation for good.
    {
        RawClient vanishing;
        ASSERT_TRUE(vanishing.initiate(main, DDE_SERVICE, DDE_TOPIC));
    }
    DdeClient next;
    EXPECT_TRUE(next.connect()) << "the vanished client still holds the conversation";
    next.disconnect();
    EXPECT_TRUE(k.close());
}

TEST(RemoteRequest, CodesOfTheRangeAreAnsweredAndTheCopyCodesCopy)
{
    std::string dir = fresh_work_dir("remote-request");
    write_file(ini_path(dir), output_settings(dir, 1, 0, 1));
    Kavrel k(dir);
    HWND main = k.ready();
    ASSERT_TRUE(main);
    RemoteClient remote;

    EXPECT_EQ(remote.ask(main, 950), REPLY_ACCEPTED);
    EXPECT_EQ(remote.replied_by, main);
    EXPECT_FALSE(answers(main, 5)) << "a code outside 900 to 999";
    EXPECT_FALSE(answers(main, 1000));
    ASSERT_TRUE(k.idle());
    EXPECT_FALSE(file_exists(out_bmp(dir))) << "a code that asks for nothing copied";

    EXPECT_EQ(remote.ask(main, REQ_FULL_SCREEN), REPLY_ACCEPTED);
    EXPECT_EQ(remote.ask(main, REQ_FULL_SCREEN), REPLY_BUSY) << "second request while copying";
    EXPECT_EQ(remote.ask(main, 950), REPLY_BUSY);
    expect_screen_sized(wait_for_bmp(out_bmp(dir), OUTPUT_TIMEOUT_MS));

    ASSERT_TRUE(remote.wait_idle(main));
    DeleteFileA(out_bmp(dir).c_str());
    HWND front = coloured_window(100, 100, 160, 90, RGB(255, 255, 255));
    EXPECT_EQ(remote.ask(main, REQ_ACTIVE_WINDOW), REPLY_ACCEPTED);
    Bytes bmp = wait_for_bmp(out_bmp(dir), OUTPUT_TIMEOUT_MS);
    ASSERT_GE(bmp.size(), 54u) << "no active-window copy";
    EXPECT_EQ(i32_at(bmp, 18), 160);
    EXPECT_EQ(i32_at(bmp, 22), 90);
    DestroyWindow(front);
    EXPECT_FALSE(k.message_box(0)) << box_text(k.message_box(0));
    EXPECT_TRUE(k.close());
}

TEST(Kvreq, UsageAndNoProgramAreExitCodeTwo)
{
    std::string dir = fresh_work_dir("kvreq-alone");
    for (const char* args : {"", "full active", "everything", "--remote"}) {
        KvreqRun run = run_kvreq(dir, args);
        EXPECT_EQ(run.exit_code, 2u) << "args: " << args;
        EXPECT_NE(run.output.find("usage"), std::string::npos) << run.output;
    }
    KvreqRun dde = run_kvreq(dir, "full");
    EXPECT_EQ(dde.exit_code, 2u);
    EXPECT_NE(dde.output.find("not running"), std::string::npos) << dde.output;
    KvreqRun remote = run_kvreq(dir, "active --remote");
    EXPECT_EQ(remote.exit_code, 2u);
    EXPECT_NE(remote.output.find("not running"), std::string::npos) << remote.output;
}

// Without a stored printer a copy stops at the printer message, and the program stays busy
// for as long as the message is up: a state the test can hold.
TEST(Kvreq, ReportsAcceptedAndBusyInWordsAndExitCode)
{
    std::string dir = fresh_work_dir("kvreq");
    write_file(ini_path(dir), default_settings_file());
    Kavrel k(dir);
    HWND main = k.ready();
    ASSERT_TRUE(main);
    RemoteClient remote;

    KvreqRun accepted = run_kvreq(dir, "full");
    EXPECT_EQ(accepted.exit_code, 0u);
    EXPECT_NE(accepted.output.find("accepted"), std::string::npos) << accepted.output;
    HWND box = k.message_box();
    ASSERT_TRUE(box) << "the accepted request did not reach the copy";
    EXPECT_EQ(box_text(box), SET_UP_PRINTER);

    for (const char* args : {"full", "active", "full --remote", "--remote active"}) {
        KvreqRun busy = run_kvreq(dir, args);
        EXPECT_EQ(busy.exit_code, 1u) << args;
        EXPECT_NE(busy.output.find("busy"), std::string::npos) << busy.output;
    }

    press_ok(box);
    ASSERT_TRUE(remote.wait_idle(main));
    KvreqRun by_message = run_kvreq(dir, "--remote active");
    EXPECT_EQ(by_message.exit_code, 0u);
    EXPECT_NE(by_message.output.find("accepted"), std::string::npos) << by_message.output;
    HWND second = k.message_box();
    EXPECT_TRUE(second) << "the request by message did not reach the copy";
    if (second) {
        EXPECT_EQ(box_text(second), SET_UP_PRINTER);
        press_ok(second);
    }
    ASSERT_TRUE(k.idle()) << "the copy did not end";
    EXPECT_FALSE(k.message_box(0)) << "a box too many";
    EXPECT_TRUE(k.close());
}
