// The BMP file format as this program writes and reads it: header layout by source depth, the
// headers as bytes, the numbering of output file names and the loader's checks on a file.
#pragma once

#include <cstddef>
#include <cstdint>

// Byte offsets of the 14-byte file header.
constexpr size_t BMP_FILE_HEADER_SIZE = 14;
constexpr size_t BMP_FH_TYPE = 0;           // 2 bytes, "BM"
constexpr size_t BMP_FH_FILE_SIZE = 2;      // 4
constexpr size_t BMP_FH_RESERVED1 = 6;      // 2
constexpr size_t BMP_FH_RESERVED2 = 8;      // 2
constexpr size_t BMP_FH_PIXEL_OFFSET = 10;  // 4

// Byte offsets of the 40-byte info header (the 12-byte core header differs after offset 4).
constexpr size_t BMP_INFO_HEADER_SIZE = 40;
constexpr size_t BMP_IH_SIZE = 0;            // 4
constexpr size_t BMP_IH_WIDTH = 4;           // 4, signed
constexpr size_t BMP_IH_HEIGHT = 8;          // 4, signed; negative: rows top-down
constexpr size_t BMP_IH_PLANES = 12;         // 2
constexpr size_t BMP_IH_BIT_COUNT = 14;      // 2
constexpr size_t BMP_IH_COMPRESSION = 16;    // 4
constexpr size_t BMP_IH_SIZE_IMAGE = 20;     // 4
constexpr size_t BMP_IH_X_RESOLUTION = 24;   // 4
constexpr size_t BMP_IH_Y_RESOLUTION = 28;   // 4
constexpr size_t BMP_IH_COLOURS_USED = 32;   // 4
constexpr size_t BMP_IH_COLOURS_IMPORTANT = 36;  // 4

constexpr size_t BMP_CORE_HEADER_SIZE = 12;
constexpr size_t BMP_CH_WIDTH = 4;       // 2, unsigned
constexpr size_t BMP_CH_HEIGHT = 6;      // 2, unsigned
constexpr size_t BMP_CH_BIT_COUNT = 10;  // 2

constexpr uint16_t BMP_TYPE = 0x4D42;
constexpr uint32_t BMP_RGB = 0;
constexpr uint32_t BMP_RLE8 = 1;
constexpr uint32_t BMP_RLE4 = 2;
constexpr uint32_t BMP_BITFIELDS = 3;

// Red, green and blue masks that follow the info header of a 32-bit file.
constexpr size_t BMP_MASKS_SIZE = 12;
constexpr uint32_t BMP_RED_MASK = 0x00FF0000;
constexpr uint32_t BMP_GREEN_MASK = 0x0000FF00;
constexpr uint32_t BMP_BLUE_MASK = 0x000000FF;

// The writer sends the pixels in pieces this large. Every write is a system call of its own
// (under Wine dearer still), so small pieces cost more than the copying; at a megabyte the
// calls no longer count (32 for a 3840 x 2160 screen), and no one call moves the whole image.
constexpr uint32_t BMP_WRITE_PIECE = 1u << 20;

// Bitmaps wider or higher than this are neither loaded nor printed.
constexpr int32_t BMP_MAX_SIDE = 10000;

// How a bitmap of a given size and source depth is written.
struct BmpLayout {
    int32_t width;
    int32_t height;
    uint16_t bits_per_pixel;  // 8, 24 or 32
    uint32_t colour_count;    // colour table entries: 256 or 0
    uint32_t compression;     // BMP_RGB, or BMP_BITFIELDS for 32 bits
    uint32_t mask_bytes;      // BMP_MASKS_SIZE with bit fields, else 0
    uint32_t image_size;      // ((width + 7) / 8) * bits * height: at least the padded rows
    uint32_t pixel_offset;    // 14 + 40 + table + masks
    uint32_t file_size;       // pixel_offset + image_size
};

// The layout for a bitmap of `source_depth` (planes × bits per pixel). False when the width or
// height is not positive or the file would not fit the header's 32-bit size fields.
bool bmp_layout_for(int32_t width, int32_t height, uint16_t source_depth, BmpLayout* layout);

void build_bmp_file_header(const BmpLayout& layout, unsigned char out[BMP_FILE_HEADER_SIZE]);
// Every field the layout does not set is 0.
void build_bmp_info_header(const BmpLayout& layout, unsigned char out[BMP_INFO_HEADER_SIZE]);
void build_bmp_masks(unsigned char out[BMP_MASKS_SIZE]);

// The largest file the writer makes for a bitmap within BMP_MAX_SIDE: the loader takes any file
// up to this size.
constexpr uint32_t BMP_LOAD_MAX_FILE_SIZE =
    14 + 40 + 12 + ((BMP_MAX_SIDE + 7) / 8) * 32 * BMP_MAX_SIDE;

// Output file names: the settings' name buffer, and the numbers automatic numbering tries.
constexpr size_t OUTPUT_NAME_SIZE = 256;
constexpr int OUTPUT_NUMBER_MAX = 999;

