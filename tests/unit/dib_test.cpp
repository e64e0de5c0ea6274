// Finding the colour table and the bits of a packed DIB.
#include <gtest/gtest.h>

#include <cstring>

#include "print/dib.h"

namespace {

struct Header {
    unsigned char bytes[40];
};

Header info_header(uint16_t bit_count, uint32_t colours_used)
{
    Header h{};
    h.bytes[0] = 40;
    h.bytes[14] = (unsigned char)bit_count;
    memcpy(h.bytes + 32, &colours_used, 4);
    return h;
}

Header core_header(uint16_t bit_count)
{
    Header h{};
    h.bytes[0] = 12;
    h.bytes[10] = (unsigned char)bit_count;
    return h;
}

}  // namespace

TEST(Dib, ColourTableFollowsBitCountOrColoursUsed)
{
    Header h24 = info_header(24, 0);
    EXPECT_EQ(dib_colour_count(&h24), 0);
    EXPECT_EQ(dib_bits(&h24) - h24.bytes, 40);
    Header h8 = info_header(8, 0);
    EXPECT_EQ(dib_palette_size(&h8), 1024);
    EXPECT_EQ(dib_bits(&h8) - h8.bytes, 1064);
    Header h1 = info_header(1, 0);
    EXPECT_EQ(dib_colour_count(&h1), 2);
    Header used = info_header(8, 17);
    EXPECT_EQ(dib_colour_count(&used), 17);
    EXPECT_EQ(dib_palette_size(&used), 68);
}

TEST(Dib, CoreHeaderHasThreeByteColours)
{
    Header c4 = core_header(4);
    EXPECT_EQ(dib_colour_count(&c4), 16);
    EXPECT_EQ(dib_palette_size(&c4), 48);
    EXPECT_EQ(dib_bits(&c4) - c4.bytes, 12 + 48);
}

TEST(Dib, DeviceDepthsBecomeOneFourEightOrTwentyFourBits)
{
    EXPECT_EQ(dib_bit_count_for(1), 1);
    EXPECT_EQ(dib_bit_count_for(2), 4);
    EXPECT_EQ(dib_bit_count_for(4), 4);
    EXPECT_EQ(dib_bit_count_for(8), 8);
    EXPECT_EQ(dib_bit_count_for(15), 24);
    EXPECT_EQ(dib_bit_count_for(16), 24);
    EXPECT_EQ(dib_bit_count_for(32), 24);
}

TEST(Dib, ImageSizePadsRowsToFourBytes)
{
    EXPECT_EQ(dib_image_size(24, 101, 10), 3040u);
    EXPECT_EQ(dib_image_size(1, 33, 2), 16u);
    EXPECT_EQ(dib_image_size(8, 1, 1), 4u);
}
