// BMP headers built and read field by field, output-name numbering, and the loader's checks.
#include "files/bmp_format.h"

#include <cstdio>
#include <cstring>

#include "base/byte_order.h"
#include "base/cp932.h"
#include "settings/settings.h"

// Each field starts where the one before it ends, and the last one ends at the header's size.
static_assert(BMP_FH_FILE_SIZE == BMP_FH_TYPE + 2 && BMP_FH_RESERVED1 == BMP_FH_FILE_SIZE + 4 &&
                  BMP_FH_RESERVED2 == BMP_FH_RESERVED1 + 2 &&
                  BMP_FH_PIXEL_OFFSET == BMP_FH_RESERVED2 + 2 &&
                  BMP_FILE_HEADER_SIZE == BMP_FH_PIXEL_OFFSET + 4,
              "file header layout");
static_assert(BMP_IH_WIDTH == BMP_IH_SIZE + 4 && BMP_IH_HEIGHT == BMP_IH_WIDTH + 4 &&
                  BMP_IH_PLANES == BMP_IH_HEIGHT + 4 && BMP_IH_BIT_COUNT == BMP_IH_PLANES + 2 &&
                  BMP_IH_COMPRESSION == BMP_IH_BIT_COUNT + 2 &&
                  BMP_IH_SIZE_IMAGE == BMP_IH_COMPRESSION + 4 &&
                  BMP_IH_X_RESOLUTION == BMP_IH_SIZE_IMAGE + 4 &&
                  BMP_IH_Y_RESOLUTION == BMP_IH_X_RESOLUTION + 4 &&
                  BMP_IH_COLOURS_USED == BMP_IH_Y_RESOLUTION + 4 &&
                  BMP_IH_COLOURS_IMPORTANT == BMP_IH_COLOURS_USED + 4 &&
                  BMP_INFO_HEADER_SIZE == BMP_IH_COLOURS_IMPORTANT + 4,
              "info header layout");
static_assert(BMP_CH_HEIGHT == BMP_CH_WIDTH + 2 && BMP_CH_BIT_COUNT == BMP_CH_HEIGHT + 2 + 2 &&
                  BMP_CORE_HEADER_SIZE == BMP_CH_BIT_COUNT + 2,
              "core header layout");
static_assert(OUTPUT_NAME_SIZE == sizeof(SettingsRecord::output_file_name),
              "numbered names live in the settings' name buffer");
static_assert(BMP_LOAD_MAX_FILE_SIZE == 400000066u, "a 10000 x 10000 file of 32 bits loads");

bool bmp_layout_for(int32_t width, int32_t height, uint16_t source_depth, BmpLayout* layout)
{
    if (width <= 0 || height <= 0)
        return false;
    BmpLayout l = {};
    l.width = width;
    l.height = height;
    if (source_depth <= 8) {
        l.bits_per_pixel = 8;
        l.colour_count = 256;
        l.compression = BMP_RGB;
    } else if (source_depth <= 24) {
        l.bits_per_pixel = 24;
        l.compression = BMP_RGB;
    } else {
        l.bits_per_pixel = 32;
        l.compression = BMP_BITFIELDS;
        l.mask_bytes = BMP_MASKS_SIZE;
    }
    uint64_t image = ((uint64_t)width + 7) / 8 * l.bits_per_pixel * (uint64_t)height;
    uint64_t offset = BMP_FILE_HEADER_SIZE + BMP_INFO_HEADER_SIZE + 4 * l.colour_count +
                      l.mask_bytes;
    if (image + offset > UINT32_MAX)
        return false;
    l.image_size = (uint32_t)image;
    l.pixel_offset = (uint32_t)offset;
    l.file_size = (uint32_t)(offset + image);
    *layout = l;
    return true;
}

void build_bmp_file_header(const BmpLayout& layout, unsigned char out[BMP_FILE_HEADER_SIZE])
{
    put_u16(out, BMP_FH_TYPE, BMP_TYPE);
    put_u32(out, BMP_FH_FILE_SIZE, layout.file_size);
    put_u16(out, BMP_FH_RESERVED1, 0);
    put_u16(out, BMP_FH_RESERVED2, 0);
    put_u32(out, BMP_FH_PIXEL_OFFSET, layout.pixel_offset);
}

