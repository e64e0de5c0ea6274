// Files dropped on the real program's window the way a Linux file manager drops them: an X
// drag (tests/xdnd_drop.py) that Wine delivers as WM_DROPFILES; the outputs looked at after.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ids.h"
#include "tests/system/dialogs_win.h"
#include "tests/system/harness_win.h"
#include "tests/system/outside_win.h"

namespace {

constexpr int OUTPUT_TIMEOUT_MS = 20000;

// A bottom-up 24-bit BMP file of a pattern that differs from one seed to the next.
Bytes pattern_bmp(int width, int height, int seed)
{
    return bmp_24(width, height, false, [&](int x, int y) {
        return RGB((unsigned char)((x ^ y) + seed * 89), (unsigned char)(y * 11 + seed * 37),
                   (unsigned char)(x * 7 + seed * 61));
    });
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

// The numbered output files: ソフト表.BMP, ソフト表1.BMP, ソフト表2.BMP...
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
    HWND main = k.ready();
    ASSERT_TRUE(main);

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
    ASSERT_TRUE(k.idle()) << "the run did not end";
    EXPECT_FALSE(file_exists(numbered_output(dir, 4))) << "an output too many";
    HWND second = k.message_box(0);
    EXPECT_FALSE(second) << "a second box: " << (second ? box_text(second) : "");
    EXPECT_TRUE(k.close());
}

TEST(Drop, CancelKeyStopsTheRestOfARunAndTheNextDropIsOutput)
{
    SKIP_WHERE_NOTHING_PRINTS();
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
    HWND main = k.ready();
    ASSERT_TRUE(main);

    ASSERT_EQ(drop_files(main, files, dir), "finished");
    ASSERT_GE(wait_for_bmp(numbered_output(dir, 0), OUTPUT_TIMEOUT_MS).size(), 54u)
        << "the run did not begin";
    press_keys({VK_MENU, 'P'});
    // Taking requests again, the program has ended the run, cancelled or not: a run that went
    // on would have output all its files by now.
    ASSERT_TRUE(k.idle(120000)) << "the run did not end";
    int outputs = count_numbered_outputs(dir);
    EXPECT_GE(outputs, 1);
    EXPECT_LT(outputs, FILES) << "the cancel key did not stop the run";
    EXPECT_FALSE(k.message_box(0));

    // The cancelled run left nothing pending: the next drop is output at once, as the next file.
    ASSERT_EQ(drop_files(main, {small}, dir), "finished");
    expect_same_image(wait_for_bmp(numbered_output(dir, outputs), OUTPUT_TIMEOUT_MS),
                      small_image);
    ASSERT_TRUE(k.idle(60000)) << "the drop's run did not end";
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

// A dropped name is taken whole, however long within the system's limit (MAX_PATH): in deep
// Japanese folders the bytes add up fast. The file named by its first 199 bytes, which a cut
// name would open, is not output; a name past the limit gets the loader's box, and nothing
// else comes out for it.
TEST(Drop, ALongNameIsTakenWholeAndOnePastTheLimitIsRefused)
{
    std::string dir = fresh_work_dir("drop-long-name");
    write_file(ini_path(dir), output_settings(dir, 1, 1, 1));  // numbered files
    std::string folder = dir;
    while (folder.size() < 150) {
        folder += "\\深い階層の資料一覧表";
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL)) << folder << ": " << GetLastError();
    }
    std::string cut = folder + "\\";
    cut += std::string(199 - cut.size(), 'K');  // what a 200-byte buffer would hold
    std::string whole = cut + "_本物の名前.BMP", too_long = cut + "_";
    while (too_long.size() < MAX_PATH)
        too_long += "続きの名前";
    too_long += ".BMP";
    ASSERT_GE(whole.size(), 200u);
    ASSERT_LT(whole.size(), (size_t)MAX_PATH);
    Bytes decoy = pattern_bmp(30, 20, 1), image = pattern_bmp(41, 23, 2);
    write_file(cut, decoy);
    write_file(whole, image);
    ASSERT_EQ(read_file(whole), image) << "the test could not write " << whole;
    // Past MAX_PATH the ANSI calls may not reach it: the Linux side makes the copy.
    ASSERT_EQ(run_linux(dir, "cp '" + unix_path(whole) + "' '" + unix_path(too_long) + "'",
                        nullptr),
              0);
    Kavrel k(dir);
    HWND main = k.ready();
    ASSERT_TRUE(main);

