// Bytes of a mapped file whose medium fails (a removed disk, a lost network share,
// a file cut short by another program) cannot be read: touching one raises an
// exception that would end the process. MinGW has no __try, so the copy and the
// hashing thread guard their reads with a vectored handler that jumps back out.
#pragma once
#include <windows.h>

// Registers `handler` first in line (on) or takes it out again (off); `entry` holds
// the registration. The calls are looked up: Windows before XP lacks them, and its
// reads go unguarded.
void GuardFaults(PVOID& entry, PVECTORED_EXCEPTION_HANDLER handler, bool on);

// The address whose reading or writing failed, for a fault on a page of a mapped
// file; 0 for any other exception, which goes on to end the process.
ULONG_PTR FaultAddress(const EXCEPTION_POINTERS* pointers);
