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

TEST(MailCommand, ArchiveNameIsTheOutputNameUpToItsFirstDot)
{
    Formed f = form("D:\\APP", "D:\\HC\\COPY.BMP");
    EXPECT_TRUE(f.ok);
    EXPECT_EQ(f.module, "D:\\APP\\SendKDUX.EXE");
    EXPECT_EQ(f.command, "D:\\APP\\SendKDUX.EXE D:\\HC\\COPY.LZH");
    EXPECT_EQ(form("D:\\APP", "D:\\HC.V2\\COPY.BMP").command, "D:\\APP\\SendKDUX.EXE D:\\HC.LZH");
    EXPECT_EQ(form("D:\\APP", "D:\\HC\\COPY").command, "D:\\APP\\SendKDUX.EXE D:\\HC\\COPY.LZH");
    EXPECT_EQ(form("D:\\APP", "").command, "D:\\APP\\SendKDUX.EXE .LZH");
    EXPECT_EQ(form("C:\\", "C:\\A.BMP").command, "C:\\SendKDUX.EXE C:\\A.LZH");
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
