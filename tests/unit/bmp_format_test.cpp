// BMP header values and bytes, output-name numbering, and the loader's checks on a file.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "files/bmp_format.h"

namespace {

using Bytes = std::vector<unsigned char>;

uint32_t u32_at(const unsigned char* p, size_t at)
{
    return p[at] | (p[at + 1] << 8) | (p[at + 2] << 16) | ((uint32_t)p[at + 3] << 24);
}

void put32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + i] = (unsigned char)(v >> (8 * i));
}

void put16(Bytes& b, size_t at, uint16_t v)
{
    b[at] = (unsigned char)v;
    b[at + 1] = (unsigned char)(v >> 8);
}

BmpLayout layout(int32_t w, int32_t h, uint16_t depth)
{
    BmpLayout l = {};
    EXPECT_TRUE(bmp_layout_for(w, h, depth, &l)) << w << "x" << h << " at " << depth;
    return l;
}

// A whole file as the writer lays it out, pixel bytes zero.
Bytes written_file(int32_t w, int32_t h, uint16_t depth)
{
    BmpLayout l = layout(w, h, depth);
    Bytes file(l.file_size, 0);
    build_bmp_file_header(l, file.data());
    build_bmp_info_header(l, file.data() + BMP_FILE_HEADER_SIZE);
    if (l.mask_bytes)
        build_bmp_masks(file.data() + BMP_FILE_HEADER_SIZE + BMP_INFO_HEADER_SIZE);
    return file;
}

// The loader's view of a file: the 14-byte header test, then the block after it.
BmpLoadCheck load_check(const Bytes& file, BmpBlockView* view = nullptr)
{
    BmpFileHeader h = parse_bmp_file_header(file.data(), file.size());
    BmpLoadCheck c = check_bmp_file_header(h, file.size() < 14 ? file.size() : 14);
    if (c != BMP_LOAD_OK)
        return c;
    size_t got = file.size() > 14 ? file.size() - 14 : 0;
    if (got > h.file_size)
        got = h.file_size;
    BmpBlockView v = {};
    c = check_bmp_block(file.data() + 14, got, h.pixel_offset, &v);
    if (c == BMP_LOAD_OK)
        c = check_bmp_size(v);
    if (view)
        *view = v;
    return c;
}

// A minimal 24-bit file with a 40-byte header and tightly sized rows.
Bytes rgb_file(int32_t w, int32_t h)
{
    uint32_t stride = ((uint32_t)(w < 0 ? -w : w) * 24 + 31) / 32 * 4;
    uint32_t rows = h < 0 ? -h : h;
    Bytes f(54 + stride * rows, 0);
    f[0] = 'B';
    f[1] = 'M';
    put32(f, 2, (uint32_t)f.size());
    put32(f, 10, 54);
    put32(f, 14, 40);
    put32(f, 18, (uint32_t)w);
    put32(f, 22, (uint32_t)h);
    put16(f, 26, 1);
    put16(f, 28, 24);
    return f;
}

std::string numbered(const std::string& name, int32_t ext, int n)
{
    char out[OUTPUT_NAME_SIZE];
    if (!numbered_output_name(name.c_str(), ext, n, out))
        return "<no fit>";
    return out;
}

std::string choose(const std::string& name, int32_t ext, const std::set<std::string>& taken)
{
    char out[OUTPUT_NAME_SIZE];
    auto is_taken = [&](const char* n) { return taken.count(n) > 0; };
    if (!choose_numbered_name(name.c_str(), ext, is_taken, out))
        return "<none>";
    return out;
}

}  // namespace

