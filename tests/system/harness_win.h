// Drives KAVREL.EXE from outside, as another program or a user would: starts it in its own
// folder, finds its windows, answers its message boxes, reads the files it writes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

constexpr int START_TIMEOUT_MS = 30000;
constexpr int BOX_TIMEOUT_MS = 15000;

using Bytes = std::vector<unsigned char>;

// A started KAVREL.EXE; ended by force on destruction if still running.
struct Kavrel {
    PROCESS_INFORMATION pi{};
    explicit Kavrel(const std::string& work_dir);
    ~Kavrel();
    Kavrel(const Kavrel&) = delete;
    Kavrel& operator=(const Kavrel&) = delete;

    HWND main_window(int timeout_ms = START_TIMEOUT_MS) const;
    // The main window (shown or in the tray) once the program takes requests: its start-up is
    // over and what it posted itself meanwhile (the hot keys' registration) is done, so a hot
    // key pressed now is its. NULL when it did not come to that within `timeout_ms`.
    HWND ready(int timeout_ms = START_TIMEOUT_MS) const;
    // Whether it answers a request posted now as not busy (asking again while it is busy): all
    // it was sent or posted before, hot keys among them, has been taken and has ended. What a
    // test checks "did not happen" it checks after this, so that it is not "not yet".
    bool idle(int timeout_ms = 20000) const;
    // Whether it answers a request posted now, busy or not: it has then taken all that was
    // posted to it before, even while one of its boxes runs the message loop.
    bool taken_by_now() const;
    HWND message_box(int timeout_ms = BOX_TIMEOUT_MS) const;
    bool wait_exit(int timeout_ms, DWORD* exit_code = nullptr) const;
    // Closes it through its system menu's Close and waits for it to end; true when it ended.
    bool close(DWORD* exit_code = nullptr) const;
};

// The users' folders and files have Japanese names, many ending in a character whose second
// byte in code page 932 is 0x5C, the byte of '\' (表, ソ): the tests' folders and output files
// are named so.
constexpr char WORK_DIR_SUFFIX[] = "_一覧表";
constexpr char OUTPUT_STEM[] = "ソフト表";
// A new, empty folder for one test: `name` followed by WORK_DIR_SUFFIX.
std::string fresh_work_dir(const std::string& name);
std::string ini_path(const std::string& work_dir);
// The n-th output of numbered file names to `dir`\ソフト表.BMP: ソフト表.BMP, ソフト表1.BMP...
std::string numbered_output(const std::string& dir, int n);

Bytes read_file(const std::string& path);
void write_file(const std::string& path, const Bytes& data);
bool file_exists(const std::string& path);
int32_t i32_at(const Bytes& data, size_t offset);
void put_i32(Bytes& data, size_t offset, int32_t value);

// KAVREL.INI of `dir` once it is whole (the program holds it without sharing while it saves,
// so a file that cannot be read or is short is not yet saved) and `ready` holds for it; as it
// reads when `timeout_ms` is up otherwise.
Bytes wait_settings(const std::string& dir, const std::function<bool(const Bytes&)>& ready,
                    int timeout_ms = 10000);
// ... once it is whole and its bytes differ from `before`.
Bytes wait_settings_changed(const std::string& dir, const Bytes& before, int timeout_ms = 10000);
// ... once it is whole: for a file the program may be saving.
Bytes read_settings(const std::string& dir, int timeout_ms = 10000);

// A settings file as the program writes it on a first start, for tests to change.
Bytes default_settings_file();
// Bytes that look like nothing in particular, the same on every run.
Bytes pseudo_random_bytes(size_t n, uint32_t seed);
// A settings file for output to `device` (0 printer, 1 file, 2 both) to `dir`\ソフト表.BMP, on the
// system default printer, the window shown normally.
Bytes output_settings(const std::string& dir, int device, int file_name_mode, int high_speed);

// Waits until `path` holds a whole BMP file (its size field is reached); what it holds then.
Bytes wait_for_bmp(const std::string& path, int ms);
// A 24-bit BMP file of `width` x `height` with the colour `colour(x, y)` at (x, y), counted from
// the top; its rows stored top-down (a negative height) or bottom-up.
Bytes bmp_24(int width, int height, bool top_down,
             const std::function<COLORREF(int x, int y)>& colour);
// The colour at (x, y), counted from the top, of a 24- or 32-bit BMP file; 0xFFFFFFFF outside.
uint32_t bmp_pixel(const Bytes& bmp, int x, int y);

