// The Wine session reports the system it was asked for (scripts/wine-session.sh --version), so
// that a run meant for the Windows 95 family, NT 3.51 or NT 4.0 cannot pass as a modern NT.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "tests/system/harness_win.h"

TEST(Session, ReportsTheWindowsVersionItWasStartedFor)
{
    const char* asked = getenv("KAVREL_WINDOWS_VERSION");
    if (!asked)
        GTEST_SKIP() << "not started by scripts/wine-session.sh";
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(GetVersionExA(&v));
    const std::string name = asked;
    if (name == "win98") {
        EXPECT_EQ(v.dwPlatformId, (DWORD)VER_PLATFORM_WIN32_WINDOWS);
        EXPECT_EQ(v.dwMajorVersion, 4u);
        EXPECT_EQ(v.dwMinorVersion, 10u);
        EXPECT_TRUE(windows_95_family());
    } else if (name == "nt40") {
        EXPECT_EQ(v.dwPlatformId, (DWORD)VER_PLATFORM_WIN32_NT);
        EXPECT_EQ(v.dwMajorVersion, 4u);
        EXPECT_EQ(v.dwMinorVersion, 0u);
        EXPECT_FALSE(windows_95_family());
    } else if (name == "nt351") {
        EXPECT_EQ(v.dwPlatformId, (DWORD)VER_PLATFORM_WIN32_NT);
        EXPECT_EQ(v.dwMajorVersion, 3u);
        EXPECT_EQ(v.dwMinorVersion, 51u);
        EXPECT_FALSE(windows_95_family());
    } else if (name == "default") {
        EXPECT_EQ(v.dwPlatformId, (DWORD)VER_PLATFORM_WIN32_NT);
        EXPECT_GE(v.dwMajorVersion, 5u);
    }
    printf("[   NOTE   ] session %s: platform %lu, version %lu.%lu build %lu\n", asked,
           v.dwPlatformId, v.dwMajorVersion, v.dwMinorVersion, v.dwBuildNumber & 0xFFFF);
}
