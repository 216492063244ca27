// Placeholder until this file's owner writes it.
#include "settings/preferences.h"
void ShowPreferences(HWND) {}
INT_PTR CALLBACK DirectoryPageProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
INT_PTR CALLBACK GeneralPageProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
