// The device mode rebuilt from the stored setup never claims bytes the block does not hold.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "print/devmode_block.h"

namespace {

uint16_t u16_at(const std::vector<unsigned char>& b, size_t at)
{
    return (uint16_t)(b[at] | (b[at + 1] << 8));
}

SettingsRecord record_with(uint16_t dm_size, uint16_t dm_extra)
{
    SettingsRecord rec;
    memset(&rec, 0x77, sizeof rec);
    set_stored_dm_size(rec, dm_size);
    rec.printer_devmode[DEVMODE_DRIVER_EXTRA_AT] = (unsigned char)(dm_extra & 0xFF);
    rec.printer_devmode[DEVMODE_DRIVER_EXTRA_AT + 1] = (unsigned char)(dm_extra >> 8);
    for (size_t i = 0; i < sizeof rec.printer_driver_extra; i++)
        rec.printer_driver_extra[i] = (unsigned char)(i % 251 + 1);
    return rec;
}

std::vector<unsigned char> block_of(const SettingsRecord& rec)
{
    std::vector<unsigned char> block(DEVMODE_BLOCK_SIZE, 0xEE);
    fill_devmode_block(rec, block.data());
    return block;
}

}  // namespace

TEST(DevmodeBlock, PublicPartThenExactlyTheDeclaredDriverBytes)
{
    ASSERT_EQ(DEVMODE_BLOCK_SIZE, 5157u);
    SettingsRecord rec = record_with(156, 8);
    auto block = block_of(rec);
    EXPECT_EQ(memcmp(block.data(), rec.printer_devmode, 156), 0);
    EXPECT_EQ(memcmp(block.data() + 156, rec.printer_driver_extra, 8), 0);
    for (size_t i = 156 + 8; i < block.size(); i++)
        ASSERT_EQ(block[i], 0) << "byte " << i << " past the driver bytes";

    auto full = block_of(record_with(156, 5000));
    EXPECT_EQ(memcmp(full.data() + 156, rec.printer_driver_extra, 5000), 0);
    EXPECT_EQ(full.back(), 0);
}

TEST(DevmodeBlock, DriverBytesThatWereNotKeptAreDeclaredAsNone)
{
    auto block = block_of(record_with(156, 6000));
    EXPECT_EQ(u16_at(block, DEVMODE_DRIVER_EXTRA_AT), 0);
    for (size_t i = 156; i < block.size(); i++)
        ASSERT_EQ(block[i], 0) << "byte " << i;
}

TEST(DevmodeBlock, WhateverTheFileSaysTheHeaderFitsTheBlock)
{
    const uint16_t sizes[] = {0, 1, 124, 148, 155, 156, 157, 220, 5157, 0xFFFF};
    const uint16_t extras[] = {0, 1, 8, 4999, 5000, 5001, 6000, 0xFFFF};
    for (uint16_t size : sizes) {
        for (uint16_t extra : extras) {
            auto block = block_of(record_with(size, extra));
            size_t claimed = u16_at(block, DEVMODE_SIZE_AT) + u16_at(block, DEVMODE_DRIVER_EXTRA_AT);
            EXPECT_LE(claimed, DEVMODE_BLOCK_SIZE) << "dmSize " << size << ", extra " << extra;
        }
    }
    // A size the block can hold is passed on unchanged.
    EXPECT_EQ(u16_at(block_of(record_with(148, 8)), DEVMODE_SIZE_AT), 148);
}
