// Placeholder until this file's owner writes it.
#include "app/main_window.h"
INT_PTR CALLBACK MainDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
bool ValidateInputs(HWND) { return false; }
void ShowFileSize(HWND) {}
void LoadSourceFile(HWND) {}
void ShowPartInfo(HWND) {}
void ResetForm(HWND) {}
