// Matching of DDE execute texts and remote request codes; see dde_commands.h.
#include "app/dde_commands.h"

#include <algorithm>
#include <cstring>

#include "base/ids.h"

const char DDE_SERVICE[] = "KAVREL";
const char DDE_TOPIC[] = "PRINT";
const char DDE_FULL_SCREEN_COMMAND[] = "[PRINTALLSCREEN]";
const char DDE_ACTIVE_WINDOW_COMMAND[] = "[PRINTACTIVESCREEN]";

namespace {

// The block belongs to another program: a missing terminator must not send the search past
// its end.
size_t text_length(const char* text, size_t size)
{
    if (!text)
        return 0;
    const void* zero = memchr(text, 0, size);
    return zero ? (size_t)(static_cast<const char*>(zero) - text) : size;
}

bool contains(const char* text, size_t length, const char* command)
{
    const char* end = text + length;
    return std::search(text, end, command, command + strlen(command)) != end;
}

}  // namespace

DdeExecute dde_execute(int busy, const char* text, size_t size)
{
    DdeExecute result{};
    result.return_code = REPLY_BUSY;
    if (busy == 1) {
        result.status = REPLY_BUSY | DDE_STATUS_BUSY;
        return result;
    }
    size_t length = text_length(text, size);
    result.full_screen = length && contains(text, length, DDE_FULL_SCREEN_COMMAND);
    result.active_window = length && contains(text, length, DDE_ACTIVE_WINDOW_COMMAND);
    if (result.full_screen || result.active_window) {
        result.return_code = REPLY_ACCEPTED;
        result.status = REPLY_ACCEPTED | DDE_STATUS_ACK;
    } else {
        result.status = REPLY_BUSY;
    }
    return result;
}

RemoteAnswer remote_request(int busy, long code)
{
    RemoteAnswer answer{};
    if (code < REQ_FIRST || code > REQ_LAST)
        return answer;
    answer.answered = true;
    if (busy == 1) {
        answer.reply = REPLY_BUSY;
        return answer;
    }
    answer.reply = REPLY_ACCEPTED;
    if (code == REQ_FULL_SCREEN)
        answer.hotkey = HOTKEY_FULL_SCREEN;
    else if (code == REQ_ACTIVE_WINDOW)
        answer.hotkey = HOTKEY_ACTIVE_WINDOW;
    return answer;
}
