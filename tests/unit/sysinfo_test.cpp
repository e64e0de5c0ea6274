// SYSINFO.TXT byte for byte: its path, each section's lines, the drive list and the window
// list's stopping rule.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "files/sysinfo.h"

namespace {

std::string bytes(std::initializer_list<unsigned char> list)
{
    return std::string(list.begin(), list.end());
}

std::string first_line(std::string_view text)
{
    return std::string(text.substr(0, text.find("\r\n") + 2));
}

std::string report_path_for(const char* output_file_name, const char* program_dir,
                            size_t size = REPORT_PATH_BUF)
{
    char path[REPORT_PATH_BUF + 8];
    memset(path, 'x', sizeof path);
    bool ok = form_report_path(path, size, output_file_name, program_dir);
    EXPECT_EQ(path[size], 'x') << "wrote past the buffer";
    return ok ? std::string(path) : "<none: " + std::string(path) + ">";
}

std::vector<std::string> drive_roots(const char* buffer, size_t length)
{
    std::vector<std::string> roots;
    char root[64];
    size_t at = 0;
    while (next_drive_root(buffer, length, &at, root, sizeof root))
        roots.push_back(root);
    return roots;
}

}  // namespace

TEST(ReportPath, BesideTheOutputFileElseInTheProgramFolder)
{
    EXPECT_EQ(report_path_for("D:\\HC\\COPY.BMP", "C:\\APP"), "D:\\HC\\SYSINFO.TXT");
    EXPECT_EQ(report_path_for("D:\\COPY.BMP", "C:\\APP"), "D:\\SYSINFO.TXT");
    EXPECT_EQ(report_path_for("", "C:\\APP"), "C:\\APP\\SYSINFO.TXT");
    EXPECT_EQ(report_path_for("COPY.BMP", "C:\\APP"), "C:\\APP\\SYSINFO.TXT");
    // A backslash at the very first character is not a folder.
    EXPECT_EQ(report_path_for("\\COPY.BMP", "C:\\APP"), "C:\\APP\\SYSINFO.TXT");
    EXPECT_EQ(report_path_for("", "C:\\"), "C:\\SYSINFO.TXT");
}

TEST(ReportPath, ADoubleByteCharacterEndingIn5CIsNoFolderSeparator)
{
    // 表 is 95 5C: the file name D:\HC\表.BMP lies in D:\HC, not in "D:\HC\<95>".
    std::string name = "D:\\HC\\" + bytes({0x95, 0x5C}) + ".BMP";
    EXPECT_EQ(report_path_for(name.c_str(), "C:\\APP"), "D:\\HC\\SYSINFO.TXT");
    std::string folder = "D:\\" + bytes({0x83, 0x5C});  // D:\ソ
    EXPECT_EQ(report_path_for((folder + "\\A.BMP").c_str(), "C:\\APP"), folder + "\\SYSINFO.TXT");
    // The program folder's last byte is 0x5C too: still no separator of its own.
    EXPECT_EQ(report_path_for("COPY.BMP", "C:\\一覧表"), "C:\\一覧表\\SYSINFO.TXT");
}

TEST(ReportPath, NeverOverflowsHoweverLongTheFolder)
{
    std::string folder = "C:\\" + std::string(240, 'F');
    std::string name = folder + "\\COPY.BMP";
    EXPECT_EQ(report_path_for(name.c_str(), "C:\\APP"), folder + "\\SYSINFO.TXT");
    // The longest folder the 256-byte name can carry still fits the path buffer.
    std::string longest = "C:\\" + std::string(251, 'G') + "\\COPY.BMP";
    std::string got = report_path_for(longest.c_str(), "C:\\APP");
    EXPECT_EQ(got, longest.substr(0, 254) + "\\SYSINFO.TXT");
    // A buffer too small gives no path at all rather than a cut one.
    EXPECT_EQ(report_path_for(name.c_str(), "C:\\APP", 40), "<none: >");
    std::string long_program_dir(REPORT_PATH_BUF, 'P');
    EXPECT_EQ(report_path_for("", long_program_dir.c_str()), "<none: >");
}

