// Placeholder until this file's owner writes it.
#include "about/about_dialog.h"
INT_PTR CALLBACK AboutDlgProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
void OpenHelpFile(HWND) {}
