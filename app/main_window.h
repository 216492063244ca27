#pragma once
#include <windows.h>

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

bool ValidateInputs(HWND window);
void ShowFileSize(HWND window);
void LoadSourceFile(HWND window);
void ShowPartInfo(HWND window);
void ResetForm(HWND window);
