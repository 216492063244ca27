#pragma once
#include <windows.h>

// Counts the running instances; lives in the section shared by all of them.
extern volatile LONG instanceCounter;

// The argument text of a command line: what follows the program's own name.
const char* ArgumentText(const char* commandLine);

// sourcePath := text when it names an existing path and fits, else empty.
void SetInitialSource(const char* text);

// The WM_COPYDATA branch of the main window's procedure (the hand-off receiver).
INT_PTR OnCopyData(HWND window, const COPYDATASTRUCT* data);
