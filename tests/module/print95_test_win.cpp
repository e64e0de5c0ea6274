// The print job's Windows 95 family branches (printer DC made from the stored driver name, the
// banded job's StartDoc/StartPage order) printed for real on the CUPS PDF printer, and the end
// of a document or page that the spooler refuses. The GDI calls of the job are watched or made
// to fail through the test program's import table.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <stdio.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

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

const int PDF_TIMEOUT_MS = 60000;
const int16_t A4_W = 2479, A4_H = 3508;  // the PDF printer's portrait page at 300 dpi
const COLORREF LEFT_HALF = RGB(220, 40, 40), RIGHT_HALF = RGB(40, 60, 200);

// Calls of the print job as the test saw them, in order.
std::vector<std::string> gdi_log;
std::string created_with_driver;

ImportHook* create_dc_hook;
ImportHook* start_doc_hook;
ImportHook* start_page_hook;
ImportHook* end_page_hook;
ImportHook* end_doc_hook;
ImportHook* escape_hook;

template <typename F>
F real(ImportHook* hook)
{
    return reinterpret_cast<F>(hook->original);
}

HDC WINAPI logged_create_dc(LPCSTR driver, LPCSTR device, LPCSTR port, const DEVMODEA* dm)
{
    created_with_driver = driver ? driver : "(null)";
    return real<decltype(&CreateDCA)>(create_dc_hook)(driver, device, port, dm);
}

int WINAPI logged_start_doc(HDC dc, const DOCINFOA* doc)
{
    gdi_log.push_back("StartDoc");
    return real<decltype(&StartDocA)>(start_doc_hook)(dc, doc);
}

int WINAPI logged_start_page(HDC dc)
{
    gdi_log.push_back("StartPage");
    return real<decltype(&StartPage)>(start_page_hook)(dc);
}

int WINAPI logged_end_page(HDC dc)
{
    gdi_log.push_back("EndPage");
    return real<decltype(&EndPage)>(end_page_hook)(dc);
}

int WINAPI logged_end_doc(HDC dc)
{
    gdi_log.push_back("EndDoc");
    return real<decltype(&EndDoc)>(end_doc_hook)(dc);
}

int WINAPI logged_escape(HDC dc, int escape, int size, LPCSTR in, LPVOID out)
{
    gdi_log.push_back(escape == STARTDOC   ? "STARTDOC"
                      : escape == NEXTBAND ? "NEXTBAND"
                      : escape == ENDDOC   ? "ENDDOC"
                                           : "Escape " + std::to_string(escape));
    return real<decltype(&Escape)>(escape_hook)(dc, escape, size, in, out);
}