void build_bmp_info_header(const BmpLayout& layout, unsigned char out[BMP_INFO_HEADER_SIZE])
{
    memset(out, 0, BMP_INFO_HEADER_SIZE);
    put_u32(out, BMP_IH_SIZE, BMP_INFO_HEADER_SIZE);
    put_u32(out, BMP_IH_WIDTH, (uint32_t)layout.width);
    put_u32(out, BMP_IH_HEIGHT, (uint32_t)layout.height);
    put_u16(out, BMP_IH_PLANES, 1);
    put_u16(out, BMP_IH_BIT_COUNT, layout.bits_per_pixel);
    put_u32(out, BMP_IH_COMPRESSION, layout.compression);
    put_u32(out, BMP_IH_SIZE_IMAGE, layout.image_size);
}

void build_bmp_masks(unsigned char out[BMP_MASKS_SIZE])
{
    put_u32(out, 0, BMP_RED_MASK);
    put_u32(out, 4, BMP_GREEN_MASK);
    put_u32(out, 8, BMP_BLUE_MASK);
}

size_t output_number_position(const char* name, int32_t ext_offset)
{
    size_t length = strnlen(name, OUTPUT_NAME_SIZE - 1);
    // The dot check also keeps the number from splitting a double-byte character: 0x2E is
    // never the second byte of one.
    if (ext_offset >= 1 && (size_t)ext_offset <= length && name[ext_offset - 1] == '.')
        return (size_t)ext_offset - 1;
    return length;
}

bool numbered_output_name(const char* name, int32_t ext_offset, int n,
                          char out[OUTPUT_NAME_SIZE])
{
    size_t length = strnlen(name, OUTPUT_NAME_SIZE - 1);
    size_t at = output_number_position(name, ext_offset);
    char number[16];
    int digits = snprintf(number, sizeof number, "%d", n);
    out[0] = '\0';
    if (digits <= 0 || length + (size_t)digits >= OUTPUT_NAME_SIZE)
        return false;
    memcpy(out, name, at);
    memcpy(out + at, number, (size_t)digits);
    memcpy(out + at + digits, name + at, length - at);
    out[length + digits] = '\0';
    return true;
}

bool choose_numbered_name(const char* name, int32_t ext_offset,
                          bool (*is_taken)(const char* candidate, void* context), void* context,
                          char out[OUTPUT_NAME_SIZE])
{
    size_t length = strnlen(name, OUTPUT_NAME_SIZE - 1);
    memcpy(out, name, length);
    out[length] = '\0';
    if (!is_taken(out, context))
        return true;
    // From 1 on every time, so the first gap left by a deleted file is filled.
    for (int n = 1; n <= OUTPUT_NUMBER_MAX; n++) {
        if (numbered_output_name(name, ext_offset, n, out) && !is_taken(out, context))
            return true;
    }
    out[0] = '\0';
    return false;
}

bool sibling_output_name(const char* name, const char* sibling, char out[OUTPUT_NAME_SIZE])
{
    size_t length = strnlen(name, OUTPUT_NAME_SIZE - 1);
    // Up to and with the last backslash that is not the second byte of a character (表, ソ).
    size_t folder = 0;
    for (size_t i = 0; i < length; i++) {
        unsigned char c = (unsigned char)name[i];
        if (cp932_lead_byte(c) && i + 1 < length)
            i++;
        else if (c == '\\' || (c == ':' && i == 1))
            folder = i + 1;
    }
    size_t own = strlen(sibling);
    out[0] = '\0';
    if (folder + own >= OUTPUT_NAME_SIZE)
        return false;
    memcpy(out, name, folder);
    memcpy(out + folder, sibling, own + 1);
    return true;
}

BmpFileHeader parse_bmp_file_header(const unsigned char* data, size_t got)
{
    unsigned char h[BMP_FILE_HEADER_SIZE] = {0};
    memcpy(h, data, got < sizeof h ? got : sizeof h);
    return {get_u16(h, BMP_FH_TYPE), get_u32(h, BMP_FH_FILE_SIZE),
            get_u32(h, BMP_FH_PIXEL_OFFSET)};
}

