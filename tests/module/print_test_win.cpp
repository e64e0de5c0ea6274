// The print job called directly under Wine: real pages on the CUPS PDF printer, checked after
// the run from the PDF (tests/check_pdf.py), and the failure paths with their boxes.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <memory>
#include <sstream>
#include <string>

#include "app/shell_win.h"
#include "capture/capture_win.h"
#include "print/page_layout.h"
#include "print/print_job_win.h"
#include "print/printer_setup.h"
#include "print/printer_win.h"
#include "settings/settings.h"
#include "settings/settings_win.h"
#include "tests/module/import_hook_win.h"
#include "tests/module/module_harness_win.h"
#include "tests/system/harness_win.h"

namespace {

int image_w = 200, image_h = 100;
// Quadrants top-left, top-right, bottom-left, bottom-right: far apart, none near white.
const COLORREF QUADRANTS[4] = {RGB(220, 40, 40), RGB(40, 170, 60), RGB(40, 60, 200),
                               RGB(230, 200, 30)};
const int PDF_TIMEOUT_MS = 60000;
const int16_t A4_W = 2479, A4_H = 3508;  // the PDF printer's page at 300 dpi

// Puts a quadrant image on the clipboard, as a capture would, and notes its size.
void put_image_on_clipboard(int w, int h)
{
    image_w = w;
    image_h = h;
    const RECT parts[4] = {{0, 0, image_w / 2, image_h / 2},
                           {image_w / 2, 0, image_w, image_h / 2},
                           {0, image_h / 2, image_w / 2, image_h},
                           {image_w / 2, image_h / 2, image_w, image_h}};
    put_painted_image_on_clipboard(w, h, parts, QUADRANTS, 4);
}

// What a person checks on the page: the four quadrants where the layout puts them, the frame
// beside the image and blank paper outside it.
std::string image_expectations(const PageLayout& l, int page_width)
{
    std::ostringstream e;
    for (int i = 0; i < 4; i++) {
        int x = l.left + l.width * (i % 2 ? 3 : 1) / 4;
        int y = l.top + l.height * (i / 2 ? 3 : 1) / 4;
        e << "colour " << x << " " << y << " " << (int)GetRValue(QUADRANTS[i]) << " "
          << (int)GetGValue(QUADRANTS[i]) << " " << (int)GetBValue(QUADRANTS[i]) << "\n";
    }
    int mid_y = l.top + l.height / 2;
    // The frame's right side may lie just past the printable area; the top is always on it.
    e << "dark " << l.left + l.width / 2 << " " << l.frame_top << " 2\n";
    if (l.frame_right + 12 < page_width) {
        e << "dark " << l.frame_right << " " << mid_y << " 2\n";
        e << "light " << l.frame_right + 10 << " " << mid_y << " 3\n";
    }
    return e.str();
}

class Print : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Every case takes the default printer as the program does, through PrintDlgA.
        SKIP_WHERE_NOTHING_PRINTS();
        make_stand_in_main_window(600, 500, 180, 42, RGB(192, 192, 192));
        std::string dir = fresh_work_dir("print");
        snprintf(settings_path, sizeof settings_path, "%s\\KAVREL.INI", dir.c_str());
        reset_settings(settings);
        repair_loaded_settings(settings);
        ASSERT_EQ(save_settings(), 0);
        // The stored printer: the system default, taken as the program takes it.
        ASSERT_EQ(refresh_default_printer(1), 0);
        set_stored_dm_orientation(settings, 1);
        settings.printer_choice = 1;
        put_image_on_clipboard(200, 100);
        boxes.reset(new BoxWatcher);
    }
    void TearDown() override
    {
        boxes.reset();
        destroy_stand_in_main_window();
    }
    // Prints and keeps the page for the check after the run.
    void print_and_keep(const char* name, int (*job)(), const std::string& expectations)
    {
        std::set<std::string> before = printed_pdfs();
        ASSERT_EQ(job(), 0);
        std::string pdf = wait_for_new_pdf(before, PDF_TIMEOUT_MS);
        ASSERT_FALSE(pdf.empty()) << "no PDF came out";
        keep_pdf_for_check(pdf, name, "pages 1\n" + expectations);
        EXPECT_TRUE(boxes->texts().empty());
    }
    std::vector<std::string> take_boxes()
    {
        std::vector<std::string> texts = boxes->texts();
        boxes->clear();
        return texts;
    }
    std::unique_ptr<BoxWatcher> boxes;
};

}  // namespace

