// Files dropped on the real program's window the way a Linux file manager drops them: an X
// drag (tests/xdnd_drop.py) that Wine delivers as WM_DROPFILES; the outputs looked at after.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/system/harness_win.h"
#include "tests/system/outside_win.h"

namespace {

constexpr int OUTPUT_TIMEOUT_MS = 20000;

// A bottom-up 24-bit BMP file of a pattern that differs from one seed to the next.
Bytes pattern_bmp(int width, int height, int seed)
{
    size_t stride = ((size_t)width * 3 + 3) & ~(size_t)3;
    size_t image = stride * height;
    Bytes bmp(54 + image, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    put_i32(bmp, 2, (int32_t)bmp.size());
    put_i32(bmp, 10, 54);
    put_i32(bmp, 14, 40);
    put_i32(bmp, 18, width);
    put_i32(bmp, 22, height);
    bmp[26] = 1;
    bmp[28] = 24;
    put_i32(bmp, 34, (int32_t)image);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            size_t at = 54 + stride * (height - 1 - y) + (size_t)x * 3;
            bmp[at] = (unsigned char)(x * 7 + seed * 61);        // blue
            bmp[at + 1] = (unsigned char)(y * 11 + seed * 37);   // green
            bmp[at + 2] = (unsigned char)((x ^ y) + seed * 89);  // red
        }
    return bmp;
}

// Checks that `out` shows the same picture as `in`, pixel by pixel.
void expect_same_image(const Bytes& out, const Bytes& in)
{
    ASSERT_GE(out.size(), 54u) << "no output file";
    int width = i32_at(in, 18), height = i32_at(in, 22);
    ASSERT_EQ(i32_at(out, 18), width);
    ASSERT_EQ(i32_at(out, 22), height);
    int wrong = 0;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            if (bmp_pixel(out, x, y) != bmp_pixel(in, x, y) && wrong++ < 3)
                ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex
                              << bmp_pixel(out, x, y) << " instead of " << bmp_pixel(in, x, y);
    EXPECT_EQ(wrong, 0) << "pixels that differ";
}

// The numbered output files: OUT.BMP, OUT1.BMP, OUT2.BMP...
std::string numbered_output(const std::string& dir, int n)
{
    return dir + "\\OUT" + (n ? std::to_string(n) : "") + ".BMP";
}

int count_numbered_outputs(const std::string& dir)
{
    int n = 0;
    while (file_exists(numbered_output(dir, n)))
        n++;
    return n;
}

}  // namespace

TEST(Drop, FilesAreOutputInTurnAndAFileThatIsNoBitmapIsSkipped)
{
    std::string dir = fresh_work_dir("drop-five");
    write_file(ini_path(dir), output_settings(dir, 1, 1, 1));  // numbered files
    // Different sizes, odd widths among them, so rows and padding must come out right.
    const int sizes[5][2] = {{40, 30}, {33, 17}, {0, 0}, {64, 48}, {25, 61}};
    std::vector<std::string> files;
    std::vector<Bytes> images;
    for (int i = 0; i < 5; i++) {
        files.push_back(dir + "\\IN" + std::to_string(i + 1) + ".BMP");
        if (i == 2) {
            const char text[] = "not a picture, whatever the name says\r\n";
            write_file(files[i], Bytes(text, text + sizeof text - 1));
            continue;
        }
        images.push_back(pattern_bmp(sizes[i][0], sizes[i][1], i + 1));
        write_file(files[i], images.back());
    }
    Kavrel k(dir);
    HWND main = k.main_window();
    ASSERT_TRUE(main);
    pump_messages(1000);

    ASSERT_EQ(drop_files(main, files, dir), "finished");
    {
        SCOPED_TRACE("the file that is no bitmap");
        HWND box = k.message_box();
        ASSERT_TRUE(box) << "no box for the file that is no bitmap";
        EXPECT_EQ(box_text(box).rfind("このファイルはビットマップファイルではありません\n"
                                      "Load Bitmap(ERR=",
                                      0),
                  0u)
            << box_text(box);
        // The files before it are out already, none after it.
        EXPECT_TRUE(file_exists(numbered_output(dir, 0)));
        EXPECT_TRUE(file_exists(numbered_output(dir, 1)));
        EXPECT_FALSE(file_exists(numbered_output(dir, 2)));
        press_ok(box);
    }
    for (int n = 0; n < 4; n++) {
        SCOPED_TRACE("output " + std::to_string(n));
        expect_same_image(wait_for_bmp(numbered_output(dir, n), OUTPUT_TIMEOUT_MS), images[n]);
    }
    pump_messages(2000);
    EXPECT_FALSE(file_exists(numbered_output(dir, 4))) << "an output too many";
    EXPECT_FALSE(k.message_box(0)) << "a second box";
    EXPECT_TRUE(k.close());
}

TEST(Drop, CancelKeyStopsTheRestOfARunAndTheNextDropIsOutput)
{
    std::string dir = fresh_work_dir("drop-cancel");
    // Each file goes to a file first, then to a page: the file says the output has begun, the
    // page keeps the program busy long enough to be interrupted.
    write_file(ini_path(dir), output_settings(dir, 2, 1, 1));
    constexpr int FILES = 6;
    std::vector<std::string> files;
    for (int i = 0; i < FILES; i++) {
        files.push_back(dir + "\\BIG" + std::to_string(i + 1) + ".BMP");
        write_file(files.back(), pattern_bmp(800, 600, i + 1));
    }
    std::string small = dir + "\\SMALL.BMP";
    Bytes small_image = pattern_bmp(20, 10, 9);
    write_file(small, small_image);
    std::set<std::string> pdfs = printed_pdfs();
    Kavrel k(dir);
    HWND main = k.main_window();
    ASSERT_TRUE(main);
    pump_messages(1000);

    ASSERT_EQ(drop_files(main, files, dir), "finished");
    ASSERT_GE(wait_for_bmp(numbered_output(dir, 0), OUTPUT_TIMEOUT_MS).size(), 54u)
        << "the run did not begin";
    press_keys({VK_MENU, 'P'});
    // Long enough for the whole run to have come out, had it gone on.
    pump_messages(8000);
    int outputs = count_numbered_outputs(dir);
    EXPECT_GE(outputs, 1);
    EXPECT_LT(outputs, FILES) << "the cancel key did not stop the run";
    EXPECT_FALSE(k.message_box(0));

    // The cancelled run left nothing pending: the next drop is output at once, as the next file.
    ASSERT_EQ(drop_files(main, {small}, dir), "finished");
    expect_same_image(wait_for_bmp(numbered_output(dir, outputs), OUTPUT_TIMEOUT_MS),
                      small_image);
    pump_messages(3000);
    EXPECT_EQ(count_numbered_outputs(dir), outputs + 1) << "the cancelled run went on";

    // Every output reached the printer too.
    int pages = 0;
    for (int i = 0; i < outputs + 1; i++) {
        std::string pdf = wait_for_new_pdf(pdfs, 60000);
        if (pdf.empty())
            break;
        pdfs.insert(pdf);
        DeleteFileA(pdf.c_str());
        pages++;
    }
    EXPECT_EQ(pages, outputs + 1);
    EXPECT_TRUE(k.close());
}
