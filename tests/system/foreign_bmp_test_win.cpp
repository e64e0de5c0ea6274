// BMP files written by other programs (tests/make_bmps.py): every coding the system decodes is
// dropped on the real program, output to a file and a page, and the file compared with what the
// drawing means; damaged files are refused with a box and nothing more.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdio.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/system/harness_win.h"
#include "tests/system/outside_win.h"

namespace {

constexpr int OUTPUT_TIMEOUT_MS = 20000;

// NAME.rgb of tests/make_bmps.py: the pixels as the file means them, rows from the top.
struct Meant {
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;
};

Meant read_meant(const std::string& path)
{
    Bytes data = read_file(path);
    std::istringstream in(std::string(data.begin(), data.end()));
    Meant m;
    in >> m.width >> m.height;
    std::string hex;
    while (in >> hex) {
        unsigned v = (unsigned)strtoul(hex.c_str(), nullptr, 16);
        m.pixels.push_back(RGB(v >> 16, (v >> 8) & 255, v & 255));
    }
    return m;
}

int channel_gap(COLORREF a, COLORREF b)
{
    int gap = 0;
    for (int shift : {0, 8, 16})
        gap = std::max(gap, abs((int)((a >> shift) & 255) - (int)((b >> shift) & 255)));
    return gap;
}

void expect_meant(const Bytes& out, const Meant& m, int tolerance)
{
    ASSERT_GE(out.size(), 54u) << "no output file";
    ASSERT_EQ((int)m.pixels.size(), m.width * m.height) << "the .rgb file is short";
    ASSERT_EQ(i32_at(out, 18), m.width);
    ASSERT_EQ(i32_at(out, 22), m.height) << "written bottom-up, whatever the input";
    int wrong = 0;
    for (int y = 0; y < m.height; y++)
        for (int x = 0; x < m.width; x++) {
            COLORREF want = m.pixels[y * m.width + x], got = bmp_pixel(out, x, y);
            if (channel_gap(got, want) > tolerance && wrong++ < 3)
                ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << got
                              << " instead of " << want;
        }
    EXPECT_EQ(wrong, 0) << "pixels that differ";
}

std::vector<std::string> words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

}  // namespace

// Where Wine prints nothing (the Windows 95 family) the files alone are output and compared.
// There, files with bit-field masks the 95 family does not take (MASK-*) are refused with the
// loader's box, and every other file still comes out.
TEST(ForeignBmp, EveryCodingOtherProgramsWriteIsOutputAsItsPixelsMean)
{
    const bool prints = !wine_cannot_print_here();
    const bool family_95 = windows_95_family();
    std::string dir = fresh_work_dir("foreign-bmp");
    std::string made;
    ASSERT_EQ(run_linux(dir, "python3 '" + tests_folder() + "/make_bmps.py' .", &made), 0)
        << made;
    std::vector<std::string> names = words(made);
    ASSERT_EQ(names.size(), 16u) << made;
    // Numbered files, and pages where they print.
    write_file(ini_path(dir), output_settings(dir, prints ? 2 : 1, 1, 1));
    std::set<std::string> pdfs = printed_pdfs();
    Kavrel k(dir);
    HWND main = k.ready();
    ASSERT_TRUE(main);
    std::vector<std::string> files;
    for (const std::string& n : names)
        files.push_back(dir + "\\" + n + ".bmp");
    ASSERT_EQ(drop_files(main, files, dir), "finished");
    // The outputs are read once the run is over: a file the test holds open while the program
    // looks for the next free number stops the program's numbering (a sharing violation).
    // The run has begun when its first file is there (looked at without opening it) or a box
    // is up; it is over when the program takes requests again.
    for (DWORD t = GetTickCount(); !file_exists(numbered_output(dir, 0)) && !k.message_box(0) &&
                                   GetTickCount() - t < (DWORD)OUTPUT_TIMEOUT_MS;)
        pump_messages(50);
    std::vector<std::string> boxes = answer_boxes_until_idle(k, 180000);
    ASSERT_TRUE(k.idle()) << "the run did not end";
    std::vector<std::string> refused;
    int outputs = 0;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        if (family_95 && name.rfind("MASK-", 0) == 0) {
            refused.push_back(name);
            continue;
        }
        // Five bits of a channel (four in MASK-V5-444) leave the system a choice of how to
        // widen them.
        int tolerance = 0;
        if (name == "MASK-V5-444")
            tolerance = 17;
        else if (name == "BF565" || name == "V4BF565" || name == "V5A1555")
            tolerance = 8;
        expect_meant(read_file(numbered_output(dir, outputs++)),
                     read_meant(dir + "\\" + name + ".rgb"), tolerance);
    }
    EXPECT_FALSE(file_exists(numbered_output(dir, outputs))) << "a refused file was output";
    ASSERT_EQ(boxes.size(), refused.size()) << "boxes for the files refused, and no other";
    for (const std::string& text : boxes)
        EXPECT_EQ(text.rfind("ビットマップファイルを展開することができません\nLoad Bitmap(ERR=", 0),
                  0u)
            << text;
    int pages = 0;
    for (int i = 0; prints && i < outputs; i++) {
        std::string pdf = wait_for_new_pdf(pdfs, 60000);
        if (pdf.empty())
            break;
        pdfs.insert(pdf);
        DeleteFileA(pdf.c_str());
        pages++;
    }
    if (prints) {
        EXPECT_EQ(pages, outputs) << "not every file was printed";
    }
    EXPECT_TRUE(k.close());
}

