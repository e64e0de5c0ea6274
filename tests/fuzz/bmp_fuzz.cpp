// libFuzzer harness: any file handed to the BMP loader's checks is judged without reading outside
// the bytes read, and whatever the checks pass lies inside them; any output name and extension
// offset numbers without overflowing the name buffer.
#include <cstdint>
#include <cstring>
#include <vector>

#include "files/bmp_format.h"

static void fuzz_loader(const uint8_t* data, size_t size)
{
    std::vector<unsigned char> head(data, data + (size < 14 ? size : 14));
    BmpFileHeader header = parse_bmp_file_header(head.data(), head.size());
    if (check_bmp_file_header(header, head.size()) != BMP_LOAD_OK)
        return;
    // The block holds exactly what the read delivered, so ASan sees any read past it.
    size_t got = size - head.size();
    if (got > header.file_size)
        got = header.file_size;
    std::vector<unsigned char> block(data + head.size(), data + head.size() + got);
    BmpBlockView view;
    BmpLoadCheck check = check_bmp_block(block.data(), got, header.pixel_offset, &view);
    if (check != BMP_LOAD_OK) {
        if (check != BMP_NOT_A_BITMAP && check != BMP_CANNOT_EXPAND)
            __builtin_trap();
        return;
    }
    // What the bitmap creation would read: header, colour table, pixels.
    if (view.colour_table_at + view.colour_table_bytes > got ||
        view.pixels_at + view.pixel_bytes > got || view.pixel_bytes == 0 || view.width <= 0)
        __builtin_trap();
    volatile unsigned sum = 0;
    for (size_t i = 0; i < view.header_size; i++)
        sum += block[i];
    for (size_t i = 0; i < view.colour_table_bytes; i++)
        sum += block[view.colour_table_at + i];
    for (size_t i = 0; i < view.pixel_bytes; i += 61)
        sum += block[view.pixels_at + i];
    sum += block[view.pixels_at + view.pixel_bytes - 1];

    if (check_bmp_size(view) == BMP_LOAD_OK) {
        int64_t h = view.height < 0 ? -(int64_t)view.height : view.height;
        if (view.width > BMP_MAX_SIDE || h < 1 || h > BMP_MAX_SIDE)
            __builtin_trap();
    }
}

static void fuzz_names(const uint8_t* data, size_t size)
{
    if (size < 6)
        return;
    int32_t ext_offset;
    memcpy(&ext_offset, data, 4);
    int n = 1 + (data[4] | (data[5] << 8)) % OUTPUT_NUMBER_MAX;
    // The name as the settings hold it: up to 256 bytes, not always terminated.
    char name[OUTPUT_NAME_SIZE];
    size_t len = size - 6 < sizeof name ? size - 6 : sizeof name;
    memcpy(name, data + 6, len);
    if (len < sizeof name)
        name[len] = '\0';
    char out[OUTPUT_NAME_SIZE];
    memset(out, 0x7F, sizeof out);
    if (numbered_output_name(name, ext_offset, n, out)) {
        if (strnlen(out, sizeof out) == sizeof out)
            __builtin_trap();
    } else if (out[0] != '\0') {
        __builtin_trap();
    }
    // Every tried name is terminated within the buffer.
    int tries = 0;
    auto taken = [&](const char* candidate) {
        if (strnlen(candidate, OUTPUT_NAME_SIZE) == OUTPUT_NAME_SIZE)
            __builtin_trap();
        return ++tries <= (data[5] & 7);
    };
    choose_numbered_name(name, ext_offset, taken, out);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    if (data[0] & 1)
        fuzz_names(data + 1, size - 1);
    else
        fuzz_loader(data + 1, size - 1);
    return 0;
}