BmpLoadCheck check_bmp_file_header(const BmpFileHeader& header, size_t got)
{
    if (got == 0 || header.file_size == 0 || header.file_size > BMP_LOAD_MAX_FILE_SIZE ||
        header.type != BMP_TYPE)
        return BMP_NOT_A_BITMAP;
    return BMP_LOAD_OK;
}

// Bytes of the colour table (or bit-field masks) the bitmap creation reads after the header.
static size_t colour_table_bytes(const BmpBlockView& v, uint32_t colours_used)
{
    if (v.header_size == BMP_CORE_HEADER_SIZE)
        return v.bit_count <= 8 ? (size_t)3 << v.bit_count : 0;
    if (v.compression == BMP_BITFIELDS)
        return BMP_MASKS_SIZE;  // read right after the first 40 bytes, whatever the header size
    if (v.bit_count > 8)
        return 0;
    size_t full = (size_t)1 << v.bit_count;
    size_t used = colours_used != 0 && colours_used < full ? colours_used : full;
    return 4 * used;
}

static bool format_is_known(const BmpBlockView& v)
{
    switch (v.bit_count) {
    case 1:
    case 4:
    case 8:
    case 24:
        break;
    case 16:
    case 32:
        if (v.header_size == BMP_CORE_HEADER_SIZE)
            return false;
        break;
    default:
        return false;
    }
    switch (v.compression) {
    case BMP_RGB:
        return true;
    case BMP_RLE8:
        return v.bit_count == 8 && v.height > 0;
    case BMP_RLE4:
        return v.bit_count == 4 && v.height > 0;
    case BMP_BITFIELDS:
        return v.bit_count == 16 || v.bit_count == 32;
    default:
        return false;
    }
}

BmpLoadCheck check_bmp_block(const unsigned char* block, size_t got, uint32_t pixel_offset,
                             BmpBlockView* view)
{
    if (got == 0)
        return BMP_NOT_A_BITMAP;
    BmpBlockView v = {};
    if (got < 4)
        return BMP_CANNOT_EXPAND;
    v.header_size = get_u32(block, BMP_IH_SIZE);
    uint32_t colours_used = 0;
    uint32_t rle_size = 0;
    if (v.header_size == BMP_CORE_HEADER_SIZE) {
        if (got < BMP_CORE_HEADER_SIZE)
            return BMP_CANNOT_EXPAND;
        v.width = get_u16(block, BMP_CH_WIDTH);
        v.height = get_u16(block, BMP_CH_HEIGHT);
        v.bit_count = get_u16(block, BMP_CH_BIT_COUNT);
        v.compression = BMP_RGB;
    } else {
        // 40 bytes up to the largest header the system knows (124).
        if (v.header_size < BMP_INFO_HEADER_SIZE || v.header_size > 124 || got < v.header_size)
            return BMP_CANNOT_EXPAND;
        v.width = (int32_t)get_u32(block, BMP_IH_WIDTH);
        v.height = (int32_t)get_u32(block, BMP_IH_HEIGHT);
        v.bit_count = get_u16(block, BMP_IH_BIT_COUNT);
        v.compression = get_u32(block, BMP_IH_COMPRESSION);
        rle_size = get_u32(block, BMP_IH_SIZE_IMAGE);
        colours_used = get_u32(block, BMP_IH_COLOURS_USED);
    }
    // An image without pixels is one the program cannot handle, as the size rule says; a
    // negative width is a damaged header.
    if (v.width == 0 || v.height == 0)
        return BMP_CANNOT_HANDLE;
    if (v.width < 0 || !format_is_known(v))
        return BMP_CANNOT_EXPAND;

    size_t table_at = v.compression == BMP_BITFIELDS ? BMP_INFO_HEADER_SIZE : v.header_size;
    v.colour_table_at = table_at;
    v.colour_table_bytes = colour_table_bytes(v, colours_used);
    if (v.colour_table_bytes > got - table_at)
        return BMP_CANNOT_EXPAND;

    // The pixels may not start inside the headers, nor past the bytes read.
    if (pixel_offset < BMP_FILE_HEADER_SIZE + (uint64_t)v.header_size ||
        pixel_offset - BMP_FILE_HEADER_SIZE > got)
        return BMP_CANNOT_EXPAND;
    v.pixels_at = pixel_offset - BMP_FILE_HEADER_SIZE;
    uint64_t available = got - v.pixels_at;
    if (v.compression == BMP_RLE8 || v.compression == BMP_RLE4) {
        // Run-length data is read as far as the header's image size says.
        if (rle_size == 0 || rle_size > available)
            return BMP_CANNOT_EXPAND;
        v.pixel_bytes = rle_size;
    } else {
        uint64_t stride = ((uint64_t)v.width * v.bit_count + 31) / 32 * 4;
        uint64_t rows = v.height < 0 ? -(int64_t)v.height : v.height;
        if (stride > available / rows)
            return BMP_CANNOT_EXPAND;
        v.pixel_bytes = (size_t)(stride * rows);
    }
    *view = v;
    return BMP_LOAD_OK;
}

