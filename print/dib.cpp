// Packed DIB layout; see dib.h.
#include "print/dib.h"

#include <cstring>

#include "base/byte_order.h"

static bool is_info_header(const void* header)
{
    return get_u32(header, 0) == DIB_INFO_HEADER_SIZE;
}

uint16_t dib_colour_count(const void* header)
{
    uint16_t bit_count;
    if (is_info_header(header)) {
        uint32_t used = get_u32(header, 32);
        if (used != 0)
            return (uint16_t)used;
        bit_count = get_u16(header, 14);
    } else {
        bit_count = get_u16(header, 10);
    }
    switch (bit_count) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}

uint16_t dib_palette_size(const void* header)
{
    return (uint16_t)(dib_colour_count(header) * (is_info_header(header) ? 4 : 3));
}

const unsigned char* dib_bits(const void* header)
{
    return static_cast<const unsigned char*>(header) + get_u32(header, 0) +
           dib_palette_size(header);
}

unsigned char* dib_bits(void* header)
{
    return const_cast<unsigned char*>(dib_bits(static_cast<const void*>(header)));
}

uint16_t dib_bit_count_for(uint16_t depth)
{
    if (depth <= 1)
        return 1;
    if (depth <= 4)
        return 4;
    if (depth <= 8)
        return 8;
    return 24;
}

uint32_t dib_image_size(uint16_t bit_count, uint32_t width, uint32_t height)
{
    return (bit_count * width + 31) / 32 * 4 * height;
}
