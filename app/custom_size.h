#pragma once
#include <windows.h>

// Result 0: a non-zero size was accepted and stored in splitSize; 1: cancelled.
INT_PTR CALLBACK CustomSizeDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
