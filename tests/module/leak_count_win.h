// Counts of what a process can leak, taken so that Wine answers them too: GetGuiResources
// answers 0 there. Handle tables that are finite (GDI, USER, moveable global memory) are counted
// by their free slots: objects are made until creation fails, counted and deleted again. The
// rest come from the process's own figures (its kernel handles, the busy blocks of its heaps,
// its committed memory).
#pragma once

#include <stdlib.h>

#include <string>

struct ResourceCounts {
    long gdi_free = -1;         // GDI objects that could still be made
    long user_free = -1;        // USER objects (menus, windows, icons) that could still be made
    long global_free = -1;      // moveable global memory handles that could still be had
    long kernel_handles = -1;   // open kernel handles of this process
    long heap_blocks = -1;      // busy blocks on all heaps of this process
    long long heap_bytes = -1;  // their bytes
    long long committed = -1;   // committed private memory, in bytes
    long long mapped = -1;      // committed mapped views (sections, files), in bytes
};

// -1 for a count this system does not give (a table that never ran full).
ResourceCounts count_resources();

// What `after` has more of than `before`, beyond the small allowances for what Wine and the C
// runtime cache, as one line per count; empty when every count held.
std::string resource_growth(const ResourceCounts& before, const ResourceCounts& after);

// All counts in one line, for the log.
std::string describe(const ResourceCounts& c);

// Why a leak loop runs in the default session only.
#define LEAK_LOOP_SESSIONS                                                                       \
    "a leak loop's counts are those of Wine's tables and heaps, the same whatever version it "  \
    "reports, and the loops are long"
