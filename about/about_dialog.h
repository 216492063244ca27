#pragma once
#include <windows.h>

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The Help button: opens "VELK.chm" from the current directory.
void OpenHelpFile(HWND owner);
