// BMP header values and bytes, output-name numbering, and the loader's checks on a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "files/bmp_format.h"

namespace {

using Bytes = std::vector<unsigned char>;

void put(Bytes& b, size_t at, uint32_t v, int width = 4)
{
    for (int i = 0; i < width; i++)
        b[at + i] = (unsigned char)(v >> (8 * i));
}

// A whole file as the writer lays it out, pixel bytes zero.
Bytes written_file(int32_t w, int32_t h, uint16_t depth)
{
    BmpLayout l;
    EXPECT_TRUE(bmp_layout_for(w, h, depth, &l));
    Bytes f(l.file_size, 0);
    build_bmp_file_header(l, f.data());
    build_bmp_info_header(l, f.data() + 14);
    if (l.mask_bytes)
        build_bmp_masks(f.data() + 54);
    return f;
}

// A 24-bit file with tightly sized rows, as other programs write them.
Bytes rgb_file(int32_t w, int32_t h)
{
    uint32_t columns = (uint32_t)(w < 0 ? -(int64_t)w : w);
    uint32_t rows = (uint32_t)(h < 0 ? -(int64_t)h : h);
    Bytes f(54 + (columns * 24 + 31) / 32 * 4 * rows, 0);
    f[0] = 'B';
    f[1] = 'M';
    put(f, 2, (uint32_t)f.size());
    put(f, 10, 54);
    put(f, 14, 40);
    put(f, 18, (uint32_t)w);
    put(f, 22, (uint32_t)h);
    put(f, 26, 1, 2);
    put(f, 28, 24, 2);
    return f;
}

// The loader's verdict: header test, then the block after it, then the size limit.
BmpLoadCheck verdict(const Bytes& file, BmpBlockView* view = nullptr)
{
    BmpFileHeader h = parse_bmp_file_header(file.data(), file.size());
    BmpLoadCheck c = check_bmp_file_header(h, file.size() < 14 ? file.size() : 14);
    if (c != BMP_LOAD_OK)
        return c;
    size_t got = std::min<size_t>(file.size() > 14 ? file.size() - 14 : 0, h.file_size);
    BmpBlockView v = {};
    c = check_bmp_block(file.data() + 14, got, h.pixel_offset, &v);
    if (view)
        *view = v;
    return c == BMP_LOAD_OK ? check_bmp_size(v) : c;
}

std::string numbered(const std::string& name, int32_t ext, int n)
{
    char out[OUTPUT_NAME_SIZE];
    return numbered_output_name(name.c_str(), ext, n, out) ? out : "<no fit>";
}

std::string choose(const std::string& name, int32_t ext, const std::set<std::string>& taken)
{
    char out[OUTPUT_NAME_SIZE];
    auto is_taken = [&](const char* n) { return taken.count(n) > 0; };
    return choose_numbered_name(name.c_str(), ext, is_taken, out) ? out : "<none>";
}

}  // namespace

TEST(BmpLayout, HeaderValuesBySourceDepth)
{
    struct {
        int32_t w, h;
        uint16_t depth, bits;
        uint32_t image, file, offset;
    } cases[] = {
        {1, 1, 24, 24, 24, 78, 54},        {1, 1, 9, 24, 24, 78, 54},
        {100, 50, 8, 8, 5200, 6278, 1078}, {1, 1, 32, 32, 32, 98, 66},
        {10, 2, 25, 32, 128, 194, 66},
    };
    for (const auto& c : cases) {
        BmpLayout l;
        ASSERT_TRUE(bmp_layout_for(c.w, c.h, c.depth, &l));
        EXPECT_EQ(l.bits_per_pixel, c.bits) << c.depth;
        EXPECT_EQ(l.image_size, c.image) << c.depth;
        EXPECT_EQ(l.file_size, c.file) << c.depth;
        EXPECT_EQ(l.pixel_offset, c.offset) << c.depth;
    }
    BmpLayout l;
    EXPECT_FALSE(bmp_layout_for(100000, 100000, 32, &l)) << "does not fit 32 bits";
    ASSERT_TRUE(bmp_layout_for(BMP_MAX_SIDE, BMP_MAX_SIDE, 32, &l));
    EXPECT_EQ(l.file_size, BMP_LOAD_MAX_FILE_SIZE) << "the largest file the writer makes loads";
}

