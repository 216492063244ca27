// The address space a benchmark program holds: what a run adds at its peak is
// the figure that shows whether its views stay bounded.
#pragma once
#include <windows.h>

// Bytes of the address space that are reserved or in use (every region not free).
inline unsigned long long AddressSpaceInUse() {
    unsigned long long used = 0;
    MEMORY_BASIC_INFORMATION region;
    const BYTE* at = nullptr;
    while (VirtualQuery(at, &region, sizeof region) == sizeof region) {
        if (region.State != MEM_FREE) used += region.RegionSize;
        const BYTE* next = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize;
        if (next <= at) break;
        at = next;
    }
    return used;
}
