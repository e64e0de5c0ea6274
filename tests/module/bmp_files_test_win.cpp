// The BMP writer and loader called directly under Wine, with real bitmaps and real files; the
// files written for ImageMagick's check are left in KAVREL_INTEROP_DIR.
#include <windows.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/shell_win.h"
#include "capture/capture_win.h"
#include "files/bmp_format.h"
#include "files/bmp_loader_win.h"
#include "files/bmp_writer_win.h"
#include "settings/settings.h"
#include "tests/module/import_hook_win.h"
#include "tests/module/module_harness_win.h"
#include "tests/system/harness_win.h"

namespace {

// Neither side a multiple of 4 or 8, so rows carry padding.
const int W = 13, H = 7, MID_X = 6, MID_Y = 3;
// Quadrants top-left, top-right, bottom-left, bottom-right.
const COLORREF ANY_COLOURS[4] = {RGB(200, 30, 40), RGB(20, 220, 90), RGB(60, 50, 170),
                                 RGB(250, 250, 240)};
// Colours that 16-bit and palette bitmaps hold exactly.
const COLORREF PURE_COLOURS[4] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255),
                                  RGB(255, 255, 255)};

bool box_says(const std::string& box, const char* text, const char* step)
{
    std::string want = std::string(text) + "\n" + step + "(ERR=";
    return box.compare(0, want.size(), want) == 0;
}

// A bitmap of the given depth (0: compatible with the screen) in four coloured quadrants.
HBITMAP quadrant_bitmap(int bits, const COLORREF colours[4], int w = W, int h = H)
{
    HDC screen = GetDC(NULL);
    HBITMAP bitmap;
    if (bits == 0) {
        bitmap = CreateCompatibleBitmap(screen, w, h);
    } else {
        struct {
            BITMAPINFOHEADER header;
            RGBQUAD table[16];
        } bi = {};
        bi.header = {sizeof(BITMAPINFOHEADER), w, h, 1, (WORD)bits, BI_RGB, 0, 0, 0, 0, 0};
        for (int i = 0; i < 4; i++)
            bi.table[i] = {GetBValue(colours[i]), GetGValue(colours[i]), GetRValue(colours[i]), 0};
        void* bits_at;
        bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS,
                                  &bits_at, NULL, 0);
    }
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, bitmap);
    const RECT parts[4] = {{0, 0, MID_X, MID_Y}, {MID_X, 0, w, MID_Y}, {0, MID_Y, MID_X, h},
                           {MID_X, MID_Y, w, h}};
    for (int i = 0; i < 4; i++) {
        HBRUSH brush = CreateSolidBrush(colours[i]);
        FillRect(mem, &parts[i], brush);
        DeleteObject(brush);
    }
    SelectObject(mem, old);
    DeleteDC(mem);
    ReleaseDC(NULL, screen);
    return bitmap;
}

// The colour at (x, y) from the top-left, as RGB().
COLORREF pixel_at(HBITMAP bitmap, int x, int y)
{
    HDC mem = CreateCompatibleDC(NULL);
    HGDIOBJ old = SelectObject(mem, bitmap);
    COLORREF c = GetPixel(mem, x, y);
    SelectObject(mem, old);
    DeleteDC(mem);
    return c;
}

// A 24-bit file, top row red and the rest blue, stored top-down or bottom-up.
Bytes rgb_file(int w, int h, bool top_down)
{
    return bmp_24(w, h, top_down,
                  [](int, int y) { return y == 0 ? RGB(255, 0, 0) : RGB(0, 0, 255); });
}

class BmpFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_settings(settings);
        make_stand_in_main_window(600, 500, 180, 42, RGB(192, 192, 192));
        dc = GetDC(main_window);
        dir = fresh_work_dir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override
    {
        ReleaseDC(main_window, dc);
        destroy_stand_in_main_window();
    }
    int write(const std::string& name, HBITMAP bitmap)
    {
        char buffer[OUTPUT_NAME_SIZE] = {0};
        name.copy(buffer, sizeof buffer - 1);
        return write_bitmap_file(buffer, bitmap, dc);
    }
    int write_1x1(const std::string& name)
    {
        HBITMAP bitmap = quadrant_bitmap(24, ANY_COLOURS, 1, 1);
        int result = write(name, bitmap);
        DeleteObject(bitmap);
        return result;
    }
    HBITMAP load(const std::string& name) { return load_bitmap_file(main_window, name.c_str()); }
    // Mode 1 over COPY.BMP, with the extension offset the dialog reports.
    std::string numbering()
    {
        settings.file_name_mode = 1;
        settings.output_file_ext_offset = (int32_t)(dir + "\\COPY.").size();
        return dir + "\\COPY.BMP";
    }
    HDC dc = NULL;
    std::string dir;
    BoxWatcher boxes;
};

}  // namespace

