// The copy and output sequence of the real program, driven as a user drives it: hot keys
// pressed through SendInput, files and printed pages looked at afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdio.h>

#include <cstddef>

#include "settings/settings.h"
#include "tests/system/harness_win.h"

namespace {

constexpr size_t OFF_EXIT_AFTER_PRINT = offsetof(SettingsRecord, exit_after_print);
constexpr size_t OFF_PRINTER_CHOICE = offsetof(SettingsRecord, printer_choice);
constexpr int OUTPUT_TIMEOUT_MS = 20000;

void press_print_screen()
{
    press_keys({VK_SNAPSHOT});
}
}  // namespace

TEST(Copy, PrintScreenWritesTheScreenAsABmpFile)
{
    std::string dir = fresh_work_dir("copy-print-screen");
    write_file(ini_path(dir), output_settings(dir, 1, 0, 0));
    Kavrel k(dir);
    HWND main = k.ready();
    ASSERT_TRUE(main);
    RECT before;
    GetWindowRect(main, &before);
    press_print_screen();
    Bytes bmp = wait_for_bmp(numbered_output(dir, 0), OUTPUT_TIMEOUT_MS);
    ASSERT_GE(bmp.size(), 54u) << "no file";
    EXPECT_EQ(i32_at(bmp, 18), GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(i32_at(bmp, 22), GetSystemMetrics(SM_CYSCREEN));
    ASSERT_TRUE(k.idle());
    RECT after;
    GetWindowRect(main, &after);
    EXPECT_TRUE(IsWindowVisible(main)) << "the window was not shown again";
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_FALSE(k.message_box(0));
    EXPECT_TRUE(k.close());
}

TEST(Copy, AltPrintScreenCopiesTheActiveWindowAtItsSize)
{
    std::string dir = fresh_work_dir("copy-active");
    write_file(ini_path(dir), output_settings(dir, 1, 0, 1));
    Kavrel k(dir);
    ASSERT_TRUE(k.ready());
    HWND target = coloured_window(300, 200, 240, 130, RGB(30, 140, 220));
    press_keys({VK_MENU, VK_SNAPSHOT});
    Bytes bmp = wait_for_bmp(numbered_output(dir, 0), OUTPUT_TIMEOUT_MS);
    DestroyWindow(target);
    ASSERT_GE(bmp.size(), 54u) << "no file";
    EXPECT_EQ(i32_at(bmp, 18), 240);
    EXPECT_EQ(i32_at(bmp, 22), 130);
    EXPECT_EQ(bmp_pixel(bmp, 120, 65), RGB(30, 140, 220));
    EXPECT_TRUE(k.close());
}

TEST(Copy, RequestWithinTheBusyWindowIsLost)
{
    std::string dir = fresh_work_dir("copy-busy");
    write_file(ini_path(dir), output_settings(dir, 1, 1, 1));  // numbered files
    Kavrel k(dir);
    ASSERT_TRUE(k.ready());
    press_print_screen();
    press_print_screen();
    ASSERT_GE(wait_for_bmp(numbered_output(dir, 0), OUTPUT_TIMEOUT_MS).size(), 54u);
    ASSERT_TRUE(k.idle());
    EXPECT_FALSE(file_exists(numbered_output(dir, 1))) << "the second request was queued";
    press_print_screen();
    EXPECT_GE(wait_for_bmp(numbered_output(dir, 1), OUTPUT_TIMEOUT_MS).size(), 54u)
        << "busy was not released";
    EXPECT_TRUE(k.close());
}

TEST(Copy, OutputToPrinterAndToBothGivesPagesAndFiles)
{
    SKIP_WHERE_NOTHING_PRINTS();
    for (int device : {0, 2}) {
        SCOPED_TRACE(device == 0 ? "printer" : "file and printer");
        std::string dir = fresh_work_dir("copy-printer-" + std::to_string(device));
        write_file(ini_path(dir), output_settings(dir, device, 0, 1));
        Kavrel k(dir);
        ASSERT_TRUE(k.ready());
        std::set<std::string> pdfs = printed_pdfs();
        press_print_screen();
        std::string pdf = wait_for_new_pdf(pdfs, 60000);
        EXPECT_FALSE(pdf.empty()) << "no page came out";
        if (!pdf.empty())
            DeleteFileA(pdf.c_str());
        EXPECT_EQ(file_exists(numbered_output(dir, 0)), device == 2);
        EXPECT_FALSE(k.message_box(0));
        EXPECT_TRUE(k.close());
    }
}

TEST(Copy, NoStoredPrinterAsksForOneAndOutputsNothing)
{
    std::string dir = fresh_work_dir("copy-no-printer");
    Bytes ini = output_settings(dir, 2, 0, 1);
    put_i32(ini, OFF_PRINTER_CHOICE, 1);  // the stored printer, and none is stored
    write_file(ini_path(dir), ini);
    Kavrel k(dir);
    HWND main = k.ready();
    ASSERT_TRUE(main);
    press_print_screen();
    HWND box = k.message_box();
    ASSERT_TRUE(box);
    EXPECT_EQ(box_text(box), "プリンタの設定をしてください");
    EXPECT_EQ(GetWindow(box, GW_OWNER), main);
    press_ok(box);
    ASSERT_TRUE(k.idle());
    EXPECT_FALSE(file_exists(numbered_output(dir, 0)));
    EXPECT_TRUE(k.close());
}

TEST(Copy, ExitAfterOutputEndsTheProgramAfterTheFirstOutput)
{
    std::string dir = fresh_work_dir("copy-exit");
    Bytes ini = output_settings(dir, 1, 0, 1);
    put_i32(ini, OFF_EXIT_AFTER_PRINT, 1);
    write_file(ini_path(dir), ini);
    Kavrel k(dir);
    ASSERT_TRUE(k.ready());
    press_print_screen();
    DWORD code = 1;
    EXPECT_TRUE(k.wait_exit(OUTPUT_TIMEOUT_MS, &code)) << "still running";
    EXPECT_EQ(code, 0u);
    EXPECT_GE(wait_for_bmp(numbered_output(dir, 0), 1000).size(), 54u);
}
