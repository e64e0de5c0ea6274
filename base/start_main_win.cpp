// KVREQ.EXE's entry point (linked into it alone): main with the arguments CRTDLL.DLL splits
// from the command line (no wildcard expansion), then exit through CRTDLL.DLL, which flushes
// the output streams.
#include <stdlib.h>

#include "base/runtime_win.h"

extern "C" {
__declspec(dllimport) void __GetMainArgs(int* argc, char*** argv, char*** env,
                                         int expand_wildcards);
}

// main itself, which C++ does not let a program call by its own name.
extern "C" int program_main(int argc, char** argv) __asm__("_main");

// The stack Windows starts a thread with is aligned to 4 bytes; the compiler assumes 16.
extern "C" __attribute__((force_align_arg_pointer, noreturn)) void mainCRTStartup()
{
    start_runtime();
    int argc = 0;
    char** argv = nullptr;
    char** env = nullptr;
    __GetMainArgs(&argc, &argv, &env, 0);
    exit(program_main(argc, argv));
}