TEST(BmpLayout, HeaderBytes)
{
    const unsigned char want[54] = {'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,
                                    40,  0,   0,  0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0,
                                    24,  0,   0,  0, 0, 0, 24, 0, 0, 0};  // the rest zero
    EXPECT_EQ(0, memcmp(written_file(1, 1, 24).data(), want, 54));
    Bytes f32 = written_file(1, 1, 32);
    const unsigned char masks[12] = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0};
    EXPECT_EQ(f32[30], 3) << "bit fields";
    EXPECT_EQ(0, memcmp(f32.data() + 54, masks, 12));
    // Every written file passes the loader, padding or not.
    for (uint16_t depth : {8, 24, 32})
        for (int32_t w : {1, 7, 9, 333})
            EXPECT_EQ(verdict(written_file(w, 5, depth)), BMP_LOAD_OK) << w << " at " << depth;
}

TEST(OutputNames, Numbering)
{
    const std::string name = "D:\\OUT\\COPY.BMP";
    EXPECT_EQ(numbered(name, 12, 10), "D:\\OUT\\COPY10.BMP");
    EXPECT_EQ(numbered("A.B.BMP", 4, 2), "A.B2.BMP") << "the offset's dot, not the first";
    // Without an offset that names a dot in the name, the number goes at the end.
    for (int32_t ext : {0, -4, 9, 3})
        EXPECT_EQ(numbered("COPY.BMP", ext, 3), "COPY.BMP3") << ext;
    // A name that would not fit the 256-byte buffer is not made, and counts as taken.
    std::string long_name = std::string(250, 'A') + ".BMP";
    EXPECT_EQ(numbered(long_name, 251, 9).size(), 255u);
    EXPECT_EQ(numbered(long_name, 251, 10), "<no fit>");
    EXPECT_EQ(choose(std::string(255, 'A'), 0, {std::string(255, 'A')}), "<none>");

    EXPECT_EQ(choose(name, 12, {"D:\\OUT\\COPY1.BMP"}), name);
    EXPECT_EQ(choose(name, 12, {name}), "D:\\OUT\\COPY1.BMP");
    EXPECT_EQ(choose(name, 12, {name, "D:\\OUT\\COPY1.BMP", "D:\\OUT\\COPY3.BMP"}),
              "D:\\OUT\\COPY2.BMP");
    std::set<std::string> all = {name};
    for (int n = 1; n <= 999; n++)
        all.insert("D:\\OUT\\COPY" + std::to_string(n) + ".BMP");
    EXPECT_EQ(choose(name, 12, all), "<none>");

    // Japanese names whose last byte is that of '\\' are numbered as any other.
    EXPECT_EQ(numbered("C:\\一覧表\\ソフト表.BMP", 19, 1), "C:\\一覧表\\ソフト表1.BMP");
}

TEST(OutputNames, SiblingInTheSameFolder)
{
    auto sibling = [](const std::string& name) {
        char out[OUTPUT_NAME_SIZE];
        return sibling_output_name(name.c_str(), OUTPUT_WRITING_NAME, out) ? std::string(out)
                                                                          : "<no fit>";
    };
    EXPECT_EQ(sibling("D:\\OUT\\COPY.BMP"), "D:\\OUT\\~KAVREL.TMP");
    // 表 and ソ end in the byte of '\\': neither is the folder's end.
    EXPECT_EQ(sibling("C:\\一覧表\\ソフト表.BMP"), "C:\\一覧表\\~KAVREL.TMP");
    EXPECT_EQ(sibling("C:\\一覧表ソ.BMP"), "C:\\~KAVREL.TMP");
    EXPECT_EQ(sibling("\\\\server\\share\\表\\A.BMP"), "\\\\server\\share\\表\\~KAVREL.TMP");
    // No folder: the current one, also on a drive (D:COPY.BMP).
    EXPECT_EQ(sibling("COPY.BMP"), "~KAVREL.TMP");
    EXPECT_EQ(sibling("表.BMP"), "~KAVREL.TMP");
    EXPECT_EQ(sibling("D:COPY.BMP"), "D:~KAVREL.TMP");
    EXPECT_EQ(sibling(std::string(240, 'A') + "\\B.BMP").size(), 240u + 1 + 11);
    EXPECT_EQ(sibling(std::string(244, 'A') + "\\B.BMP"), "<no fit>");
}

