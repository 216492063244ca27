// Placeholder until this file's owner writes it.
#include "app/pickers.h"
bool PickSourceFile(HWND, char* p) { p[0] = 0; return false; }
bool PickDestinationFolder(HWND, char*) { return false; }
int CALLBACK FolderPickerCallback(HWND, UINT, LPARAM, LPARAM) { return 0; }
