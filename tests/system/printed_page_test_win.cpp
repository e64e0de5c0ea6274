// Printed pages of the real program read back from the PDF (tests/check_pdf.py): the title and
// the time stamp at each of their six places, in their own colours and at three times the
// chosen height, and the image and its frame where the page layout puts them, to the pixel.
// The expected places are worked out here from the printer's own figures, as a person with a
// ruler and the printer's page size would.
#include <windows.h>
#include <commdlg.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <sstream>
#include <string>

#include "settings/settings.h"
#include "tests/system/harness_win.h"
#include "tests/system/outside_win.h"

namespace {

#define AT(field) offsetof(SettingsRecord, field)

const COLORREF IMAGE = RGB(60, 90, 230);
const COLORREF TITLE = RGB(200, 0, 0);
const COLORREF STAMP = RGB(0, 140, 0);
const int TITLE_HEIGHT = 20, STAMP_HEIGHT = 14;  // as chosen in the font dialog

// The default printer's device context in landscape, as the program makes it for printer
// choice 2.
HDC landscape_printer_dc()
{
    PRINTDLGA pd{};
    pd.lStructSize = sizeof pd;
    pd.Flags = PD_RETURNDEFAULT;
    if (!PrintDlgA(&pd))
        return NULL;
    auto* dm = static_cast<DEVMODEA*>(GlobalLock(pd.hDevMode));
    dm->dmOrientation = DMORIENT_LANDSCAPE;
    dm->dmFields |= DM_ORIENTATION;
    HDC dc = CreateDCA("WINSPOOL", (const char*)dm->dmDeviceName, NULL, dm);
    GlobalUnlock(pd.hDevMode);
    GlobalFree(pd.hDevMode);
    GlobalFree(pd.hDevNames);
    return dc;
}

LOGFONTA chosen_font(int height)
{
    LOGFONTA lf{};
    lf.lfHeight = -height;
    lf.lfWeight = FW_BOLD;
    lf.lfCharSet = ANSI_CHARSET;
    strcpy(lf.lfFaceName, "Arial");
    return lf;
}

// Where a text lands: its cell, from the left end and the baseline the layout gives it.
struct Cell {
    int x0, y0, x1, y1;
};

Cell text_cell(HDC printer, const LOGFONTA& chosen, const char* text, int position, int page_w,
               int page_h)
{
    LOGFONTA lf = chosen;
    lf.lfHeight *= 3;
    HFONT font = CreateFontIndirectA(&lf);
    HGDIOBJ old = SelectObject(printer, font);
    SIZE size{};
    GetTextExtentPoint32A(printer, text, (int)strlen(text), &size);
    TEXTMETRICA tm{};
    GetTextMetricsA(printer, &tm);
    SelectObject(printer, old);
    DeleteObject(font);
    int x = position % 3 == 0 ? page_w / 1000
            : position % 3 == 1 ? (page_w - size.cx) / 2
                                : page_w - size.cx - 2;
    int y = position < 3 ? size.cy + 2 : page_h - size.cy / 4;
    return {x, y - tm.tmAscent, x + size.cx, y + tm.tmDescent};
}

void put_font(Bytes& ini, size_t at, const LOGFONTA& lf)
{
    memcpy(&ini[at], &lf, sizeof lf);
}

std::string rgb(COLORREF c)
{
    return std::to_string(GetRValue(c)) + " " + std::to_string(GetGValue(c)) + " " +
           std::to_string(GetBValue(c));
}

// The text's ink in its colour: inside its cell (give or take the rendering's pixel), as wide
// as most of the cell without its trailing blank, and taller than a font of the chosen height
// could draw it.
std::string text_expectation(COLORREF colour, const Cell& c, int chosen_height)
{
    std::ostringstream e;
    e << "inkbox " << rgb(colour) << " " << c.x0 - 2 << " " << c.y0 - 2 << " " << c.x1 + 2 << " "
      << c.y1 + 2 << " " << (c.x1 - c.x0) * 2 / 3 << " " << chosen_height * 3 / 2 << "\n";
    return e.str();
}

bool inside(const Cell& c, int x, int y)
{
    return x >= c.x0 - 4 && x <= c.x1 + 4 && y >= c.y0 - 4 && y <= c.y1 + 4;
}

}  // namespace

