// Benchmark: KAVREL.EXE driven from outside as a user or another program would, timed.
//   - Print Screen (SendInput) to a finished BMP file, with and without the high-speed option;
//   - a DDE "[PRINTALLSCREEN]" to the job handed to CUPS and to the finished PDF (--print N);
//   - KAVREL.EXE's working set idle, and its peak after the copies and after the prints.
// Prints "FIG name values..." lines for scripts/bench.sh, and the figures in words.
//   bench_copy_win.exe REPS [--print N]
#include <windows.h>
#include <ddeml.h>
#include <psapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "app/dde_commands.h"
#include "tests/bench/bench_win.h"
#include "tests/system/harness_win.h"

static const int COPY_TIMEOUT_MS = 120000;
// The program refuses requests for 500 ms after each output; this is comfortably beyond.
static const int BETWEEN_REQUESTS_MS = 1000;

// The writer holds the file without sharing until it has closed it; once it opens, a whole
// file is one whose length is its header's size field.
static bool bmp_finished(const std::string& path)
{
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                           OPEN_EXISTING, 0, NULL);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    unsigned char head[6] = {0};
    DWORD got = 0;
    bool done = ReadFile(f, head, sizeof head, &got, NULL) && got == sizeof head &&
                head[0] == 'B' && head[1] == 'M' &&
                (DWORD)(head[2] | head[3] << 8 | head[4] << 16 | (DWORD)head[5] << 24) ==
                    GetFileSize(f, NULL);
    CloseHandle(f);
    return done;
}

// Milliseconds from the key press to the finished file, or -1 when none came.
static double time_hot_key_copy(const std::string& bmp)
{
    DeleteFileA(bmp.c_str());
    double start = now_ms();
    press_keys({VK_SNAPSHOT});
    while (now_ms() - start < COPY_TIMEOUT_MS) {
        if (bmp_finished(bmp))
            return now_ms() - start;
        Sleep(2);
    }
    return -1;
}

struct Memory {
    double working_set_mb = 0;
    double peak_mb = 0;
};

static Memory memory_of(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    Memory m;
    if (GetProcessMemoryInfo(process, &pmc, sizeof pmc)) {
        m.working_set_mb = pmc.WorkingSetSize / 1048576.0;
        m.peak_mb = pmc.PeakWorkingSetSize / 1048576.0;
    }
    return m;
}

