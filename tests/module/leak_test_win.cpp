// Leaks counted: each operation of the Win32 modules, and its failure paths, run many times
// between two counts of what a process can leak (leak_count_win.h), which must hold.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "app/copy_sequence_win.h"
#include "app/shell_win.h"
#include "capture/capture_win.h"
#include "capture/clipboard_win.h"
#include "print/print_job_win.h"
#include "print/printer_setup.h"
#include "print/printer_win.h"
#include "settings/settings.h"
#include "settings/settings_win.h"
#include "tests/module/import_hook_win.h"
#include "tests/module/leak_count_win.h"
#include "tests/module/module_harness_win.h"
#include "tests/system/harness_win.h"

// The counts see what they count: each moves by the objects left on purpose, and comes back.
TEST(LeakCounts, SeeWhatIsLeftOnPurpose)
{
    SKIP_IN_EXTRA_SESSIONS(LEAK_LOOP_SESSIONS);
    DWORD start = GetTickCount();
    ResourceCounts before = count_resources();
    DWORD took = GetTickCount() - start;
    printf("[   NOTE   ] %s (counted in %lu ms)\n", describe(before).c_str(), took);
    ASSERT_GT(before.gdi_free, 1000);
    ASSERT_GT(before.user_free, 1000);
    ASSERT_GT(before.global_free, 1000);
    ASSERT_GT(before.kernel_handles, 0);
    ASSERT_GT(before.heap_blocks, 0);
    ASSERT_GT(before.committed, 0);
    EXPECT_EQ(resource_growth(before, count_resources()), "");

    const int N = 5;
    std::vector<HGDIOBJ> gdi;
    std::vector<HMENU> menus;
    std::vector<HGLOBAL> globals;
    std::vector<HANDLE> events;
    std::vector<void*> blocks;
    for (int i = 0; i < N; i++) {
        gdi.push_back(CreateSolidBrush(RGB(i, 0, 0)));
        menus.push_back(CreateMenu());
        globals.push_back(GlobalAlloc(GMEM_MOVEABLE, 16));
        events.push_back(CreateEventA(NULL, TRUE, FALSE, NULL));
        blocks.push_back(malloc(100));
    }
    void* pages = VirtualAlloc(NULL, 4 << 20, MEM_COMMIT, PAGE_READWRITE);
    HANDLE section = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, 1 << 20,
                                        NULL);
    void* view = MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, 0);
    ASSERT_TRUE(pages && view);

    ResourceCounts leaked = count_resources();
    printf("[   NOTE   ] %s\n", describe(leaked).c_str());
    EXPECT_EQ(before.gdi_free - leaked.gdi_free, N);
    EXPECT_EQ(before.user_free - leaked.user_free, N);
    EXPECT_EQ(before.global_free - leaked.global_free, N);
    EXPECT_EQ(leaked.kernel_handles - before.kernel_handles, N + 1);
    EXPECT_GE(leaked.heap_blocks - before.heap_blocks, N);
    EXPECT_GE(leaked.committed - before.committed, 4 << 20);
    EXPECT_GE(leaked.mapped - before.mapped, 1 << 20);
    std::string growth = resource_growth(before, leaked);
    for (const char* what : {"GDI", "USER", "global", "kernel", "committed", "mapped"})
        EXPECT_NE(growth.find(what), std::string::npos) << what << " not reported:\n" << growth;

    for (int i = 0; i < N; i++) {
        DeleteObject(gdi[i]);
        DestroyMenu(menus[i]);
        GlobalFree(globals[i]);
        CloseHandle(events[i]);
        free(blocks[i]);
    }
    VirtualFree(pages, 0, MEM_RELEASE);
    UnmapViewOfFile(view);
    CloseHandle(section);
    EXPECT_EQ(resource_growth(before, count_resources()), "");
}