TEST(BmpLoadChecks, HeaderAndBounds)
{
    Bytes f = rgb_file(5, 3);  // rows of 16 bytes
    EXPECT_EQ(verdict(f), BMP_LOAD_OK);
    Bytes g = f;
    g[0] = 'P';
    EXPECT_EQ(verdict(g), BMP_NOT_A_BITMAP);
    for (uint32_t size : {0u, BMP_LOAD_MAX_FILE_SIZE + 1}) {
        put(g = f, 2, size);
        EXPECT_EQ(verdict(g), BMP_NOT_A_BITMAP) << size;
    }
    // "BM" and a size pass the header test; with nothing after it the block is empty.
    EXPECT_EQ(verdict(Bytes{'B', 'M', 100, 0, 0, 0, 0, 0, 0, 0}), BMP_NOT_A_BITMAP);

    for (uint32_t offset : {0u, 53u, (uint32_t)f.size(), 0xFFFFFFF0u}) {
        put(g = f, 10, offset);
        EXPECT_EQ(verdict(g), BMP_CANNOT_EXPAND) << "pixel offset " << offset;
    }
    EXPECT_EQ(verdict(Bytes(f.begin(), f.end() - 1)), BMP_CANNOT_EXPAND) << "a row short";
    EXPECT_EQ(verdict(Bytes(f.begin(), f.begin() + 44)), BMP_CANNOT_EXPAND) << "header cut";
    put(g = f, 2, (uint32_t)f.size() - 15);  // the block starts at offset 14
    EXPECT_EQ(verdict(g), BMP_CANNOT_EXPAND) << "size field stops the read a byte short";
    put(g, 22, 0x80000000u);
    EXPECT_EQ(verdict(g), BMP_CANNOT_EXPAND) << "huge height";
    Bytes eight = written_file(4, 4, 8);
    eight.resize(54 + 16);
    put(eight, 10, 54);
    EXPECT_EQ(verdict(eight), BMP_CANNOT_EXPAND) << "no colour table";
}

TEST(BmpLoadChecks, FormatsAndSizes)
{
    Bytes f = rgb_file(2, 2);
    put(f, 28, 64, 2);
    EXPECT_EQ(verdict(f), BMP_CANNOT_EXPAND) << "64 bits";
    EXPECT_EQ(verdict(rgb_file(-2, 2)), BMP_CANNOT_EXPAND) << "negative width";
    EXPECT_EQ(verdict(rgb_file(0, 2)), BMP_CANNOT_HANDLE) << "no width";
    EXPECT_EQ(verdict(rgb_file(2, 0)), BMP_CANNOT_HANDLE) << "no height";
    EXPECT_EQ(verdict(rgb_file(10000, 1)), BMP_LOAD_OK);
    EXPECT_EQ(verdict(rgb_file(10001, 1)), BMP_CANNOT_HANDLE);
    BmpBlockView v;
    EXPECT_EQ(verdict(rgb_file(3, -480), &v), BMP_LOAD_OK);
    EXPECT_EQ(v.height, -480);
    EXPECT_EQ(verdict(rgb_file(1, -10001)), BMP_CANNOT_HANDLE) << "either way up";

    // The 12-byte core header: 16-bit width and height at 4 and 6; 3 x 2 at 24 bits.
    Bytes core = {'B', 'M', 50, 0, 0, 0, 0, 0, 0, 0, 26, 0, 0, 0, 12, 0, 0, 0, 3, 0, 2, 0, 1, 0,
                  24, 0};
    core.resize(50);
    ASSERT_EQ(verdict(core, &v), BMP_LOAD_OK);
    EXPECT_EQ(v.width, 3);
    EXPECT_EQ(v.height, 2);
    EXPECT_EQ(verdict(Bytes(core.begin(), core.end() - 1)), BMP_CANNOT_EXPAND);
}