TEST_F(BmpFiles, WrittenFilesHoldTheImageAndLoadBack)
{
    std::string interop = env_dir_as_windows("KAVREL_INTEROP_DIR");
    std::string out = interop.empty() ? dir : interop;
    struct {
        const char* name;
        int source_bits, file_bits, offset;
        const COLORREF* colours;
    } cases[] = {
        {"bmp32_screen", 0, 32, 66, ANY_COLOURS},  {"bmp32", 32, 32, 66, ANY_COLOURS},
        {"bmp24", 24, 24, 54, ANY_COLOURS},        {"bmp24_from16", 16, 24, 54, PURE_COLOURS},
        {"bmp8_from4", 4, 8, 1078, PURE_COLOURS},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HBITMAP bitmap = quadrant_bitmap(c.source_bits, c.colours);
        std::string path = out + "\\" + c.name + ".bmp";
        ASSERT_EQ(write(path, bitmap), 0);
        DeleteObject(bitmap);
        Bytes file = read_file(path);
        ASSERT_GT(file.size(), 66u);
        EXPECT_EQ(i32_at(file, 2), (int32_t)file.size());
        EXPECT_EQ(i32_at(file, 10), c.offset);
        EXPECT_EQ(file[28], c.file_bits);
        // Past the rows the conversion fills, the buffer is zero.
        size_t end = c.offset + (W * c.file_bits + 31) / 32 * 4 * H;
        EXPECT_EQ(Bytes(file.begin() + end, file.end()), Bytes(file.size() - end, 0));

        FILE* expect = fopen((out + "\\" + c.name + ".expect").c_str(), "wb");  // LF lines
        ASSERT_TRUE(expect);
        fprintf(expect, "size %d %d\ndepth %d\n", W, H, c.file_bits);
        const int at[4][2] = {{0, 0}, {W - 1, MID_Y - 1}, {MID_X - 1, MID_Y}, {MID_X, H - 1}};
        for (int i = 0; i < 4; i++)
            fprintf(expect, "pixel %d %d %d %d %d\n", at[i][0], at[i][1],
                    GetRValue(c.colours[i]), GetGValue(c.colours[i]), GetBValue(c.colours[i]));
        fclose(expect);

        capture_width = capture_height = 0;
        HBITMAP loaded = load(path);
        ASSERT_TRUE(loaded);
        EXPECT_EQ(capture_width, W);
        EXPECT_EQ(capture_height, H);
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(pixel_at(loaded, at[i][0], at[i][1]), c.colours[i]) << i;
        DeleteObject(loaded);
    }
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(BmpFiles, ScreenSizedCaptureRoundTrips)
{
    HBITMAP bitmap = quadrant_bitmap(32, ANY_COLOURS, 1920, 1080);
    ASSERT_EQ(write(dir + "\\full.bmp", bitmap), 0);
    DeleteObject(bitmap);
    EXPECT_GT(read_file(dir + "\\full.bmp").size(), 5000000u);
    HBITMAP loaded = load(dir + "\\full.bmp");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(capture_width, 1920);
    EXPECT_EQ(capture_height, 1080);
    // The top row is in the last of the written pieces, the bottom row in the first.
    EXPECT_EQ(pixel_at(loaded, 0, 0), ANY_COLOURS[0]);
    EXPECT_EQ(pixel_at(loaded, 1919, 1079), ANY_COLOURS[3]);
    DeleteObject(loaded);
}

namespace {

// What the writer asks of the file system, seen through its imports: every write with its
// size, and the flush and close of the file written. A budget makes the disk "fill up": the
// write that crosses it stores only the bytes up to it and fails as a full disk does.
struct FileCalls {
    std::vector<DWORD> writes;
    std::vector<std::string> events;  // "write", "flush", "close" on the written file
    HANDLE file = NULL;
    long long budget = -1;  // bytes the disk still takes; -1 no limit
    // The write that crosses the budget reports success with fewer bytes written, and the code
    // an earlier call left (what Wine does on a Linux disk that fills), instead of failing.
    bool short_write = false;
    long long stored = 0;
};
FileCalls* calls = nullptr;
ImportHook* write_hook = nullptr;
ImportHook* flush_hook = nullptr;
ImportHook* close_hook = nullptr;

BOOL WINAPI counting_write(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                           LPOVERLAPPED overlapped)
{
    auto real = reinterpret_cast<decltype(&WriteFile)>(write_hook->original);
    calls->writes.push_back(size);
    calls->events.push_back("write");
    calls->file = file;
    if (calls->budget >= 0 && calls->stored + size > calls->budget) {
        DWORD part = (DWORD)(calls->budget - calls->stored);
        DWORD done = 0;
        real(file, data, part, &done, overlapped);
        calls->stored += done;
        if (written)
            *written = done;
        SetLastError(calls->short_write ? ERROR_ALREADY_EXISTS : ERROR_DISK_FULL);
        return calls->short_write ? TRUE : FALSE;
    }
    BOOL ok = real(file, data, size, written, overlapped);
    calls->stored += size;
    return ok;
}

BOOL WINAPI counting_flush(HANDLE file)
{
    if (file == calls->file)
        calls->events.push_back("flush");
    return reinterpret_cast<decltype(&FlushFileBuffers)>(flush_hook->original)(file);
}

BOOL WINAPI counting_close(HANDLE handle)
{
    if (handle == calls->file)
        calls->events.push_back("close");
    return reinterpret_cast<decltype(&CloseHandle)>(close_hook->original)(handle);
}

// While it lives, the writer's file calls go through the functions above.
struct WatchedFileCalls {
    FileCalls log;
    ImportHook write{"kernel32.dll", "WriteFile", (void*)counting_write};
    ImportHook flush{"kernel32.dll", "FlushFileBuffers", (void*)counting_flush};
    ImportHook close{"kernel32.dll", "CloseHandle", (void*)counting_close};
    explicit WatchedFileCalls(long long budget = -1, bool short_write = false)
    {
        log.budget = budget;
        log.short_write = short_write;
        calls = &log;
        write_hook = &write;
        flush_hook = &flush;
        close_hook = &close;
    }
    ~WatchedFileCalls() { calls = nullptr; }
    bool hooked() const { return write.original && flush.original && close.original; }
};

// The rows of `bitmap` as the file must hold them: bottom-up at `bits` per pixel, in a buffer
// of the file's image size whose bytes after the rows are zero.
Bytes expected_pixels(HBITMAP bitmap, int w, int h, int bits, size_t image_size)
{
    Bytes pixels(image_size, 0);
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD table[256 + 3];
    } bi = {};
    bi.header = {sizeof(BITMAPINFOHEADER), w, h, 1, (WORD)bits, BI_RGB, 0, 0, 0, 0, 0};
    HDC screen = GetDC(NULL);
    GetDIBits(screen, bitmap, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi),
              DIB_RGB_COLORS);
    ReleaseDC(NULL, screen);
    return pixels;
}

}  // namespace