namespace {

// Cycles of an operation between the two counts. The counts are exact, and the largest
// allowance is 16 heap blocks: one object left per cycle shows in every count at this many.
const int CYCLES = 50;

// The step error boxes answered at once (a real box takes a poll of the box watcher, and these
// tests show thousands), with the last text and the number kept.
int boxes_shown = 0;
char last_box[256];

int WINAPI answer_box(HWND, LPCSTR text, LPCSTR, UINT)
{
    boxes_shown++;
    lstrcpynA(last_box, text, sizeof last_box);
    return IDOK;
}

ImportHook* wait_hook = nullptr;
DWORD waiting_thread = 0;

// The program waits for a held clipboard about a second before it gives up: on the thread that
// runs the operations those waits (with no handles) are skipped, or fifty refusals would take
// most of a minute.
DWORD WINAPI no_wait_here(DWORD count, const HANDLE* handles, BOOL all, DWORD ms, DWORD mask)
{
    auto real = reinterpret_cast<decltype(&MsgWaitForMultipleObjects)>(wait_hook->original);
    bool skipped = count == 0 && GetCurrentThreadId() == waiting_thread;
    return real(count, handles, all, skipped ? 0 : ms, mask);
}

// The clipboard open in another thread while it lives, as another program would hold it.
struct ClipboardHeld {
    ImportHook no_wait{"user32.dll", "MsgWaitForMultipleObjects", (void*)no_wait_here};
    HANDLE opened = CreateEventA(NULL, TRUE, FALSE, NULL);
    HANDLE release = CreateEventA(NULL, TRUE, FALSE, NULL);
    HANDLE thread = NULL;
    static DWORD WINAPI hold(void* arg)
    {
        auto* self = static_cast<ClipboardHeld*>(arg);
        OpenClipboard(NULL);
        SetEvent(self->opened);
        WaitForSingleObject(self->release, INFINITE);
        CloseClipboard();
        return 0;
    }
    ClipboardHeld()
    {
        wait_hook = &no_wait;
        waiting_thread = GetCurrentThreadId();
        thread = CreateThread(NULL, 0, hold, this, 0, NULL);
        WaitForSingleObject(opened, 5000);
    }
    ~ClipboardHeld()
    {
        SetEvent(release);
        WaitForSingleObject(thread, 5000);
        CloseHandle(thread);
        CloseHandle(opened);
        CloseHandle(release);
        waiting_thread = 0;
    }
};

// Functions that fail on demand, put in place of the system's by ImportHook.
HBITMAP WINAPI no_bitmap(HDC, int, int)
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return NULL;
}
HDC WINAPI no_memory_dc(HDC)
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return NULL;
}
int WINAPI no_bits(HDC, HBITMAP, UINT, UINT, LPVOID, LPBITMAPINFO, UINT)
{
    return 0;
}
// The clipboard refusing the hand-off, as it does when it cannot copy the data it is given.
const DWORD REFUSED_HAND_OFF = ERROR_NOT_ENOUGH_MEMORY;
HANDLE WINAPI no_clipboard_data(UINT, HANDLE)
{
    SetLastError(REFUSED_HAND_OFF);
    return NULL;
}
bool box_has_code(const char* box, DWORD code)
{
    return strstr(box, ("(ERR=" + std::to_string(code) + ")").c_str()) != nullptr;
}
ImportHook* write_hook = nullptr;
// Writes half of every piece, as a full disk would.
BOOL WINAPI half_write(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED o)
{
    auto real = reinterpret_cast<decltype(&WriteFile)>(write_hook->original);
    return real(file, data, size / 2, written, o);
}
// Wine's GetClipboardData leaves a heap block behind on every call that finds the data of
// this process (1 KB in Wine 8): counted here, so that it is told apart from the program's.
ImportHook* read_hook = nullptr;
long clipboard_reads = 0;
HANDLE WINAPI counted_read(UINT format)
{
    clipboard_reads++;
    return reinterpret_cast<decltype(&GetClipboardData)>(read_hook->original)(format);
}

struct ReadCost {
    long long blocks = 0, bytes = 0;
};

