// The BMP writer, loader and output-file dialog called directly under Wine, with real bitmaps,
// real files and the real save-file dialog; the files written for ImageMagick's check are left
// in KAVREL_INTEROP_DIR.
#include <windows.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "app/shell_win.h"
#include "capture/capture_win.h"
#include "files/bmp_format.h"
#include "files/bmp_loader_win.h"
#include "files/bmp_writer_win.h"
#include "settings/settings.h"
#include "tests/module/module_harness_win.h"

namespace {

using Bytes = std::vector<unsigned char>;

const int W = 13;  // neither width nor height a multiple of 4 or 8, so rows carry padding
const int H = 7;
const int MID_X = 6;
const int MID_Y = 3;
// Quadrants top-left, top-right, bottom-left, bottom-right.
const COLORREF ANY_COLOURS[4] = {RGB(200, 30, 40), RGB(20, 220, 90), RGB(60, 50, 170),
                                 RGB(250, 250, 240)};
// Colours every depth holds exactly, for 16-bit and palette sources.
const COLORREF PURE_COLOURS[4] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255),
                                  RGB(255, 255, 255)};

const char WRITER_STEP[] = "\nCreate Bitmap File(ERR=";
const char LOADER_STEP[] = "\nLoad Bitmap(ERR=";

std::string step_box(const char* text, const char* step)
{
    return std::string(text) + step;
}

bool starts_with(const std::string& s, const std::string& prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

// A folder of its own for one test, removed with what is in it.
struct TempDir {
    std::string path;
    TempDir()
    {
        char base[MAX_PATH];
        GetTempPathA(sizeof base, base);
        static int serial = 0;
        char name[MAX_PATH];
        snprintf(name, sizeof name, "%skavrel-bmp-%lu-%d", base, GetCurrentProcessId(),
                 ++serial);
        path = name;
        CreateDirectoryA(path.c_str(), NULL);
    }
    ~TempDir()
    {
        WIN32_FIND_DATAA fd;
        HANDLE find = FindFirstFileA((path + "\\*").c_str(), &fd);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileA((path + "\\" + fd.cFileName).c_str());
            } while (FindNextFileA(find, &fd));
            FindClose(find);
        }
        RemoveDirectoryA(path.c_str());
    }
    std::string operator/(const std::string& name) const { return path + "\\" + name; }
    int count() const
    {
        int n = 0;
        WIN32_FIND_DATAA fd;
        HANDLE find = FindFirstFileA((path + "\\*").c_str(), &fd);
        if (find == INVALID_HANDLE_VALUE)
            return 0;
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                n++;
        } while (FindNextFileA(find, &fd));
        FindClose(find);
        return n;
    }
};

Bytes read_bytes(const std::string& path)
{
    Bytes data;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return data;
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        data.insert(data.end(), buf, buf + n);
    fclose(f);
    return data;
}

void write_bytes(const std::string& path, const Bytes& data)
{
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f) << path;
    if (!data.empty())
        fwrite(data.data(), 1, data.size(), f);
    fclose(f);
}

bool exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

uint32_t u32(const Bytes& b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | ((uint32_t)b[at + 3] << 24);
}

void put32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + i] = (unsigned char)(v >> (8 * i));
}

enum Source { SCREEN_COMPATIBLE, DIB_24, DIB_16, DIB_4, DIB_32 };