// The stretch modes asked for, refusing HALFTONE as the Windows 95 family does.
std::vector<int> stretch_modes;
ImportHook* stretch_mode_hook;
int WINAPI stretch_mode_of_95(HDC dc, int mode)
{
    stretch_modes.push_back(mode);
    if (mode == HALFTONE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return real<decltype(&SetStretchBltMode)>(stretch_mode_hook)(dc, mode);
}
struct NoHalftone {
    ImportHook hook{"gdi32.dll", "SetStretchBltMode", (void*)stretch_mode_of_95};
    NoHalftone()
    {
        stretch_modes.clear();
        stretch_mode_hook = &hook;
    }
    // Every HALFTONE refused was followed by COLORONCOLOR.
    bool fell_back() const
    {
        bool any = false;
        for (size_t i = 0; i < stretch_modes.size(); i++)
            if (stretch_modes[i] == HALFTONE) {
                any = true;
                if (i + 1 == stretch_modes.size() || stretch_modes[i + 1] != COLORONCOLOR)
                    return false;
            }
        return any;
    }
};

// Every call of the job that starts or ends the document, the page or a band, logged and
// passed on to the system.
struct WatchedJob {
    ImportHook create_dc{"gdi32.dll", "CreateDCA", (void*)logged_create_dc};
    ImportHook start_doc{"gdi32.dll", "StartDocA", (void*)logged_start_doc};
    ImportHook start_page{"gdi32.dll", "StartPage", (void*)logged_start_page};
    ImportHook end_page{"gdi32.dll", "EndPage", (void*)logged_end_page};
    ImportHook end_doc{"gdi32.dll", "EndDoc", (void*)logged_end_doc};
    ImportHook escape{"gdi32.dll", "Escape", (void*)logged_escape};
    WatchedJob()
    {
        gdi_log.clear();
        created_with_driver.clear();
        create_dc_hook = &create_dc;
        start_doc_hook = &start_doc;
        start_page_hook = &start_page;
        end_page_hook = &end_page;
        end_doc_hook = &end_doc;
        escape_hook = &escape;
    }
    bool complete() const
    {
        return create_dc.slot && start_doc.slot && start_page.slot && end_page.slot &&
               end_doc.slot && escape.slot;
    }
};

// A spooler that refuses the printout at its end: the job is dropped (so no page comes out)
// and the call fails with this code.
const DWORD REFUSED_CODE = ERROR_DISK_FULL;

int refuse(HDC dc)
{
    AbortDoc(dc);
    SetLastError(REFUSED_CODE);
    return SP_ERROR;
}

int WINAPI refused_end_page(HDC dc)
{
    gdi_log.push_back("EndPage");
    return refuse(dc);
}

int WINAPI refused_end_doc(HDC dc)
{
    gdi_log.push_back("EndDoc");
    return refuse(dc);
}

int WINAPI refused_enddoc_escape(HDC dc, int escape, int size, LPCSTR in, LPVOID out)
{
    if (escape == ENDDOC) {
        gdi_log.push_back("ENDDOC");
        return refuse(dc);
    }
    return logged_escape(dc, escape, size, in, out);
}

// The Windows 95 family as the job knows it, for one test.
struct Platform {
    explicit Platform(int value) : saved(os_platform) { os_platform = value; }
    ~Platform() { os_platform = saved; }
    int saved;
};

// Wine's 95-family mode cannot print (its print dialog fails at PD_RETURNDEFAULT, the stored
// setup cannot be taken from it).
bool system_is_95_family()
{
    OSVERSIONINFOA v = {};
    v.dwOSVersionInfoSize = sizeof v;
    return GetVersionExA(&v) && v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

void put_halves_on_clipboard(int w, int h)
{
    const RECT parts[2] = {{0, 0, w / 2, h}, {w / 2, 0, w, h}};
    const COLORREF colours[2] = {LEFT_HALF, RIGHT_HALF};
    put_painted_image_on_clipboard(w, h, parts, colours, 2);
}

std::string colour_at(int x, int y, COLORREF c)
{
    std::ostringstream e;
    e << "colour " << x << " " << y << " " << (int)GetRValue(c) << " " << (int)GetGValue(c) << " "
      << (int)GetBValue(c) << "\n";
    return e.str();
}

// The page of a 200 x 100 image, proportional, with the title at the bottom right.
std::string page_expectations()
{
    PageLayout l = layout_page(A4_W, A4_H, 200, 100, 0, 0, true);
    int y = l.top + l.height / 2;
    std::ostringstream e;
    e << "pages 1\nportrait\n"
      << colour_at(l.left + l.width / 4, y, LEFT_HALF)
      << colour_at(l.left + l.width * 3 / 4, y, RIGHT_HALF) << "dark "
      << l.left + l.width / 2 << " " << l.frame_top << " 2\n"
      << "blank 0 1300 2478 3300\n"
      << "ink 2000 3400 2476 3507\n";
    return e.str();
}

class Print95 : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (system_is_95_family())
            GTEST_SKIP() << "Wine's 95-family mode cannot take the default printer (its "
                            "PrintDlgA with PD_RETURNDEFAULT crashes); these pages are printed "
                            "in the NT sessions";
        make_stand_in_main_window(600, 500, 180, 42, RGB(192, 192, 192));
        std::string dir = fresh_work_dir("print95");
        snprintf(settings_path, sizeof settings_path, "%s\\KAVREL.INI", dir.c_str());
        reset_settings(settings);
        repair_loaded_settings(settings);
        ASSERT_EQ(save_settings(), 0);
        ASSERT_EQ(refresh_default_printer(1), 0);
        set_stored_dm_orientation(settings, 1);
        settings.printer_choice = 1;
        settings.proportional_print = 1;
        settings.print_title = 1;
        strcpy(settings.title_text, "KAVREL 95");
        settings.title_position = 5;
        settings.title_font.height = -20;
        strcpy(settings.title_font.face_name, "Arial");
        put_halves_on_clipboard(200, 100);
        boxes.reset(new BoxWatcher);
    }
    void TearDown() override
    {
        boxes.reset();
        if (main_window)
            destroy_stand_in_main_window();
    }
    std::vector<std::string> take_boxes()
    {
        pump_messages(200);
        std::vector<std::string> texts = boxes->texts();
        boxes->clear();
        return texts;
    }
    std::string stored_driver() const
    {
        return std::string(settings.printer_driver_name,
                           strnlen(settings.printer_driver_name,
                                   sizeof settings.printer_driver_name));
    }
    std::unique_ptr<BoxWatcher> boxes;
};

