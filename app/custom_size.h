#pragma once
#include <windows.h>

#include <cstddef>

// Result 0: a non-zero size was accepted and stored in splitSize; 1: cancelled.
// The size is typed in bytes, or as a number of equal parts of the loaded source.
INT_PTR CALLBACK CustomSizeDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The number of equal parts last accepted in the dialog; 0 when the size was given
// in bytes. It stays the choice, the size worked out again for every source
// loaded, until another size is chosen.
DWORD ChosenParts();
void ForgetChosenParts();

// The message for a number of parts of the loaded source too small to keep each
// part within the largest split size.
void FormatTooFewPartsText(char* text, std::size_t capacity, DWORD parts);