TEST(ReportText, TimeComputerOsAndFolders)
{
    EXPECT_EQ(report_time_text({1998, 3, 7, 1, 2, 3}, {1998, 3, 7, 10, 2, 3}).view(),
              "SYSTEM = 1998/03/07 01:02:03\r\nLOCAL  = 1998/03/07 10:02:03\r\n");
    // ＰＣ情報： in code page 932.
    std::string pc = bytes({0x82, 0x6F, 0x82, 0x62, 0x8F, 0xEE, 0x95, 0xF1, 0x81, 0x46});
    EXPECT_EQ(report_computer_text("HOST1", "taro").view(),
              pc + "COMP NAME = HOST1\r\n         USER NAME = taro\r\n");
    EXPECT_EQ(report_os_text(2, 4, 0, 1381).view(),
              "ＯＳ情報：Win32 on Windows NT.\r\n         MajorVersion = 4\r\n"
              "         MinorVersion = 0\r\n         BuildNumber = 1381\r\n");
    // The Windows 95 build field carries the version in its high word; printed whole.
    EXPECT_EQ(first_line(report_os_text(1, 4, 0, 0x040003B6).view()),
              "ＯＳ情報：Win32 on Windows 95.\r\n");
    EXPECT_NE(report_os_text(1, 4, 0, 0x040003B6).view().find("BuildNumber = 67109814\r\n"),
              std::string::npos);
    EXPECT_EQ(first_line(report_os_text(0, 3, 10, 0).view()), "ＯＳ情報：Win32s on Windows 3.1.\r\n");
    EXPECT_EQ(first_line(report_os_text(7, 0, 0, 0).view()), "ＯＳ情報：Win32 on Windows ???.\r\n");
    EXPECT_EQ(report_folders_text("C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS").view(),
              "         SYSTEM-DIRECTORY\r\n                C:\\WINDOWS\\SYSTEM\r\n"
              "         WINDOWS-DIRECTORY\r\n                C:\\WINDOWS\r\n");
    EXPECT_EQ(std::string(REPORT_SECTION_GAP), "\r\n\r\n");
}

TEST(ReportText, DisplayColourCountsUpToAndBeyond32Bits)
{
    std::string head = "画面情報：\r\n         ドライバーバージョン 1024\r\n"
                       "         表示解像度 1024×768\r\n         表示パレット数 256\r\n";
    EXPECT_EQ(report_display_text({1024, 1024, 768, 256, 8, 1}).view(),
              head + "         表示色数 256\r\n");
    // 表示解像度 1024×768: × is 81 7E.
    EXPECT_NE(head.find(bytes({0x95, 0x5C, 0x8E, 0xA6, 0x89, 0xF0, 0x91, 0x9C, 0x93, 0x78, 0x20,
                               '1', '0', '2', '4', 0x81, 0x7E, '7', '6', '8'})),
              std::string::npos);
    auto colours = [](int bits, int planes) {
        std::string text(report_display_text({0, 0, 0, 0, bits, planes}).view());
        size_t at = text.find("表示色数 ");
        return text.substr(at + strlen("表示色数 "));
    };
    EXPECT_EQ(colours(16, 1), "65536\r\n");
    EXPECT_EQ(colours(24, 1), "16777216\r\n");
    EXPECT_EQ(colours(4, 1), "16\r\n");
    EXPECT_EQ(colours(1, 4), "16\r\n");
    EXPECT_EQ(colours(32, 1), "4294967296\r\n");
    EXPECT_EQ(colours(64, 1), "18446744073709551616\r\n");
    EXPECT_EQ(colours(0, 1), "1\r\n");
}

TEST(ReportText, DriveSectionsByType)
{
    ReportDiskSpace small = {4, 512, 1000, 4000};  // 2 KiB clusters
    EXPECT_EQ(report_drive_text("A:\\", DRIVE_TYPE_REMOVABLE, &small).view(),
              "ディスク情報：A:\\\r\n             リムーバブルディスク\r\n");
    EXPECT_EQ(report_drive_text("E:\\", DRIVE_TYPE_FIXED, &small).view(),
              "ディスク情報：E:\\\r\n             固定ディスク\r\n"
              "             全容量=8192000byte,空容量=2048000byte\r\n");
    EXPECT_EQ(report_drive_text("F:\\", DRIVE_TYPE_CDROM, &small).view(),
              "ディスク情報：F:\\\r\n             ＣＤ－ＲＯＭ\r\n");
    // ＣＤ－ＲＯＭ: the full-width hyphen is 81 7C.
    EXPECT_NE(report_drive_text("F:\\", DRIVE_TYPE_CDROM, nullptr).view()
                  .find(bytes({0x82, 0x62, 0x82, 0x63, 0x81, 0x7C, 0x82, 0x71})),
              std::string::npos);
    EXPECT_EQ(report_drive_text("R:\\", DRIVE_TYPE_RAMDISK, &small).view(),
              "ディスク情報：R:\\\r\n             ＲＡＭディスク\r\n"
              "             全容量=8192000byte,空容量=2048000byte\r\n");
    EXPECT_EQ(report_drive_text("G:\\", DRIVE_TYPE_REMOTE, &small).view(),
              "ディスク情報：G:\\\r\n             リモート(ネットワーク)ディスク\r\n");
    EXPECT_EQ(report_drive_text("H:\\", DRIVE_TYPE_UNKNOWN, nullptr).view(),
              "ディスク情報：H:\\\r\n             ドライブの種類が判断できません\r\n");
    EXPECT_EQ(report_drive_text("I:\\", DRIVE_TYPE_NO_ROOT, nullptr).view(),
              "ディスク情報：I:\\\r\n             ルート ディレクトリが存在しません\r\n");
    EXPECT_EQ(report_drive_text("J:\\", 9, &small).view(), "ディスク情報：J:\\\r\n");
    // A fixed disk whose space query failed has no size line.
    EXPECT_EQ(report_drive_text("E:\\", DRIVE_TYPE_FIXED, nullptr).view(),
              "ディスク情報：E:\\\r\n             固定ディスク\r\n");
}