std::string step_box(const char* step, DWORD code)
{
    return std::string("印刷準備に失敗しました\n") + step + "(ERR=" + std::to_string(code) + ")";
}

}  // namespace

TEST_F(Print95, DriverNamePrinterDcPrintsThePage)
{
    Platform win95(1);
    ASSERT_FALSE(stored_driver().empty()) << "the default printer gave no driver name";
    std::set<std::string> before = printed_pdfs();
    {
        WatchedJob job;
        NoHalftone no_halftone;
        ASSERT_TRUE(job.complete() && no_halftone.hook.slot);
        ASSERT_EQ(print_image(), 0);
        EXPECT_TRUE(no_halftone.fell_back());
        EXPECT_EQ(created_with_driver, stored_driver());
        std::vector<std::string> order = {"StartDoc", "StartPage", "EndPage", "EndDoc"};
        EXPECT_EQ(gdi_log, order);
    }
    EXPECT_TRUE(take_boxes().empty());
    std::string pdf = wait_for_new_pdf(before, PDF_TIMEOUT_MS);
    ASSERT_FALSE(pdf.empty()) << "no PDF came out";
    keep_pdf_for_check(pdf, "win95_whole", page_expectations());
}

// Wine's driver does not band: the first NEXTBAND gives the whole page, the next none.
TEST_F(Print95, BandedJobInWindows95OrderPrintsThePage)
{
    Platform win95(1);
    std::set<std::string> before = printed_pdfs();
    {
        WatchedJob job;
        NoHalftone no_halftone;
        ASSERT_TRUE(job.complete() && no_halftone.hook.slot);
        ASSERT_EQ(print_image_banded(), 0);
        EXPECT_TRUE(no_halftone.fell_back());
        EXPECT_EQ(created_with_driver, stored_driver());
        ASSERT_GE(gdi_log.size(), 5u);
        EXPECT_EQ(gdi_log[0], "StartDoc");
        EXPECT_EQ(gdi_log[1], "StartPage");
        for (size_t i = 2; i + 2 < gdi_log.size(); i++)
            EXPECT_EQ(gdi_log[i], "NEXTBAND") << "call " << i;
        EXPECT_EQ(gdi_log[gdi_log.size() - 2], "EndPage");
        EXPECT_EQ(gdi_log.back(), "EndDoc");
    }
    EXPECT_TRUE(take_boxes().empty());
    std::string pdf = wait_for_new_pdf(before, PDF_TIMEOUT_MS);
    ASSERT_FALSE(pdf.empty()) << "no PDF came out";
    keep_pdf_for_check(pdf, "win95_banded", page_expectations());
}

TEST_F(Print95, NtBandedJobUsesTheEscapes)
{
    Platform nt(2);
    WatchedJob job;
    ASSERT_TRUE(job.complete());
    std::set<std::string> before = printed_pdfs();
    ASSERT_EQ(print_image_banded(), 0);
    EXPECT_EQ(created_with_driver, "WINSPOOL");
    ASSERT_GE(gdi_log.size(), 3u);
    EXPECT_EQ(gdi_log.front(), "STARTDOC");
    EXPECT_EQ(gdi_log[1], "NEXTBAND");
    EXPECT_EQ(gdi_log.back(), "ENDDOC");
    EXPECT_TRUE(take_boxes().empty());
    std::string pdf = wait_for_new_pdf(before, PDF_TIMEOUT_MS);
    ASSERT_FALSE(pdf.empty()) << "no PDF came out";
    keep_pdf_for_check(pdf, "nt_banded", page_expectations());
}

