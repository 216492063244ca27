#pragma once
#include <windows.h>

// The modal "VELK Preferences" sheet, owned by owner.
void ShowPreferences(HWND owner);

INT_PTR CALLBACK DirectoryPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK GeneralPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
