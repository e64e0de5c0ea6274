// Code page 932 path helpers; see path.h.
#include "base/path.h"

#include <cstring>

#include "base/cp932.h"

long last_backslash(const char* text, size_t length)
{
    long found = -1;
    for (size_t i = 0; i < length; i++) {
        unsigned char c = (unsigned char)text[i];
        if (cp932_lead_byte(c) && i + 1 < length)
            i++;
        else if (c == '\\')
            found = (long)i;
    }
    return found;
}

Text join_path(const char* folder, size_t folder_length, const char* name)
{
    bool has_separator = folder_length > 0 &&
                         last_backslash(folder, folder_length) == (long)folder_length - 1;
    Text path;
    path.add(folder, folder_length).add(has_separator ? "" : "\\").add(name);
    return path;
}

bool join_path_into(char* out, size_t size, const char* folder, size_t folder_length,
                    const char* name)
{
    if (size == 0)
        return false;
    Text path = join_path(folder, folder_length, name);
    if (path.failed() || path.size() >= size) {
        memset(out, 0, size);
        return false;
    }
    memcpy(out, path.c_str(), path.size() + 1);
    return true;
}