// A printout the spooler refuses at its end is a failed print, told once with the step and
// the system's code; nothing comes out.
TEST_F(Print95, RefusedEndOfDocumentIsAFailedPrint)
{
    struct Case {
        const char* name;
        int platform;
        int (*job)();
        const char* dll_function;
        void* replacement;
        const char* step;
    };
    const Case cases[] = {
        {"whole page, EndDoc", 2, print_image, "EndDoc", (void*)refused_end_doc, "END DOC"},
        {"whole page, EndPage", 2, print_image, "EndPage", (void*)refused_end_page, "END PAGE"},
        {"95 whole page, EndDoc", 1, print_image, "EndDoc", (void*)refused_end_doc, "END DOC"},
        {"95 banded, EndDoc", 1, print_image_banded, "EndDoc", (void*)refused_end_doc,
         "END DOC"},
        {"95 banded, EndPage", 1, print_image_banded, "EndPage", (void*)refused_end_page,
         "END PAGE"},
        {"NT banded, ENDDOC escape", 2, print_image_banded, "Escape",
         (void*)refused_enddoc_escape, "END DOC"},
    };
    std::set<std::string> before = printed_pdfs();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Platform platform(c.platform);
        WatchedJob watched;
        ImportHook refusing{"gdi32.dll", c.dll_function, c.replacement};
        ASSERT_TRUE(refusing.slot);
        EXPECT_EQ(c.job(), -6);
        std::vector<std::string> texts = take_boxes();
        EXPECT_EQ(texts.size(), 1u);
        if (!texts.empty()) {
            EXPECT_EQ(texts[0], step_box(c.step, REFUSED_CODE));
        }
    }
    // What Wine's spooler made of the dropped jobs is not a later test's new page.
    for (std::string pdf; !(pdf = wait_for_new_pdf(before, 5000)).empty();) {
        before.insert(pdf);
        DeleteFileA(pdf.c_str());
    }
}

// Wine's 95-family mode, where its print dialog cannot give the default printer: the setup is
// taken from the spooler as the print dialog would return it. Wine's EndDoc fails there on a
// DC made from the driver name (no page comes out), which the job must tell as a failed print.
TEST(Print95Session, NoPageIsNeverReportedAsPrinted)
{
    if (!system_is_95_family())
        GTEST_SKIP() << "for the 95-family session; the NT sessions print these pages";
    make_stand_in_main_window(600, 500, 180, 42, RGB(192, 192, 192));
    std::string dir = fresh_work_dir("print95session");
    snprintf(settings_path, sizeof settings_path, "%s\\KAVREL.INI", dir.c_str());
    reset_settings(settings);
    repair_loaded_settings(settings);
    char name[256] = "";
    DWORD size = sizeof name;
    ASSERT_TRUE(GetDefaultPrinterA(name, &size));
    // The device mode's public part as the print dialog returns it (Wine's driver of this
    // mode gives none), and the printer's driver path.
    DEVMODEA dm = {};
    strncpy(reinterpret_cast<char*>(dm.dmDeviceName), name, CCHDEVICENAME - 1);
    dm.dmSpecVersion = 0x400;
    dm.dmSize = 156;
    dm.dmFields = DM_ORIENTATION;
    dm.dmOrientation = DMORIENT_PORTRAIT;
    store_returned_devmode(settings, reinterpret_cast<const unsigned char*>(&dm), 156);
    HANDLE printer = NULL;
    ASSERT_TRUE(OpenPrinterA(name, &printer, NULL));
    static BYTE info[4096];
    DWORD needed = 0;
    BOOL got = GetPrinterDriverA(printer, NULL, 2, info, sizeof info, &needed);
    const char* path = got ? reinterpret_cast<DRIVER_INFO_2A*>(info)->pDriverPath : NULL;
    if (!path || !*path) {
        got = GetPrinterDriverA(printer, (LPSTR) "Windows NT x86", 2, info, sizeof info, &needed);
        path = got ? reinterpret_cast<DRIVER_INFO_2A*>(info)->pDriverPath : NULL;
    }
    ClosePrinter(printer);
    ASSERT_TRUE(path && *path) << "the printer has no driver path";
    store_driver_name(settings, path);
    settings.printer_choice = 1;
    printf("[   NOTE   ] driver name '%s'\n", settings.printer_driver_name);
    put_halves_on_clipboard(200, 100);
    {
        BoxWatcher boxes;
        Platform win95(1);
        std::set<std::string> before = printed_pdfs();
        int result = print_image();
        pump_messages(200);
        std::vector<std::string> texts = boxes.texts();
        std::string pdf = wait_for_new_pdf(before, result == 0 ? PDF_TIMEOUT_MS : 10000);
        for (const std::string& t : texts)
            printf("[   NOTE   ] box: %s\n", t.c_str());
        if (result == 0) {
            EXPECT_FALSE(pdf.empty()) << "reported as printed, but no page came out";
            EXPECT_TRUE(texts.empty());
        } else {
            EXPECT_EQ(result, -6);
            EXPECT_TRUE(pdf.empty());
            ASSERT_EQ(texts.size(), 1u);
            EXPECT_EQ(texts[0].rfind("印刷準備に失敗しました\nEND DOC(ERR=", 0), 0u) << texts[0];
        }
        if (!pdf.empty())
            DeleteFileA(pdf.c_str());
    }
    destroy_stand_in_main_window();
}