// A bitmap of W x H (or the given size) in four coloured quadrants, selected into no DC.
HBITMAP quadrant_bitmap(Source source, const COLORREF colours[4], int w = W, int h = H)
{
    HDC screen = GetDC(NULL);
    HBITMAP bitmap = NULL;
    if (source == SCREEN_COMPATIBLE) {
        bitmap = CreateCompatibleBitmap(screen, w, h);
    } else {
        struct {
            BITMAPINFOHEADER header;
            RGBQUAD table[16];
        } bi = {};
        bi.header.biSize = sizeof bi.header;
        bi.header.biWidth = w;
        bi.header.biHeight = h;
        bi.header.biPlanes = 1;
        bi.header.biBitCount = source == DIB_24 ? 24 : source == DIB_16 ? 16
                               : source == DIB_4 ? 4 : 32;
        for (int i = 0; i < 4; i++)
            bi.table[i] = {GetBValue(colours[i]), GetGValue(colours[i]), GetRValue(colours[i]), 0};
        void* bits = NULL;
        bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS,
                                  &bits, NULL, 0);
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

// A bitmap's pixels as 0x00RRGGBB, top row first.
std::vector<uint32_t> pixels_of(HBITMAP bitmap, int w, int h)
{
    std::vector<uint32_t> px((size_t)w * h);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    HDC screen = GetDC(NULL);
    GetDIBits(screen, bitmap, 0, h, px.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(NULL, screen);
    for (auto& p : px)
        p &= 0xFFFFFF;
    return px;
}

uint32_t rgb_of(COLORREF c)
{
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

// Where the files for ImageMagick go, as a Windows path; empty when the test runs alone.
std::string interop_dir()
{
    char linux_path[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("KAVREL_INTEROP_DIR", linux_path, sizeof linux_path);
    if (n == 0 || n >= sizeof linux_path)
        return "";
    std::string path = std::string("Z:") + linux_path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

void write_expectation(const std::string& dir, const std::string& name, int bits,
                       const COLORREF colours[4])
{
    // Binary, so the lines end in LF for the shell script that reads them.
    FILE* f = fopen((dir + "\\" + name + ".expect").c_str(), "wb");
    ASSERT_TRUE(f);
    fprintf(f, "size %d %d\ndepth %d\n", W, H, bits);
    const int corners[4][2] = {{0, 0}, {W - 1, 0}, {0, H - 1}, {W - 1, H - 1}};
    const int inner[4][2] = {{MID_X - 1, MID_Y - 1}, {MID_X, MID_Y - 1}, {MID_X - 1, MID_Y},
                             {MID_X, MID_Y}};
    for (int i = 0; i < 4; i++) {
        COLORREF c = colours[i];
        fprintf(f, "pixel %d %d %d %d %d\n", corners[i][0], corners[i][1], GetRValue(c),
                GetGValue(c), GetBValue(c));
        fprintf(f, "pixel %d %d %d %d %d\n", inner[i][0], inner[i][1], GetRValue(c),
                GetGValue(c), GetBValue(c));
    }
    fclose(f);
}

// A 24-bit file with a 40-byte header, rows as given by `row_colour(y)` (y from the top).
Bytes rgb_file(int w, int h, bool top_down, COLORREF (*row_colour)(int))
{
    int stride = (w * 3 + 3) / 4 * 4;
    Bytes f(54 + (size_t)stride * h, 0);
    f[0] = 'B';
    f[1] = 'M';
    put32(f, 2, (uint32_t)f.size());
    put32(f, 10, 54);
    put32(f, 14, 40);
    put32(f, 18, (uint32_t)w);
    put32(f, 22, (uint32_t)(top_down ? -h : h));
    f[26] = 1;
    f[28] = 24;
    for (int y = 0; y < h; y++) {
        COLORREF c = row_colour(y);
        size_t row = 54 + (size_t)stride * (top_down ? y : h - 1 - y);
        for (int x = 0; x < w; x++) {
            f[row + 3 * x] = GetBValue(c);
            f[row + 3 * x + 1] = GetGValue(c);
            f[row + 3 * x + 2] = GetRValue(c);
        }
    }
    return f;
}

COLORREF red_then_blue(int y)
{
    return y == 0 ? RGB(255, 0, 0) : RGB(0, 0, 255);
}

class BmpFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_settings(settings);
        make_stand_in_main_window(600, 500, 180, 42, RGB(192, 192, 192));
        dc = GetDC(main_window);
        boxes.clear();
    }
    void TearDown() override
    {
        ReleaseDC(main_window, dc);
        destroy_stand_in_main_window();
    }
    int write(const std::string& name, HBITMAP bitmap)
    {
        char buffer[OUTPUT_NAME_SIZE] = {0};
        strncpy(buffer, name.c_str(), sizeof buffer - 1);
        return write_bitmap_file(buffer, bitmap, dc);
    }
    // Mode 1 over `dir`\COPY.BMP, with the extension offset the dialog would report.
    std::string numbered_setup(const TempDir& dir)
    {
        std::string name = dir / "COPY.BMP";
        settings.file_name_mode = 1;
        settings.output_file_ext_offset = (int32_t)name.size() - 3;
        return name;
    }
    HDC dc = NULL;
    BoxWatcher boxes;
};

}  // namespace

TEST_F(BmpFiles, WrittenFilesHoldTheImageForAnotherReader)
{
    std::string out = interop_dir();
    TempDir fallback;
    if (out.empty())
        out = fallback.path;
    struct Case {
        const char* name;
        Source source;
        const COLORREF* colours;
        int bits;
        uint32_t offset;
    } cases[] = {
        {"bmp32_screen", SCREEN_COMPATIBLE, ANY_COLOURS, 32, 66},
        {"bmp32_dib", DIB_32, ANY_COLOURS, 32, 66},
        {"bmp24_dib", DIB_24, ANY_COLOURS, 24, 54},
        {"bmp24_from16", DIB_16, PURE_COLOURS, 24, 54},
        {"bmp8_from4", DIB_4, PURE_COLOURS, 8, 1078},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HBITMAP bitmap = quadrant_bitmap(c.source, c.colours);
        std::string path = out + "\\" + c.name + ".bmp";
        ASSERT_EQ(write(path, bitmap), 0);
        DeleteObject(bitmap);
        Bytes file = read_bytes(path);
        ASSERT_GE(file.size(), 54u);
        BmpLayout layout;
        ASSERT_TRUE(bmp_layout_for(W, H, (uint16_t)c.bits, &layout));
        EXPECT_EQ(file.size(), layout.file_size);
        EXPECT_EQ(u32(file, 2), file.size());
        EXPECT_EQ(u32(file, 10), c.offset);
        EXPECT_EQ(file[28], c.bits);
        if (c.bits == 32) {
            EXPECT_EQ(u32(file, 30), 3u);
            EXPECT_EQ(u32(file, 54), 0x00FF0000u);
            EXPECT_EQ(u32(file, 62), 0x000000FFu);
        }
        // What the conversion does not fill stays zero.
        uint32_t rows = (W * c.bits + 31) / 32 * 4 * H;
        for (size_t i = c.offset + rows; i < file.size(); i++)
            ASSERT_EQ(file[i], 0) << "byte " << i;
        write_expectation(out, c.name, c.bits, c.colours);
    }
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(BmpFiles, WrittenFilesLoadBackWithTheirColours)
{
    TempDir dir;
    for (Source source : {SCREEN_COMPATIBLE, DIB_24}) {
        HBITMAP bitmap = quadrant_bitmap(source, ANY_COLOURS);
        std::string path = dir / (source == DIB_24 ? "b24.bmp" : "b32.bmp");
        ASSERT_EQ(write(path, bitmap), 0);
        DeleteObject(bitmap);
        capture_width = capture_height = 0;
        HBITMAP loaded = load_bitmap_file(main_window, path.c_str());
        ASSERT_TRUE(loaded);
        EXPECT_EQ(capture_width, W);
        EXPECT_EQ(capture_height, H);
        auto px = pixels_of(loaded, W, H);
        EXPECT_EQ(px[0], rgb_of(ANY_COLOURS[0]));
        EXPECT_EQ(px[W - 1], rgb_of(ANY_COLOURS[1]));
        EXPECT_EQ(px[(size_t)(H - 1) * W], rgb_of(ANY_COLOURS[2]));
        EXPECT_EQ(px[(size_t)H * W - 1], rgb_of(ANY_COLOURS[3]));
        DeleteObject(loaded);
    }
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(BmpFiles, ScreenSizedCaptureRoundTrips)
{
    TempDir dir;
    HBITMAP bitmap = quadrant_bitmap(DIB_32, ANY_COLOURS, 1920, 1080);
    std::string path = dir / "full.bmp";
    ASSERT_EQ(write(path, bitmap), 0);
    DeleteObject(bitmap);
    EXPECT_GT(read_bytes(path).size(), 5000000u);
    HBITMAP loaded = load_bitmap_file(main_window, path.c_str());
    ASSERT_TRUE(loaded) << (boxes.texts().empty() ? "" : boxes.texts()[0]);
    EXPECT_EQ(capture_width, 1920);
    EXPECT_EQ(capture_height, 1080);
    DeleteObject(loaded);
}

TEST_F(BmpFiles, OverwriteModeReplacesTheFile)
{
    TempDir dir;
    std::string path = dir / "OUT.BMP";
    write_bytes(path, Bytes(5000, 0x5A));
    HBITMAP bitmap = quadrant_bitmap(DIB_24, ANY_COLOURS, 1, 1);
    EXPECT_EQ(write(path, bitmap), 0);
    DeleteObject(bitmap);
    EXPECT_EQ(read_bytes(path).size(), 78u);
    EXPECT_EQ(dir.count(), 1);
}

TEST_F(BmpFiles, NoOutputModeWritesNothing)
{
    TempDir dir;
    settings.file_name_mode = 2;
    HBITMAP bitmap = quadrant_bitmap(DIB_24, ANY_COLOURS);
    EXPECT_EQ(write(dir / "NEW.BMP", bitmap), 0);
    EXPECT_FALSE(exists(dir / "NEW.BMP"));
    write_bytes(dir / "OLD.BMP", Bytes(10, 1));
    EXPECT_EQ(write(dir / "OLD.BMP", bitmap), 0);
    EXPECT_EQ(read_bytes(dir / "OLD.BMP"), Bytes(10, 1));
    DeleteObject(bitmap);
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(BmpFiles, UnknownModeCreatesNoFile)
{
    TempDir dir;
    settings.file_name_mode = 7;
    HBITMAP bitmap = quadrant_bitmap(DIB_24, ANY_COLOURS);
    EXPECT_EQ(write(dir / "NEW.BMP", bitmap), -1);
    EXPECT_FALSE(exists(dir / "NEW.BMP"));
    write_bytes(dir / "OLD.BMP", Bytes(10, 1));
    EXPECT_EQ(write(dir / "OLD.BMP", bitmap), -1);
    EXPECT_EQ(read_bytes(dir / "OLD.BMP"), Bytes(10, 1));
    DeleteObject(bitmap);
    auto texts = boxes.texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_TRUE(starts_with(texts[0], step_box("出力ファイルが作成できません", WRITER_STEP)))
        << texts[0];
    EXPECT_TRUE(starts_with(texts[1], step_box("ファイル出力ができません", WRITER_STEP)))
        << texts[1];
}

TEST_F(BmpFiles, EmptyNameCannotBeCreated)
{
    HBITMAP bitmap = quadrant_bitmap(DIB_24, ANY_COLOURS);
    for (int mode : {0, 1}) {
        settings.file_name_mode = mode;
        EXPECT_EQ(write("", bitmap), -1) << mode;
    }
    DeleteObject(bitmap);
    auto texts = boxes.texts();
    ASSERT_EQ(texts.size(), 2u);
    for (const auto& t : texts)
        EXPECT_TRUE(starts_with(t, step_box("出力ファイルが作成できません", WRITER_STEP))) << t;
}

TEST_F(BmpFiles, NumberingFillsTheFirstGap)
{
    TempDir dir;
    std::string name = numbered_setup(dir);
    HBITMAP bitmap = quadrant_bitmap(DIB_24, ANY_COLOURS, 1, 1);

    ASSERT_EQ(write(name, bitmap), 0);
    EXPECT_EQ(read_bytes(name).size(), 78u) << "a free name is written without a number";

    write_bytes(dir / "COPY1.BMP", Bytes(3, 0));
    write_bytes(dir / "COPY3.BMP", Bytes(3, 0));
    ASSERT_EQ(write(name, bitmap), 0);
    EXPECT_EQ(read_bytes(dir / "COPY2.BMP").size(), 78u);
    ASSERT_EQ(write(name, bitmap), 0);
    EXPECT_EQ(read_bytes(dir / "COPY4.BMP").size(), 78u);
    EXPECT_EQ(read_bytes(dir / "COPY3.BMP").size(), 3u);
    EXPECT_EQ(dir.count(), 5);
    DeleteObject(bitmap);
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(BmpFiles, NumberingWithEveryNumberTakenWritesNothing)
{
    TempDir dir;
    std::string name = numbered_setup(dir);
    write_bytes(name, Bytes());
    for (int n = 1; n <= 999; n++)
        write_bytes(dir / ("COPY" + std::to_string(n) + ".BMP"), Bytes());
    HBITMAP bitmap = quadrant_bitmap(DIB_24, ANY_COLOURS, 1, 1);
    EXPECT_EQ(write(name, bitmap), -1);
    DeleteObject(bitmap);
    EXPECT_EQ(dir.count(), 1000);
    EXPECT_FALSE(exists(dir / "COPY1000.BMP"));
    EXPECT_EQ(read_bytes(name).size(), 0u);
    EXPECT_EQ(read_bytes(dir / "COPY999.BMP").size(), 0u);
    auto texts = boxes.texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(starts_with(texts[0], step_box("出力ファイルが作成できません", WRITER_STEP)))
        << texts[0];
}

TEST_F(BmpFiles, NumberingTakesAFileHeldByAnotherProgramAsFree)
{
    TempDir dir;
    std::string name = numbered_setup(dir);
    write_bytes(name, Bytes(3, 0));
    HANDLE held = CreateFileA(name.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    HBITMAP bitmap = quadrant_bitmap(DIB_24, ANY_COLOURS, 1, 1);
    EXPECT_EQ(write(name, bitmap), -1);
    CloseHandle(held);
    DeleteObject(bitmap);
    EXPECT_FALSE(exists(dir / "COPY1.BMP"));
    auto texts = boxes.texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(starts_with(texts[0], step_box("出力ファイルが作成できません", WRITER_STEP)));
}

TEST_F(BmpFiles, TopDownFileLoadsTheRightWayUp)
{
    TempDir dir;
    write_bytes(dir / "top.bmp", rgb_file(5, 4, true, red_then_blue));
    write_bytes(dir / "bottom.bmp", rgb_file(5, 4, false, red_then_blue));
    for (const char* name : {"top.bmp", "bottom.bmp"}) {
        SCOPED_TRACE(name);
        capture_width = capture_height = 0;
        HBITMAP loaded = load_bitmap_file(main_window, (dir / name).c_str());
        ASSERT_TRUE(loaded);
        EXPECT_EQ(capture_width, 5);
        EXPECT_EQ(capture_height, 4);
        auto px = pixels_of(loaded, 5, 4);
        EXPECT_EQ(px[0], 0xFF0000u);
        EXPECT_EQ(px[5], 0x0000FFu);
        DeleteObject(loaded);
    }
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(BmpFiles, CoreHeaderFileLoads)
{
    TempDir dir;
    // 3 x 2 at 24 bits with a 12-byte header: rows of 12 bytes, bottom row first.
    Bytes f(14 + 12 + 24, 0);
    f[0] = 'B';
    f[1] = 'M';
    put32(f, 2, (uint32_t)f.size());
    put32(f, 10, 26);
    put32(f, 14, 12);
    f[18] = 3;
    f[20] = 2;
    f[22] = 1;
    f[24] = 24;
    for (int x = 0; x < 3; x++) {
        f[26 + 3 * x] = 0xFF;           // bottom row blue
        f[26 + 12 + 3 * x + 1] = 0xFF;  // top row green
    }
    write_bytes(dir / "core.bmp", f);
    HBITMAP loaded = load_bitmap_file(main_window, (dir / "core.bmp").c_str());
    ASSERT_TRUE(loaded) << (boxes.texts().empty() ? "" : boxes.texts()[0]);
    EXPECT_EQ(capture_width, 3);
    EXPECT_EQ(capture_height, 2);
    auto px = pixels_of(loaded, 3, 2);
    EXPECT_EQ(px[0], 0x00FF00u);
    EXPECT_EQ(px[3], 0x0000FFu);
    DeleteObject(loaded);
}

TEST_F(BmpFiles, LoaderSizeLimit)
{
    TempDir dir;
    auto white = [](int) { return RGB(255, 255, 255); };
    write_bytes(dir / "w10000.bmp", rgb_file(10000, 1, false, white));
    write_bytes(dir / "w10001.bmp", rgb_file(10001, 1, false, white));

    HBITMAP loaded = load_bitmap_file(main_window, (dir / "w10000.bmp").c_str());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(capture_width, 10000);
    DeleteObject(loaded);

    capture_width = 77;
    capture_height = 55;
    EXPECT_FALSE(load_bitmap_file(main_window, (dir / "w10001.bmp").c_str()));
    EXPECT_EQ(capture_width, 77);
    EXPECT_EQ(capture_height, 55);
    auto texts = boxes.texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(starts_with(texts[0], step_box("ビットマップファイルを取り扱えません", LOADER_STEP)))
        << texts[0];
}

TEST_F(BmpFiles, LoaderRefusesWhatIsNoUsableBitmap)
{
    TempDir dir;
    write_bytes(dir / "text.bmp", Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
    write_bytes(dir / "ten.bmp", Bytes{'B', 'M', 100, 0, 0, 0, 0, 0, 0, 0});
    Bytes good = rgb_file(6, 5, false, red_then_blue);
    Bytes cut(good.begin(), good.end() - 1);
    write_bytes(dir / "cut.bmp", cut);
    Bytes beyond = good;
    put32(beyond, 10, 100000);
    write_bytes(dir / "beyond.bmp", beyond);
    Bytes inside = good;
    put32(inside, 10, 20);
    write_bytes(dir / "inside.bmp", inside);
    Bytes big_size = good;
    put32(big_size, 2, BMP_LOAD_MAX_FILE_SIZE + 1);
    write_bytes(dir / "bigsize.bmp", big_size);

    const char* not_bitmap = "このファイルはビットマップファイルではありません";
    const char* cannot_expand = "ビットマップファイルを展開することができません";
    struct {
        const char* name;
        const char* text;
    } cases[] = {
        {"missing.bmp", "ファイルを開くことができません"},
        {"text.bmp", not_bitmap},
        {"ten.bmp", not_bitmap},
        {"bigsize.bmp", not_bitmap},
        {"cut.bmp", cannot_expand},
        {"beyond.bmp", cannot_expand},
        {"inside.bmp", cannot_expand},
    };
    capture_width = 77;
    capture_height = 55;
    for (const auto& c : cases) {
        boxes.clear();
        EXPECT_FALSE(load_bitmap_file(main_window, (dir / c.name).c_str())) << c.name;
        auto texts = boxes.texts();
        ASSERT_EQ(texts.size(), 1u) << c.name;
        EXPECT_TRUE(starts_with(texts[0], step_box(c.text, LOADER_STEP)))
            << c.name << ": " << texts[0];
    }
    EXPECT_EQ(capture_width, 77);
    EXPECT_EQ(capture_height, 55);
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

struct DialogSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK find_dialog(HWND hwnd, LPARAM lp)
{
    auto* s = reinterpret_cast<DialogSearch*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[16] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (pid == s->pid && strcmp(cls, "#32770") == 0 && IsWindowVisible(hwnd)) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

DWORD WINAPI use_save_dialog(void* arg)
{
    auto* user = static_cast<SaveDialogUser*>(arg);
    for (int waited = 0; waited < 15000; waited += 50) {
        DialogSearch s{GetCurrentProcessId(), NULL};
        EnumWindows(find_dialog, reinterpret_cast<LPARAM>(&s));
        if (!s.found) {
            Sleep(50);
            continue;
        }
        Sleep(300);  // let the dialog fill its controls
        char text[MAX_PATH] = "";
        GetWindowTextA(s.found, text, sizeof text);
        user->title = text;
        // The file name box: a combo box in the newer dialog, an edit box in the older one.
        HWND name_box = GetDlgItem(s.found, cmb13);
        if (!name_box)
            name_box = GetDlgItem(s.found, edt1);
        GetWindowTextA(name_box, text, sizeof text);
        user->proposed = text;
        user->seen = true;
        if (user->type.empty()) {
            PostMessageA(s.found, WM_COMMAND, IDCANCEL, 0);
        } else {
            SetWindowTextA(name_box, user->type.c_str());
            PostMessageA(s.found, WM_COMMAND, IDOK, 0);
        }
        return 0;
    }
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
    EXPECT_EQ(choose_output_file(owner), 0);
    WaitForSingleObject(thread, 20000);
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
    TempDir dir;
    std::string path = dir / "SHOT.BMP";
    write_bytes(path, Bytes(1, 0));
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
