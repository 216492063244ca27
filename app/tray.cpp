// Placeholder until this file's owner writes it.
#include "app/tray.h"
bool AnimateTray(HWND, bool) { return false; }
void SetTrayIcon(HWND, bool) {}
INT_PTR OnSysCommand(HWND, WPARAM) { return FALSE; }
INT_PTR OnTrayMessage(HWND, LPARAM) { return FALSE; }
