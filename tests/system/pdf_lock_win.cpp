// The PDF folder's lock (see printed_pdfs): let go at the end of every test, so that Wine
// sessions running at once wait for each other only while one of them prints.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/system/harness_win.h"

namespace {

struct ReleasePdfLock : ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override { release_pdf_lock(); }
};

const bool registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new ReleasePdfLock);
    return true;
}();

// Whether another holder could take the lock now (a second handle conflicts like another
// session would).
bool lock_is_free()
{
    std::string path = env_dir_as_windows("KAVREL_PDF_LOCK");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    OVERLAPPED range{};
    bool free = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                           &range);
    if (free)
        UnlockFileEx(file, 0, 1, 0, &range);
    CloseHandle(file);
    return free;
}

}  // namespace

// The two run in this order: the second sees what the end of the first left.
TEST(PdfFolderLock, HeldFromTheFirstLookAtThePdfs)
{
    if (env_dir_as_windows("KAVREL_PDF_LOCK").empty())
        GTEST_SKIP() << "KAVREL_PDF_LOCK is not set (run under scripts/wine-session.sh)";
    ASSERT_TRUE(registered);
    printed_pdfs();
    ASSERT_TRUE(holds_pdf_lock());
    EXPECT_FALSE(lock_is_free()) << "another session could print now";
    printed_pdfs();
    EXPECT_TRUE(holds_pdf_lock());
}

TEST(PdfFolderLock, LetGoAtTheEndOfTheTest)
{
    if (env_dir_as_windows("KAVREL_PDF_LOCK").empty())
        GTEST_SKIP() << "KAVREL_PDF_LOCK is not set (run under scripts/wine-session.sh)";
    EXPECT_FALSE(holds_pdf_lock());
    EXPECT_TRUE(lock_is_free()) << "the last test's lock was kept";
}
