#pragma once
#include <windows.h>
#include <shellapi.h>

// WM_DROPFILES of the main window: the first file dropped from Explorer loads as
// if chosen with Browse; a folder or a name that is no existing file is refused
// as Split refuses a missing source. During a run a drop changes nothing.
void OnDropFiles(HWND window, HDROP drop);