// The pixels go out in pieces of BMP_WRITE_PIECE: image sizes just below, at and just above a
// piece, and over several, give whole files in the fewest writes, nothing missing at the end and
// nothing written twice.
TEST_F(BmpFiles, PixelsEndingAtAnyPointOfAPieceAreWrittenWhole)
{
    const struct {
        int source_bits, file_bits, w, h, offset;
    } cases[] = {
        // 32 bits, 256 pixels wide: 1,024 bytes a row, a piece every 1,024 rows.
        {32, 32, 256, 1023, 66},
        {32, 32, 256, 1024, 66},
        {32, 32, 256, 1025, 66},
        {32, 32, 256, 2560, 66},
        // 8 bits, 8 pixels wide: 8 bytes a row, so the piece is missed by 8 bytes either way.
        {4, 8, 8, (int)BMP_WRITE_PIECE / 8 - 1, 1078},
        {4, 8, 8, (int)BMP_WRITE_PIECE / 8 + 1, 1078},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.file_bits) + " bits, height " + std::to_string(c.h));
        HBITMAP bitmap = quadrant_bitmap(c.source_bits, PURE_COLOURS, c.w, c.h);
        size_t image_size = (size_t)(c.w + 7) / 8 * c.file_bits * c.h;
        std::string name = dir + "\\rows" + std::to_string(c.h) + ".bmp";
        std::vector<DWORD> writes;
        {
            WatchedFileCalls watched;
            ASSERT_TRUE(watched.hooked());
            ASSERT_EQ(write(name, bitmap), 0);
            writes = watched.log.writes;
        }
        Bytes file = read_file(name);
        ASSERT_EQ(file.size(), c.offset + image_size);
        EXPECT_EQ((size_t)i32_at(file, 2), file.size());
        EXPECT_EQ(i32_at(file, 10), c.offset);
        EXPECT_EQ((size_t)i32_at(file, 34), image_size);
        EXPECT_TRUE(Bytes(file.begin() + c.offset, file.end()) ==
                    expected_pixels(bitmap, c.w, c.h, c.file_bits, image_size));
        DeleteObject(bitmap);

        // The file header, the info header with its table or masks, then the pieces.
        std::vector<DWORD> want = {14, (DWORD)c.offset - 14};
        for (size_t done = 0; done < image_size; done += BMP_WRITE_PIECE)
            want.push_back((DWORD)std::min<size_t>(BMP_WRITE_PIECE, image_size - done));
        EXPECT_EQ(writes, want);
    }
    EXPECT_TRUE(boxes.texts().empty());
}

