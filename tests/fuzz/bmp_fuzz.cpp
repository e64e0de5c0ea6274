// libFuzzer harness: any file passes through the BMP loader's checks without a read outside the
// bytes read, and what they pass lies inside them; any name and extension offset number without
// overflowing the name buffer.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "files/bmp_format.h"

static void fuzz_loader(const uint8_t* data, size_t size)
{
    size_t head = size < 14 ? size : 14;
    BmpFileHeader header = parse_bmp_file_header(data, head);
    if (check_bmp_file_header(header, head) != BMP_LOAD_OK)
        return;
    // A block of exactly the bytes read, so ASan sees any read past it.
    std::vector<unsigned char> block(data + head, data + head + std::min<size_t>(size - head,
                                                                             header.file_size));
    BmpBlockView v;
    if (check_bmp_block(block.data(), block.size(), header.pixel_offset, &v) != BMP_LOAD_OK)
        return;
    if (v.colour_table_at + v.colour_table_bytes > block.size() || v.pixel_bytes == 0 ||
        v.pixels_at + v.pixel_bytes > block.size() || v.header_size > block.size())
        __builtin_trap();
    // The header handed to the system is built within its buffer, from bytes inside the block.
    static BmpSystemInfo info;
    if (build_bmp_system_info(block.data(), v, data[0] & 2, &info) == BMP_LOAD_OK &&
        (info.size > sizeof info.bytes || (v.header_size != 12 && info.bytes[0] != 40)))
        __builtin_trap();
    if (check_bmp_size(v) == BMP_LOAD_OK &&
        (v.width < 1 || v.width > BMP_MAX_SIDE || v.height == 0 || v.height > BMP_MAX_SIDE ||
         v.height < -BMP_MAX_SIDE))
        __builtin_trap();
}

static void fuzz_names(const uint8_t* data, size_t size)
{
    if (size < 5)
        return;
    int32_t ext_offset;
    memcpy(&ext_offset, data, 4);
    // The name as the settings hold it: up to 256 bytes, not always terminated.
    char name[OUTPUT_NAME_SIZE];
    memcpy(name, data + 5, std::min(size - 5, sizeof name));
    if (size - 5 < sizeof name)
        name[size - 5] = '\0';
    int tries = 0;
    auto taken = [&](const char* candidate) {
        if (strnlen(candidate, OUTPUT_NAME_SIZE) == OUTPUT_NAME_SIZE)
            __builtin_trap();
        // Mostly a few names taken; 0xFF takes them all.
        return ++tries <= (data[4] == 0xFF ? 1000 : data[4] % 16);
    };
    char out[OUTPUT_NAME_SIZE];
    if (choose_numbered_name(name, ext_offset, taken, out) &&
        strnlen(out, sizeof out) == sizeof out)
        __builtin_trap();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0 && (data[0] & 1))
        fuzz_names(data + 1, size - 1);
    else if (size > 0)
        fuzz_loader(data + 1, size - 1);
    return 0;
}
