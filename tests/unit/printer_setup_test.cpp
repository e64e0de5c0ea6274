// Keeping a returned printer description in the settings record's fixed blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "print/printer_setup.h"

namespace {

std::vector<unsigned char> devmode_with_extra(uint16_t extra, size_t present)
{
    std::vector<unsigned char> dm(156 + present, 0x33);
    memcpy(dm.data(), "PDF", 4);
    dm[36] = 156;
    dm[37] = 0;
    dm[38] = (unsigned char)(extra & 0xFF);
    dm[39] = (unsigned char)(extra >> 8);
    for (size_t i = 0; i < present; i++)
        dm[156 + i] = (unsigned char)(i + 1);
    return dm;
}

bool all_zero(const unsigned char* p, size_t n)
{
    for (size_t i = 0; i < n; i++)
        if (p[i])
            return false;
    return true;
}

}  // namespace

TEST(PrinterSetup, DriverExtraBytesFollowThePublicPart)
{
    SettingsRecord rec;
    memset(&rec, 0x55, sizeof rec);
    auto dm = devmode_with_extra(8, 8);
    store_returned_devmode(rec, dm.data(), dm.size());
    EXPECT_STREQ((const char*)rec.printer_devmode, "PDF");
    EXPECT_EQ(stored_dm_driver_extra(rec), 8);
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(rec.printer_driver_extra[i], i + 1);
    EXPECT_TRUE(all_zero(rec.printer_driver_extra + 8, 5000 - 8));
}

TEST(PrinterSetup, NoExtraOrTooMuchExtraLeavesBlockBZero)
{
    SettingsRecord rec;
    memset(&rec, 0x55, sizeof rec);
    auto none = devmode_with_extra(0, 0);
    store_returned_devmode(rec, none.data(), none.size());
    EXPECT_TRUE(all_zero(rec.printer_driver_extra, 5000));

    memset(&rec, 0x55, sizeof rec);
    auto huge = devmode_with_extra(6000, 6000);
    store_returned_devmode(rec, huge.data(), huge.size());
    EXPECT_TRUE(all_zero(rec.printer_driver_extra, 5000));
    EXPECT_EQ(stored_dm_driver_extra(rec), 6000) << "the returned count is kept";
}

TEST(PrinterSetup, NothingIsReadPastTheReturnedBlock)
{
    SettingsRecord rec;
    memset(&rec, 0x55, sizeof rec);
    auto claims_more = devmode_with_extra(4000, 10);  // says 4,000, holds 10
    store_returned_devmode(rec, claims_more.data(), claims_more.size());
    EXPECT_EQ(rec.printer_driver_extra[9], 10);
    EXPECT_TRUE(all_zero(rec.printer_driver_extra + 10, 5000 - 10));

    auto stub = devmode_with_extra(0, 0);
    store_returned_devmode(rec, stub.data(), 40);  // shorter than the public part
    EXPECT_TRUE(all_zero(rec.printer_devmode + 40, 156 - 40));
}

TEST(PrinterSetup, DriverPathIsCutAtItsFirstDot)
{
    SettingsRecord rec{};
    store_driver_name(rec, "D:\\A.B\\DRV.DLL");
    EXPECT_STREQ(rec.printer_driver_name, "D:\\A");
    store_driver_name(rec, "C:\\windows\\system32\\spool\\drivers\\w32x86\\3\\wineps.drv");
    EXPECT_STREQ(rec.printer_driver_name, "C:\\windows\\system32\\spool\\drivers\\w32x86\\3\\wineps");
    store_driver_name(rec, "NODOT");
    EXPECT_STREQ(rec.printer_driver_name, "NODOT");
    std::string longer(120, 'x');
    store_driver_name(rec, longer.c_str());
    EXPECT_EQ(strlen(rec.printer_driver_name), 79u);
}

TEST(PrinterSetup, DevnamesAndOrientation)
{
    SettingsRecord rec{};
    const unsigned char devnames[12] = {8, 0, 20, 0, 30, 0, 1, 0, 'x', 'y', 'z', 0};
    store_returned_devnames(rec, devnames, sizeof devnames);
    EXPECT_EQ(memcmp(rec.printer_devnames, devnames, 8), 0);
    set_stored_dm_orientation(rec, ORIENTATION_LANDSCAPE);
    EXPECT_EQ(rec.printer_devmode[44], 2);
    EXPECT_EQ(rec.printer_devmode[45], 0);
    set_stored_dm_size(rec, 156);
    EXPECT_EQ(stored_dm_size(rec), 156);
}