    ASSERT_EQ(drop_files(main, {whole, too_long}, dir), "finished");
    HWND box = k.message_box();
    ASSERT_TRUE(box) << "no box for the name past the limit";
    EXPECT_EQ(box_text(box), "ファイルを開くことができません\nLoad Bitmap(ERR=206)");
    expect_same_image(wait_for_bmp(numbered_output(dir, 0), OUTPUT_TIMEOUT_MS), image);
    press_ok(box);
    ASSERT_TRUE(k.idle()) << "the run did not end";
    EXPECT_EQ(count_numbered_outputs(dir), 1) << "an output too many";
    EXPECT_FALSE(message_box_made(k)) << "a second box";
    EXPECT_TRUE(k.close());
}

namespace {

// Visible message boxes of the program, innermost last is not promised.
std::vector<HWND> boxes_of(const Kavrel& k)
{
    return windows_of(k.pi.dwProcessId, "#32770", true);
}

std::vector<std::string> box_texts(const Kavrel& k)
{
    std::vector<std::string> texts;
    for (HWND box : boxes_of(k))
        texts.push_back(box_text(box));
    return texts;
}

// Returns once the program's wait after a run ended at `ended` has run out (RELEASE_BUSY_MS,
// doubled for the time between the end and its timer's start): what that wait would let in,
// had it not been stopped, it lets in from then on.
void until_released_busy_would_have(DWORD ended)
{
    while (GetTickCount() - ended < 2 * RELEASE_BUSY_MS)
        pump_messages(20);
}

// Which of `inputs` the output file shows, or -1 for none of them.
int which_input(const Bytes& out, const std::vector<Bytes>& inputs)
{
    if (out.size() < 54)
        return -1;
    for (size_t n = 0; n < inputs.size(); n++) {
        const Bytes& in = inputs[n];
        int width = i32_at(in, 18), height = i32_at(in, 22);
        if (i32_at(out, 18) != width || i32_at(out, 22) != height)
            continue;
        bool same = true;
        for (int y = 0; y < height && same; y++)
            for (int x = 0; x < width && same; x++)
                same = bmp_pixel(out, x, y) == bmp_pixel(in, x, y);
        if (same)
            return (int)n;
    }
    return -1;
}

}  // namespace