// The file is on disk when the writer reports it written: flushed after the last write, then
// closed.
TEST_F(BmpFiles, FileIsFlushedAfterTheLastWriteBeforeItIsClosed)
{
    HBITMAP bitmap = quadrant_bitmap(32, ANY_COLOURS, 256, 2560);
    std::vector<std::string> events;
    {
        WatchedFileCalls watched;
        ASSERT_TRUE(watched.hooked());
        ASSERT_EQ(write(dir + "\\flushed.bmp", bitmap), 0);
        events = watched.log.events;
    }
    DeleteObject(bitmap);
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[events.size() - 3], "write");
    EXPECT_EQ(events[events.size() - 2], "flush");
    EXPECT_EQ(events.back(), "close");
}

// A disk that fills up while a numbered file is written: the box naming the full disk, -1, and
// the file stays on disk with exactly the bytes that were stored, whether the failing write is
// a header's or a piece's, and whether the write fails or stops short without a code.
TEST_F(BmpFiles, FailedWriteLeavesWhatWasWrittenOnDisk)
{
    HBITMAP bitmap = quadrant_bitmap(32, ANY_COLOURS, 256, 2560);
    ASSERT_EQ(write(dir + "\\whole.bmp", bitmap), 0);
    Bytes whole = read_file(dir + "\\whole.bmp");
    ASSERT_EQ(whole.size(), 66u + 256 * 4 * 2560);
    for (long long budget : {10LL, 60LL, 66LL + BMP_WRITE_PIECE + BMP_WRITE_PIECE / 2})
    for (bool short_write : {false, true}) {
        SCOPED_TRACE(std::to_string(budget) + (short_write ? " short" : " failed"));
        std::string name = dir + "\\part" + std::to_string(budget) + (short_write ? "s" : "f") +
                           ".bmp";
        settings.file_name_mode = 1;
        size_t writes_made;
        {
            WatchedFileCalls watched(budget, short_write);
            ASSERT_TRUE(watched.hooked());
            EXPECT_EQ(write(name, bitmap), -1);
            writes_made = watched.log.writes.size();
            // Nothing is written after the write that failed.
            EXPECT_EQ(watched.log.stored, budget);
            EXPECT_EQ(watched.log.events.back(), "close");
        }
        EXPECT_EQ(writes_made, budget < 14 ? 1u : budget < 66 ? 2u : 4u);
        Bytes part = read_file(name);
        ASSERT_EQ(part.size(), (size_t)budget);
        EXPECT_TRUE(Bytes(whole.begin(), whole.begin() + budget) == part);
        std::vector<std::string> texts = boxes.texts();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_TRUE(box_says(texts[0], "ファイル出力ができません", "Create Bitmap File"))
            << texts[0];
        EXPECT_NE(texts[0].find("(ERR=112)"), std::string::npos) << texts[0];
        boxes.clear();
    }
    DeleteObject(bitmap);
}

// Overwriting keeps the older file whole until the new one is: a disk that fills, a flush that
// fails, or an older file that cannot be replaced leave it as it was, with nothing beside it.
TEST_F(BmpFiles, OverwritingKeepsTheOlderFileUntilTheNewOneIsWhole)
{
    // The NT family replaces in one call, the Windows 95 family moves the older file aside.
    for (int platform : {VER_PLATFORM_WIN32_NT, VER_PLATFORM_WIN32_WINDOWS}) {
        SCOPED_TRACE(platform == VER_PLATFORM_WIN32_NT ? "NT" : "95 family");
        struct Platform {
            int saved = os_platform;
            ~Platform() { os_platform = saved; }
        } restored;
        os_platform = platform;
        settings.file_name_mode = 0;
        const std::string folder = dir + "\\一覧表" + std::to_string(platform);
        std::string name = folder + "\\ソフト表.BMP";
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL));
        HBITMAP small = quadrant_bitmap(24, ANY_COLOURS, 8, 8);
        HBITMAP big = quadrant_bitmap(32, ANY_COLOURS, 256, 2560);
        ASSERT_EQ(write(name, small), 0);
        const Bytes older = read_file(name);
        ASSERT_EQ(older.size(), 54u + 24 * 8);
        auto nothing_beside = [&] {
            WIN32_FIND_DATAA found;
            HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &found);
            int others = 0;
            if (h != INVALID_HANDLE_VALUE) {
                do {
                    std::string n = found.cFileName;
                    if (n != "." && n != ".." && n != "ソフト表.BMP" && others++ == 0)
                        ADD_FAILURE() << "left beside: " << n;
                } while (FindNextFileA(h, &found));
                FindClose(h);
            }
            return others == 0;
        };
        for (bool short_write : {false, true}) {
            SCOPED_TRACE(short_write ? "short" : "failed");
            {
                WatchedFileCalls watched(66 + BMP_WRITE_PIECE, short_write);
                ASSERT_TRUE(watched.hooked());
                EXPECT_EQ(write(name, big), -1);
            }
            EXPECT_TRUE(read_file(name) == older) << "the older file changed";
            EXPECT_TRUE(nothing_beside());
            std::vector<std::string> texts = boxes.texts();
            ASSERT_EQ(texts.size(), 1u);
            EXPECT_EQ(texts[0], "ファイル出力ができません\nCreate Bitmap File(ERR=112)");
            boxes.clear();
        }
        // An older file another program holds, even sharing it, is not replaced, and nothing is
        // written for it; the box has the system's code.
        HANDLE viewer = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
        {
            WatchedFileCalls watched;
            EXPECT_EQ(write(name, big), -1);
            EXPECT_TRUE(watched.log.writes.empty()) << "written for nothing";
        }
        CloseHandle(viewer);
        EXPECT_TRUE(read_file(name) == older);
        EXPECT_TRUE(nothing_beside());
        std::vector<std::string> texts = boxes.texts();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0], "出力ファイルが作成できません\nCreate Bitmap File(ERR=32)");
        boxes.clear();
        // And once nothing is in the way, the new file takes its place whole.
        EXPECT_EQ(write(name, big), 0);
        EXPECT_EQ(read_file(name).size(), 66u + 256 * 4 * 2560);
        EXPECT_TRUE(nothing_beside());
        EXPECT_TRUE(boxes.texts().empty());
        DeleteObject(small);
        DeleteObject(big);
    }
}

