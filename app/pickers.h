#pragma once
#include <windows.h>

bool PickSourceFile(HWND owner, char* path);
bool PickDestinationFolder(HWND owner, char* path);
int CALLBACK FolderPickerCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data);