TEST(ForeignBmp, DamagedFilesAreRefusedWithABoxEachAndNothingElseHappens)
{
    std::string dir = fresh_work_dir("foreign-bmp-damaged");
    std::string made;
    ASSERT_EQ(run_linux(dir, "python3 '" + tests_folder() + "/make_bmps.py' .", &made), 0)
        << made;
    write_file(ini_path(dir), output_settings(dir, 2, 1, 1));
    std::set<std::string> pdfs = printed_pdfs();
    Kavrel k(dir);
    HWND main = k.ready();
    ASSERT_TRUE(main);
    std::vector<std::string> files;
    for (const char* n : {"BAD-TRUNCATED", "BAD-OFFSET", "BAD-PALETTE"})
        files.push_back(dir + "\\" + n + ".bmp");
    ASSERT_EQ(drop_files(main, files, dir), "finished");
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        HWND box = k.message_box();
        ASSERT_TRUE(box) << "no box";
        std::string text = box_text(box);
        EXPECT_NE(text.find("\nLoad Bitmap(ERR="), std::string::npos) << text;
        press_ok(box);
        for (DWORD t = GetTickCount(); IsWindow(box) && GetTickCount() - t < 5000;)
            pump_messages(50);
    }
    ASSERT_TRUE(k.idle()) << "the run did not end";
    EXPECT_FALSE(k.message_box(0)) << "a box too many";
    EXPECT_FALSE(file_exists(numbered_output(dir, 0))) << "a damaged file was output";
    // Where Wine prints nothing the check could only pass.
    if (!wine_cannot_print_here()) {
        // A page the run printed went to the spooler before the program took requests again;
        // once the session's printer has no job left, every such page is in the folder.
        std::string jobs;
        for (DWORD t = GetTickCount();; pump_messages(200)) {
            ASSERT_EQ(run_linux(dir, "lpstat -o " + session_printer(), &jobs), 0) << jobs;
            if (jobs.find_first_not_of(" \r\n") == std::string::npos ||
                GetTickCount() - t > 60000)
                break;
        }
        EXPECT_EQ(jobs.find_first_not_of(" \r\n"), std::string::npos) << "jobs left: " << jobs;
        std::set<std::string> now = printed_pdfs();
        for (const std::string& name : now)
            EXPECT_TRUE(pdfs.count(name)) << "a damaged file was printed: " << name;
    }
    EXPECT_FALSE(k.wait_exit(0));
    EXPECT_TRUE(k.close());
}
