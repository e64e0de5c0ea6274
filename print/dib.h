// Finding the parts of a packed device-independent bitmap: header, colour table, pixel bits.
// Both the 40-byte info header and the older 12-byte core header are understood.
#pragma once

#include <cstdint>

constexpr uint32_t DIB_INFO_HEADER_SIZE = 40;

// Colours in the table: biClrUsed when set, else 2, 16 or 256 by bit count, else 0.
uint16_t dib_colour_count(const void* header);

// Bytes of the colour table: 4 per colour after an info header, 3 after a core header.
uint16_t dib_palette_size(const void* header);

// The pixel bits: after the header (its own size) and the colour table.
const unsigned char* dib_bits(const void* header);
unsigned char* dib_bits(void* header);

// The bit count a device bitmap of planes × bits per pixel is converted to: 1, 4, 8 or 24.
uint16_t dib_bit_count_for(uint16_t depth);

// Bytes of pixel rows padded to 4 bytes each, in unsigned arithmetic as the header keeps it.
uint32_t dib_image_size(uint16_t bit_count, uint32_t width, uint32_t height);
