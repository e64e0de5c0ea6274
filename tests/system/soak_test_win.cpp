// KAVREL.EXE seen from outside through many copies asked for by hot key, over DDE and by
// dropped files: its kernel handles, its committed memory and the USER objects of the session
// must settle. KAVREL_SOAK_ROUNDS and KAVREL_SOAK_PER_ROUND make it longer, KAVREL_SOAK_PRINT=1
// prints every output as well (scripts/soak.sh).
#include <windows.h>
#include <ddeml.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "tests/system/harness_win.h"
#include "tests/system/outside_win.h"

namespace {

// Committed private memory of `process`, walked region by region.
long long committed_of(HANDLE process)
{
    long long total = 0;
    MEMORY_BASIC_INFORMATION m;
    for (char* at = nullptr; VirtualQueryEx(process, at, &m, sizeof m) == sizeof m;) {
        if (m.State == MEM_COMMIT && m.Type == MEM_PRIVATE)
            total += m.RegionSize;
        char* next = (char*)m.BaseAddress + m.RegionSize;
        if (next <= at)
            break;
        at = next;
    }
    return total;
}

// Free slots of the session's USER handle table, which holds the program's windows, menus,
// cursors and icons too: menus made until creation fails.
long free_user_slots()
{
    std::vector<HMENU> made;
    while (made.size() < 200000) {
        HMENU m = CreatePopupMenu();
        if (!m)
            break;
        made.push_back(m);
    }
    for (HMENU m : made)
        DestroyMenu(m);
    return (long)made.size();
}

struct Figures {
    long handles;
    long long committed;
    long user_free;
};

Figures figures_of(const Kavrel& k)
{
    // The program has ended all it was asked (the last conversation's end among it), and this
    // thread has taken what came back.
    EXPECT_TRUE(k.idle());
    pump_messages(0);
    return {kernel_handles_of(k.pi.dwProcessId), committed_of(k.pi.hProcess), free_user_slots()};
}

int env_number(const char* name, int fallback)
{
    const char* v = getenv(name);
    return v && atoi(v) > 0 ? atoi(v) : fallback;
}

HDDEDATA CALLBACK ignore_dde(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return NULL;
}

// One DDE request for a full-screen copy in its own conversation; true when it was taken.
bool dde_copy(DWORD instance)
{
    HSZ service = DdeCreateStringHandleA(instance, "KAVREL", CP_WINANSI);
    HSZ topic = DdeCreateStringHandleA(instance, "PRINT", CP_WINANSI);
    HCONV conversation = DdeConnect(instance, service, topic, NULL);
    DdeFreeStringHandle(instance, service);
    DdeFreeStringHandle(instance, topic);
    if (!conversation)
        return false;
    const char text[] = "[PRINTALLSCREEN]";
    DWORD status = 0;
    HDDEDATA taken = DdeClientTransaction((LPBYTE)text, sizeof text, conversation, NULL, CF_TEXT,
                                          XTYP_EXECUTE, 5000, &status);
    DdeDisconnect(conversation);
    return taken && (status & DDE_FACK);
}

}  // namespace

