// Linked into the shipped programs alone. An exception nobody catches ends the program at once:
// a windowed program has no console for the library's own report, and that report would bring
// its name demangler (about 50 KB) into every .exe.
#include <stdlib.h>

namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    abort();
}
}  // namespace __gnu_cxx
