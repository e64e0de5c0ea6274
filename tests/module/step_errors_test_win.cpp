// Step error boxes name the error code of the call that failed, although cleanups (unlocking a
// block, giving back a device context) run between that call and the box.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "app/hint_popup_win.h"
#include "app/shell_win.h"
#include "print/dib_win.h"
#include "print/printer_win.h"
#include "settings/settings.h"
#include "settings/settings_win.h"
#include "tests/module/import_hook_win.h"
#include "tests/module/module_harness_win.h"
#include "tests/system/harness_win.h"

namespace {

class StepErrors : public ::testing::Test {
protected:
    void SetUp() override
    {
        make_stand_in_main_window(600, 500, 180, 42, RGB(192, 192, 192));
        std::string dir = fresh_work_dir("step-errors");
        snprintf(settings_path, sizeof settings_path, "%s\\KAVREL.INI", dir.c_str());
        reset_settings(settings);
        repair_loaded_settings(settings);
        ASSERT_EQ(save_settings(), 0);
        boxes.reset(new BoxWatcher);
    }
    void TearDown() override
    {
        boxes.reset();
        destroy_stand_in_main_window();
    }
    std::unique_ptr<BoxWatcher> boxes;
};

ImportHook* get_bits_hook = nullptr;
const DWORD FAILED_READ_ERROR = 0x1234;

// GetDIBits answering the query of the header as the system does, and failing the read of the
// bits with an error code of its own.
int WINAPI failing_get_dibits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits,
                              LPBITMAPINFO info, UINT use)
{
    auto real = reinterpret_cast<decltype(&GetDIBits)>(get_bits_hook->original);
    if (!bits)
        return real(dc, bitmap, start, lines, bits, info, use);
    SetLastError(FAILED_READ_ERROR);
    return 0;
}

}  // namespace

// "Open Printer" showed ERR=0: the unlock of the device mode after the failed OpenPrinterA
// cleared the code. The record keeps the whole old setup, not the new device mode beside the
// old driver name.
TEST_F(StepErrors, PrinterThatCannotBeOpenedShowsTheOpenPrintersErrorCode)
{
    const char name[] = "NO SUCH PRINTER";
    HANDLE none = NULL;
    PRINTER_DEFAULTSA defaults = {NULL, NULL, PRINTER_ACCESS_USE};
    ASSERT_FALSE(OpenPrinterA(const_cast<char*>(name), &none, &defaults));
    DWORD expected = GetLastError();
    ASSERT_NE(expected, 0u);

    HGLOBAL devmode = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DEVMODEA));
    auto* dm = static_cast<DEVMODEA*>(GlobalLock(devmode));
    strcpy(reinterpret_cast<char*>(dm->dmDeviceName), name);
    dm->dmSize = sizeof(DEVMODEA);
    GlobalUnlock(devmode);
    memcpy(settings.printer_devmode, "OLD PRINTER", 12);
    strcpy(settings.printer_driver_name, "OLDDRV");
    const SettingsRecord old = settings;
    EXPECT_EQ(store_printer_from_dialog(devmode, NULL), -1);
    GlobalFree(devmode);
    EXPECT_EQ(memcmp(&settings, &old, sizeof old), 0) << "a part of the new setup was kept";
    std::vector<std::string> texts = boxes->texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "プリンター情報が保存できません\nOpen Printer(ERR=" +
                            std::to_string(expected) + ")");
}

// The conversion for printing frees its block and gives back the screen's device context
// after a failed read; the caller's "B TO D1" box still gets the read's code.
TEST_F(StepErrors, FailedConversionToADibLeavesTheFailedReadsErrorCode)
{
    HDC screen = GetDC(NULL);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 30, 20);
    ReleaseDC(NULL, screen);
    ASSERT_TRUE(bitmap);
    HGLOBAL dib = NULL;
    DWORD error = 0;
    {
        ImportHook hook("gdi32.dll", "GetDIBits", (void*)failing_get_dibits);
        ASSERT_TRUE(hook.original) << "the program does not import GetDIBits";
        get_bits_hook = &hook;
        dib = bitmap_to_dib(bitmap, NULL);
        error = GetLastError();
        get_bits_hook = nullptr;
    }
    DeleteObject(bitmap);
    EXPECT_EQ(dib, (HGLOBAL)NULL);
    if (dib)
        GlobalFree(dib);
    EXPECT_EQ(error, FAILED_READ_ERROR);
}

// A dialog the system cannot make was not said at all. This program holds no dialog templates,
// so the usage box fails as any dialog would: the box names the template as its step.
TEST_F(StepErrors, DialogThatCannotBeMadeIsSaidWithTheTemplatesName)
{
    ASSERT_FALSE(FindResourceA(instance_handle, "ABOUT", RT_DIALOG)) << "the test holds ABOUT";
    DWORD expected = GetLastError();
    ASSERT_NE(expected, 0u);
    open_usage_box();
    std::vector<std::string> texts = boxes->texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "ダイアログを開くことができません\nABOUT(ERR=" +
                            std::to_string(expected) + ")");
}
