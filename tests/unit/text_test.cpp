// The program's own formatter, which replaces the C library's in the shipped programs: every
// case against this machine's snprintf, byte for byte, with the same return value; and the
// growable text's pieces.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/text.h"

namespace {

// Both formatters on the same arguments, into buffers of every size up to a few past the
// text: what fits, the closing zero and the length returned must all agree.
#define EXPECT_SAME(...) expect_same(__LINE__, __VA_ARGS__)

template <typename... Args>
void expect_same(int line, const char* format, Args... args)
{
    SCOPED_TRACE(testing::Message() << "line " << line << ": \"" << format << "\"");
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
    int want = snprintf(nullptr, 0, format, args...);
    ASSERT_GE(want, 0);
    for (size_t size = 0; size <= (size_t)want + 2; size++) {
        std::string expected(size + 1, '#'), got(size + 1, '#');
        int e = snprintf(&expected[0], size, format, args...);
        int g = format_text(&got[0], size, format, args...);
        EXPECT_EQ(g, e) << "size " << size;
        EXPECT_EQ(got, expected) << "size " << size;
    }
#pragma GCC diagnostic pop
}

}  // namespace

TEST(FormatText, IntegersAsTheCLibraryWritesThem)
{
    EXPECT_SAME("%d|%i|%u", 0, -17, 17u);
    EXPECT_SAME("%d %d", INT_MIN, INT_MAX);
    EXPECT_SAME("%ld %lu", LONG_MIN, ULONG_MAX);
    EXPECT_SAME("%lld %llu", LLONG_MIN, ULLONG_MAX);
    EXPECT_SAME("%hhd %hhu %hd %hu", 300, 300, 70000, 70000);
    EXPECT_SAME("%zu %td %jd %ju", (size_t)123456, (ptrdiff_t)-5, (intmax_t)INT64_MIN,
                (uintmax_t)UINT64_MAX);
    EXPECT_SAME("%x %X %o %#x %#X %#o %#o %#x", 0xbeefu, 0xbeefu, 8u, 255u, 255u, 8u, 0u, 0u);
    EXPECT_SAME("[%5d] [%-5d] [%05d] [%+d] [% d] [%+d] [% d]", 42, 42, -42, 42, 42, -42, -42);
    EXPECT_SAME("[%.3d] [%.0d] [%.0d] [%8.3d] [%-8.3d] [%08.3d] [%#.0o] [%#8x]", 7, 0, 5, -7, 7,
                7, 0u, 0x1fu);
    EXPECT_SAME("[%*d] [%-*d] [%*d] [%.*d] [%.*d]", 6, 1, 6, 2, -6, 3, 4, 5, -1, 6);
    EXPECT_SAME("%04d/%02d/%02d %02d:%02d:%02d ", 1998, 3, 7, 1, 2, 3);
    EXPECT_SAME(" ADJUST %3d%%         ", 7);
}

TEST(FormatText, CharactersAndStrings)
{
    EXPECT_SAME("%s|%5s|%-5s|%.2s|%5.1s|%.0s|%c|%3c|%-3c|", "abc", "ab", "ab", "abc", "xyz", "q",
                'A', 'B', 'C');
    // Code page 932 bytes pass as they are, 0x5C trail bytes included.
    EXPECT_SAME("%s=%s", "\x95\x5c\x83\x5c", "\x82\xa0");
    EXPECT_SAME("%s", "");
    EXPECT_SAME("100%% %s", "done");
    const char no_zero[3] = {'a', 'b', 'c'};
    EXPECT_SAME("%.3s", no_zero);
}

TEST(FormatText, OtherConversionsAreAnErrorNotAGuess)
{
    char out[16] = "untouched";
    EXPECT_EQ(format_text(out, sizeof out, "%f", 1.5), -1);
    EXPECT_EQ(format_text(out, sizeof out, "%ls", L"wide"), -1);
    EXPECT_EQ(format_text(out, sizeof out, "%p", (void*)out), -1);
    const char* cut_short = "ends in %";
    EXPECT_EQ(format_text(out, sizeof out, cut_short, 0), -1);
}

TEST(Text, PiecesFormatsAndItself)
{
    Text text("C:\\");
    text.add("APP").add_format("\\%s.%03d", "COPY", 7).add("BMPX", 3);
    EXPECT_EQ(text.view(), "C:\\APP\\COPY.007BMP");
    // Its own bytes, added while it grows, are read before the old room is freed.
    std::string want = "C:\\APP\\COPY.007BMP";
    for (int i = 0; i < 4; i++) {
        text.add(text);
        want += want;
    }
    EXPECT_EQ(text.view(), want);
    EXPECT_FALSE(text.failed());
    Text moved = std::move(text);
    EXPECT_EQ(moved.view(), want);
    EXPECT_EQ(text.view(), "");
    EXPECT_STREQ(Text().c_str(), "");
}

TEST(Text, AFormatItCannotWriteFailsIt)
{
    Text text("kept? ");
    text.add_format("%f", 1.0);
    EXPECT_TRUE(text.failed());
    EXPECT_EQ(text.view(), "");
    text.add("more");
    EXPECT_TRUE(text.failed());
    Text other("x");
    other.add(text);
    EXPECT_TRUE(other.failed());
}
