// Packed DIB layout; see dib.h.
#include "print/dib.h"

#include <cstring>

static uint32_t u32_at(const void* p, int offset)
{
    uint8_t b[4];
    memcpy(b, static_cast<const uint8_t*>(p) + offset, 4);
    return b[0] | (b[1] << 8) | (b[2] << 16) | ((uint32_t)b[3] << 24);
}

static uint16_t u16_at(const void* p, int offset)
{
    uint8_t b[2];
    memcpy(b, static_cast<const uint8_t*>(p) + offset, 2);
    return (uint16_t)(b[0] | (b[1] << 8));
}

static bool is_info_header(const void* header)
{
    return u32_at(header, 0) == DIB_INFO_HEADER_SIZE;
}

uint16_t dib_colour_count(const void* header)
{
    uint16_t bit_count;
    if (is_info_header(header)) {
        uint32_t used = u32_at(header, 32);
        if (used != 0)
            return (uint16_t)used;
        bit_count = u16_at(header, 14);
    } else {
        bit_count = u16_at(header, 10);
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
    return static_cast<const unsigned char*>(header) + u32_at(header, 0) +
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
