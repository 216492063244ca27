// Placeholder until this file's owner writes it.
#include "app/startup.h"
volatile LONG instanceCounter = -1;
const char* ArgumentText(const char* c) { return c; }
void SetInitialSource(const char*) {}
INT_PTR OnCopyData(HWND, const COPYDATASTRUCT*) { return FALSE; }