TEST(PrintLayoutHere, FloatFactorsRoundTheSameInThe32BitProgram)
{
    PageLayout l = layout_page(4800, 6600, 800, 600, 0, 0, true);
    EXPECT_EQ(l.width, 4795);
    EXPECT_EQ(l.height, 3596);
    l = layout_page(3300, 2400, 1024, 768, 0, 0, true);
    EXPECT_EQ(l.width, 3197);
    EXPECT_EQ(l.height, 2397);
}

TEST_F(Print, ProportionalPageWithTitleAndTimeStamp)
{
    settings.proportional_print = 1;
    settings.print_title = 1;
    strcpy(settings.title_text, "KAVREL PAGE");
    settings.title_position = 5;  // bottom right
    settings.title_font.height = -20;
    strcpy(settings.title_font.face_name, "Arial");
    settings.print_timestamp = 1;
    settings.timestamp_position = 3;  // bottom left
    settings.timestamp_font.height = -16;
    strcpy(settings.timestamp_font.face_name, "Arial");
    PageLayout l = layout_page(A4_W, A4_H, image_w, image_h, 0, 0, true);
    std::string e = "portrait\n" + image_expectations(l, A4_W);
    e += "blank 0 1300 2478 3300\n";  // below the image: blank paper
    // The title ends two pixels before the right edge (its trailing blank leaves a little more
    // paper), the time stamp starts at the left; both sit on the bottom line, nothing between.
    e += "ink 2200 3400 2476 3507\nblank 2477 3300 2478 3507\n";
    e += "ink 0 3400 400 3507\nblank 1000 3300 1500 3507\n";
    print_and_keep("proportional", print_image, e);
}

TEST_F(Print, StretchedPageInsidePunchMargins)
{
    settings.proportional_print = 0;
    settings.punch_margin_left = 150;
    settings.punch_margin_top = 300;
    PageLayout l = layout_page(A4_W, A4_H, image_w, image_h, 150, 300, false);
    std::string e = "portrait\n" + image_expectations(l, A4_W);
    e += "light 70 1500 10\nlight 1200 150 10\n";  // the punch margins stay blank
    e += "dark 149 1500 2\n";                      // the frame's left side
    print_and_keep("stretched", print_image, e);
}

TEST_F(Print, DefaultPrinterChoicePrintsLandscape)
{
    // A square image is limited by the landscape page's height: the frame's right side and the
    // blank column before it lie on the page.
    put_image_on_clipboard(200, 200);
    settings.printer_choice = 2;
    settings.proportional_print = 1;
    ASSERT_EQ(save_settings(), 0);  // the job reloads the file for the default printer
    PageLayout l = layout_page(3508, 2479, image_w, image_h, 0, 0, true);
    print_and_keep("landscape", print_image, "landscape\n" + image_expectations(l, 3508));
}

// Wine's driver does not band; its NEXTBAND gives the whole page as one band, then none, and
// the page comes out like a whole-page print.
TEST_F(Print, BandedPrintGivesTheSamePage)
{
    settings.proportional_print = 1;
    PageLayout l = layout_page(A4_W, A4_H, image_w, image_h, 0, 0, true);
    print_and_keep("banded", print_image_banded, "portrait\n" + image_expectations(l, A4_W));
}

// Leaks on these roads are counted in leak_test_win.cpp, over many runs.
TEST_F(Print, PrinterThatCannotBeOpenedFailsOnce)
{
    strcpy(reinterpret_cast<char*>(settings.printer_devmode), "NO SUCH PRINTER");
    for (int (*job)() : {print_image, print_image_banded}) {
        EXPECT_EQ(job(), -6);
        std::vector<std::string> texts = take_boxes();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0].rfind("印刷準備に失敗しました\nCREATE DC(ERR=", 0), 0u) << texts[0];
    }
    // A first start stores no printer at all.
    memset(settings.printer_devmode, 0, sizeof settings.printer_devmode);
    EXPECT_EQ(print_image(), -6);
    EXPECT_EQ(take_boxes().size(), 1u);
}

TEST_F(Print, ClipboardWithoutAnImageFailsWithBToD1)
{
    OpenClipboard(main_window);
    EmptyClipboard();
    CloseClipboard();
    std::set<std::string> pdfs = printed_pdfs();
    EXPECT_EQ(print_image(), -1);
    std::vector<std::string> texts = take_boxes();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind("データの展開に失敗しました\nB TO D1(ERR=", 0), 0u) << texts[0];
    EXPECT_EQ(print_image_banded(), -1);
    EXPECT_EQ(take_boxes().size(), 1u);
    // Wait out the empty documents the two failed jobs may leave (Wine prints one for each), so
    // that neither is taken for the next test's page.
    for (int job = 0; job < 2; job++) {
        std::string pdf = wait_for_new_pdf(pdfs, 5000);
        if (pdf.empty())
            break;
        pdfs.insert(pdf);
    }
}