TEST(ReportText, DiskSizesOf2GiBAndMoreAreNotCutTo32Bits)
{
    // 500 GB in 4 KiB clusters, 3 GiB free.
    ReportDiskSpace big = {8, 512, 786432, 122070312};
    std::string text(report_drive_text("C:\\", DRIVE_TYPE_FIXED, &big).view());
    EXPECT_NE(text.find("全容量=499999997952byte,空容量=3221225472byte\r\n"), std::string::npos)
        << text;
    ReportDiskSpace exactly_2g = {1, 512, 4194304, 4194304};
    EXPECT_NE(report_drive_text("C:\\", DRIVE_TYPE_FIXED, &exactly_2g).view()
                  .find("全容量=2147483648byte,空容量=2147483648byte"),
              std::string::npos);
}

TEST(ReportText, WindowEntry)
{
    ReportWindow w = {3, "Kavrel-DUX 2.07", 0x2C, -4, -4, 1028, 740, true, false, true,
                      "Kavrel-DUX 2.07"};
    EXPECT_EQ(report_window_text(w).view(),
              "Windows  3：Kavrel-DUX 2.07 (ProcID=44)\r\n"
              "            表示位置(X,Y) (-4,-4)-(1028,740)\r\n"
              "            入力可能 Window\r\n"
              "            非表示 Window\r\n"
              "            アイコン状態\r\n"
              "            クラス名 Kavrel-DUX 2.07\r\n\r\n");
    ReportWindow other = {12, "", 8, 0, 0, 10, 10, false, true, false, "#32770"};
    EXPECT_EQ(report_window_text(other).view(),
              "Windows 12：" + std::string(" (ProcID=8)\r\n") +
                  "            表示位置(X,Y) (0,0)-(10,10)\r\n"
                  "            入力不可能 Window\r\n"
                  "            表示 Window\r\n"
                  "            ウィンドウ状態\r\n"
                  "            クラス名 #32770\r\n\r\n");
}

TEST(ReportDrives, RootsInOrderUpToTheEmptyString)
{
    const char buffer[] = "A:\\\0E:\\\0F:\\\0\0Z:\\\0";
    EXPECT_EQ(drive_roots(buffer, sizeof buffer),
              (std::vector<std::string>{"A:\\", "E:\\", "F:\\"}));
    EXPECT_TRUE(drive_roots("\0\0", 2).empty());
    // A buffer filled to its end without the closing empty string.
    const char full[6] = {'C', ':', '\\', 0, 'D', ':'};
    EXPECT_EQ(drive_roots(full, sizeof full), (std::vector<std::string>{"C:\\", "D:"}));
    // A root longer than the room for it is cut, not written past it.
    char root[3] = {'x', 'x', 'x'};
    size_t at = 0;
    EXPECT_TRUE(next_drive_root(full, sizeof full, &at, root, 2));
    EXPECT_STREQ(root, "C");
}

TEST(ReportWindowList, RunsUpToTheNextWindowOfTheFirstWindowsProcess)
{
    WindowListState state;
    EXPECT_TRUE(window_list_visit(state, false, 40));
    EXPECT_EQ(state.window_counter, 1);
    EXPECT_TRUE(window_list_visit(state, false, 52));
    EXPECT_TRUE(window_list_visit(state, false, 52));
    EXPECT_FALSE(window_list_visit(state, false, 40));
    EXPECT_EQ(state.window_counter, 4);  // the window that ends the list counts too

    WindowListState same;
    EXPECT_TRUE(window_list_visit(same, false, 40));
    EXPECT_FALSE(window_list_visit(same, false, 40));
    EXPECT_EQ(same.window_counter, 2);

    WindowListState null_handle;
    EXPECT_FALSE(window_list_visit(null_handle, true, 0));
    EXPECT_EQ(null_handle.window_counter, 1);
}
