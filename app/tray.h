#pragma once
#include <windows.h>

// Draws the caption flying to (or from) the notification area and hides (or shows)
// the window. Returns true when the flight was drawn; without the taskbar windows
// the window is still hidden or shown, and the result is false.
bool AnimateTray(HWND window, bool toTray);
// Adds (NIM_ADD) or removes (NIM_DELETE) the tray icon; returns the shell's answer.
bool SetTrayIcon(HWND window, bool add);

// The program's icon at the system's small size (tray, caption), shared: never destroyed.
HICON SmallProgramIcon();

// The WM_SYSCOMMAND and kTrayMessage branches of the main window's procedure,
// returning the procedure's result.
INT_PTR OnSysCommand(HWND window, WPARAM command);
INT_PTR OnTrayMessage(HWND window, LPARAM mouseMessage);

// The shell's "TaskbarCreated" broadcast (the taskbar was restarted): puts the
// icon back while the window is in the tray. Returns true when `message` was that
// broadcast. For the default branch of the main window's procedure.
bool OnTaskbarCreated(HWND window, UINT message);