TEST(Soak, HandlesMemoryAndUserObjectsSettleOverCopiesDdeRequestsAndDrops)
{
    SKIP_IN_EXTRA_SESSIONS("its figures are the program's own and the session's, whatever system "
                           "Wine reports");
    const int rounds = env_number("KAVREL_SOAK_ROUNDS", 3);
    const int per_round = env_number("KAVREL_SOAK_PER_ROUND", 5);
    const bool print = env_number("KAVREL_SOAK_PRINT", 0) == 1;
    std::set<std::string> pdfs;
    if (print)
        pdfs = printed_pdfs();
    std::string dir = fresh_work_dir("soak");
    // Numbered files (and pages), the high-speed option.
    Bytes ini = output_settings(dir, print ? 2 : 1, 1, 1);
    // A fixed area of 256 x 192 with an adjustment: every copy makes a bitmap of 192 KB, runs
    // the colour pass and writes a file.
    put_i32(ini, offsetof(SettingsRecord, use_fixed_area), 1);
    put_i32(ini, offsetof(SettingsRecord, area_left), 0);
    put_i32(ini, offsetof(SettingsRecord, area_top), 0);
    put_i32(ini, offsetof(SettingsRecord, area_right), 256);
    put_i32(ini, offsetof(SettingsRecord, area_bottom), 192);
    put_i32(ini, offsetof(SettingsRecord, brightness), 20);
    write_file(ini_path(dir), ini);

    Kavrel k(dir);
    HWND main = k.ready();
    ASSERT_TRUE(main);
    DWORD dde = 0;
    ASSERT_EQ(DdeInitializeA(&dde, ignore_dde, APPCMD_CLIENTONLY, 0), (UINT)DMLERR_NO_ERROR);

    RemoteClient remote;
    int outputs = 0;
    // Busy answers to "do you take requests?", each asked again.
    int refused = 0;
    int dde_refused = 0;
    // Requests go only when the program has said it takes them again: it refuses a copy
    // silently while busy, which lasts a while after each output, and between that answer and
    // the request nothing but this test can make it busy again.
    auto until_idle = [&](const char* what) {
        bool idle = remote.wait_idle(main, 20000, &refused);
        EXPECT_TRUE(idle) << what << ": still busy after output " << outputs;
        return idle;
    };
    // Waits for output `outputs` to be complete (the program closes it only when it is).
    auto next_output = [&](const char* what) {
        Bytes bmp = wait_for_bmp(numbered_output(dir, outputs), 15000);
        EXPECT_GE(bmp.size(), 54u) << what << ": no output " << outputs;
        if (bmp.size() < 54)
            return false;
        outputs++;
        return true;
    };
    std::vector<std::string> drops;
    auto round = [&]() {
        for (int i = 0; i < per_round; i++) {
            if (!until_idle("hot key"))
                return false;
            press_keys({VK_SNAPSHOT});
            if (!next_output("hot key"))
                return false;
        }
        for (int i = 0; i < per_round; i++) {
            if (!until_idle("DDE"))
                return false;
            bool taken = false;
            for (int attempt = 0; attempt < 5 && !taken; attempt++)
                if (!(taken = dde_copy(dde))) {
                    dde_refused++;
                    remote.wait_idle(main, 20000, &refused);
                }
            EXPECT_TRUE(taken) << "a DDE request was not taken";
            if (!taken || !next_output("DDE"))
                return false;
        }
        // A drop is turned away while a copy runs.
        if (!until_idle("drop"))
            return false;
        // The first output as the file to drop, many times over.
        if (drops.empty()) {
            Bytes first = read_file(numbered_output(dir, 0));
            for (int i = 0; i < per_round; i++) {
                drops.push_back(dir + "\\IN" + std::to_string(i) + ".BMP");
                write_file(drops.back(), first);
            }
        }
        EXPECT_EQ(drop_files(main, drops, dir), "finished");
        // The drop's outputs are read only once its run is over: its last file complete and
        // the program taking requests again, so no read meets it numbering the next one.
        int last = outputs + per_round - 1;
        Bytes bmp = wait_for_bmp(numbered_output(dir, last), 15000);
        EXPECT_GE(bmp.size(), 54u) << "drop: no output " << last;
        if (bmp.size() < 54 || !until_idle("after the drop"))
            return false;
        for (int i = 0; i < per_round; i++)
            if (!next_output("drop"))
                return false;
        return true;
    };

    ASSERT_TRUE(round()) << "the first round";
    Figures base = figures_of(k);
    int base_outputs = outputs;
    printf("[   NOTE   ] after %d outputs: %ld handles, %lld KB committed, %ld free USER slots\n",
           outputs, base.handles, base.committed / 1024, base.user_free);
    ASSERT_GT(base.handles, 0);
    ASSERT_GT(base.committed, 0);
    Figures last = base;
    for (int r = 1; r < rounds; r++) {
        ASSERT_TRUE(round()) << "round " << r + 1;
        last = figures_of(k);
        printf("[   NOTE   ] after %d outputs: %ld handles, %lld KB committed, %ld free USER "
               "slots\n",
               outputs, last.handles, last.committed / 1024, last.user_free);
    }
    printf("[   NOTE   ] %d busy answers before a request could go, %d DDE requests "
           "refused\n",
           refused, dde_refused);
    EXPECT_FALSE(k.message_box(0)) << "a box came up";
    DdeUninitialize(dde);
    EXPECT_TRUE(k.close());
    if (print) {
        // Every page came out; they go again.
        DWORD quiet_since = GetTickCount();
        size_t seen = 0;
        while (seen < (size_t)outputs && GetTickCount() - quiet_since < 60000) {
            size_t now = printed_pdfs().size() - pdfs.size();
            if (now != seen)
                quiet_since = GetTickCount();
            seen = now;
            pump_messages(500);
        }
        pump_messages(1000);
        EXPECT_EQ(seen, (size_t)outputs) << "pages printed";
        for (const std::string& name : printed_pdfs())
            if (!pdfs.count(name))
                DeleteFileA(name.c_str());
    }

    int measured = outputs - base_outputs;
    // Allowances: a few handles and USER objects that come and go (the session's other
    // programs share the USER table); the heap's growth in its own steps, and what Wine's
    // GetClipboardData leaves in the program on each output (1 KB), far below one copy's
    // bitmap (192 KB).
    EXPECT_LE(last.handles - base.handles, 4) << "kernel handles over " << measured << " outputs";
    EXPECT_LE(base.user_free - last.user_free, 8) << "USER objects over " << measured
                                                  << " outputs";
    EXPECT_LE(last.committed - base.committed, (1 << 20) + measured * 2048LL)
        << "committed memory over " << measured << " outputs";
}
