// The texts formed on the way out of the output step (inside the main window's procedure) meet
// an allocation that fails without letting an exception out: the caller is told that nothing
// was formed. This program's allocations fail on demand here.
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "files/mail.h"
#include "files/sysinfo.h"

namespace {
bool refuse_allocations = false;
}

void* operator new(std::size_t size)
{
    if (refuse_allocations)
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

// Long enough that no text made of it fits into a string's own small buffer.
const char PROGRAM_DIR[] = "C:\\Program Files\\Some Vendor\\Kavrel-DUX\\version 2.07";

struct RefusedAllocations {
    RefusedAllocations() { refuse_allocations = true; }
    ~RefusedAllocations() { refuse_allocations = false; }
};

}  // namespace

TEST(OutOfMemory, MailCommandIsNotFormedAndNothingIsThrown)
{
    char module[120], command[200];
    memset(module, 'x', sizeof module);
    memset(command, 'x', sizeof command);
    bool formed = true;
    try {
        RefusedAllocations refused;
        formed = form_mail_command(module, sizeof module, command, sizeof command, PROGRAM_DIR,
                                   "C:\\OUT.BMP");
    } catch (...) {
        ADD_FAILURE() << "an exception left form_mail_command";
    }
    EXPECT_FALSE(formed);
    EXPECT_EQ(module[0], 0);
    EXPECT_EQ(command[0], 0);
    // With memory it is formed, so the refusal above was the allocations'.
    EXPECT_TRUE(form_mail_command(module, sizeof module, command, sizeof command, PROGRAM_DIR,
                                  "C:\\OUT.BMP"));
}

TEST(OutOfMemory, ReportPathIsNotFormedAndNothingIsThrown)
{
    char path[120];
    memset(path, 'x', sizeof path);
    bool formed = true;
    try {
        RefusedAllocations refused;
        formed = form_report_path(path, sizeof path, "OUT.BMP", PROGRAM_DIR);
    } catch (...) {
        ADD_FAILURE() << "an exception left form_report_path";
    }
    EXPECT_FALSE(formed);
    EXPECT_EQ(path[0], 0);
    EXPECT_TRUE(form_report_path(path, sizeof path, "OUT.BMP", PROGRAM_DIR));
    EXPECT_EQ(std::string(path), std::string(PROGRAM_DIR) + "\\SYSINFO.TXT");
}

TEST(OutOfMemory, AReportTextComesBackFailedNotCut)
{
    ReportWindow w = {3, PROGRAM_DIR, 44, 0, 0, 10, 10, true, true, false, "#32770"};
    RefusedAllocations refused;
    Text text = report_window_text(w);
    EXPECT_TRUE(text.failed());
    EXPECT_EQ(text.view(), "");
}