TEST(BmpLayout, ValuesBySourceDepth)
{
    BmpLayout l = layout(1, 1, 24);
    EXPECT_EQ(l.bits_per_pixel, 24);
    EXPECT_EQ(l.colour_count, 0u);
    EXPECT_EQ(l.compression, BMP_RGB);
    EXPECT_EQ(l.image_size, 24u);
    EXPECT_EQ(l.file_size, 78u);
    EXPECT_EQ(l.pixel_offset, 54u);

    l = layout(100, 50, 8);
    EXPECT_EQ(l.bits_per_pixel, 8);
    EXPECT_EQ(l.colour_count, 256u);
    EXPECT_EQ(l.image_size, 5200u);
    EXPECT_EQ(l.file_size, 6278u);
    EXPECT_EQ(l.pixel_offset, 1078u);

    // 32 bits: bit fields, with the masks counted before the pixels.
    l = layout(1, 1, 32);
    EXPECT_EQ(l.bits_per_pixel, 32);
    EXPECT_EQ(l.compression, BMP_BITFIELDS);
    EXPECT_EQ(l.pixel_offset, 66u);
    EXPECT_EQ(l.image_size, 32u);
    EXPECT_EQ(l.file_size, 98u);

    // The depth boundaries: a 4-bit screen gives 8 bits, 16 gives 24, above 24 gives 32.
    EXPECT_EQ(layout(8, 8, 1).bits_per_pixel, 8);
    EXPECT_EQ(layout(8, 8, 4).bits_per_pixel, 8);
    EXPECT_EQ(layout(8, 8, 8).bits_per_pixel, 8);
    EXPECT_EQ(layout(8, 8, 9).bits_per_pixel, 24);
    EXPECT_EQ(layout(8, 8, 16).bits_per_pixel, 24);
    EXPECT_EQ(layout(8, 8, 25).bits_per_pixel, 32);
}

TEST(BmpLayout, ImageSizeCoversThePaddedRows)
{
    for (uint16_t depth : {8, 24, 32})
        for (int32_t w = 1; w <= 70; w++) {
            BmpLayout l = layout(w, 3, depth);
            uint32_t stride = (w * l.bits_per_pixel + 31) / 32 * 4;
            EXPECT_GE(l.image_size, stride * 3) << w << " at " << depth;
        }
}

TEST(BmpLayout, RefusesWhatTheHeaderCannotDescribe)
{
    BmpLayout l;
    EXPECT_FALSE(bmp_layout_for(0, 10, 24, &l));
    EXPECT_FALSE(bmp_layout_for(10, 0, 24, &l));
    EXPECT_FALSE(bmp_layout_for(-5, 10, 24, &l));
    EXPECT_FALSE(bmp_layout_for(100000, 100000, 32, &l)) << "40 GB does not fit 32 bits";
    EXPECT_TRUE(bmp_layout_for(BMP_MAX_SIDE, BMP_MAX_SIDE, 32, &l));
    EXPECT_EQ(l.file_size, BMP_LOAD_MAX_FILE_SIZE);
}