namespace {

// A file with a header of `header_size` bytes (40, 108, 124), its masks (red, green, blue,
// alpha) at offset 40 of the header when it has room for them or after a 40-byte one, and
// `table` colour entries after the header; pixel bytes zero.
Bytes headed_file(uint32_t header_size, int32_t w, int32_t h, uint16_t bits,
                  uint32_t compression, const uint32_t masks[4], uint32_t table = 0)
{
    size_t after = header_size == 40 && compression == BMP_BITFIELDS ? 12 : 0;
    size_t table_at = 14 + header_size + after;
    size_t stride = ((size_t)w * bits + 31) / 32 * 4;
    Bytes f(table_at + 4 * table + stride * (size_t)(h < 0 ? -h : h), 0);
    f[0] = 'B';
    f[1] = 'M';
    put(f, 2, (uint32_t)f.size());
    put(f, 10, (uint32_t)(table_at + 4 * table));
    put(f, 14, header_size);
    put(f, 18, (uint32_t)w);
    put(f, 22, (uint32_t)h);
    put(f, 26, 1, 2);
    put(f, 28, bits, 2);
    put(f, 30, compression);
    put(f, 38, 2835);
    put(f, 46, table);
    size_t mask_count = header_size >= 56 ? 4 : after / 4;
    for (size_t i = 0; i < mask_count; i++)
        put(f, 14 + 40 + 4 * i, masks[i]);
    if (header_size >= 108)
        put(f, 14 + 56, 0x73524742);  // 'sRGB'
    for (uint32_t i = 0; i < table; i++)
        put(f, table_at + 4 * i, 0x00102030u * (i + 1));
    return f;
}

// What reaches the system for a file that passes the loader's checks.
BmpLoadCheck system_info_of(const Bytes& file, bool windows_95_family, BmpSystemInfo* info)
{
    BmpBlockView v;
    BmpLoadCheck c = verdict(file, &v);
    return c == BMP_LOAD_OK ? build_bmp_system_info(file.data() + 14, v, windows_95_family, info)
                            : c;
}

uint32_t at(const BmpSystemInfo& info, size_t offset)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; i--)
        v = (v << 8) | info.bytes[offset + i];
    return v;
}

const uint32_t RGB888[4] = {0xFF0000, 0xFF00, 0xFF, 0};
const uint32_t ARGB8888[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
const uint32_t RGB565[4] = {0xF800, 0x07E0, 0x001F, 0};
const uint32_t ARGB1555[4] = {0x7C00, 0x03E0, 0x001F, 0x8000};
const uint32_t RGB444[4] = {0x0F00, 0x00F0, 0x000F, 0};
const uint32_t BGR888[4] = {0xFF, 0xFF00, 0xFF0000, 0};
const uint32_t JUNK[4] = {0x11111111, 0x22222222, 0x33333333, 0x44444444};

}  // namespace

