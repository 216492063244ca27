// Placeholder until this file's owner writes it.
#include "app/custom_size.h"
INT_PTR CALLBACK CustomSizeDlgProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
