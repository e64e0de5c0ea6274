// See leak_count_win.h.
#include "tests/module/leak_count_win.h"

#include <windows.h>

#include <stdio.h>

#include <vector>

#include "tests/system/harness_win.h"

namespace {

// Far above Wine's tables (GDI and global memory 65,536 entries, USER 32,768 for the whole
// session); a system that lets this many through has no table to count.
const long MOST = 200000;

template <typename Make, typename Free>
long count_free_slots(Make make, Free free_one)
{
    static std::vector<void*> made;
    made.clear();
    made.reserve(MOST);
    while ((long)made.size() < MOST) {
        void* h = make();
        if (!h)
            break;
        made.push_back(h);
    }
    long n = (long)made.size();
    for (void* h : made)
        free_one(h);
    made.clear();
    return n < MOST ? n : -1;
}

long gdi_free_slots()
{
    return count_free_slots([] { return (void*)CreateBitmap(1, 1, 1, 1, NULL); },
                            [](void* h) { DeleteObject((HGDIOBJ)h); });
}

long user_free_slots()
{
    return count_free_slots([] { return (void*)CreatePopupMenu(); },
                            [](void* h) { DestroyMenu((HMENU)h); });
}

long global_free_slots()
{
    // A moveable block of no bytes is a handle alone.
    return count_free_slots([] { return (void*)GlobalAlloc(GMEM_MOVEABLE, 0); },
                            [](void* h) { GlobalFree((HGLOBAL)h); });
}

// The handles of this process in the system's list of all handles (what Wine keeps in its
// server), or GetProcessHandleCount where that list is not given.
long kernel_handle_count()
{
    long mine = kernel_handles_of(GetCurrentProcessId());
    if (mine > 0)
        return mine;
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0)
        return (long)count;
    return -1;
}

void count_heaps(ResourceCounts& c)
{
    HANDLE heaps[256];
    DWORD n = GetProcessHeaps(256, heaps);
    if (n == 0 || n > 256)
        return;
    c.heap_blocks = 0;
    c.heap_bytes = 0;
    for (DWORD i = 0; i < n; i++) {
        if (!HeapLock(heaps[i]))
            continue;
        PROCESS_HEAP_ENTRY e = {};
        while (HeapWalk(heaps[i], &e)) {
            if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
                c.heap_blocks++;
                c.heap_bytes += e.cbData;
            }
        }
        HeapUnlock(heaps[i]);
    }
}

void count_memory(ResourceCounts& c)
{
    c.committed = 0;
    c.mapped = 0;
    MEMORY_BASIC_INFORMATION m;
    for (char* at = nullptr; VirtualQuery(at, &m, sizeof m) == sizeof m;) {
        if (m.State == MEM_COMMIT) {
            if (m.Type == MEM_PRIVATE)
                c.committed += m.RegionSize;
            else if (m.Type == MEM_MAPPED)
                c.mapped += m.RegionSize;
        }
        char* next = (char*)m.BaseAddress + m.RegionSize;
        if (next <= at)
            break;
        at = next;
    }
}

}  // namespace

ResourceCounts count_resources()
{
    ResourceCounts c;
    // The counting's own heap and handles first, so they are there before and after alike.
    kernel_handle_count();
    c.gdi_free = gdi_free_slots();
    c.user_free = user_free_slots();
    c.global_free = global_free_slots();
    c.kernel_handles = kernel_handle_count();
    count_heaps(c);
    count_memory(c);
    return c;
}

std::string resource_growth(const ResourceCounts& before, const ResourceCounts& after)
{
    std::string out;
    char line[160];
    auto check = [&](const char* what, long long b, long long a, bool free_slots,
                     long long allowed) {
        if (b < 0 || a < 0)
            return;
        long long grown = free_slots ? b - a : a - b;
        if (grown > allowed) {
            snprintf(line, sizeof line, "%s: %lld before, %lld after (%+lld; %lld allowed)\n",
                     what, b, a, free_slots ? a - b : a - b, allowed);
            out += line;
        }
    };
    // The allowances: what a first use can leave in Wine's caches (a font, a DC of a printer
    // driver) and the heap's bookkeeping, far below one object per cycle of any test.
    check("free GDI slots", before.gdi_free, after.gdi_free, true, 2);
    check("free USER slots", before.user_free, after.user_free, true, 2);
    check("free global memory handles", before.global_free, after.global_free, true, 2);
    check("kernel handles", before.kernel_handles, after.kernel_handles, false, 2);
    check("busy heap blocks", before.heap_blocks, after.heap_blocks, false, 16);
    check("heap bytes", before.heap_bytes, after.heap_bytes, false, 64 * 1024);
    check("committed memory", before.committed, after.committed, false, 1024 * 1024);
    check("mapped memory", before.mapped, after.mapped, false, 256 * 1024);
    return out;
}

std::string describe(const ResourceCounts& c)
{
    char line[300];
    snprintf(line, sizeof line,
             "free GDI %ld, free USER %ld, free global %ld, kernel handles %ld, heap blocks %ld "
             "(%lld bytes), committed %lld KB, mapped %lld KB",
             c.gdi_free, c.user_free, c.global_free, c.kernel_handles, c.heap_blocks,
             c.heap_bytes, c.committed / 1024, c.mapped / 1024);
    return line;
}
