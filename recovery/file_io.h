// Reads and writes at 64-bit offsets through plain handles: the recovery set is
// made and used in bounded pieces, never whole files in memory.
#pragma once
#include <windows.h>

bool ReadAt(HANDLE file, unsigned long long offset, void* buffer, DWORD length);
bool WriteAt(HANDLE file, unsigned long long offset, const void* buffer, DWORD length);
// The file's size; false when it cannot be had.
bool SizeOf(HANDLE file, unsigned long long* size);
// A new file of the given size (replacing one of the name); INVALID_HANDLE_VALUE on failure.
HANDLE CreateSized(const char* path, unsigned long long size);
HANDLE OpenForReading(const char* path);
