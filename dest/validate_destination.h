#pragma once
#include <windows.h>

// Checks a typed destination directory, offering to create one missing level.
// Message boxes are owned by window; after a rejection the destination box
// (control 1022 of window) has the focus with its text selected.
bool ValidateDestination(HWND window, const char* path);
