// Linked into the shipped programs alone, which link no prebuilt C++ runtime, C start-up or
// formatter (those are built for the Pentium Pro and later, these programs for the i486):
// static constructors and destructors, atexit, the allocation operators the programs use, and
// the C library's formatted output, done by the program's own formatter.
#include "base/runtime_win.h"

#include <stdio.h>
#include <stdlib.h>

#include <new>

#include "base/text.h"

extern "C" {

// From the linker script: -1, the functions, 0.
typedef void (*StaticFunction)();
extern StaticFunction __CTOR_LIST__[];
extern StaticFunction __DTOR_LIST__[];

// crtdll.dll runs the functions given to its _onexit at exit(); its import library reaches
// _onexit through the import pointer alone. The compiler calls atexit for static destructors.
typedef int(__cdecl* OnExitFunction)();
extern OnExitFunction(__cdecl* crtdll_onexit)(OnExitFunction) __asm__("__imp___onexit");

int atexit(void(__cdecl* function)())
{
    // The value of an exit function is not looked at.
    return crtdll_onexit((OnExitFunction)function) ? 0 : -1;
}

static void run_destructors()
{
    for (StaticFunction* f = __DTOR_LIST__ + 1; *f; f++)
        (*f)();
}

// The compiler calls this at the top of main(); WinMain's start-up calls it itself.
void __main()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    size_t count = 0;
    while (__CTOR_LIST__[count + 1])
        count++;
    for (size_t i = count; i >= 1; i--)
        __CTOR_LIST__[i]();
    if (__DTOR_LIST__[1])
        atexit(run_destructors);
}

// The targets of stdio.h's snprintf, vsnprintf, printf and fprintf in this compiler's C++
// mode, so those calls need no library formatter.
int __mingw_vsnprintf(char* out, size_t size, const char* format, va_list args)
{
    return format_text_v(out, size, format, args);
}

int __mingw_vfprintf(FILE* stream, const char* format, va_list args)
{
    char line[256];
    int n = format_text_v(line, sizeof line, format, args);
    if (n < 0)
        return -1;
    char* text = line;
    if ((size_t)n >= sizeof line) {
        text = new (std::nothrow) char[(size_t)n + 1];
        if (!text)
            return -1;
        format_text_v(text, (size_t)n + 1, format, args);
    }
    size_t written = fwrite(text, 1, (size_t)n, stream);
    if (text != line)
        delete[] text;
    return written == (size_t)n ? n : -1;
}

}  // extern "C"

namespace std {
const nothrow_t nothrow{};
}

// Every allocation of these programs checks for null; none relies on an exception.
void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    return malloc(size ? size : 1);
}

void operator delete[](void* block) noexcept
{
    free(block);
}

void operator delete[](void* block, size_t) noexcept
{
    free(block);
}

void start_runtime()
{
    // 64-bit precision, as the prebuilt start-up left it: the page layout's arithmetic
    // depends on it.
    __asm__ __volatile__("fninit");
    __main();
}
