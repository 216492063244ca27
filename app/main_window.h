#pragma once
#include <windows.h>

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The WM_COPYDATA branch of MainDialogProc: the receiving side of the hand-off.
INT_PTR OnCopyData(HWND window, const COPYDATASTRUCT* data);

bool ValidateInputs(HWND window);
void ShowFileSize(HWND window);
// The "File Size" text from appState.fileSize, without measuring the file.
void ShowFileSizeText(HWND window);
void LoadSourceFile(HWND window);
void ShowPartInfo(HWND window);
void ResetForm(HWND window);