// A drop that comes while another drop's files are still being output takes its place: each
// of its files comes out once, in order, and nothing more of the first drop after it. Under Wine
// a drop comes in between the program's own queued steps only while a box is up, so each drop
// holds a file that is no bitmap; and the first drop's box is answered first, while the second
// drop's box may be up as well, as a user would answer the older box.
TEST(Drop, NewDropReplacesARunningOneWithEveryFileOutputOnce)
{
    std::string dir = fresh_work_dir("drop-over-drop");
    write_file(ini_path(dir), output_settings(dir, 1, 1, 1));  // numbered files
    std::vector<Bytes> inputs;
    std::vector<std::string> first, second;
    const char text[] = "no picture\r\n";
    for (int i = 0; i < 4; i++) {
        for (int d = 0; d < 2; d++) {
            std::vector<std::string>& drop = d == 0 ? first : second;
            drop.push_back(dir + (d == 0 ? "\\FIRST" : "\\SECOND") + std::to_string(i + 1) +
                           ".BMP");
            if (i == 1) {
                write_file(drop.back(), Bytes(text, text + sizeof text - 1));
                continue;
            }
            inputs.push_back(pattern_bmp(30 + 10 * d + i, 20 + i, 1 + 10 * d + i));
            write_file(drop.back(), inputs.back());
        }
    }
    // inputs: F1 S1 F3 S3 F4 S4
    Kavrel k(dir);
    HWND main = k.ready();
    ASSERT_TRUE(main);

    ASSERT_EQ(drop_files(main, first, dir), "finished");
    HWND first_box = k.message_box();
    ASSERT_TRUE(first_box) << "no box for the first drop's file that is no bitmap";
    ASSERT_EQ(drop_files(main, second, dir), "finished");
    // Wine posts WM_DROPFILES before it tells the drag source the drop is finished: an answer
    // now means the program has taken the second drop, though its box runs the loop.
    ASSERT_TRUE(k.taken_by_now()) << "the program does not answer";
    press_ok(first_box);
    ASSERT_TRUE(wait_gone(first_box));
    // Any other box is the second drop's, for its file that is no bitmap.
    std::vector<std::string> later = answer_boxes_until_idle(k);
    for (const std::string& text : later)
        EXPECT_EQ(text.rfind("このファイルはビットマップファイルではありません\n", 0), 0u) << text;
    ASSERT_TRUE(k.idle()) << "the runs did not end";
    int outputs = count_numbered_outputs(dir);
    EXPECT_TRUE(box_texts(k).empty());

    const char* names[] = {"F1", "S1", "F3", "S3", "F4", "S4"};
    std::vector<int> order;
    std::string seen;
    for (int n = 0; n < outputs; n++) {
        order.push_back(which_input(read_file(numbered_output(dir, n)), inputs));
        seen += std::string(order.back() < 0 ? "?" : names[order.back()]) + " ";
    }
    EXPECT_EQ(seen, "F1 S1 S3 S4 ") << "the outputs in turn";
    EXPECT_TRUE(k.close());
}

