// Roads of the copy sequence that end in a failure or in the program's end: a clipboard held
// by another program, an area that cannot be made, output without a printer or with a file that
// cannot be written, and the exit after an output however it began.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "tests/system/harness_win.h"
#include "tests/system/outside_win.h"

namespace {

constexpr int OUTPUT_TIMEOUT_MS = 20000;
const char CLIPBOARD_UNUSABLE[] = "クリップボードが使えません\nシステムを確認してください";
const char CAPTURE_FAILED[] = "画像の取り込みに失敗しました\n";

#define AT(field) offsetof(SettingsRecord, field)

std::string out_bmp(const std::string& dir)
{
    return numbered_output(dir, 0);
}

bool starts_with(const std::string& text, const std::string& head)
{
    return text.rfind(head, 0) == 0;
}

// A started program on `ini`, taking requests.
struct Started {
    std::string dir;
    Kavrel k;
    HWND main;
    Started(const std::string& d, const Bytes& ini)
        : dir(d), k((write_file(ini_path(dir), ini), dir)), main(k.ready())
    {
    }
};

Bytes file_output(const std::string& dir)
{
    return output_settings(dir, 1, 0, 1);
}

}  // namespace

TEST(CaptureFailure, ClipboardHeldByAnotherProgramIsMinusTwoWithItsMessageAndBusyIsReleased)
{
    std::string dir = fresh_work_dir("capture-clipboard-held");
    Started s(dir, file_output(dir));
    ASSERT_TRUE(s.main);
    HWND own = CreateWindowExA(0, "STATIC", "holder", 0, 0, 0, 0, 0, NULL, NULL,
                               GetModuleHandleA(NULL), NULL);
    ASSERT_TRUE(OpenClipboard(own));
    press_keys({VK_SNAPSHOT});
    std::vector<std::string> boxes = answer_boxes_until_idle(s.k);
    CloseClipboard();
    DestroyWindow(own);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(starts_with(boxes[0], std::string(CAPTURE_FAILED) + "OPEN CLIP(ERR=")) << boxes[0];
    EXPECT_EQ(boxes[1], CLIPBOARD_UNUSABLE);
    EXPECT_FALSE(file_exists(out_bmp(dir)));
    press_keys({VK_SNAPSHOT});
    EXPECT_GE(wait_for_bmp(out_bmp(dir), OUTPUT_TIMEOUT_MS).size(), 54u) << "still busy";
    EXPECT_FALSE(s.k.message_box(0));
    EXPECT_TRUE(s.k.close());
}

// Clipboard history and clipboard managers hold the clipboard for a moment after each change.
// Held from before the copy until 300 ms after the capture was due (500 ms after the window
// hid), the clipboard is waited for and the copy goes through; held on until the program gives
// up, the test above, it fails as it did.
TEST(CaptureFailure, ClipboardHeldForAMomentByAnotherProgramIsWaitedFor)
{
    std::string dir = fresh_work_dir("capture-clipboard-held-briefly");
    Started s(dir, output_settings(dir, 1, 0, 0));
    ASSERT_TRUE(s.main);
    HWND own = CreateWindowExA(0, "STATIC", "holder", 0, 0, 0, 0, 0, NULL, NULL,
                               GetModuleHandleA(NULL), NULL);
    ASSERT_TRUE(OpenClipboard(own));
    press_keys({VK_SNAPSHOT});
    DWORD start = GetTickCount();
    while (IsWindowVisible(s.main) && GetTickCount() - start < 10000)
        Sleep(5);
    bool hidden = !IsWindowVisible(s.main);
    if (hidden)
        Sleep(500 + 300);
    CloseClipboard();
    DestroyWindow(own);
    ASSERT_TRUE(hidden) << "the copy did not begin";
    EXPECT_GE(wait_for_bmp(out_bmp(dir), OUTPUT_TIMEOUT_MS).size(), 54u);
    EXPECT_EQ(answer_boxes_until_idle(s.k), std::vector<std::string>{});
    EXPECT_TRUE(s.k.close());
}