// Where the number of a numbered name goes: before the extension's dot when `ext_offset` (the
// offset of the first character after that dot) names a dot within the name, else at the end.
size_t output_number_position(const char* name, int32_t ext_offset);

// The n-th numbered name into `out` (OUTPUT_NAME_SIZE bytes). False, with `out` empty, when it
// would not fit.
bool numbered_output_name(const char* name, int32_t ext_offset, int n,
                          char out[OUTPUT_NAME_SIZE]);

// The name automatic numbering writes to: the name itself when it is not taken, else the first
// numbered name from 1 to 999 that fits and is not taken. False when there is none.
bool choose_numbered_name(const char* name, int32_t ext_offset,
                          bool (*is_taken)(const char* candidate, void* context), void* context,
                          char out[OUTPUT_NAME_SIZE]);
// The same with any callable `is_taken(candidate)`.
template <typename IsTaken>
bool choose_numbered_name(const char* name, int32_t ext_offset, IsTaken is_taken,
                          char out[OUTPUT_NAME_SIZE])
{
    auto call = [](const char* candidate, void* context) {
        return (bool)(*static_cast<IsTaken*>(context))(candidate);
    };
    return choose_numbered_name(name, ext_offset, call, &is_taken, out);
}

// The names overwriting writes under before the new file is whole and put in place, in the
// output file's own folder (so the move is a rename on one disk).
constexpr char OUTPUT_WRITING_NAME[] = "~KAVREL.TMP";
constexpr char OUTPUT_OLDER_NAME[] = "~KAVREL.OLD";

// `sibling` in the folder of `name` (what comes before its last backslash that is a character
// of its own, in code page 932; the current folder when there is none) into `out`
// (OUTPUT_NAME_SIZE bytes). False, with `out` empty, when it would not fit.
bool sibling_output_name(const char* name, const char* sibling, char out[OUTPUT_NAME_SIZE]);

// Which of the loader's messages a file earns.
enum BmpLoadCheck {
    BMP_LOAD_OK,
    BMP_NOT_A_BITMAP,     // "このファイルはビットマップファイルではありません"
    BMP_CANNOT_EXPAND,    // "ビットマップファイルを展開することができません"
    BMP_CANNOT_HANDLE,    // "ビットマップファイルを取り扱えません"
};

struct BmpFileHeader {
    uint16_t type;
    uint32_t file_size;
    uint32_t pixel_offset;
};

// The file header from the first `got` bytes of a file (the rest reads as 0).
BmpFileHeader parse_bmp_file_header(const unsigned char* data, size_t got);

// The test on the 14-byte header: something read, "BM", a size field from 1 to
// BMP_LOAD_MAX_FILE_SIZE.
BmpLoadCheck check_bmp_file_header(const BmpFileHeader& header, size_t got);

// What the block after the file header holds, as the bitmap creation will read it.
struct BmpBlockView {
    uint32_t header_size;  // 12, or 40 and more
    int32_t width;
    int32_t height;
    uint16_t bit_count;
    uint32_t compression;
    size_t colour_table_at;  // block offsets and sizes of what the creation reads
    size_t colour_table_bytes;
    size_t pixels_at;
    size_t pixel_bytes;
};

// The checks on the `got` bytes read after the file header, before a bitmap is made of them:
// nothing read is not a bitmap; a header, colour table or pixel rows that reach past the bytes
// read, a pixel data offset inside the headers or a format the system cannot expand cannot be
// expanded. On BMP_LOAD_OK, `view` says what will be read.
BmpLoadCheck check_bmp_block(const unsigned char* block, size_t got, uint32_t pixel_offset,
                             BmpBlockView* view);

// What the bitmap creation is handed as header and colour table: the 40-byte info header every
// system knows, built from the file's own (the longer version 4 and 5 headers, 108 and 124
// bytes: NT 3.51 knows neither, Windows 95 and NT 4.0 not the second), followed by the three masks
// for bit fields or by the colour table; a core header as it stands with its table. The pixels
// are the file's.
constexpr size_t BMP_SYSTEM_INFO_MAX = BMP_INFO_HEADER_SIZE + 4 * 256;
struct BmpSystemInfo {
    alignas(4) unsigned char bytes[BMP_SYSTEM_INFO_MAX];
    size_t size;
};

// The masks the Windows 95 family takes with bit fields: 5-5-5 or 5-6-5 at 16 bits, 8-8-8 at
// 32; red, green, blue as they stand in the file.
bool bmp_masks_known_to_95_family(uint16_t bit_count, uint32_t red, uint32_t green,
                                  uint32_t blue);

// The header and table for a block check_bmp_block passed. On the Windows 95 family
// (`windows_95_family`) a file with other bit-field masks cannot be expanded.
BmpLoadCheck build_bmp_system_info(const unsigned char* block, const BmpBlockView& view,
                                   bool windows_95_family, BmpSystemInfo* info);

// The size limit, applied once the bitmap is made: width and height nonzero and at most
// BMP_MAX_SIDE, either way up.
BmpLoadCheck check_bmp_size(const BmpBlockView& view);