// What one GetClipboardData call leaves, measured over 200 calls on a bitmap of this process.
ReadCost clipboard_read_cost()
{
    static ReadCost cost;
    static bool measured = false;
    if (measured)
        return cost;
    OpenClipboard(main_window);
    EmptyClipboard();
    SetClipboardData(CF_BITMAP, CreateBitmap(4, 4, 1, 32, NULL));
    CloseClipboard();
    const int calls = 200;
    ResourceCounts before = count_resources();
    for (int i = 0; i < calls; i++) {
        OpenClipboard(main_window);
        GetClipboardData(CF_BITMAP);
        CloseClipboard();
    }
    ResourceCounts after = count_resources();
    cost.blocks = (after.heap_blocks - before.heap_blocks + calls / 2) / calls;
    cost.bytes = (after.heap_bytes - before.heap_bytes + calls / 2) / calls;
    measured = true;
    printf("[   NOTE   ] GetClipboardData leaves %lld heap blocks, %lld bytes per call here\n",
           cost.blocks, cost.bytes);
    return cost;
}

int WINAPI no_document(HDC, const DOCINFOA*)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
}

class Leaks : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_IN_EXTRA_SESSIONS(LEAK_LOOP_SESSIONS);
        reset_settings(settings);
        repair_loaded_settings(settings);
        settings.high_speed_scan = 1;  // the stand-in window stays where it is
        make_stand_in_main_window(600, 500, 180, 42, RGB(192, 192, 192));
        dir = fresh_work_dir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        snprintf(settings_path, sizeof settings_path, "%s\\KAVREL.INI", dir.c_str());
        // A copy of a fixed area with an adjustment that changes every pixel.
        capture_active_window = 0;
        capture_target = main_window;
        settings.use_fixed_area = 1;
        settings.area_left = 100;
        settings.area_top = 100;
        settings.area_right = 300;
        settings.area_bottom = 200;
        settings.brightness = 25;
        settings.green_level = -60;
        settings.black_emphasis = 1;
        boxes_shown = 0;
        last_box[0] = 0;
        read_hook = &clipboard_read;
        ASSERT_TRUE(box_hook.original && clipboard_read.original);
        clipboard_read_cost();  // before the test's own image is on the clipboard
    }
    void TearDown() override
    {
        destroy_stand_in_main_window();
        read_hook = nullptr;
    }

    // Runs `op` `cycles` times between two counts, after two runs that fill what Wine caches
    // on a first use; `op` says whether it went as it should (all must).
    template <typename Op>
    void expect_no_leak(int cycles, Op op)
    {
        ASSERT_TRUE(op()) << "first run: " << last_box;
        ASSERT_TRUE(op()) << "second run: " << last_box;
        ReadCost read_cost = clipboard_read_cost();  // measured already
        ResourceCounts before = count_resources();
        clipboard_reads = 0;
        DWORD start = GetTickCount();
        int wrong = 0;
        for (int i = 0; i < cycles; i++) {
            wrong += !op();
            clear_painted_percents();
        }
        DWORD took = GetTickCount() - start;
        ResourceCounts after = count_resources();
        printf("[   NOTE   ] %d cycles in %lu ms, %ld clipboard reads; after: %s\n", cycles,
               took, clipboard_reads, describe(after).c_str());
        after.heap_blocks -= clipboard_reads * read_cost.blocks;
        after.heap_bytes -= clipboard_reads * read_cost.bytes;
        after.committed -= clipboard_reads * read_cost.bytes;
        EXPECT_EQ(wrong, 0) << "cycles that went otherwise; last box: " << last_box;
        EXPECT_EQ(resource_growth(before, after), "")
            << "after " << cycles << " cycles; before: " << describe(before);
    }
    // The box of a failed step, once, and nothing else.
    bool one_box(const char* text, const char* step)
    {
        std::string want = std::string(text) + "\n" + step + "(ERR=";
        bool ok = boxes_shown == 1 && strncmp(last_box, want.c_str(), want.size()) == 0;
        boxes_shown = 0;
        return ok;
    }
    bool no_box()
    {
        bool ok = boxes_shown == 0;
        boxes_shown = 0;
        return ok;
    }
    // The printer setup as the program stores it for the system's default printer.
    void use_default_printer()
    {
        ASSERT_EQ(save_settings(), 0);
        ASSERT_EQ(refresh_default_printer(1), 0);
        set_stored_dm_orientation(settings, 1);
        settings.printer_choice = 1;
        ASSERT_EQ(save_settings(), 0);
    }
    // Waits for the `count` documents printed since `before` and removes them.
    void remove_printed(const std::set<std::string>& before, size_t count)
    {
        DWORD last_new = GetTickCount();
        size_t seen = 0;
        while (GetTickCount() - last_new < 30000) {
            size_t now = 0;
            for (const std::string& name : printed_pdfs())
                now += !before.count(name);
            if (now != seen)
                last_new = GetTickCount();
            seen = now;
            if (seen >= count)
                break;
            pump_messages(200);
        }
        // A page is in the folder only once it is whole.
        for (const std::string& name : printed_pdfs())
            if (!before.count(name))
                DeleteFileA(name.c_str());
    }
    std::string dir;
    ImportHook box_hook{"user32.dll", "MessageBoxA", (void*)answer_box};
    ImportHook clipboard_read{"user32.dll", "GetClipboardData", (void*)counted_read};
};

