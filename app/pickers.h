#pragma once
#include <windows.h>

#include "core/app_state.h"

// Each fills a path buffer and returns whether a path was chosen; a chosen path
// that Windows could not take gets its box and counts as none.
bool PickSourceFile(HWND owner, char (&path)[kPathSize]);
bool PickDestinationFolder(HWND owner, char (&path)[kPathSize]);
int CALLBACK FolderPickerCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data);