TEST(CaptureFailure, AnAreaThatCannotBeMadeIsMinusThreeWithItsMessageAndBusyIsReleased)
{
    std::string dir = fresh_work_dir("capture-area-too-big");
    Bytes ini = file_output(dir);
    put_i32(ini, AT(use_fixed_area), 1);
    put_i32(ini, AT(area_right), 32000);
    put_i32(ini, AT(area_bottom), 32000);
    Started s(dir, ini);
    ASSERT_TRUE(s.main);
    press_keys({VK_SNAPSHOT});
    std::vector<std::string> boxes = answer_boxes_until_idle(s.k);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(starts_with(boxes[0], std::string(CAPTURE_FAILED) + "CREATE CB BM(ERR="))
        << boxes[0];
    EXPECT_EQ(boxes[1], CLIPBOARD_UNUSABLE);
    EXPECT_FALSE(file_exists(out_bmp(dir)));
    // Every copy reads the file again: with the area mended the next one goes through.
    write_file(ini_path(dir), file_output(dir));
    press_keys({VK_SNAPSHOT});
    Bytes bmp = wait_for_bmp(out_bmp(dir), OUTPUT_TIMEOUT_MS);
    ASSERT_GE(bmp.size(), 54u) << "still busy";
    EXPECT_EQ(i32_at(bmp, 18), GetSystemMetrics(SM_CXSCREEN));
    EXPECT_TRUE(s.k.close());
}

TEST(OutputRoad, FileOnlyNeedsNoStoredPrinter)
{
    std::string dir = fresh_work_dir("output-file-no-printer");
    Bytes ini = file_output(dir);
    put_i32(ini, AT(printer_choice), 1);  // the stored printer, and none is stored
    Started s(dir, ini);
    ASSERT_TRUE(s.main);
    press_keys({VK_SNAPSHOT});
    EXPECT_GE(wait_for_bmp(out_bmp(dir), OUTPUT_TIMEOUT_MS).size(), 54u);
    EXPECT_EQ(answer_boxes_until_idle(s.k), std::vector<std::string>{});
    EXPECT_TRUE(s.k.close());
}

TEST(OutputRoad, AFileThatCannotBeWrittenIsReportedAndThePageStillPrints)
{
    SKIP_WHERE_NOTHING_PRINTS();
    std::string dir = fresh_work_dir("output-both-bad-file");
    Bytes ini = output_settings(dir + "\\NO-SUCH-FOLDER", 2, 0, 1);
    std::set<std::string> pdfs = printed_pdfs();
    Started s(dir, ini);
    ASSERT_TRUE(s.main);
    press_keys({VK_SNAPSHOT});
    std::vector<std::string> boxes = answer_boxes_until_idle(s.k);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back(), "ファイル出力できませんでした");
    std::string pdf = wait_for_new_pdf(pdfs, 60000);
    EXPECT_FALSE(pdf.empty()) << "the page did not follow the failed file";
    if (!pdf.empty())
        DeleteFileA(pdf.c_str());
    EXPECT_TRUE(s.k.close());
}

TEST(ExitAfterOutput, ADroppedFileEndsTheProgramOnceOutput)
{
    std::string dir = fresh_work_dir("exit-after-drop");
    Bytes ini = file_output(dir);
    put_i32(ini, AT(exit_after_print), 1);
    Bytes in = bmp_24(8, 1, false, [](int, int) { return RGB(0, 0, 0); });
    std::string file = dir + "\\IN.BMP";
    write_file(file, in);
    Started s(dir, ini);
    ASSERT_TRUE(s.main);
    ASSERT_EQ(drop_files(s.main, {file}, dir), "finished");
    DWORD code = 1;
    EXPECT_TRUE(s.k.wait_exit(OUTPUT_TIMEOUT_MS, &code)) << "still running";
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(i32_at(read_file(out_bmp(dir)), 18), 8) << "the dropped file was not output";
}

TEST(ExitAfterOutput, AFailedPrintEndsTheProgramAfterItsBox)
{
    std::string dir = fresh_work_dir("exit-after-failed-print");
    Bytes ini = output_settings(dir, 0, 0, 1);
    put_i32(ini, AT(exit_after_print), 1);
    put_i32(ini, AT(printer_choice), 1);
    const char bogus[] = "NO SUCH PRINTER";
    memcpy(&ini[0], bogus, sizeof bogus);  // the stored device name
    ini[36] = 156;                         // dmSize
    Started s(dir, ini);
    ASSERT_TRUE(s.main);
    press_keys({VK_SNAPSHOT});
    std::vector<std::string> boxes = answer_boxes_until_idle(s.k);
    ASSERT_FALSE(boxes.empty()) << "the failed print was not reported";
    EXPECT_TRUE(starts_with(boxes[0], "印刷準備に失敗しました\nCREATE DC(ERR=")) << boxes[0];
    DWORD code = 1;
    EXPECT_TRUE(s.k.wait_exit(OUTPUT_TIMEOUT_MS, &code)) << "still running";
    EXPECT_EQ(code, 0u);
}

