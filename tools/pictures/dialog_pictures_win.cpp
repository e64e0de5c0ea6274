// Opens each dialog of KAVREL.EXE through its system menu, and the hint popup over the extended
// settings, and saves what the screen shows of each as a BMP file in the given folder:
//   dialog_pictures_win.exe FOLDER
// scripts/pictures.sh turns them into the PNG files the README shows.
#include <windows.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "base/ids.h"
#include "res/resource.h"
#include "tests/system/dialogs_win.h"
#include "tests/system/harness_win.h"

namespace {

struct Picture {
    int command;
    const char* caption;
    const char* file;
};

const Picture PICTURES[] = {
    {CMD_USAGE, "使用方法", "about"},
    {CMD_PRINTER_SETUP, "プリンター設定", "setprinter"},
    {CMD_BASIC_SETTINGS, "基本機能設定", "setting"},
    {CMD_EXTENDED_SETTINGS, "拡張機能", "setting2"},
    {CMD_HOTKEY_SETUP, "キーセットアップ", "sethotkey"},
    {CMD_LINKED_APP, "連携アプリケーション設定", "setting3"},
};

// The window as it stands on the screen, written as a 24-bit BMP file.
bool save_window(HWND hwnd, const std::string& path)
{
    RECT rc;
    GetWindowRect(hwnd, &rc);
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    HDC screen = GetDC(NULL);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, rc.left, rc.top, SRCCOPY);
    SelectObject(mem, old);

    BITMAPINFOHEADER bi{};
    bi.biSize = sizeof bi;
    bi.biWidth = w;
    bi.biHeight = h;
    bi.biPlanes = 1;
    bi.biBitCount = 24;
    bi.biCompression = BI_RGB;
    int stride = (w * 3 + 3) & ~3;
    std::vector<unsigned char> bits((size_t)stride * h);
    GetDIBits(mem, bmp, 0, h, bits.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(NULL, screen);

    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi;
    fh.bfSize = fh.bfOffBits + (DWORD)bits.size();
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    fwrite(&fh, sizeof fh, 1, f);
    fwrite(&bi, sizeof bi, 1, f);
    fwrite(bits.data(), 1, bits.size(), f);
    return fclose(f) == 0;
}

// Brings the dialog to the middle of the screen and lets it finish painting.
void settle(HWND dlg)
{
    RECT rc;
    GetWindowRect(dlg, &rc);
    int x = (GetSystemMetrics(SM_CXSCREEN) - (rc.right - rc.left)) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - (rc.bottom - rc.top)) / 2;
    SetWindowPos(dlg, HWND_TOP, x, y, 0, 0, SWP_NOSIZE);
    pause_ms(800);
}

bool shoot(const Kavrel& k, const Picture& p, const std::string& folder)
{
    HWND dlg = open_from_system_menu(k, p.command, p.caption);
    if (!dlg) {
        fprintf(stderr, "%s: no dialog\n", p.file);
        return false;
    }
    settle(dlg);
    bool ok = save_window(dlg, folder + "\\" + p.file + ".bmp");
    if (p.command == CMD_EXTENDED_SETTINGS) {
        // The hint popup of the fixed-area check box, three lines long.
        RECT rc;
        GetWindowRect(GetDlgItem(dlg, IDC_EXT_USE_FIXED_AREA), &rc);
        HelpRequest help(dlg, IDC_EXT_USE_FIXED_AREA, rc.left + 20, rc.bottom + 4);
        HWND hint = wait_dialog(k, [&](HWND h) { return h != dlg && GetDlgItem(h, IDC_HINT_LINE1); });
        if (hint) {
            pause_ms(800);
            ok = save_window(hint, folder + "\\helpdialog.bmp") && ok;
            click(hint, IDOK);
        } else {
            fprintf(stderr, "helpdialog: no popup\n");
            ok = false;
        }
        help.answered(DIALOG_TIMEOUT_MS);
    }
    click(dlg, IDCANCEL);
    wait_gone(dlg);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: dialog_pictures_win.exe FOLDER\n");
        return 2;
    }
    std::string folder = argv[1];
    Kavrel k(fresh_work_dir("pictures"));
    if (!k.main_window()) {
        fprintf(stderr, "KAVREL.EXE did not start\n");
        return 1;
    }
    bool ok = true;
    for (const Picture& p : PICTURES)
        ok = shoot(k, p, folder) && ok;
    k.close();
    return ok ? 0 : 1;
}
