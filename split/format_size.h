#pragma once
#include <windows.h>

// Writes the short size text of a byte count ("999 Bytes", "1.39 MB", ...) into
// text, which must hold at least 20 bytes.
void FormatSize(DWORD bytes, char* text);