bool clipboard_bitmap_is(int w, int h)
{
    if (!OpenClipboard(NULL))
        return false;
    BITMAP bm = {};
    HBITMAP b = (HBITMAP)GetClipboardData(CF_BITMAP);
    bool ok = b && GetObjectA(b, sizeof bm, &bm) && bm.bmWidth == w && bm.bmHeight == h;
    CloseClipboard();
    return ok;
}

const char CAPTURE_FAILED[] = "画像の取り込みに失敗しました";
const char EXPAND_FAILED[] = "データの展開に失敗しました";
const char PREPARE_FAILED[] = "印刷準備に失敗しました";

}  // namespace

TEST_F(Leaks, CaptureWithAdjustment)
{
    expect_no_leak(CYCLES, [this] {
        return capture_to_clipboard(main_window, noted_capture()) == 0 && clipboard_bitmap_is(200, 100) &&
               no_box();
    });
    // Where the bits cannot be had the pass goes pixel by pixel (a small area: that is slow).
    settings.area_right = 120;
    settings.area_bottom = 110;
    ImportHook bits("gdi32.dll", "GetDIBits", (void*)no_bits);
    ASSERT_TRUE(bits.original);
    expect_no_leak(CYCLES, [this] {
        return capture_to_clipboard(main_window, noted_capture()) == 0 && clipboard_bitmap_is(20, 10) &&
               no_box();
    });
}

TEST_F(Leaks, FailedCaptures)
{
    {
        ClipboardHeld held;
        expect_no_leak(CYCLES, [this] {
            return capture_to_clipboard(main_window, noted_capture()) == -2 && one_box(CAPTURE_FAILED, "OPEN CLIP");
        });
    }
    {
        ImportHook bitmap("gdi32.dll", "CreateCompatibleBitmap", (void*)no_bitmap);
        ASSERT_TRUE(bitmap.original);
        expect_no_leak(CYCLES, [this] {
            return capture_to_clipboard(main_window, noted_capture()) == -3 &&
                   one_box(CAPTURE_FAILED, "CREATE CB BM");
        });
    }
    {
        ImportHook dc("gdi32.dll", "CreateCompatibleDC", (void*)no_memory_dc);
        ASSERT_TRUE(dc.original);
        expect_no_leak(CYCLES, [this] {
            return capture_to_clipboard(main_window, noted_capture()) == -3 && one_box(CAPTURE_FAILED, "OPEN CB DC");
        });
    }
    {
        // The refused bitmap is deleted, not counted as captured.
        ImportHook data("user32.dll", "SetClipboardData", (void*)no_clipboard_data);
        ASSERT_TRUE(data.original);
        expect_no_leak(CYCLES, [this] {
            return capture_to_clipboard(main_window, noted_capture()) == -3 &&
                   box_has_code(last_box, REFUSED_HAND_OFF) && one_box(CAPTURE_FAILED, "SET CLIP");
        });
    }
}

