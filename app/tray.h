#pragma once
#include <windows.h>

bool AnimateTray(HWND window, bool toTray);
void SetTrayIcon(HWND window, bool add);

// The WM_SYSCOMMAND and kTrayMessage branches of the main window's procedure,
// returning the procedure's result.
INT_PTR OnSysCommand(HWND window, WPARAM command);
INT_PTR OnTrayMessage(HWND window, LPARAM mouseMessage);
