// Linked into the shipped programs alone, when they are linked against crtdll.dll (the C
// runtime every 32-bit Windows has; msvcrt.dll is missing on the first Windows 95 and on
// NT 3.51). The C++ library asks for three names crtdll.dll spells differently or lacks; the
// code that uses them (std::random_device) is linked but never run by these programs.
#include <errno.h>
#include <io.h>

extern "C" {

int read(int fd, void* buffer, unsigned int count)
{
    return _read(fd, buffer, count);
}

int close(int fd)
{
    return _close(fd);
}

// rand_s came with later runtimes; the library calls it through an import pointer.
static int rand_s_missing(unsigned int*)
{
    return EINVAL;
}
int (*_imp__rand_s)(unsigned int*) = rand_s_missing;

}  // extern "C"