TEST(BmpHeaders, BytesOfA24BitFile)
{
    BmpLayout l = layout(1, 1, 24);
    unsigned char fh[14];
    unsigned char ih[40];
    memset(ih, 0xEE, sizeof ih);
    build_bmp_file_header(l, fh);
    build_bmp_info_header(l, ih);
    const unsigned char want_fh[14] = {'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0};
    EXPECT_EQ(0, memcmp(fh, want_fh, 14));
    const unsigned char want_ih[40] = {40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0,
                                       0,  0, 0, 0, 24, 0, 0, 0};  // the rest zero
    EXPECT_EQ(0, memcmp(ih, want_ih, 40));
}

TEST(BmpHeaders, BytesOfA32BitFileWithMasks)
{
    BmpLayout l = layout(300, 200, 32);
    unsigned char fh[14], ih[40], masks[12];
    build_bmp_file_header(l, fh);
    build_bmp_info_header(l, ih);
    build_bmp_masks(masks);
    EXPECT_EQ(u32_at(fh, 2), 66u + 38 * 32 * 200);
    EXPECT_EQ(u32_at(fh, 10), 66u);
    EXPECT_EQ(u32_at(ih, 4), 300u);
    EXPECT_EQ(u32_at(ih, 8), 200u);
    EXPECT_EQ(ih[14], 32);
    EXPECT_EQ(u32_at(ih, 16), 3u);
    EXPECT_EQ(u32_at(ih, 20), 38u * 32 * 200);
    EXPECT_EQ(u32_at(masks, 0), 0x00FF0000u);
    EXPECT_EQ(u32_at(masks, 4), 0x0000FF00u);
    EXPECT_EQ(u32_at(masks, 8), 0x000000FFu);
}

TEST(BmpHeaders, WrittenFilesPassTheLoadersChecks)
{
    for (uint16_t depth : {8, 24, 32})
        for (int32_t w : {1, 7, 8, 9, 333}) {
            BmpBlockView v;
            Bytes f = written_file(w, 5, depth);
            ASSERT_EQ(load_check(f, &v), BMP_LOAD_OK) << w << " at " << depth;
            EXPECT_EQ(v.width, w);
            EXPECT_EQ(v.height, 5);
            EXPECT_EQ(v.pixels_at + 14, layout(w, 5, depth).pixel_offset);
        }
}

TEST(OutputNames, NumberGoesBeforeTheExtensionsDot)
{
    const std::string name = "D:\\OUT\\COPY.BMP";
    EXPECT_EQ(numbered(name, 12, 1), "D:\\OUT\\COPY1.BMP");
    EXPECT_EQ(numbered(name, 12, 9), "D:\\OUT\\COPY9.BMP");
    EXPECT_EQ(numbered(name, 12, 10), "D:\\OUT\\COPY10.BMP");
    EXPECT_EQ(numbered(name, 12, 999), "D:\\OUT\\COPY999.BMP");
    EXPECT_EQ(numbered("A.B.BMP", 4, 2), "A.B2.BMP") << "the offset's dot, not the first";
}

TEST(OutputNames, WithoutAUsableExtensionOffsetTheNumberGoesAtTheEnd)
{
    EXPECT_EQ(numbered("D:\\OUT\\COPY.", 0, 3), "D:\\OUT\\COPY.3") << "dialog's 0 for a dot";
    EXPECT_EQ(numbered("COPY.BMP", -4, 3), "COPY.BMP3");
    EXPECT_EQ(numbered("COPY.BMP", 9, 3), "COPY.BMP3") << "past the end";
    EXPECT_EQ(numbered("COPY.BMP", 1000000, 3), "COPY.BMP3");
    EXPECT_EQ(numbered("COPY.BMP", 3, 3), "COPY.BMP3") << "no dot before the offset";
    EXPECT_EQ(numbered("COPY.", 5, 3), "COPY3.") << "an empty extension still has its dot";
    EXPECT_EQ(numbered(".BMP", 1, 3), "3.BMP");
    EXPECT_EQ(numbered("", 0, 1), "1");
}

TEST(OutputNames, ANumberedNameThatDoesNotFitIsNotMade)
{
    std::string name(250, 'A');
    name += ".BMP";  // 254 bytes; a number of one digit just fits the 256-byte buffer
    EXPECT_EQ(numbered(name, 251, 9).size(), 255u);
    EXPECT_EQ(numbered(name, 251, 10), "<no fit>");
    EXPECT_EQ(numbered(std::string(255, 'A'), 0, 1), "<no fit>");
}

TEST(OutputNames, FirstFreeNumberFillsTheGap)
{
    const std::string name = "D:\\OUT\\COPY.BMP";
    EXPECT_EQ(choose(name, 12, {}), name) << "a free name is used as it is";
    EXPECT_EQ(choose(name, 12, {"D:\\OUT\\COPY1.BMP"}), name);
    EXPECT_EQ(choose(name, 12, {name, "D:\\OUT\\COPY1.BMP", "D:\\OUT\\COPY3.BMP"}),
              "D:\\OUT\\COPY2.BMP");

    std::set<std::string> all = {name};
    for (int n = 1; n <= 999; n++)
        all.insert("D:\\OUT\\COPY" + std::to_string(n) + ".BMP");
    EXPECT_EQ(choose(name, 12, all), "<none>");
    all.erase("D:\\OUT\\COPY999.BMP");
    EXPECT_EQ(choose(name, 12, all), "D:\\OUT\\COPY999.BMP");
}

TEST(OutputNames, NamesThatDoNotFitCountAsTaken)
{
    std::string name(249, 'A');
    name += ".BMP";  // 253 bytes: numbers up to 99 fit
    std::set<std::string> taken = {name};
    for (int n = 1; n <= 99; n++)
        taken.insert(numbered(name, 250, n));
    EXPECT_EQ(choose(name, 250, taken), "<none>");
}

TEST(BmpLoadChecks, FileHeader)
{
    Bytes f = rgb_file(2, 2);
    EXPECT_EQ(load_check(f), BMP_LOAD_OK);

    Bytes not_bm = f;
    not_bm[0] = 'P';
    EXPECT_EQ(load_check(not_bm), BMP_NOT_A_BITMAP);

    Bytes size0 = f;
    put32(size0, 2, 0);
    EXPECT_EQ(load_check(size0), BMP_NOT_A_BITMAP);

    BmpFileHeader h = parse_bmp_file_header(f.data(), 14);
    h.file_size = BMP_LOAD_MAX_FILE_SIZE;
    EXPECT_EQ(check_bmp_file_header(h, 14), BMP_LOAD_OK);
    h.file_size = BMP_LOAD_MAX_FILE_SIZE + 1;
    EXPECT_EQ(check_bmp_file_header(h, 14), BMP_NOT_A_BITMAP);
    h.file_size = 8300000;  // a 1920 x 1080 capture at 32 bits
    EXPECT_EQ(check_bmp_file_header(h, 14), BMP_LOAD_OK);
    EXPECT_EQ(check_bmp_file_header(h, 0), BMP_NOT_A_BITMAP) << "nothing read";

    // Ten bytes: "BM" and a size pass the header test; nothing follows to read.
    Bytes ten = {'B', 'M', 100, 0, 0, 0, 0, 0, 0, 0};
    BmpFileHeader th = parse_bmp_file_header(ten.data(), ten.size());
    EXPECT_EQ(check_bmp_file_header(th, ten.size()), BMP_LOAD_OK);
    EXPECT_EQ(th.pixel_offset, 0u);
    EXPECT_EQ(load_check(ten), BMP_NOT_A_BITMAP);
}

TEST(BmpLoadChecks, PixelOffsetMustLieBetweenHeadersAndData)
{
    Bytes f = rgb_file(4, 4);
    for (uint32_t offset : {0u, 14u, 53u}) {
        put32(f, 10, offset);
        EXPECT_EQ(load_check(f), BMP_CANNOT_EXPAND) << offset;
    }
    put32(f, 10, (uint32_t)f.size());
    EXPECT_EQ(load_check(f), BMP_CANNOT_EXPAND) << "at the end of the data";
    put32(f, 10, 0xFFFFFFF0u);
    EXPECT_EQ(load_check(f), BMP_CANNOT_EXPAND);
}

TEST(BmpLoadChecks, RowsMustBeInTheBytesRead)
{
    Bytes f = rgb_file(5, 3);  // rows of 16 bytes
    Bytes short_by_one(f.begin(), f.end() - 1);
    EXPECT_EQ(load_check(short_by_one), BMP_CANNOT_EXPAND);

    // A size field smaller than the file stops the read short, too (it counts from offset 14).
    Bytes lying = f;
    put32(lying, 2, (uint32_t)f.size() - 14);
    EXPECT_EQ(load_check(lying), BMP_LOAD_OK);
    put32(lying, 2, (uint32_t)f.size() - 15);
    EXPECT_EQ(load_check(lying), BMP_CANNOT_EXPAND);

    // A size field larger than the file is fine: the file delivers what it holds.
    Bytes big = f;
    put32(big, 2, 1000000);
    EXPECT_EQ(load_check(big), BMP_LOAD_OK);

    // A huge height needs more rows than any file holds, without overflowing the arithmetic.
    Bytes tall = f;
    put32(tall, 22, 0x7FFFFFFF);
    EXPECT_EQ(load_check(tall), BMP_CANNOT_EXPAND);
    put32(tall, 22, 0x80000000u);
    EXPECT_EQ(load_check(tall), BMP_CANNOT_EXPAND);
}

TEST(BmpLoadChecks, HeaderAndColourTableMustBeInTheBytesRead)
{
    Bytes f = rgb_file(2, 2);
    Bytes header_cut(f.begin(), f.begin() + 14 + 30);
    EXPECT_EQ(load_check(header_cut), BMP_CANNOT_EXPAND);
    Bytes three(f.begin(), f.begin() + 17);
    EXPECT_EQ(load_check(three), BMP_CANNOT_EXPAND);

    // 8 bits: the full table of 256 unless fewer colours are said to be used.
    Bytes eight = written_file(4, 4, 8);
    Bytes no_table(eight.begin(), eight.begin() + 54 + 16);
    put32(no_table, 10, 54);
    EXPECT_EQ(load_check(no_table), BMP_CANNOT_EXPAND);
    put32(no_table, 14 + 32, 2);  // two colours used: 8 bytes of table
    put32(no_table, 10, 54 + 8);
    Bytes two_colours = no_table;
    two_colours.resize(54 + 8 + 16);
    BmpBlockView v;
    EXPECT_EQ(load_check(two_colours, &v), BMP_LOAD_OK);
    EXPECT_EQ(v.colour_table_bytes, 8u);

    // Bit fields with a 40-byte header need their masks after it.
    Bytes fields = written_file(1, 1, 32);
    Bytes no_masks(fields.begin(), fields.begin() + 54 + 4);
    put32(no_masks, 10, 54);
    EXPECT_EQ(load_check(no_masks), BMP_CANNOT_EXPAND);
}

TEST(BmpLoadChecks, FormatsTheSystemCannotExpand)
{
    Bytes f = rgb_file(2, 2);
    for (uint16_t bits : {0, 2, 3, 64}) {
        put16(f, 28, bits);
        EXPECT_EQ(load_check(f), BMP_CANNOT_EXPAND) << bits;
    }
    f = rgb_file(2, 2);
    put32(f, 14 + 16, 4);  // JPEG
    EXPECT_EQ(load_check(f), BMP_CANNOT_EXPAND);
    f = rgb_file(2, 2);
    for (uint32_t header : {13u, 39u, 125u}) {
        put32(f, 14, header);
        EXPECT_EQ(load_check(f), BMP_CANNOT_EXPAND) << header;
    }
    EXPECT_EQ(load_check(rgb_file(-2, 2)), BMP_CANNOT_EXPAND) << "negative width";
}

TEST(BmpLoadChecks, RunLengthDataIsBoundedByItsImageSize)
{
    Bytes f = written_file(4, 2, 8);
    f.resize(1078 + 6);
    put32(f, 2, (uint32_t)f.size());
    put32(f, 14 + 16, BMP_RLE8);
    put32(f, 14 + 20, 6);
    EXPECT_EQ(load_check(f), BMP_LOAD_OK);
    put32(f, 14 + 20, 7);
    EXPECT_EQ(load_check(f), BMP_CANNOT_EXPAND);
    put32(f, 14 + 20, 0);
    EXPECT_EQ(load_check(f), BMP_CANNOT_EXPAND);
}

TEST(BmpLoadChecks, SizeLimit)
{
    BmpBlockView v;
    EXPECT_EQ(load_check(rgb_file(10000, 1), &v), BMP_LOAD_OK);
    EXPECT_EQ(v.width, 10000);
    EXPECT_EQ(load_check(rgb_file(10001, 1)), BMP_CANNOT_HANDLE);
    EXPECT_EQ(load_check(rgb_file(1, 10000)), BMP_LOAD_OK);
    EXPECT_EQ(load_check(rgb_file(1, 10001)), BMP_CANNOT_HANDLE);

    // Top-down rows: the height's magnitude is what counts.
    EXPECT_EQ(load_check(rgb_file(3, -480), &v), BMP_LOAD_OK);
    EXPECT_EQ(v.height, -480);
    EXPECT_EQ(load_check(rgb_file(1, -10000)), BMP_LOAD_OK);
    EXPECT_EQ(load_check(rgb_file(1, -10001)), BMP_CANNOT_HANDLE);
}

TEST(BmpLoadChecks, CoreHeaderSizesAreSixteenBits)
{
    // 12-byte header, 3 x 2 at 24 bits: rows of 12 bytes.
    Bytes f(14 + 12 + 24, 0);
    f[0] = 'B';
    f[1] = 'M';
    put32(f, 2, (uint32_t)f.size());
    put32(f, 10, 26);
    put32(f, 14, 12);
    put16(f, 18, 3);
    put16(f, 20, 2);
    put16(f, 22, 1);
    put16(f, 24, 24);
    BmpBlockView v;
    ASSERT_EQ(load_check(f, &v), BMP_LOAD_OK);
    EXPECT_EQ(v.width, 3);
    EXPECT_EQ(v.height, 2);

    Bytes cut(f.begin(), f.end() - 1);
    EXPECT_EQ(load_check(cut), BMP_CANNOT_EXPAND);

    // 8 bits: a table of 256 three-byte entries.
    put16(f, 24, 8);
    EXPECT_EQ(load_check(f), BMP_CANNOT_EXPAND);
    f.resize(14 + 12 + 768 + 8);
    put32(f, 2, (uint32_t)f.size());
    put32(f, 10, 14 + 12 + 768);
    EXPECT_EQ(load_check(f, &v), BMP_LOAD_OK);
    EXPECT_EQ(v.colour_table_bytes, 768u);
}