// Version 4 and 5 headers reach the system as the 40-byte header with the file's values, the
// masks after it for bit fields, the colour table from where the file's header ends.
TEST(BmpSystemInfo, LongerHeadersBecomeTheInfoHeader)
{
    BmpSystemInfo info;
    for (uint32_t size : {108u, 124u}) {
        SCOPED_TRACE(size);
        // Bit fields with an alpha mask: the three colour masks follow the 40 bytes.
        Bytes f = headed_file(size, 3, -2, 32, BMP_BITFIELDS, ARGB8888);
        ASSERT_EQ(system_info_of(f, false, &info), BMP_LOAD_OK);
        EXPECT_EQ(info.size, 52u);
        EXPECT_EQ(at(info, 0), 40u);
        EXPECT_TRUE(std::equal(f.begin() + 18, f.begin() + 14 + 40, info.bytes + 4))
            << "width, height, planes, bits, compression, sizes and resolution as in the file";
        EXPECT_EQ(at(info, 40), 0xFF0000u);
        EXPECT_EQ(at(info, 44), 0xFF00u);
        EXPECT_EQ(at(info, 48), 0xFFu);
        // A table kept after the masks (for palette displays) is not handed on, nor counted.
        put(f, 14 + 32, 16);
        ASSERT_EQ(system_info_of(f, false, &info), BMP_LOAD_OK);
        EXPECT_EQ(info.size, 52u);
        EXPECT_EQ(at(info, 32), 0u) << "colours used";

        // No bit fields: the header's masks (junk here) go nowhere, and the table starts
        // after the whole header, not at its 40th byte.
        f = headed_file(size, 5, 3, 8, BMP_RGB, JUNK, 3);
        ASSERT_EQ(system_info_of(f, true, &info), BMP_LOAD_OK);
        EXPECT_EQ(info.size, 40u + 12);
        EXPECT_EQ(at(info, 0), 40u);
        EXPECT_EQ(at(info, 16), BMP_RGB);
        EXPECT_EQ(at(info, 32), 3u) << "colours used";
        EXPECT_TRUE(std::equal(f.begin() + 14 + size, f.begin() + 14 + size + 12,
                               info.bytes + 40));
        f = headed_file(size, 5, 3, 24, BMP_RGB, JUNK);
        ASSERT_EQ(system_info_of(f, true, &info), BMP_LOAD_OK);
        EXPECT_EQ(info.size, 40u);
    }
    // A 40-byte header and its masks or table go as they are; a core header too.
    Bytes f = headed_file(40, 9, 6, 16, BMP_BITFIELDS, RGB565);
    ASSERT_EQ(system_info_of(f, false, &info), BMP_LOAD_OK);
    ASSERT_EQ(info.size, 52u);
    EXPECT_TRUE(std::equal(f.begin() + 14, f.begin() + 14 + 52, info.bytes));
    f = headed_file(40, 4, 4, 4, BMP_RGB, JUNK, 16);
    ASSERT_EQ(system_info_of(f, false, &info), BMP_LOAD_OK);
    ASSERT_EQ(info.size, 40u + 64);
    EXPECT_TRUE(std::equal(f.begin() + 14, f.begin() + 14 + 40 + 64, info.bytes));
    Bytes core = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0, 0, 12, 0, 0, 0, 2, 0, 1, 0, 1, 0,
                  1, 0, 1, 2, 3, 4, 5, 6, 0, 0, 0, 0};
    put(core, 2, (uint32_t)core.size());
    ASSERT_EQ(system_info_of(core, true, &info), BMP_LOAD_OK);
    ASSERT_EQ(info.size, 18u);
    EXPECT_TRUE(std::equal(core.begin() + 14, core.begin() + 32, info.bytes));
}

// The 95 family takes 5-5-5 and 5-6-5 at 16 bits and 8-8-8 at 32, whatever the header and
// whatever the alpha mask; other masks cannot be expanded there, and go to other systems.
TEST(BmpSystemInfo, TheWindows95FamilyTakesOnlyItsMasks)
{
    const struct {
        uint16_t bits;
        const uint32_t* masks;
        bool on_95;
    } cases[] = {{16, RGB565, true},  {16, ARGB1555, true}, {32, RGB888, true},
                 {32, ARGB8888, true}, {16, RGB444, false},  {32, BGR888, false},
                 {16, RGB888, false}, {32, RGB565, false}};
    BmpSystemInfo info;
    for (const auto& c : cases)
        for (uint32_t size : {40u, 108u, 124u}) {
            SCOPED_TRACE(testing::Message() << c.bits << " bits, masks " << std::hex
                                            << c.masks[0] << " " << c.masks[1] << " "
                                            << c.masks[2] << ", header " << std::dec << size);
            Bytes f = headed_file(size, 4, 2, c.bits, BMP_BITFIELDS, c.masks);
            EXPECT_EQ(system_info_of(f, true, &info),
                      c.on_95 ? BMP_LOAD_OK : BMP_CANNOT_EXPAND);
            ASSERT_EQ(system_info_of(f, false, &info), BMP_LOAD_OK);
            EXPECT_EQ(at(info, 40), c.masks[0]);
            EXPECT_EQ(at(info, 48), c.masks[2]);
        }
    // Without bit fields the masks a longer header carries mean nothing.
    Bytes f = headed_file(124, 4, 2, 16, BMP_RGB, RGB444);
    EXPECT_EQ(system_info_of(f, true, &info), BMP_LOAD_OK);
}