std::string window_text(HWND hwnd);
// The text line of a standard message box.
std::string box_text(HWND box);
// Whether a dialog is a message box: its text is the one static control with id 0xFFFF. The
// program's classic dialog templates give their unnamed labels 0xFFFF as well (a WORD -1), but
// never as the only one that is a static.
bool is_message_box(HWND dlg);
void press_ok(HWND box);

// Presses the keys in order through SendInput and lets them go in reverse order.
void press_keys(std::initializer_list<WORD> keys);

// Sends UM_REMOTE_REQUEST from a message-only window of this thread, as another program does,
// and waits for the answer.
struct RemoteClient {
    HWND own = NULL;
    HWND replied_by = NULL;
    RemoteClient();
    ~RemoteClient();
    RemoteClient(const RemoteClient&) = delete;
    RemoteClient& operator=(const RemoteClient&) = delete;

    // The reply code, or -1 when none came within `timeout_ms`.
    int ask(HWND main, long code, int timeout_ms = 5000);
    // Asks until the program says it takes requests (code 950 asks for nothing and answers
    // whether it is busy); false when it did not within `timeout_ms`. Each busy answer adds one
    // to `*refused`.
    bool wait_idle(HWND main, int timeout_ms = 20000, int* refused = nullptr);
};

// Top-level windows of class `class_name` of process `pid` (of any process when 0), only the
// visible ones when `visible_only`, in the order the desktop lists them.
std::vector<HWND> windows_of(DWORD pid, const char* class_name, bool visible_only);
// The first of them once there is one; NULL when none came within `timeout_ms`.
HWND wait_window(DWORD pid, const char* class_name, bool visible_only, int timeout_ms);

// The kernel handles of process `pid`, from the system's list of all handles (what Wine keeps
// in its server); -1 where that list is not given.
long kernel_handles_of(DWORD pid);

// Main windows of the program's class on the desktop, of any process.
int count_main_windows();

void pause_ms(int ms);

// Lets the window system deliver pending paints and messages of this thread.
void pump_messages(int ms);

// A Linux folder named by an environment variable, as a Windows path ("" when unset).
std::string env_dir_as_windows(const char* variable);

// The PDF files the session's printer has left so far (KAVREL_PDF_DIR). The folder is the
// session's own, and a PDF appears in it only once finished (moved in whole).
std::set<std::string> printed_pdfs();

// Waits for a PDF that is not in `before`: its Windows path, or "" after `ms`.
std::string wait_for_new_pdf(const std::set<std::string>& before, int ms);

// A popup of the test's own in one colour, topmost and in front: the active window of a copy.
HWND coloured_window(int x, int y, int w, int h, COLORREF colour);

// The system this prefix reports, asked the way the program asks it (GetVersionExA).
bool windows_95_family();
// True under Wine when it reports the Windows 95 family: Wine 8 prints nothing there (PrintDlgA
// with PD_RETURNDEFAULT crashes inside comdlg32, EndDoc fails with error 1157). On a real
// Windows 95 or 98 it is false, and the print tests run.
bool wine_cannot_print_here();
// Skips the current test, saying why, where no page can be printed (see above).
#define SKIP_WHERE_NOTHING_PRINTS()                                                              \
    do {                                                                                         \
        if (wine_cannot_print_here())                                                            \
            GTEST_SKIP() << "Wine prints nothing when it reports the Windows 95 family "         \
                            "(PrintDlgA PD_RETURNDEFAULT crashes in comdlg32; EndDoc fails, "    \
                            "error 1157): this test needs a printed page";                       \
    } while (0)

// ---- Runs that end in boxes, and requests that must not be answered ----
// A message box of the program that exists now, shown or not yet (only a shown one when
// `shown_only`): a box answers requests from its own message loop before it is first shown,
// so this is what a check for "no box" after Kavrel::idle() looks at.
HWND message_box_made(const Kavrel& k, bool shown_only = false);
// Answers the program's message boxes as they come, until it takes requests again (or has
// ended): their texts in order. A box's own message loop answers a request as busy, so "not
// busy" means the run is over and no box of it is still to come.
std::vector<std::string> answer_boxes_until_idle(const Kavrel& k, int timeout_ms = 60000);
// Skips the current test in the extra Windows-version sessions (KAVREL_EXTRA_SESSION set),
// saying `why`: for long tests whose outcome the system Wine reports does not change.
#define SKIP_IN_EXTRA_SESSIONS(why)                                                              \
    do {                                                                                         \
        if (getenv("KAVREL_EXTRA_SESSION"))                                                      \
            GTEST_SKIP() << "runs in the default session only: " << why;                         \
    } while (0)

// The session's PDF printer, the default printer Wine sees (KAVREL_PRINTER; "" when unset).
std::string session_printer();