TEST_F(Leaks, BmpWrite)
{
    ASSERT_EQ(capture_to_clipboard(main_window, noted_capture()), 0);
    settings.file_name_mode = 0;  // the same file, written again
    std::string file = dir + "\\COPY.BMP";
    strcpy(settings.output_file_name, file.c_str());
    expect_no_leak(CYCLES, [&] {
        return save_clipboard_image() == 0 && no_box() &&
               GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES;
    });
}

TEST_F(Leaks, FailedBmpWrites)
{
    ASSERT_EQ(capture_to_clipboard(main_window, noted_capture()), 0);
    settings.file_name_mode = 0;
    // A folder that does not exist.
    strcpy(settings.output_file_name, (dir + "\\none\\COPY.BMP").c_str());
    expect_no_leak(CYCLES, [this] {
        return save_clipboard_image() == -1 &&
               one_box("出力ファイルが作成できません", "Create Bitmap File");
    });
    // A disk that fills up in the middle of the file.
    std::string file = dir + "\\COPY.BMP";
    strcpy(settings.output_file_name, file.c_str());
    ImportHook write("kernel32.dll", "WriteFile", (void*)half_write);
    write_hook = &write;
    ASSERT_TRUE(write.original);
    expect_no_leak(CYCLES, [this] {
        return save_clipboard_image() == -1 &&
               one_box("ファイル出力ができません", "Create Bitmap File");
    });
    write_hook = nullptr;
}

TEST_F(Leaks, BmpLoadOntoTheClipboard)
{
    ASSERT_EQ(capture_to_clipboard(main_window, noted_capture()), 0);
    std::string file = dir + "\\COPY.BMP";
    strcpy(settings.output_file_name, file.c_str());
    settings.file_name_mode = 0;
    ASSERT_EQ(save_clipboard_image(), 0);
    expect_no_leak(CYCLES, [&] {
        return load_file_to_clipboard(main_window, file.c_str()) == 0 &&
               clipboard_bitmap_is(200, 100) && no_box();
    });
}

TEST_F(Leaks, RefusedBmpFiles)
{
    ASSERT_EQ(capture_to_clipboard(main_window, noted_capture()), 0);
    std::string good = dir + "\\COPY.BMP";
    strcpy(settings.output_file_name, good.c_str());
    settings.file_name_mode = 0;
    ASSERT_EQ(save_clipboard_image(), 0);
    Bytes bmp = read_file(good);
    // Refused at each of the loader's stages: no file, no BMP header, a damaged block, a
    // bitmap the system cannot make, one it makes but the program does not take (10001 wide).
    const std::string missing = dir + "\\missing.bmp", text = dir + "\\text.bmp",
                      cut = dir + "\\cut.bmp", wide = dir + "\\wide.bmp";
    write_file(text, Bytes{'h', 'e', 'l', 'l', 'o'});
    write_file(cut, Bytes(bmp.begin(), bmp.begin() + 40));
    Bytes w(bmp.begin(), bmp.begin() + 54);  // 10001 x 1 pixels, 24 bits: taken by none
    put_i32(w, 18, 10001);
    put_i32(w, 22, 1);
    put_i32(w, 28, 24);  // 24 bits, and the first half of BI_RGB
    put_i32(w, 10, 54);  // the pixels right after the header
    w.resize(54 + 30004, 0x55);
    put_i32(w, 2, (int32_t)w.size());
    put_i32(w, 34, 30004);
    write_file(wide, w);
    // Each refused the same way every time (a handle left open would make the next attempt
    // fail to open the file instead).
    const struct {
        std::string file;
        const char* text;  // NULL: whatever the first refusal says
    } refusals[] = {{missing, "ファイルを開くことができません"},
                    {text, "このファイルはビットマップファイルではありません"},
                    {cut, NULL},
                    {wide, "ビットマップファイルを取り扱えません"}};
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.file);
        ASSERT_EQ(load_file_to_clipboard(main_window, r.file.c_str()), -1);
        ASSERT_EQ(boxes_shown, 1);
        std::string first = last_box;
        if (r.text) {
            ASSERT_EQ(first.rfind(std::string(r.text) + "\nLoad Bitmap(ERR=", 0), 0u) << first;
        }
        boxes_shown = 0;
        expect_no_leak(CYCLES, [&] {
            bool ok = load_file_to_clipboard(main_window, r.file.c_str()) == -1 &&
                      boxes_shown == 1 && first == last_box && clipboard_bitmap_is(200, 100);
            boxes_shown = 0;
            return ok;
        });
    }
    {
        // A loaded file the clipboard refuses.
        ImportHook data("user32.dll", "SetClipboardData", (void*)no_clipboard_data);
        ASSERT_TRUE(data.original);
        expect_no_leak(CYCLES, [&] {
            return load_file_to_clipboard(main_window, good.c_str()) == -1 &&
                   box_has_code(last_box, REFUSED_HAND_OFF) && one_box(CAPTURE_FAILED, "SET CLIP");
        });
    }
    // A file loaded while another program holds the clipboard.
    ClipboardHeld held;
    expect_no_leak(CYCLES, [&] {
        return load_file_to_clipboard(main_window, good.c_str()) == -1 &&
               one_box(CAPTURE_FAILED, "OPEN CLIP");
    });
}