namespace {

// A 1 MB filesystem of the test's own (tmpfs, mounted as root) at `folder`, unmounted at the
// end; `why_not` says why there is none.
struct SmallDisk {
    std::string folder, work_dir, why_not;
    bool mounted = false;
    SmallDisk(const std::string& dir, const std::string& name) : folder(dir + "\\" + name),
                                                                  work_dir(dir)
    {
        CreateDirectoryA(folder.c_str(), NULL);
        std::string out;
        int rc = run_linux(dir, "mount -t tmpfs -o size=1m kavrel-small '" + unix_path(folder) +
                                    "' 2>&1",
                           &out);
        mounted = rc == 0;
        if (!mounted)
            why_not = "no small filesystem could be mounted (mount -t tmpfs, as root): " + out;
    }
    ~SmallDisk()
    {
        if (mounted)
            run_linux(work_dir, "umount '" + unix_path(folder) + "'", nullptr);
    }
    // Fills it, then frees `free_kb`: what a write may still take.
    bool fill(int free_kb)
    {
        std::string fill = unix_path(folder + "\\埋め草.DAT");
        return run_linux(work_dir, "dd if=/dev/zero of='" + fill + "' bs=4k 2>/dev/null; " +
                                       "truncate -s -" + std::to_string(free_kb) + "K '" + fill +
                                       "'",
                         nullptr) == 0;
    }
    void empty() { DeleteFileA((folder + "\\埋め草.DAT").c_str()); }
};

}  // namespace

// Overwriting keeps the older copy whole until the new one is: a disk that fills part way
// through the next copy leaves the older file as it was, nothing beside it, and the box names
// the full disk. Once there is room again, the next copy takes its place.
TEST(OutputRoad, OverwritingOnAFullDiskKeepsTheOlderCopyAndSaysTheDiskIsFull)
{
    std::string dir = fresh_work_dir("output-full-disk");
    SmallDisk disk(dir, "小さい表");
    if (!disk.mounted)
        GTEST_SKIP() << disk.why_not;
    Started s(dir, output_settings(disk.folder, 1, 0, 1));
    ASSERT_TRUE(s.main);
    const std::string out = numbered_output(disk.folder, 0);

    HWND first = coloured_window(300, 200, 240, 130, RGB(30, 140, 220));
    press_keys({VK_MENU, VK_SNAPSHOT});
    Bytes older = wait_for_bmp(out, OUTPUT_TIMEOUT_MS);
    DestroyWindow(first);
    ASSERT_EQ(i32_at(older, 18), 240) << "no first copy";
    ASSERT_TRUE(s.k.idle());

    ASSERT_TRUE(disk.fill(128));
    HWND second = coloured_window(200, 150, 400, 300, RGB(220, 60, 30));
    press_keys({VK_MENU, VK_SNAPSHOT});
    std::vector<std::string> boxes = answer_boxes_until_idle(s.k);
    DestroyWindow(second);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], "ファイル出力ができません\nCreate Bitmap File(ERR=112)");
    EXPECT_EQ(boxes[1], "ファイル出力できませんでした");
    EXPECT_TRUE(read_file(out) == older) << "the older copy changed";
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((disk.folder + "\\*.TMP").c_str(), &found);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE) << "left beside it: " << found.cFileName;
    if (h != INVALID_HANDLE_VALUE)
        FindClose(h);

    disk.empty();
    HWND third = coloured_window(200, 150, 400, 300, RGB(220, 60, 30));
    press_keys({VK_MENU, VK_SNAPSHOT});
    DWORD start = GetTickCount();
    Bytes newer;
    while (GetTickCount() - start < (DWORD)OUTPUT_TIMEOUT_MS &&
           i32_at(newer = wait_for_bmp(out, OUTPUT_TIMEOUT_MS), 18) != 400)
        pump_messages(50);
    DestroyWindow(third);
    EXPECT_EQ(i32_at(newer, 18), 400) << "the copy after the disk had room again";
    EXPECT_EQ(bmp_pixel(newer, 200, 150), RGB(220, 60, 30));
    ASSERT_TRUE(s.k.idle());
    EXPECT_TRUE(message_box_made(s.k) == NULL);
    EXPECT_TRUE(s.k.close());
}
