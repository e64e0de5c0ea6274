// How other programs ask for copies, decided without the platform: the DDE names and execute
// commands, the codes of the request message, and the answer each request gets.
#pragma once

#include <cstddef>

extern const char DDE_SERVICE[];                // "KAVREL"
extern const char DDE_TOPIC[];                  // "PRINT"
extern const char DDE_FULL_SCREEN_COMMAND[];    // "[PRINTALLSCREEN]"
extern const char DDE_ACTIVE_WINDOW_COMMAND[];  // "[PRINTACTIVESCREEN]"

// Request codes of UM_REMOTE_REQUEST; the whole range is the program's.
constexpr long REQ_FULL_SCREEN = 900;
constexpr long REQ_ACTIVE_WINDOW = 901;
constexpr long REQ_FIRST = 900;
constexpr long REQ_LAST = 999;

// Reply codes of UM_REMOTE_REQUEST, and the return codes of an execute's acknowledgement.
constexpr int REPLY_ACCEPTED = 0;
constexpr int REPLY_BUSY = 1;

// Flag bits of a DDE acknowledgement's status word (DDE_FACK, DDE_FBUSY).
constexpr unsigned DDE_STATUS_ACK = 0x8000;
constexpr unsigned DDE_STATUS_BUSY = 0x4000;
constexpr unsigned DDE_STATUS_CODE = 0x00FF;

// What to do with one execute: which copies to ask for and how to acknowledge it.
struct DdeExecute {
    bool full_screen;    // post hot key 666
    bool active_window;  // post hot key 667
    int return_code;     // REPLY_ACCEPTED when either was found, else REPLY_BUSY
    unsigned status;     // the acknowledgement's status word
};

// `text` is the command block of `size` bytes; it is read up to its first zero byte or its end,
// whichever comes first, and not at all while `busy` is set.
DdeExecute dde_execute(int busy, const char* text, size_t size);

// The answer to one UM_REMOTE_REQUEST.
struct RemoteAnswer {
    bool answered;  // false: the code is not the program's, nothing is posted back
    int reply;      // REPLY_ACCEPTED or REPLY_BUSY
    int hotkey;     // copy to ask for: HOTKEY_FULL_SCREEN, HOTKEY_ACTIVE_WINDOW, or 0 none
};

RemoteAnswer remote_request(int busy, long code);
