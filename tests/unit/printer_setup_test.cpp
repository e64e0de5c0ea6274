// Keeping a returned printer description in the settings record's fixed blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
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

TEST(PrinterSetup, DevnamesGiveThePrintersWholeName)
{
    // Offsets in the head, then the driver, the device and the port, as PrintDlgA returns them.
    const std::string name = "\\\\印刷サーバー表\\経理部の二階にある大きなカラー複合機";
    std::vector<unsigned char> dn = {8, 0, 17, 0, 0, 0, 0, 0};
    for (char c : std::string("winspool") + '\0' + name + '\0' + "LPT1:" + '\0')
        dn.push_back((unsigned char)c);
    dn[4] = (unsigned char)(17 + name.size() + 1);
    char out[PRINTER_NAME_SIZE];
    ASSERT_TRUE(devnames_device_name(dn.data(), dn.size(), out, sizeof out));
    EXPECT_EQ(std::string(out), name);
    // Without its terminator inside the block, beyond the block, or too long for `out`: none.
    EXPECT_FALSE(devnames_device_name(dn.data(), 17 + name.size(), out, sizeof out));
    EXPECT_EQ(out[0], '\0');
    dn[2] = 200;
    EXPECT_FALSE(devnames_device_name(dn.data(), dn.size(), out, sizeof out));
    dn[2] = 17;
    EXPECT_FALSE(devnames_device_name(dn.data(), dn.size(), out, name.size()));
    EXPECT_FALSE(devnames_device_name(dn.data(), 7, out, sizeof out));
}

TEST(PrinterSetup, AStoredNameStandsForTheOnePrinterItBegins)
{
    const char forty[] = "kavrel-long-printer-name-of-forty-chars!";
    const char cut[] = "kavrel-long-printer-name-of-for";  // the 31 bytes the device mode keeps
    ASSERT_EQ(strlen(forty), 40u);
    ASSERT_EQ(strlen(cut), 31u);
    auto match = [](const char* stored, std::vector<const char*> installed, size_t* at) {
        *at = 99;
        return match_stored_printer(stored, installed.data(), installed.size(), at);
    };
    size_t at;
    EXPECT_EQ(match(cut, {"PDF", forty, "kavrel-long"}, &at), PrinterMatch::ONE);
    EXPECT_EQ(at, 1u);
    // A name that fits is whole: a longer printer that begins with it is another printer.
    EXPECT_EQ(match("PDF", {"PDF-2", "PDF"}, &at), PrinterMatch::ONE);
    EXPECT_EQ(at, 1u);
    EXPECT_EQ(match("PDF", {"PDF-2"}, &at), PrinterMatch::NONE);
    // A cut name that two printers begin with, or none, names no printer.
    EXPECT_EQ(match(cut, {forty, "kavrel-long-printer-name-of-forty-two"}, &at),
              PrinterMatch::SEVERAL);
    EXPECT_EQ(match(cut, {"kavrel-long-printer-name-of-fo"}, &at), PrinterMatch::NONE);
    EXPECT_EQ(match("", {"PDF"}, &at), PrinterMatch::NONE);
    // A printer of exactly the stored name, and no longer one: that printer.
    EXPECT_EQ(match(cut, {"PDF", cut}, &at), PrinterMatch::ONE);
    EXPECT_EQ(at, 1u);
    // ... and also beside a longer one: the 31-character printer it always named.
    EXPECT_EQ(match(cut, {forty, cut}, &at), PrinterMatch::ONE);
    EXPECT_EQ(at, 1u);
    // Two-byte characters: the device mode may keep 30 bytes when the 31st would split one.
    const char japanese[] = "経理部の二階にある大きなカラー複合機";
    std::string thirty(japanese, 30);
    EXPECT_EQ(match(thirty.c_str(), {japanese}, &at), PrinterMatch::ONE);
    EXPECT_FALSE(printer_name_continues(std::string(japanese, 28).c_str(), japanese));
}
