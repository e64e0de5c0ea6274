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

bool form_mail_command(char* module, size_t module_size, char* command, size_t command_size,
                       const char* program_dir, const char* output_file_name)
{
    char base[OUTPUT_NAME_BUF] = {0};
    strncpy(base, output_file_name, OUTPUT_NAME_BUF - 1);
    // "." is never the second byte of a double-byte character, so a plain search is safe.
    if (char* dot = strchr(base, '.'))
        *dot = 0;
    if (module_size == 0 || command_size == 0)
        return false;
    // Called on the way out of a window procedure: no memory means no mail.
    Text path = join_path(program_dir, strlen(program_dir), "SendKDUX.EXE");
    Text line;
    line.add(path).add(" ").add(base).add(".LZH");
    bool fits = put(module, module_size, path) && put(command, command_size, line);
    if (!fits) {
        memset(module, 0, module_size);
        memset(command, 0, command_size);
        return false;
    }
    return true;
}