TEST_F(BmpFiles, NoOutputAndUnknownModesCreateNothing)
{
    write_file(dir + "\\OLD.BMP", Bytes(10, 1));
    settings.file_name_mode = 2;
    EXPECT_EQ(write_1x1(dir + "\\NEW.BMP"), 0);
    EXPECT_EQ(write_1x1(dir + "\\OLD.BMP"), 0);
    EXPECT_TRUE(boxes.texts().empty());
    settings.file_name_mode = 7;
    EXPECT_EQ(write_1x1(dir + "\\NEW.BMP"), -1);
    EXPECT_EQ(write_1x1(dir + "\\OLD.BMP"), -1);
    EXPECT_FALSE(file_exists(dir + "\\NEW.BMP"));
    EXPECT_EQ(read_file(dir + "\\OLD.BMP"), Bytes(10, 1));
    auto texts = boxes.texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_TRUE(box_says(texts[0], "出力ファイルが作成できません", "Create Bitmap File"));
    EXPECT_TRUE(box_says(texts[1], "ファイル出力ができません", "Create Bitmap File"));
}

TEST_F(BmpFiles, NumberingFillsTheFirstGap)
{
    std::string name = numbering();
    ASSERT_EQ(write_1x1(name), 0);
    EXPECT_EQ(read_file(name).size(), 78u) << "a free name is used without a number";
    write_file(dir + "\\COPY1.BMP", Bytes(3, 0));
    write_file(dir + "\\COPY3.BMP", Bytes(3, 0));
    ASSERT_EQ(write_1x1(name), 0);
    EXPECT_EQ(read_file(dir + "\\COPY2.BMP").size(), 78u);
    ASSERT_EQ(write_1x1(name), 0);
    EXPECT_EQ(read_file(dir + "\\COPY4.BMP").size(), 78u);
    EXPECT_EQ(read_file(dir + "\\COPY3.BMP").size(), 3u);
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(BmpFiles, NumberingWithEveryNumberTakenWritesNothing)
{
    std::string name = numbering();
    write_file(name, Bytes());
    for (int n = 1; n <= 999; n++)
        write_file(dir + "\\COPY" + std::to_string(n) + ".BMP", Bytes());
    EXPECT_EQ(write_1x1(name), -1);
    EXPECT_FALSE(file_exists(dir + "\\COPY1000.BMP"));
    EXPECT_TRUE(read_file(name).empty());
    for (int n = 1; n <= 999; n++)
        ASSERT_TRUE(read_file(dir + "\\COPY" + std::to_string(n) + ".BMP").empty()) << n;
    auto texts = boxes.texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(box_says(texts[0], "出力ファイルが作成できません", "Create Bitmap File"));
}

// A viewer showing the last copy holds it open, sharing or not: numbering goes past it, and
// leaves it as it is. Overwriting has no other name to go to.
TEST_F(BmpFiles, NumberingGoesPastFilesOtherProgramsHold)
{
    std::string name = numbering();
    std::string first = dir + "\\COPY1.BMP";
    write_file(name, Bytes(3, 0));
    write_file(first, Bytes(3, 0));
    HANDLE unshared = CreateFileA(name.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
    HANDLE shared = CreateFileA(first.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(unshared, INVALID_HANDLE_VALUE);
    ASSERT_NE(shared, INVALID_HANDLE_VALUE);
    EXPECT_EQ(write_1x1(name), 0);
    EXPECT_TRUE(boxes.texts().empty());

    settings.file_name_mode = 0;
    EXPECT_EQ(write_1x1(name), -1);
    CloseHandle(unshared);
    CloseHandle(shared);
    EXPECT_EQ(read_file(dir + "\\COPY2.BMP").size(), 78u);
    EXPECT_EQ(read_file(name), Bytes(3, 0));
    EXPECT_EQ(read_file(first), Bytes(3, 0));
    auto texts = boxes.texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(box_says(texts[0], "出力ファイルが作成できません", "Create Bitmap File"));
}

TEST_F(BmpFiles, TopDownFileLoadsTheRightWayUp)
{
    for (bool top_down : {true, false}) {
        write_file(dir + "\\rows.bmp", rgb_file(5, 4, top_down));
        capture_height = 0;
        HBITMAP loaded = load(dir + "\\rows.bmp");
        ASSERT_TRUE(loaded) << top_down;
        EXPECT_EQ(capture_height, 4) << top_down;
        EXPECT_EQ(pixel_at(loaded, 2, 0), RGB(255, 0, 0)) << top_down;
        EXPECT_EQ(pixel_at(loaded, 2, 3), RGB(0, 0, 255)) << top_down;
        DeleteObject(loaded);
    }
}

TEST_F(BmpFiles, LoaderRefusals)
{
    Bytes good = rgb_file(6, 5, false);
    write_file(dir + "\\w10000.bmp", rgb_file(10000, 1, false));
    write_file(dir + "\\w10001.bmp", rgb_file(10001, 1, false));
    write_file(dir + "\\w0.bmp", rgb_file(0, 5, false));
    write_file(dir + "\\h0.bmp", rgb_file(6, 0, false));
    write_file(dir + "\\text.bmp", Bytes{'h', 'e', 'l', 'l', 'o'});
    write_file(dir + "\\ten.bmp", Bytes{'B', 'M', 100, 0, 0, 0, 0, 0, 0, 0});
    write_file(dir + "\\cut.bmp", Bytes(good.begin(), good.end() - 1));
    Bytes beyond = good;
    put_i32(beyond, 10, 100000);
    write_file(dir + "\\beyond.bmp", beyond);

    HBITMAP wide = load(dir + "\\w10000.bmp");
    ASSERT_TRUE(wide);
    EXPECT_EQ(capture_width, 10000);
    DeleteObject(wide);

    const char* not_bitmap = "このファイルはビットマップファイルではありません";
    const char* cannot_expand = "ビットマップファイルを展開することができません";
    const char* cases[][2] = {
        {"w10001.bmp", "ビットマップファイルを取り扱えません"},
        {"w0.bmp", "ビットマップファイルを取り扱えません"},
        {"h0.bmp", "ビットマップファイルを取り扱えません"},
        {"missing.bmp", "ファイルを開くことができません"},
        {"text.bmp", not_bitmap},
        {"ten.bmp", not_bitmap},
        {"cut.bmp", cannot_expand},
        {"beyond.bmp", cannot_expand},
    };
    capture_width = 77;
    capture_height = 55;
    for (const auto& c : cases) {
        boxes.clear();
        EXPECT_FALSE(load(dir + "\\" + c[0])) << c[0];
        auto texts = boxes.texts();
        ASSERT_EQ(texts.size(), 1u) << c[0];
        EXPECT_TRUE(box_says(texts[0], c[1], "Load Bitmap")) << c[0] << ": " << texts[0];
    }
    EXPECT_EQ(capture_width, 77);
    EXPECT_EQ(capture_height, 55);
}

namespace {

ImportHook* create_dib_hook = nullptr;
std::vector<DWORD> sizes_handed;  // biSize of each header CreateDIBitmap was handed

HBITMAP WINAPI recorded_create_dibitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init,
                                        const void* bits, const BITMAPINFO* info, UINT use)
{
    sizes_handed.push_back(header->biSize);
    if ((const void*)info != (const void*)header)
        sizes_handed.push_back(0);  // the header and the table must be one block
    auto real = reinterpret_cast<decltype(&CreateDIBitmap)>(create_dib_hook->original);
    return real(dc, header, init, bits, info, use);
}

// A 2 x 2 file with a header of `header_size` bytes, top row red and green, bottom row blue and
// white: 8 bits with a table after the header, or bit fields with `masks` (red, green, blue,
// alpha) in the header (after it for 40 bytes), each channel fully on or off.
Bytes two_by_two(uint32_t header_size, uint16_t bits, const uint32_t masks[4])
{
    const COLORREF colours[4] = {RGB(0, 0, 255), RGB(255, 255, 255), RGB(255, 0, 0),
                                 RGB(0, 255, 0)};  // bottom-up
    bool fields = bits != 8;
    size_t table_at = 14 + header_size + (fields && header_size == 40 ? 12 : 0);
    size_t pixels_at = table_at + (fields ? 0 : 4 * 4);
    size_t stride = (2 * bits + 31) / 32 * 4;
    Bytes f(pixels_at + 2 * stride, 0);
    f[0] = 'B';
    f[1] = 'M';
    put_i32(f, 2, (int32_t)f.size());
    put_i32(f, 10, (int32_t)pixels_at);
    put_i32(f, 14, (int32_t)header_size);
    put_i32(f, 18, 2);
    put_i32(f, 22, 2);
    f[26] = 1;
    f[28] = (uint8_t)bits;
    put_i32(f, 30, fields ? BI_BITFIELDS : BI_RGB);
    put_i32(f, 46, fields ? 0 : 4);  // colours used
    if (fields)
        for (int i = 0; i < (header_size >= 56 ? 4 : 3); i++)
            put_i32(f, 14 + 40 + 4 * i, (int32_t)masks[i]);
    for (int i = 0; i < 4; i++) {
        COLORREF c = colours[i];
        size_t at = pixels_at + (i / 2) * stride + (i % 2) * (bits / 8);
        if (!fields) {
            put_i32(f, table_at + 4 * i,
                    (int32_t)((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c)));
            f[at] = (uint8_t)i;
            continue;
        }
        uint32_t v = masks[3];
        if (GetRValue(c))
            v |= masks[0];
        if (GetGValue(c))
            v |= masks[1];
        if (GetBValue(c))
            v |= masks[2];
        for (int b = 0; b < bits / 8; b++)
            f[at + b] = (uint8_t)(v >> (8 * b));
    }
    return f;
}

// What os_platform says while it lives.
struct Platform {
    int saved;
    explicit Platform(int value) : saved(os_platform) { os_platform = value; }
    ~Platform() { os_platform = saved; }
};

}  // namespace

// Version 4 and 5 headers (and 40-byte ones) reach the system as the 40-byte info header it
// knows, with the masks or the table after it, and show their pixels. With the Windows 95
// family's branch, masks it does not take are refused with the loader's box before the system
// sees them.
TEST_F(BmpFiles, LoaderHandsTheSystemTheInfoHeader)
{
    const uint32_t rgb888[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    const uint32_t rgb565[4] = {0xF800, 0x07E0, 0x001F, 0};
    const uint32_t rgb444[4] = {0x0F00, 0x00F0, 0x000F, 0xF000};
    const uint32_t bgr888[4] = {0xFF, 0xFF00, 0xFF0000, 0};
    const struct {
        const char* name;
        uint32_t header_size;
        uint16_t bits;
        const uint32_t* masks;
        bool on_95;
    } cases[] = {
        {"v5-32", 124, 32, rgb888, true}, {"v4-565", 108, 16, rgb565, true},
        {"v5-pal", 124, 8, rgb888, true}, {"v4-pal", 108, 8, rgb888, true},
        {"v3-565", 40, 16, rgb565, true}, {"v5-444", 124, 16, rgb444, false},
        {"v4-bgr", 108, 32, bgr888, false}, {"v3-444", 40, 16, rgb444, false},
    };
    ImportHook hook("gdi32.dll", "CreateDIBitmap", (void*)recorded_create_dibitmap);
    ASSERT_TRUE(hook.original) << "the program does not import CreateDIBitmap";
    create_dib_hook = &hook;
    for (int platform : {VER_PLATFORM_WIN32_NT, VER_PLATFORM_WIN32_WINDOWS}) {
        Platform as(platform);
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << " on platform " << platform);
            std::string name = dir + "\\" + c.name + ".bmp";
            write_file(name, two_by_two(c.header_size, c.bits, c.masks));
            sizes_handed.clear();
            boxes.clear();
            HBITMAP loaded = load(name);
            if (platform == VER_PLATFORM_WIN32_WINDOWS && !c.on_95) {
                EXPECT_FALSE(loaded);
                EXPECT_TRUE(sizes_handed.empty()) << "the system was handed the file";
                auto texts = boxes.texts();
                ASSERT_EQ(texts.size(), 1u);
                EXPECT_TRUE(box_says(texts[0], "ビットマップファイルを展開することができません",
                                     "Load Bitmap"))
                    << texts[0];
                continue;
            }
            ASSERT_TRUE(loaded);
            EXPECT_EQ(sizes_handed, std::vector<DWORD>{40});
            EXPECT_TRUE(boxes.texts().empty());
            EXPECT_EQ(pixel_at(loaded, 0, 0), RGB(255, 0, 0));
            EXPECT_EQ(pixel_at(loaded, 1, 0), RGB(0, 255, 0));
            EXPECT_EQ(pixel_at(loaded, 0, 1), RGB(0, 0, 255));
            EXPECT_EQ(pixel_at(loaded, 1, 1), RGB(255, 255, 255));
            DeleteObject(loaded);
        }
    }
    create_dib_hook = nullptr;
}

namespace {

// Plays the user at the save-file dialog from a second thread: reads the proposed name, then
// types a name and presses OK, or cancels.
struct SaveDialogUser {
    std::string type;  // empty: cancel
    std::string proposed;
    std::string title;
    bool seen = false;
};

DWORD WINAPI use_save_dialog(void* arg)
{
    auto* user = static_cast<SaveDialogUser*>(arg);
    for (DWORD start = GetTickCount(); GetTickCount() - start < 15000; Sleep(20)) {
        std::vector<HWND> dialogs = windows_of(GetCurrentProcessId(), "#32770", true);
        if (dialogs.empty())
            continue;
        HWND dialog = dialogs.front();
        // The file name box: a combo box in the newer dialog, an edit box in the older one.
        HWND name_box = GetDlgItem(dialog, cmb13);
        if (!name_box)
            name_box = GetDlgItem(dialog, edt1);
        // The dialog has set itself up once it proposes a name (the pattern at least).
        char text[MAX_PATH] = "";
        if (!name_box || !GetWindowTextA(name_box, text, sizeof text))
            continue;
        user->proposed = text;
        GetWindowTextA(dialog, text, sizeof text);
        user->title = text;
        user->seen = true;
        if (user->type.empty()) {
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        } else {
            SetWindowTextA(name_box, user->type.c_str());
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        }
        return 0;
    }
    // None that proposed a name: closed, so that the test goes on to fail rather than hang.
    for (HWND dialog : windows_of(GetCurrentProcessId(), "#32770", true))
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return 0;
}

// Runs choose_output_file over a window that has the name display, with `user` at the dialog.
std::string run_output_dialog(SaveDialogUser& user)
{
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 50, 50, 300, 100,
                                 NULL, NULL, GetModuleHandleA(NULL), NULL);
    CreateWindowExA(0, "STATIC", "unchanged", WS_CHILD | WS_VISIBLE, 0, 0, 300, 20, owner,
                    (HMENU)1046, GetModuleHandleA(NULL), NULL);
    HANDLE thread = CreateThread(NULL, 0, use_save_dialog, &user, 0, NULL);
    EXPECT_EQ(choose_output_file(owner, settings), 0);
    wait_pumping(thread, 20000);
    CloseHandle(thread);
    char shown[OUTPUT_NAME_SIZE] = "";
    GetDlgItemTextA(owner, 1046, shown, sizeof shown);
    DestroyWindow(owner);
    return shown;
}

}  // namespace