static std::set<std::string> files_in(const std::string& pattern)
{
    std::set<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do
        names.insert(fd.cFileName);
    while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

static bool has_new(const std::set<std::string>& now, const std::set<std::string>& before)
{
    for (const auto& n : now)
        if (!before.count(n))
            return true;
    return false;
}

// cups-pdf writes the file in pieces; it is whole once the trailer has come.
static bool new_finished_pdf(const std::set<std::string>& before)
{
    for (const std::string& name : printed_pdfs()) {
        if (before.count(name))
            continue;
        Bytes data = read_file(name);
        const char eof[] = "%%EOF";
        if (data.size() >= 5 &&
            std::search(data.end() - std::min<size_t>(data.size(), 64), data.end(), eof,
                        eof + 5) != data.end())
            return true;
    }
    return false;
}

static HDDEDATA CALLBACK ignore_dde(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return NULL;
}

static bool send_print_all_screen()
{
    DWORD instance = 0;
    if (DdeInitializeA(&instance, ignore_dde, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return false;
    HSZ service = DdeCreateStringHandleA(instance, DDE_SERVICE, CP_WINANSI);
    HSZ topic = DdeCreateStringHandleA(instance, DDE_TOPIC, CP_WINANSI);
    HCONV conversation = DdeConnect(instance, service, topic, NULL);
    bool taken = false;
    if (conversation) {
        DWORD status = 0;
        taken = DdeClientTransaction((LPBYTE)DDE_FULL_SCREEN_COMMAND,
                                     (DWORD)strlen(DDE_FULL_SCREEN_COMMAND) + 1, conversation,
                                     NULL, CF_TEXT, XTYP_EXECUTE, 5000, &status) != NULL;
        DdeDisconnect(conversation);
    }
    DdeFreeStringHandle(instance, service);
    DdeFreeStringHandle(instance, topic);
    DdeUninitialize(instance);
    return taken;
}

// A print request: milliseconds to the job's data in the CUPS spool folder (the program has
// handed it over) and to the finished PDF; -1 for what did not come.
static void time_dde_print(double* handed_over, double* finished)
{
    // The scheduler keeps each job's document as a d-file in its spool folder. (A job another
    // user sends to the same scheduler meanwhile would be taken for this one.)
    const std::string spool = "Z:\\var\\spool\\cups\\d*";
    std::set<std::string> spooled = files_in(spool);
    std::set<std::string> pdfs = printed_pdfs();
    *handed_over = *finished = -1;
    double start = now_ms();
    if (!send_print_all_screen())
        return;
    while (now_ms() - start < COPY_TIMEOUT_MS) {
        if (*handed_over < 0 && has_new(files_in(spool), spooled))
            *handed_over = now_ms() - start;
        if (new_finished_pdf(pdfs)) {
            *finished = now_ms() - start;
            return;
        }
        Sleep(5);
    }
}

int main(int argc, char** argv)
{
    int reps = argc > 1 ? atoi(argv[1]) : 5;
    int prints = argc > 3 && strcmp(argv[2], "--print") == 0 ? atoi(argv[3]) : 0;
    if (reps < 1)
        reps = 1;
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    printf("screen %d x %d, %d repetitions\n", w, h, reps);

    std::string dir = fresh_work_dir("bench-copy");
    std::string bmp = dir + "\\OUT.BMP";
    write_file(ini_path(dir), output_settings(dir, 1, 0, 1));
    Kavrel kavrel(dir);
    if (!kavrel.main_window()) {
        printf("KAVREL.EXE did not start\n");
        return 1;
    }
    pause_ms(2000);
    Memory idle = memory_of(kavrel.pi.hProcess);
    print_fig("mem_idle", {idle.working_set_mb, idle.peak_mb}, 1);

    bool all_done = true;
    for (int high_speed = 1; high_speed >= 0; high_speed--) {
        write_file(ini_path(dir), output_settings(dir, 1, 0, high_speed));
        std::vector<double> times;
        // The first copy of a run pays for loading the sound and imaging code once.
        for (int r = -1; r < reps; r++) {
            double ms = time_hot_key_copy(bmp);
            if (ms < 0) {
                all_done = false;
                break;
            }
            if (r >= 0)
                times.push_back(ms);
            pause_ms(BETWEEN_REQUESTS_MS);
        }
        Bytes file = read_file(bmp);
        if (i32_at(file, 18) != w || i32_at(file, 22) != h)
            all_done = false;
        print_fig(high_speed ? "hotkey_fast" : "hotkey_normal", times, 1);
    }
    Memory copied = memory_of(kavrel.pi.hProcess);
    print_fig("mem_copy", {copied.working_set_mb, copied.peak_mb}, 1);
    printf("image %.1f MB\n", w * (double)h * 4 / 1048576.0);

    if (prints > 0) {
        write_file(ini_path(dir), output_settings(dir, 0, 0, 1));
        std::vector<double> handed, finished;
        for (int r = 0; r < prints; r++) {
            double a, b;
            time_dde_print(&a, &b);
            if (b < 0) {
                all_done = false;
                break;
            }
            if (a >= 0)
                handed.push_back(a);
            finished.push_back(b);
            pause_ms(BETWEEN_REQUESTS_MS);
        }
        print_fig("dde_handed", handed, 1);
        print_fig("dde_pdf", finished, 1);
        Memory printed = memory_of(kavrel.pi.hProcess);
        print_fig("mem_print", {printed.working_set_mb, printed.peak_mb}, 1);
    }
    kavrel.close();
    if (!all_done)
        printf("some requests did not finish\n");
    return all_done ? 0 : 1;
}