// A drop that comes while a screen copy is being output would take the clipboard from under
// it. It is refused like any request that finds the program busy: the copy ends as it would
// have, nothing comes out of the drop, and the next drop is taken again.
TEST(Drop, DropDuringACopyIsRefusedAndTheCopyGoesOn)
{
    std::string dir = fresh_work_dir("drop-over-copy");
    write_file(ini_path(dir), output_settings(dir, 1, 0, 1));  // ソフト表.BMP, overwritten
    std::string dropped = dir + "\\DROPPED.BMP";
    Bytes image = pattern_bmp(37, 23, 5);
    write_file(dropped, image);
    std::string out = numbered_output(dir, 0);
    write_file(out, Bytes{'x'});
    Kavrel k(dir);
    HWND main = k.ready();
    ASSERT_TRUE(main);

    // Held without sharing, the output file stops the copy's file step in a box: the copy is
    // then under way, with the program taking messages.
    HANDLE held = CreateFileA(out.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    press_keys({VK_SNAPSHOT});
    HWND box = k.message_box();
    ASSERT_TRUE(box) << "the copy's file step did not stop";
    EXPECT_EQ(box_text(box).rfind("出力ファイルが作成できません\nCreate Bitmap File(ERR=", 0), 0u)
        << box_text(box);
    CloseHandle(held);
    DeleteFileA(out.c_str());

    // The file is free now: a drop that was taken would be written at once.
    ASSERT_EQ(drop_files(main, {dropped}, dir), "finished");
    ASSERT_TRUE(k.taken_by_now()) << "the program does not answer";
    // A drop taken would be on its way now, and out before the copy has ended (checked below).
    EXPECT_FALSE(file_exists(out)) << "the drop was output during the copy";
    std::vector<std::string> texts = box_texts(k);
    EXPECT_EQ(texts.size(), 1u) << "boxes of the drop";

    press_ok(box);
    ASSERT_TRUE(wait_gone(box));
    box = k.message_box();
    ASSERT_TRUE(box);
    EXPECT_EQ(box_text(box), "ファイル出力できませんでした");
    press_ok(box);
    ASSERT_TRUE(k.idle()) << "the copy did not end";
    EXPECT_FALSE(file_exists(out)) << "something was output after the copy";
    EXPECT_TRUE(box_texts(k).empty());

    // The refused drop left nothing behind: the next one is output.
    ASSERT_EQ(drop_files(main, {dropped}, dir), "finished");
    expect_same_image(wait_for_bmp(out, OUTPUT_TIMEOUT_MS), image);
    EXPECT_TRUE(k.close());
}

// Right after a copy the program waits 500 ms before it takes the next request. A drop taken in
// those 500 ms keeps the program busy until its own end: the wait of the copy does not run on
// and let a copy in while the drop is still in hand.
TEST(Drop, DropRightAfterACopyKeepsCopiesOutUntilItsEnd)
{
    std::string dir = fresh_work_dir("drop-after-copy");
    write_file(ini_path(dir), output_settings(dir, 1, 1, 1));  // numbered files
    // A file that is no bitmap keeps the drop in hand, in its box, as long as the test likes.
    std::string text_file = dir + "\\NOTE.BMP";
    const char text[] = "no picture\r\n";
    write_file(text_file, Bytes(text, text + sizeof text - 1));
    Kavrel k(dir);
    HWND main = k.ready();
    ASSERT_TRUE(main);

    std::string trigger = dir + "\\let-go";
    std::string drop = start_drop(main, {text_file}, dir, trigger);
    ASSERT_FALSE(drop.empty());
    DWORD start = GetTickCount();
    while (!file_exists(trigger + ".holding") && GetTickCount() - start < 15000)
        pump_messages(20);
    ASSERT_TRUE(file_exists(trigger + ".holding")) << finish_drop(drop);

    press_keys({VK_SNAPSHOT});
    ASSERT_GE(wait_for_bmp(numbered_output(dir, 0), OUTPUT_TIMEOUT_MS).size(), 54u)
        << "the copy did not come out";
    DWORD copy_done = GetTickCount();
    write_file(trigger, Bytes{'1'});
    ASSERT_EQ(finish_drop(drop), "finished");
    HWND box = k.message_box();
    ASSERT_TRUE(box) << "the drop was not taken";
    EXPECT_EQ(box_text(box).rfind("このファイルはビットマップファイルではありません\n", 0), 0u)
        << box_text(box);
    // Past the copy's wait, with the drop still in hand: a copy let in now is a full-screen one.
    until_released_busy_would_have(copy_done);
    press_keys({VK_SNAPSHOT});
    // The cancel key inside the box ends the drop, but the file in hand is still being done: a
    // release it started would have run out before the active-window copy is asked for.
    press_keys({VK_MENU, 'P'});
    ASSERT_TRUE(k.taken_by_now()) << "the program does not answer";
    until_released_busy_would_have(GetTickCount());
    press_keys({VK_MENU, VK_SNAPSHOT});

    // A copy let in would have been output by the time the drop has ended and the program
    // takes requests again.
    press_ok(box);
    ASSERT_TRUE(wait_gone(box));
    ASSERT_TRUE(k.idle()) << "the drop did not end";
    Bytes let_in = read_file(numbered_output(dir, 1));
    EXPECT_LT(let_in.size(), 54u) << (i32_at(let_in, 18) == GetSystemMetrics(SM_CXSCREEN)
                                          ? "a copy was taken during the drop"
                                          : "a copy was taken after the cancel");
    EXPECT_TRUE(box_texts(k).empty());
    press_keys({VK_SNAPSHOT});
    EXPECT_GE(wait_for_bmp(numbered_output(dir, 1), OUTPUT_TIMEOUT_MS).size(), 54u)
        << "no copy after the drop's end";
    EXPECT_TRUE(k.close());
}