// Printing makes a document on the PDF printer each time: fewer cycles, and the PDFs removed
// after.
TEST_F(Leaks, Print)
{
    // The default printer is taken through PrintDlgA, which crashes there.
    SKIP_WHERE_NOTHING_PRINTS();
    use_default_printer();
    ASSERT_EQ(capture_to_clipboard(main_window, noted_capture()), 0);
    std::set<std::string> pdfs = printed_pdfs();
    const int cycles = 40;
    expect_no_leak(cycles, [this] { return print_image() == 0 && no_box(); });
    expect_no_leak(cycles, [this] { return print_image_banded() == 0 && no_box(); });
    // Nothing to print: the document is begun, then the image is missing.
    OpenClipboard(main_window);
    EmptyClipboard();
    CloseClipboard();
    expect_no_leak(cycles / 2, [this] { return print_image() == -1 && one_box(EXPAND_FAILED, "B TO D1"); });
    expect_no_leak(cycles / 2, [this] {
        return print_image_banded() == -1 && one_box(EXPAND_FAILED, "B TO D1");
    });
    remove_printed(pdfs, 2 * cycles + cycles + 8);
}

TEST_F(Leaks, FailedPrints)
{
    // The default printer is taken through PrintDlgA, which crashes there.
    SKIP_WHERE_NOTHING_PRINTS();
    use_default_printer();
    ASSERT_EQ(capture_to_clipboard(main_window, noted_capture()), 0);
    {
        // A document the printer refuses to begin.
        ImportHook doc("gdi32.dll", "StartDocA", (void*)no_document);
        ASSERT_TRUE(doc.original);
        expect_no_leak(CYCLES, [this] {
            return print_image() == -6 && one_box(PREPARE_FAILED, "START DOC");
        });
    }
    // No such printer, then none stored at all.
    strcpy(reinterpret_cast<char*>(settings.printer_devmode), "NO SUCH PRINTER");
    for (int (*job)() : {print_image, print_image_banded})
        expect_no_leak(CYCLES, [this, job] {
            return job() == -6 && one_box(PREPARE_FAILED, "CREATE DC");
        });
    memset(settings.printer_devmode, 0, sizeof settings.printer_devmode);
    expect_no_leak(CYCLES, [this] { return print_image() == -6 && one_box(PREPARE_FAILED, "CREATE DC"); });
}
