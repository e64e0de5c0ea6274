// Reading the settings dialogs' fields back, and where their scroll bars go.
#include <gtest/gtest.h>

#include "settings/dialog_fields.h"

TEST(LeadingNumber, OnlyTheFirstCharactersCount)
{
    EXPECT_EQ(leading_number("123456", 5), 12345);  // a margin typed with six digits
    EXPECT_EQ(leading_number("1234", 3), 123);      // an hour typed with four
    EXPECT_EQ(leading_number("-20", 5), -20);
    EXPECT_EQ(leading_number("-123456789", 9), -12345678);  // the sign takes a place
    EXPECT_EQ(leading_number("999999999", 9), 999999999);
}

TEST(LeadingNumber, TextThatIsNoNumberReadsAsZero)
{
    EXPECT_EQ(leading_number("", 5), 0);
    EXPECT_EQ(leading_number("abc", 5), 0);
    EXPECT_EQ(leading_number("-", 5), 0);
    EXPECT_EQ(leading_number("     7", 5), 0) << "the digit lies past the characters read";
    EXPECT_EQ(leading_number("  7x9", 5), 7) << "blanks before, letters after";
    EXPECT_EQ(leading_number("+42", 3), 42);
}

TEST(LeadingNumber, LongFieldsDoNotOverflow)
{
    EXPECT_EQ(leading_number("99999999999999999999", 40), INT32_MAX);
    EXPECT_EQ(leading_number("-99999999999999999999", 40), -INT32_MAX - 1);
}

TEST(TitleText, IsCutBeforeADoubleByteCharacterThatWouldNotFit)
{
    // 39 single bytes and one two-byte character: only the 39 fit in 40.
    std::string text(39, 'a');
    text += "\x83\x4E";  // a katakana letter in code page 932
    EXPECT_EQ(cp932_prefix_length(text.c_str(), 40), 39u);
    EXPECT_EQ(cp932_prefix_length(text.c_str(), 41), 41u);
    EXPECT_EQ(cp932_prefix_length(std::string(60, 'x').c_str(), 40), 40u);
    EXPECT_EQ(cp932_prefix_length("\xB1\xB2", 1), 1u) << "half-width katakana is one byte";
    EXPECT_EQ(cp932_prefix_length("ab\x83", 40), 3u) << "a lone lead byte at the end is kept";
}

TEST(ScrollBars, StepsStopAtTheEnds)
{
    EXPECT_EQ(scroll_to(SCROLL_LINE_RIGHT, 510, 0, CORRECTION_BAR_MAX), 510) << "+255 stays";
    EXPECT_EQ(scroll_to(SCROLL_PAGE_LEFT, 5, 0, CORRECTION_BAR_MAX), 0) << "-250 pages to -255";
    EXPECT_EQ(scroll_to(SCROLL_LINE_LEFT, 0, 0, CORRECTION_BAR_MAX), 0);
    EXPECT_EQ(scroll_to(SCROLL_PAGE_RIGHT, 95, 0, THRESHOLD_BAR_MAX), 100);
    EXPECT_EQ(scroll_to(SCROLL_LINE_RIGHT, 255, 0, CORRECTION_BAR_MAX), 256);
    EXPECT_EQ(scroll_to(SCROLL_PAGE_LEFT, 255, 0, CORRECTION_BAR_MAX), 245);
}

TEST(ScrollBars, TheThumbGoesWhereItIsDraggedAndOtherCodesMoveNothing)
{
    EXPECT_EQ(scroll_to(SCROLL_THUMB_TRACK, 300, 0, CORRECTION_BAR_MAX), 0);
    EXPECT_EQ(scroll_to(SCROLL_THUMB_POSITION, 300, 255, CORRECTION_BAR_MAX), 255);
    EXPECT_EQ(scroll_to(6, 300, 0, CORRECTION_BAR_MAX), -1);  // to the far left end
    EXPECT_EQ(scroll_to(8, 300, 0, CORRECTION_BAR_MAX), -1);  // the end of a scroll
}

TEST(FixedArea, NeedsAPositiveWidthAndHeight)
{
    EXPECT_FALSE(fixed_area_valid(100, 5, 100, 6));
    EXPECT_TRUE(fixed_area_valid(100, 5, 101, 6));
    EXPECT_FALSE(fixed_area_valid(100, 6, 101, 6));
    EXPECT_FALSE(fixed_area_valid(200, 50, 100, 10));
}
