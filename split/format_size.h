#pragma once
#include <windows.h>

// Writes the short size text of a byte count ("999 Bytes", "1.39 MB", ...) into
// text, which must hold at least 20 bytes (the longest, of 2^64 - 1 bytes,
// "17179869184.00 GB", takes 18).
void FormatSize(ULONGLONG bytes, char* text);