namespace {

ImportHook* driver_hook = nullptr;
int x64_queries = 0;

// A spooler of a 64-bit Windows whose printer has its 64-bit driver only: the query for this
// program's own environment finds no driver.
BOOL WINAPI driver_for_x64_only(HANDLE printer, LPSTR environment, DWORD level, LPBYTE info,
                                DWORD size, LPDWORD needed)
{
    if (!environment) {
        *needed = 0;
        SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
        return FALSE;
    }
    if (strcmp(environment, "Windows x64") == 0)
        x64_queries++;
    auto real = reinterpret_cast<decltype(&GetPrinterDriverA)>(driver_hook->original);
    return real(printer, environment, level, info, size, needed);
}

// The driver name the setup keeps for the default printer's driver of `environment`.
std::string driver_name_for(const char* environment)
{
    char name[256] = "";
    DWORD size = sizeof name;
    HANDLE printer = NULL;
    if (!GetDefaultPrinterA(name, &size) || !OpenPrinterA(name, &printer, NULL))
        return "";
    static BYTE info[8192];
    DWORD needed = 0;
    BOOL got = GetPrinterDriverA(printer, const_cast<LPSTR>(environment), 2, info, sizeof info,
                                 &needed);
    ClosePrinter(printer);
    const char* path = got ? reinterpret_cast<DRIVER_INFO_2A*>(info)->pDriverPath : NULL;
    if (!path || !*path)
        return "";
    SettingsRecord record = {};
    store_driver_name(record, path);
    return record.printer_driver_name;
}

}  // namespace

// Printer setup on NT where the printer has no driver for a 32-bit program (error 1797): the
// setup keeps the path of its "Windows x64" driver, as the path of the driver. The Windows 95
// family has no such environment and reports the failed query.
TEST(PrinterSetup, WithoutADriverForThisProgramsEnvironmentNtKeepsThe64BitDriversPath)
{
    SKIP_WHERE_NOTHING_PRINTS();
    make_stand_in_main_window(600, 500, 180, 42, RGB(192, 192, 192));
    std::string dir = fresh_work_dir("printer-x64-driver");
    snprintf(settings_path, sizeof settings_path, "%s\\KAVREL.INI", dir.c_str());
    reset_settings(settings);
    repair_loaded_settings(settings);
    settings.printer_choice = 2;
    ASSERT_EQ(save_settings(), 0);
    std::string x64 = driver_name_for("Windows x64");
    ASSERT_NE(x64, "") << "the session's printer has no 64-bit driver";
    ASSERT_NE(x64, driver_name_for(NULL)) << "both drivers give the same name: nothing to tell";
    int saved_platform = os_platform;
    {
        BoxWatcher boxes;
        ImportHook hook("winspool.drv", "GetPrinterDriverA", (void*)driver_for_x64_only);
        ASSERT_TRUE(hook.original) << "the program does not import GetPrinterDriverA";
        driver_hook = &hook;
        os_platform = VER_PLATFORM_WIN32_NT;
        x64_queries = 0;
        EXPECT_EQ(refresh_default_printer(1), 0);
        EXPECT_GT(x64_queries, 0);
        EXPECT_EQ(std::string(settings.printer_driver_name), x64);
        EXPECT_EQ(boxes.texts(), std::vector<std::string>{});
        ASSERT_EQ(load_settings(), 0);
        EXPECT_EQ(std::string(settings.printer_driver_name), x64) << "not saved";

        os_platform = VER_PLATFORM_WIN32_WINDOWS;
        strcpy(settings.printer_driver_name, "OLDDRV");
        ASSERT_EQ(save_settings(), 0);
        x64_queries = 0;
        EXPECT_EQ(refresh_default_printer(1), -1);
        EXPECT_EQ(x64_queries, 0);
        EXPECT_EQ(std::string(settings.printer_driver_name), "OLDDRV");
        EXPECT_EQ(boxes.texts(), std::vector<std::string>{"プリンター情報が保存できません\n"
                                                          "Get Driver(ERR=1797)"});
        driver_hook = nullptr;
    }
    os_platform = saved_platform;
    destroy_stand_in_main_window();
}
