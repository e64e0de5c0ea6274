// The mail sender's command line; see mail.h.
#include "files/mail.h"

#include <cstring>

#include "base/path.h"
#include "files/sysinfo.h"

static bool put(char* out, size_t size, const Text& text)
{
    if (text.failed() || text.size() >= size)
        return false;
    memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

// Where the file name's own extension starts: the last "." after the last path separator, or
// the end. A '\' byte that is the second byte of a character (表, ソ) separates nothing, and a
// "." is never such a second byte.
static size_t extension_at(const char* name)
{
    size_t length = strlen(name);
    size_t file_name_at = (size_t)(last_backslash(name, length) + 1);
    for (size_t i = length; i > file_name_at; i--)
        if (name[i - 1] == '.')
            return i - 1;
    return length;
}

// One argument for the mail sender's command line: quoted when a blank would split it.
static void add_argument(Text& line, const char* text, size_t length)
{
    bool blank = memchr(text, ' ', length) || memchr(text, '\t', length);
    line.add(blank ? "\"" : "").add(text, length).add(blank ? "\"" : "");
}

bool form_mail_command(char* module, size_t module_size, char* command, size_t command_size,
                       const char* program_dir, const char* output_file_name)
{
    char base[OUTPUT_NAME_BUF + 4] = {0};
    strncpy(base, output_file_name, OUTPUT_NAME_BUF - 1);
    memcpy(base + extension_at(base), ".LZH", 5);
    if (module_size == 0 || command_size == 0)
        return false;
    // Called on the way out of a window procedure: no memory means no mail.
    Text path = join_path(program_dir, strlen(program_dir), "SendKDUX.EXE");
    Text line;
    if (!path.failed())
        add_argument(line, path.c_str(), path.size());
    line.add(" ");
    add_argument(line, base, strlen(base));
    bool fits = !path.failed() && put(module, module_size, path) && put(command, command_size, line);
    if (!fits) {
        memset(module, 0, module_size);
        memset(command, 0, command_size);
        return false;
    }
    return true;
}