bool bmp_masks_known_to_95_family(uint16_t bit_count, uint32_t red, uint32_t green,
                                  uint32_t blue)
{
    if (bit_count == 16)
        return blue == 0x001F && ((red == 0x7C00 && green == 0x03E0) ||
                                  (red == 0xF800 && green == 0x07E0));
    return bit_count == 32 && red == BMP_RED_MASK && green == BMP_GREEN_MASK &&
           blue == BMP_BLUE_MASK;
}

BmpLoadCheck build_bmp_system_info(const unsigned char* block, const BmpBlockView& view,
                                   bool windows_95_family, BmpSystemInfo* info)
{
    unsigned char* out = info->bytes;
    if (view.header_size == BMP_CORE_HEADER_SIZE) {
        memcpy(out, block, BMP_CORE_HEADER_SIZE);
        memcpy(out + BMP_CORE_HEADER_SIZE, block + view.colour_table_at,
               view.colour_table_bytes);
        info->size = BMP_CORE_HEADER_SIZE + view.colour_table_bytes;
        return BMP_LOAD_OK;
    }
    // The first 40 bytes of every longer header are the info header's fields. The masks of a
    // version 4 or 5 header stand where those of a 40-byte header follow it (offset 40), and
    // count only with bit fields; its alpha mask has no place in a 40-byte header, and a
    // bitmap made for the display keeps no alpha anyway.
    memcpy(out, block, BMP_INFO_HEADER_SIZE);
    put_u32(out, BMP_IH_SIZE, BMP_INFO_HEADER_SIZE);
    if (view.compression == BMP_BITFIELDS) {
        uint32_t red = get_u32(block, BMP_INFO_HEADER_SIZE);
        uint32_t green = get_u32(block, BMP_INFO_HEADER_SIZE + 4);
        uint32_t blue = get_u32(block, BMP_INFO_HEADER_SIZE + 8);
        if (windows_95_family && !bmp_masks_known_to_95_family(view.bit_count, red, green, blue))
            return BMP_CANNOT_EXPAND;
    }
    // Only the table read below is handed on, so the header counts just its entries (none
    // with bit fields: a table a file keeps after its masks is not handed on).
    size_t table = view.colour_table_bytes;
    put_u32(out, BMP_IH_COLOURS_USED,
            view.compression == BMP_BITFIELDS ? 0 : (uint32_t)(table / 4));
    memcpy(out + BMP_INFO_HEADER_SIZE, block + view.colour_table_at, table);
    info->size = BMP_INFO_HEADER_SIZE + table;
    return BMP_LOAD_OK;
}

BmpLoadCheck check_bmp_size(const BmpBlockView& view)
{
    int64_t width = view.width < 0 ? -(int64_t)view.width : view.width;
    int64_t height = view.height < 0 ? -(int64_t)view.height : view.height;
    if (width == 0 || height == 0 || width > BMP_MAX_SIDE || height > BMP_MAX_SIDE)
        return BMP_CANNOT_HANDLE;
    return BMP_LOAD_OK;
}