TEST(BmpOutputDialog, SetsTheNameAndItsExtensionOffset)
{
    reset_settings(settings);
    std::string path = fresh_work_dir("output-dialog") + "\\SHOT.BMP";
    write_file(path, Bytes(1, 0));
    SaveDialogUser user;
    user.type = path;
    std::string shown = run_output_dialog(user);
    ASSERT_TRUE(user.seen);
    EXPECT_EQ(user.title, "ファイル設定");
    EXPECT_EQ(user.proposed, "*.bmp") << "an empty name proposes the pattern";
    EXPECT_EQ(std::string(settings.output_file_name), path);
    EXPECT_EQ(settings.output_file_ext_offset, (int32_t)path.size() - 3);
    EXPECT_EQ(shown, path);
}

TEST(BmpOutputDialog, CancelKeepsTheName)
{
    reset_settings(settings);
    strcpy(settings.output_file_name, "C:\\KEEP\\OLD.BMP");
    settings.output_file_ext_offset = 12;
    SaveDialogUser user;
    std::string shown = run_output_dialog(user);
    ASSERT_TRUE(user.seen);
    EXPECT_NE(user.proposed.find("OLD.BMP"), std::string::npos) << user.proposed;
    EXPECT_STREQ(settings.output_file_name, "C:\\KEEP\\OLD.BMP");
    EXPECT_EQ(settings.output_file_ext_offset, 12);
    EXPECT_EQ(shown, "unchanged");

    // A blank first character counts as no name.
    settings.output_file_name[0] = ' ';
    SaveDialogUser blank;
    run_output_dialog(blank);
    EXPECT_EQ(blank.proposed, "*.bmp");
}