TEST(PrintedPage, TitleAndTimeStampAtEveryPlaceAndTheImageAndFrameToThePixel)
{
    SKIP_WHERE_NOTHING_PRINTS();
    HDC printer = landscape_printer_dc();
    ASSERT_TRUE(printer) << "no default printer";
    const int page_w = GetDeviceCaps(printer, HORZRES), page_h = GetDeviceCaps(printer, VERTRES);
    const int off_x = GetDeviceCaps(printer, PHYSICALOFFSETX);
    const int off_y = GetDeviceCaps(printer, PHYSICALOFFSETY);
    // An image whose proportional fit leaves the frame's right and bottom sides on the page:
    // the height decides, and the 32-bit scale factor comes out a pixel short.
    const int margin_top = 40, margin_left = 30;
    const int left = std::max(margin_left, page_w / 1000), top = std::max(margin_top, page_h / 1000);
    int image_w = 0, image_h = 0, dest_w = 0, dest_h = 0;
    for (int h = 200; h < 600 && !image_h; h++) {
        volatile float fy = (float)(page_h - top) / (float)h;
        int dh = (int)((double)fy * h);
        if (dh < page_h - top) {
            image_h = h;
            image_w = h * 4 / 3;
            volatile float fx = (float)(page_w - left) / (float)image_w;
            ASSERT_LT(fy, fx);
            dest_w = (int)((double)fy * image_w);
            dest_h = dh;
        }
    }
    ASSERT_TRUE(image_h) << "no image height leaves the bottom of the frame on the page";

    std::string dir = fresh_work_dir("printed-page");
    Bytes ini = output_settings(dir, 0, 0, 1);
    put_i32(ini, AT(proportional_print), 1);
    put_i32(ini, AT(punch_margin_top), margin_top);
    put_i32(ini, AT(punch_margin_left), margin_left);
    put_i32(ini, AT(print_title), 1);
    memcpy(&ini[AT(title_text)], "ABC", 4);
    put_font(ini, AT(title_font), chosen_font(TITLE_HEIGHT));
    put_i32(ini, AT(title_color), (int32_t)TITLE);
    put_i32(ini, AT(print_timestamp), 1);
    put_font(ini, AT(timestamp_font), chosen_font(STAMP_HEIGHT));
    put_i32(ini, AT(timestamp_color), (int32_t)STAMP);
    write_file(ini_path(dir), ini);
    Kavrel k(dir);
    ASSERT_TRUE(k.ready());

    // Title and time stamp on opposite places, so that three pages show all six.
    for (int title_at = 0; title_at < 3; title_at++) {
        int stamp_at = 5 - title_at;
        SCOPED_TRACE("title at " + std::to_string(title_at) + ", time stamp at " +
                     std::to_string(stamp_at));
        put_i32(ini, AT(title_position), title_at);
        put_i32(ini, AT(timestamp_position), stamp_at);
        // The last page's run has ended: the file is not being read, and the key is taken.
        ASSERT_TRUE(k.idle());
        write_file(ini_path(dir), ini);
        std::set<std::string> before = printed_pdfs();
        HWND target = coloured_window(200, 150, image_w, image_h, IMAGE);
        press_keys({VK_MENU, VK_SNAPSHOT});
        std::string pdf = wait_for_new_pdf(before, 60000);
        DestroyWindow(target);
        ASSERT_FALSE(pdf.empty()) << "no page came out";

        Cell title = text_cell(printer, chosen_font(TITLE_HEIGHT), "ABC ", title_at, page_w,
                               page_h);
        Cell stamp = text_cell(printer, chosen_font(STAMP_HEIGHT), "2000/00/00 00:00:00 ",
                               stamp_at, page_w, page_h);
        std::ostringstream e;
        e << "pages 1\nlandscape\ncrisp\n";
        auto shifted = [&](Cell c) {
            return Cell{c.x0 + off_x, c.y0 + off_y, c.x1 + off_x, c.y1 + off_y};
        };
        e << text_expectation(TITLE, shifted(title), TITLE_HEIGHT);
        e << text_expectation(STAMP, shifted(stamp), STAMP_HEIGHT);
        // The image's edges and the frame, on a column and a row no text covers.
        int cx = left + dest_w / 2, cy = top + dest_h / 2;
        for (int x = left + 5; x < left + dest_w - 5; x += 37) {
            if (!inside(title, x, top) && !inside(stamp, x, top) &&
                !inside(title, x, top + dest_h) && !inside(stamp, x, top + dest_h)) {
                cx = x;
                break;
            }
        }
        auto px = [&](const char* kind, int x, int y, const std::string& rest = "") {
            e << kind << " " << x + off_x << " " << y + off_y << " " << rest << "\n";
        };
        std::string image = rgb(IMAGE);
        bool top_left_free = !inside(title, left, top) && !inside(stamp, left, top);
        if (top_left_free) {
            px("colour", left, top, image);
            px("dark", left - 1, top - 1, "0");  // the corner
        }
        px("colour", left + dest_w - 1, top + dest_h - 1, image);
        px("colour", left, cy, image);
        px("dark", left - 1, cy, "0");                // frame, left
        px("colour", left + dest_w - 1, cy, image);
        // The blank column: the renderer may round the image's right edge into it, but the
        // frame never lies there.
        e << "blank " << left + dest_w + off_x << " " << cy + off_y << " " << left + dest_w + off_x
          << " " << cy + off_y << "\n";
        px("dark", left + dest_w + 1, cy, "0");       // frame, right
        px("light", left + dest_w + 2, cy, "0");
        px("light", left - 2, cy, "0");
        px("dark", cx, top - 1, "0");                 // frame, top
        px("colour", cx, top, image);
        px("light", cx, top - 2, "0");
        px("colour", cx, top + dest_h - 1, image);
        px("dark", cx, top + dest_h, "0");            // frame, bottom, under the last row
        if (top + dest_h + 1 < page_h)
            px("light", cx, top + dest_h + 1, "0");
        if (!inside(title, left + dest_w + 1, top + dest_h) &&
            !inside(stamp, left + dest_w + 1, top + dest_h))
            px("dark", left + dest_w + 1, top + dest_h, "0");  // the other corner

        std::string expect = dir + "\\page" + std::to_string(title_at) + ".pdfexpect";
        std::string text = e.str();
        write_file(expect, Bytes(text.begin(), text.end()));
        std::string kept = dir + "\\page" + std::to_string(title_at) + ".pdf";
        CopyFileA(pdf.c_str(), kept.c_str(), FALSE);
        DeleteFileA(pdf.c_str());
        std::string failures;
        int rc = run_linux(dir,
                           "python3 '" + tests_folder() + "/check_pdf.py' '" + unix_path(kept) +
                               "' '" + unix_path(expect) + "'",
                           &failures, 120000);
        // KAVREL_KEEP_PAGES names a Linux folder that keeps the pages of a failed check.
        std::string keep = env_dir_as_windows("KAVREL_KEEP_PAGES");
        if (rc != 0 && !keep.empty()) {
            CopyFileA(kept.c_str(), (keep + "\\page" + std::to_string(title_at) + ".pdf").c_str(),
                      FALSE);
        }
        EXPECT_EQ(rc, 0) << failures << "(image " << image_w << "x" << image_h << " printed "
                         << dest_w << "x" << dest_h << " at " << left << "," << top << ")";
    }
    DeleteDC(printer);
    EXPECT_FALSE(k.message_box(0));
    EXPECT_TRUE(k.close());
}
