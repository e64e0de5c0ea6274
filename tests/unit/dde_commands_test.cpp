// DDE execute matching and the answers to remote request codes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/dde_commands.h"
#include "base/ids.h"

namespace {

DdeExecute execute_text(const std::string& text, int busy = 0)
{
    return dde_execute(busy, text.c_str(), text.size() + 1);
}

}  // namespace

TEST(DdeExecute, EitherCommandAnywhereInTheTextIsTakenWithAPositiveAck)
{
    DdeExecute full = execute_text("[PRINTALLSCREEN]");
    EXPECT_TRUE(full.full_screen);
    EXPECT_FALSE(full.active_window);
    EXPECT_EQ(full.return_code, REPLY_ACCEPTED);
    EXPECT_EQ(full.status, DDE_STATUS_ACK);

    DdeExecute active = execute_text("[Open(\"x\")] [PRINTACTIVESCREEN][Close]");
    EXPECT_FALSE(active.full_screen);
    EXPECT_TRUE(active.active_window);
    EXPECT_EQ(active.return_code, REPLY_ACCEPTED);

    // Both in one text ask for both copies; the second meets a busy program later.
    DdeExecute both = execute_text("[PRINTACTIVESCREEN][PRINTALLSCREEN]");
    EXPECT_TRUE(both.full_screen);
    EXPECT_TRUE(both.active_window);
    EXPECT_EQ(both.return_code, REPLY_ACCEPTED);
}

TEST(DdeExecute, OtherTextIsRefusedWithCodeOneAndNoAckFlag)
{
    const char* refused[] = {"[printallscreen]", "[PrintAllScreen]", "PRINTALLSCREEN",
                             "[PRINTALLSCREEN", "[PRINT ALLSCREEN]", "[PRINTACTIVE]", ""};
    for (const char* text : refused) {
        SCOPED_TRACE(text);
        DdeExecute exec = execute_text(text);
        EXPECT_FALSE(exec.full_screen);
        EXPECT_FALSE(exec.active_window);
        EXPECT_EQ(exec.return_code, REPLY_BUSY);
        EXPECT_EQ(exec.status & DDE_STATUS_CODE, 1u);
        EXPECT_EQ(exec.status & (DDE_STATUS_ACK | DDE_STATUS_BUSY), 0u);
    }
}

TEST(DdeExecute, BusyRefusesWithoutReadingTheText)
{
    DdeExecute exec = execute_text("[PRINTALLSCREEN]", 1);
    EXPECT_FALSE(exec.full_screen);
    EXPECT_EQ(exec.return_code, REPLY_BUSY);
    EXPECT_EQ(exec.status, 1u | DDE_STATUS_BUSY);
    // Not read at all: a block that could not be locked is no different.
    EXPECT_EQ(dde_execute(1, nullptr, 100).status, 1u | DDE_STATUS_BUSY);
}

// The block is another program's: it is read within its size, whether or not it ends in a zero.
TEST(DdeExecute, TextIsReadWithinTheBlockAndUpToItsFirstZero)
{
    const char exact[] = {'[', 'P', 'R', 'I', 'N', 'T', 'A', 'L', 'L',
                          'S', 'C', 'R', 'E', 'E', 'N', ']'};
    EXPECT_TRUE(dde_execute(0, exact, sizeof exact).full_screen) << "unterminated, exact size";

    // The command goes on past the block's end: beyond it lies memory that is not the text.
    const char longer[] = "[PRINTALLSCREEN]";
    EXPECT_FALSE(dde_execute(0, longer, strlen(longer) - 1).full_screen);
    EXPECT_EQ(dde_execute(0, longer, 0).return_code, REPLY_BUSY);

    // What follows the terminator is not part of the text.
    const char after_zero[] = "x\0[PRINTALLSCREEN]";
    EXPECT_FALSE(dde_execute(0, after_zero, sizeof after_zero).full_screen);

    EXPECT_EQ(dde_execute(0, nullptr, 16).return_code, REPLY_BUSY) << "block that did not lock";
}

TEST(RemoteRequest, CodesOfTheRangeAreAnsweredAndTwoOfThemAskForCopies)
{
    RemoteAnswer full = remote_request(0, REQ_FULL_SCREEN);
    EXPECT_TRUE(full.answered);
    EXPECT_EQ(full.reply, REPLY_ACCEPTED);
    EXPECT_EQ(full.hotkey, HOTKEY_FULL_SCREEN);

    EXPECT_EQ(remote_request(0, REQ_ACTIVE_WINDOW).hotkey, HOTKEY_ACTIVE_WINDOW);

    for (long code : {902L, 950L, 999L}) {
        RemoteAnswer other = remote_request(0, code);
        EXPECT_TRUE(other.answered) << code;
        EXPECT_EQ(other.reply, REPLY_ACCEPTED) << code;
        EXPECT_EQ(other.hotkey, 0) << code;
    }
}

TEST(RemoteRequest, BusyAnswersOneAndAsksForNothing)
{
    for (long code : {900L, 901L, 950L}) {
        RemoteAnswer answer = remote_request(1, code);
        EXPECT_TRUE(answer.answered) << code;
        EXPECT_EQ(answer.reply, REPLY_BUSY) << code;
        EXPECT_EQ(answer.hotkey, 0) << code;
    }
}

TEST(RemoteRequest, CodesOutsideTheRangeGetNoAnswer)
{
    for (long code : {5L, 0L, -900L, 899L, 1000L, 1624L}) {
        EXPECT_FALSE(remote_request(0, code).answered) << code;
        EXPECT_FALSE(remote_request(1, code).answered) << code;
        EXPECT_EQ(remote_request(0, code).hotkey, 0) << code;
    }
}
