// The mail sender's path and command line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "files/mail.h"

namespace {

struct Formed {
    bool ok;
    std::string module;
    std::string command;
};

Formed form(const char* program_dir, const char* output_file_name)
{
    char module[MAIL_MODULE_BUF + 4];
    char command[MAIL_COMMAND_BUF + 4];
    memset(module, 'x', sizeof module);
    memset(command, 'x', sizeof command);
    bool ok = form_mail_command(module, MAIL_MODULE_BUF, command, MAIL_COMMAND_BUF, program_dir,
                                output_file_name);
    EXPECT_EQ(module[MAIL_MODULE_BUF], 'x');
    EXPECT_EQ(command[MAIL_COMMAND_BUF], 'x');
    return {ok, module, command};
}

}  // namespace

TEST(MailCommand, ArchiveNameIsTheOutputNameWithoutItsExtension)
{
    Formed f = form("D:\\APP", "D:\\HC\\COPY.BMP");
    EXPECT_TRUE(f.ok);
    EXPECT_EQ(f.module, "D:\\APP\\SendKDUX.EXE");
    EXPECT_EQ(f.command, "D:\\APP\\SendKDUX.EXE D:\\HC\\COPY.LZH");
    EXPECT_EQ(form("D:\\APP", "D:\\HC\\COPY").command, "D:\\APP\\SendKDUX.EXE D:\\HC\\COPY.LZH");
    EXPECT_EQ(form("D:\\APP", "").command, "D:\\APP\\SendKDUX.EXE .LZH");
    EXPECT_EQ(form("C:\\", "C:\\A.BMP").command, "C:\\SendKDUX.EXE C:\\A.LZH");
}

// The base ends at the file name's own extension, never inside a dotted folder; a '\' byte
// inside 表 or ソ separates no folder; a name or program folder with a blank is quoted.
TEST(MailCommand, ArchiveNameKeepsDottedAndJapaneseFoldersAndBlanksStayOneArgument)
{
    const char* app = "D:\\APP";
    struct Case {
        const char* name;
        const char* argument;
    } cases[] = {
        {"D:\\HC.V2\\COPY.BMP", "D:\\HC.V2\\COPY.LZH"},
        {"C:\\Users\\first.last\\COPY.BMP", "C:\\Users\\first.last\\COPY.LZH"},
        {"D:\\HC.V2\\COPY", "D:\\HC.V2\\COPY.LZH"},
        {"D:\\HC\\COPY.OLD.BMP", "D:\\HC\\COPY.OLD.LZH"},
        {"D:\\一覧表.V2\\表", "D:\\一覧表.V2\\表.LZH"},
        {"D:\\ソフト.V2\\ソ.BMP", "D:\\ソフト.V2\\ソ.LZH"},
        // Read as a separator, the last byte of 表 or ソ would hide the extension before it.
        {"D:\\HC\\COPY.表", "D:\\HC\\COPY.LZH"},
        {"D:\\HC\\A.ソB", "D:\\HC\\A.LZH"},
        {"D:\\HC\\表.V2", "D:\\HC\\表.LZH"},
        {"C:\\OneDrive - Company Inc.\\COPY.BMP", "\"C:\\OneDrive - Company Inc.\\COPY.LZH\""},
        {"C:\\My Pictures\\画面 表.BMP", "\"C:\\My Pictures\\画面 表.LZH\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(form(app, c.name).command, std::string("D:\\APP\\SendKDUX.EXE ") + c.argument)
            << c.name;
    Formed spaced = form("C:\\Users\\first last\\画面表", "D:\\HC\\COPY.BMP");
    EXPECT_EQ(spaced.module, "C:\\Users\\first last\\画面表\\SendKDUX.EXE");
    EXPECT_EQ(spaced.command, "\"C:\\Users\\first last\\画面表\\SendKDUX.EXE\" D:\\HC\\COPY.LZH");
}

TEST(MailCommand, LongestNamesFitAndTooLongOnesAreRefused)
{
    std::string dir = "C:\\" + std::string(256, 'D');
    std::string name = "C:\\" + std::string(300, 'N');  // only its first 255 bytes count
    Formed f = form(dir.c_str(), name.c_str());
    EXPECT_TRUE(f.ok);
    EXPECT_EQ(f.command, dir + "\\SendKDUX.EXE " + name.substr(0, 255) + ".LZH");
    std::string huge_dir(MAIL_MODULE_BUF, 'H');
    Formed refused = form(huge_dir.c_str(), "C:\\A.BMP");
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.module, "");
    EXPECT_EQ(refused.command, "");
}
